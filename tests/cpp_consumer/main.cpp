// Uses scrivlet through its installed header and library, and checks what it
// gets: the README's C++ example, then ill-formed UTF-8.
#include <scrivlet/scrivlet.hpp>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

int main() {
    int failures = 0;
    auto expect = [&](bool ok, const char* what) {
        if (!ok) {
            std::fprintf(stderr, "consumer: %s\n", what);
            ++failures;
        }
    };

    // The README example: clusters and width of a string, breaks in Thai.
    const std::string family = "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7";
    const std::string text = family + " \xE6\x97\xA5\xE6\x9C\xAC";  // 👨‍👩‍👧 日本
    expect(scrivlet::grapheme_boundaries(text) == std::vector<std::size_t>{0, 18, 19, 22},
           "grapheme boundaries");
    expect(scrivlet::display_width(text) == 11, "display width");
    const std::string thai = "\xE0\xB8\xA0\xE0\xB8\xB2\xE0\xB8\xA9\xE0\xB8\xB2\xE0\xB9\x84\xE0\xB8\x97"
                             "\xE0\xB8\xA2\xE0\xB8\x87\xE0\xB9\x88\xE0\xB8\xB2\xE0\xB8\xA2";  // ภาษาไทยง่าย
    std::vector<std::size_t> breaks;
    for (const scrivlet::LineBreak& b : scrivlet::line_break_opportunities_with_dictionary(thai))
        breaks.push_back(b.offset);
    expect(breaks == std::vector<std::size_t>{12, 21, 33}, "Thai line breaks");

    expect(!scrivlet::is_valid_utf8("\xC0\x80"), "an overlong sequence is not UTF-8");
    try {
        scrivlet::display_width("ok\xED\xA0\x80");
        expect(false, "a surrogate is refused");
    } catch (const std::invalid_argument&) {
    }
    if (failures == 0) std::puts("consumer: ok");
    return failures == 0 ? 0 : 1;
}
