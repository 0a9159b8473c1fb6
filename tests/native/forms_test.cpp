// Every operation gives the same result whichever form its text comes in:
// UTF-8, or the interpreter's fixed-width Latin-1, UCS-2 and UCS-4 units.
// Random texts of every script, compared against the UTF-8 path.

#include "forms.h"
#include "truncate/mod.h"

using scrivlet::testing::Forms;
using scrivlet::testing::random_texts;
using scrivlet::testing::same;

TEST(display_width_is_the_same_in_every_form) {
    for (const Forms& t : random_texts(3000))
        t.compare([](auto text) { return scrivlet::truncate::text_width(text); },
                  same<std::uint64_t, std::uint64_t>);
}
