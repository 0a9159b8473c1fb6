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

TEST(surrogates_are_found_at_every_position) {
    for (std::size_t n = 0; n < 80; ++n) {
        std::u16string ucs2(n, u'\xD7FF');
        std::u32string ucs4(n, U'\xE000');
        CHECK(!scrivlet::text::has_surrogate(scrivlet::text::Ucs2{ucs2.data(), n}));
        CHECK(!scrivlet::text::has_surrogate(scrivlet::text::Ucs4{ucs4.data(), n}));
        for (std::size_t at = 0; at < n; ++at) {
            const char16_t lone = at % 2 ? 0xD800 : 0xDFFF;
            ucs2[at] = lone;
            ucs4[at] = lone;
            CHECK(scrivlet::text::has_surrogate(scrivlet::text::Ucs2{ucs2.data(), n}));
            CHECK(scrivlet::text::has_surrogate(scrivlet::text::Ucs4{ucs4.data(), n}));
            ucs2[at] = u'\xD7FF';
            ucs4[at] = U'\xE000';
        }
    }
}
