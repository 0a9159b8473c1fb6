// The visual caret's first pass over the fixed-width forms: whether a text
// stays left to right, and whether it holds a lone surrogate, agree with the
// UTF-8 path for every code point, at every position of a block and of the
// tail, between fillers that pass the cheap first test and fillers that fail it.
// And the caret located in a fixed-width form while the same read looks for a
// surrogate.
#include <random>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "bidi/mod.h"
#include "check.h"
#include "segment/units.h"
#include "text.h"
#include "utf8.h"

namespace sc = scrivlet;

namespace {

constexpr std::size_t LENGTH = 70;  // whole blocks of both widths, then a tail

// Vietnamese letters, between the windows; then quotes, per mille, a variation
// selector, a private-use character, a ligature, a Hebrew point and an Arabic
// ligature of class ON: in the wide windows or the exact ones, yet all left
// to right.
const std::u32string FILLERS[] = {U"\u1EC7", U"\u201C\u2030\uFE0F\uE000\uFB00a\u05BF\uFDFD"};

std::u32string with_at(const std::u32string& filler, std::size_t at, char32_t c) {
    std::u32string text;
    for (std::size_t k = 0; k < LENGTH; ++k) text.push_back(k == at ? c : filler[k % filler.size()]);
    return text;
}

template <typename Unit>
sc::bidi::LeftToRightScan scan(const std::u32string& cps) {
    const std::vector<Unit> units(cps.begin(), cps.end());
    return sc::bidi::scan_left_to_right(sc::text::Fixed<Unit>{units.data(), units.size()});
}

bool is_surrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

}  // namespace

TEST(left_to_right_scan_agrees_with_the_utf8_path_at_every_code_point) {
    // With AVX2 where this machine has it, then with SSE2 alone.
    for (const bool avx2 : {true, false})
    for (const std::u32string& filler : FILLERS) {
        sc::bidi::allow_avx2_scan(avx2);
        std::u32string wide = with_at(filler, 0, filler[0]);
        std::u16string narrow(wide.begin(), wide.end());
        const auto scan = [](const auto& units) {
            using Unit = typename std::decay_t<decltype(units)>::value_type;
            return sc::bidi::scan_left_to_right(sc::text::Fixed<Unit>{units.data(), units.size()});
        };
        CHECK(scan(narrow).left_to_right && scan(wide).left_to_right);
        std::size_t leaving = 0;
        for (char32_t c = 0; c <= 0x10FFFF; ++c) {
            if (is_surrogate(c)) continue;
            // The filler stays left to right: the text does when c does.
            std::string utf8;
            sc::utf8::append(utf8, c);
            const bool expected = sc::bidi::stays_left_to_right(std::string_view(utf8));
            leaving += !expected;
            const std::size_t at = c % LENGTH;
            wide[at] = c;
            const auto got = scan(wide);
            CHECK(got.left_to_right == expected && !got.surrogate);
            wide[at] = filler[at % filler.size()];
            if (c < 0x10000) {
                narrow[at] = char16_t(c);
                const auto got16 = scan(narrow);
                CHECK(got16.left_to_right == expected && !got16.surrogate);
                narrow[at] = char16_t(filler[at % filler.size()]);
            }
        }
        CHECK(leaving > 1000);
    }
    sc::bidi::allow_avx2_scan(true);
}

TEST(left_to_right_scan_finds_a_surrogate_before_or_after_what_leaves_level_zero) {
    // A right-to-left letter, an isolate or nothing, anywhere before or after
    // the surrogate: the whole text is read for it all the same.
    for (const bool avx2 : {true, false})
    for (const char32_t other : {U'a', U'\u05D0', U'\u2067', U'\U0001E900'}) {
        sc::bidi::allow_avx2_scan(avx2);
        for (char32_t s = 0xD800; s <= 0xDFFF; s += 0x3F) {
            for (std::size_t at = 0; at < LENGTH; ++at) {
                std::u32string cps = with_at(FILLERS[at % 2], at, s);
                cps[(at * 37 + 11) % LENGTH] = other == U'a' ? cps[(at * 37 + 11) % LENGTH] : other;
                cps[at] = s;
                const auto wide = scan<char32_t>(cps);
                CHECK(wide.surrogate && !wide.left_to_right);
                if (other < 0x10000) {
                    const auto narrow = scan<char16_t>(cps);
                    CHECK(narrow.surrogate && !narrow.left_to_right);
                }
            }
        }
    }
    sc::bidi::allow_avx2_scan(true);
}

TEST(locating_a_caret_with_or_without_the_surrogate_check_agrees_with_a_count_unit_by_unit) {
    // Texts across the blocks of 64 units and the vectors within them, of one
    // to four UTF-8 bytes a code point (Latin-1 among them), a surrogate
    // nowhere or anywhere; carets before, at and past each end, and every
    // byte of the short ones.
    const char32_t widths[] = {U'a', U'\u00E9', U'\u0E81', U'\U0001F600'};
    std::mt19937 rng(5);
    for (const bool avx2 : {true, false}) {
        sc::segment::allow_avx2_locate(avx2);
        for (int t = 0; t < 400; ++t) {
            const std::size_t n = rng() % 1100;
            std::u32string cps;
            for (std::size_t k = 0; k < n; ++k) cps.push_back(widths[rng() % (t % 2 ? 4 : 3)] + rng() % 3);
            if (n > 0 && t % 3 == 0) cps[rng() % n] = 0xD800 + rng() % 0x800;
            const auto check = [&](const auto& units) {
                using Unit = typename std::decay_t<decltype(units)>::value_type;
                const sc::text::Fixed<Unit> text{units.data(), units.size()};
                // Each unit's offset, one by one.
                std::vector<std::uint64_t> starts{0};
                for (const Unit u : units) starts.push_back(starts.back() + sc::text::utf8_length(u));
                const std::uint64_t size = starts.back();
                std::vector<std::uint64_t> carets{0, size / 3, size - size / 5, size, size + 9};
                for (std::uint64_t b = 0; n < 80 && b <= size; ++b) carets.push_back(b);
                for (const std::uint64_t b : carets) {
                    std::size_t index = 0;
                    while (index < units.size() && starts[index + 1] <= b) ++index;
                    const auto plain = sc::segment::locate_offset(text, b);
                    CHECK(plain.index == index && plain.start == starts[index]);
                    if constexpr (sizeof(Unit) > 1) {
                        const auto got = sc::segment::locate_offset_checking_surrogates(text, b);
                        CHECK(got.at.index == index && got.at.start == starts[index]);
                        CHECK(got.surrogate == sc::text::has_surrogate(text));
                    }
                }
            };
            if (t % 2 == 0) check(std::u16string(cps.begin(), cps.end()));
            check(std::vector<char32_t>(cps.begin(), cps.end()));
            std::vector<std::uint8_t> latin1;
            for (const char32_t c : cps) latin1.push_back(std::uint8_t(c < 0x100 ? c : 0xE9));
            check(latin1);
        }
    }
    sc::segment::allow_avx2_locate(true);
}
