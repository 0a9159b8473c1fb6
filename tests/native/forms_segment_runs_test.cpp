// The boundary scans over long runs of text mixing many blocks of the BMP and
// plane 1 (emoji sequences among Lao, Devanagari, CJK and ASCII), with few
// terminators: the stretches that the fixed-width scans pass over a block of
// units at a time, and the look-ahead after a full stop that passes over
// caseless letters (Lao, Tibetan, Myanmar) up to the next terminator or letter. Every form is
// compared with the UTF-8 path.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "check.h"
#include "forms.h"
#include "segment/grapheme.h"
#include "segment/sentence.h"
#include "segment/word.h"

namespace sc = scrivlet;
using sc::testing::Forms;
using sc::testing::same;
using Offsets = std::vector<std::uint64_t>;

TEST(long_mixed_runs_have_the_same_boundaries_in_every_form) {
    const std::u32string pieces[] = {
        U"\U0001F469\U0001F3FD\u200D\U0001F4BB", U"\u2764\uFE0F", U"\u2640\uFE0F", U"\U0001F1EF\U0001F1F5",
        U"\u0EAA\u0EB0\u0E9A\u0EB2\u0E8D\u0E94\u0EB5", U"\u0915\u094D\u0937\u093F", U"\u0964",
        U"\u4E2D\u6587", U"\u3002", U"Hello", U" ", U". ", U"? ", U"\u2019s", U"\u00E9t\u00E9",
        U"\u05E9\u05DC\u05D5\u05DD", U"\u0F40\u0F72", U"\u1000\u104B", U"\u0EC0\u0EA5\u0E81 \u0ED1", U"\u0391\u03B8\u03AE\u03BD\u03B1", U"1.5", U"\r\n",
    };
    std::mt19937 rng(1208);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> count(10, 120);
    for (int t = 0; t < 600; ++t) {
        std::u32string text;
        for (int k = count(rng); k > 0; --k) text += pieces[pick(rng)];
        const Forms forms(std::move(text));
        forms.compare([](auto s) { return sc::segment::grapheme_cluster_starts(s); }, same<Offsets, Offsets>);
        forms.compare([](auto s) { return sc::segment::word_boundary_offsets(s); }, same<Offsets, Offsets>);
        forms.compare([](auto s) { return sc::segment::sentence_boundaries(s); }, same<Offsets, Offsets>);
    }
}

TEST(sentence_look_ahead_over_caseless_letters_is_the_same_in_every_form) {
    // Within the BMP, so that the 16-bit form is among those compared.
    const std::u32string pieces[] = {
        U". ", U"! ", U" ", U"\u0EC0\u0EA5\u0E81\u0EB2\u0E99 ", U"\u0F40\u0F72\u0F0B", U"\u1000\u1001",
        U"\u104B", U"12", U"a", U"B", U"\u00E9", U"\u03B1", U"\u05D0", U"\u3002", U"\u2019", U")",
    };
    std::mt19937 rng(1209);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> count(10, 200);
    for (int t = 0; t < 600; ++t) {
        std::u32string text;
        for (int k = count(rng); k > 0; --k) {
            // Mostly caseless letters and spaces, so that look-aheads run long.
            const std::size_t i = pick(rng);
            text += rng() % 4 ? pieces[3 + rng() % 4] : pieces[i];
        }
        Forms(std::move(text)).compare([](auto s) { return sc::segment::sentence_boundaries(s); },
                                       same<Offsets, Offsets>);
    }
}
