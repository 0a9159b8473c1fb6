// Bidi in the fixed-width forms: its class lookup and its layouts agree with
// the UTF-8 path, on text heavy in right-to-left letters, numbers, removed
// controls and supplementary code points; and the reordering by levels that
// every form shares, against one pass per level.
#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "bidi/classes.h"
#include "bidi/mod.h"
#include "bidi/reorder.h"
#include "check.h"
#include "forms.h"

namespace sc = scrivlet;
using sc::testing::Forms;

namespace {

// The layout of cps in every form against the UTF-8 path's.
void layouts_agree(std::u32string cps) {
    Forms(std::move(cps))
        .compare([](auto text) { return sc::bidi::expand(sc::bidi::bidi_layout(text)); },
                 [](const sc::bidi::BidiResult& got, const sc::bidi::BidiResult& expected) {
                     CHECK(got.paragraph_level == expected.paragraph_level);
                     CHECK(got.levels == expected.levels);
                     CHECK(got.visual_order == expected.visual_order);
                 });
}

}  // namespace

TEST(fixed_class_lookup_matches_the_class_table) {
    sc::bidi::FixedClassLookup lookup;
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp)
        if (lookup(cp) != sc::data::bidi_class(cp)) {
            CHECK(lookup(cp) == sc::data::bidi_class(cp));
            break;
        }
}

TEST(bidi_layout_of_right_to_left_text_is_the_same_in_every_form) {
    // Hebrew, Arabic, their supplementary letters, digits, marks, brackets
    // (and those that pair through their decomposition), spaces, emoji,
    // letters and a tag beyond plane 1 and every explicit control: mostly
    // right-to-left runs.
    const std::pair<char32_t, char32_t> ranges[] = {
        {0x05D0, 0x05EA}, {0x0627, 0x064A}, {0x0660, 0x0669}, {0x064B, 0x0652}, {0x10800, 0x10805},
        {0x1E900, 0x1E943}, {0x30, 0x39},  {0x28, 0x29},      {0x5B, 0x5D},    {0x20, 0x20},
        {0x2C, 0x2E},     {0x41, 0x43},     {0x200B, 0x200F}, {0x202A, 0x202E}, {0x2066, 0x2069},
        {0x1F600, 0x1F603}, {0xFE0F, 0xFE0F}, {0x00AD, 0x00AD}, {0x20000, 0x20001}, {0xE0001, 0xE0001},
        {0x2329, 0x232A}, {0x3008, 0x3009}, {0xFF08, 0xFF09},
    };
    std::vector<char32_t> pool;
    for (auto [a, b] : ranges)
        for (char32_t c = a; c <= b; ++c) pool.push_back(c);
    std::mt19937 rng(1208);
    std::uniform_int_distribution<std::size_t> pick(0, pool.size() - 1);
    std::uniform_int_distribution<int> length(0, 60);
    for (int t = 0; t < 3000; ++t) {
        std::u32string cps;
        for (int i = length(rng); i > 0; --i) cps.push_back(pool[pick(rng)]);
        // Some texts start left to right and turn right to left late; some
        // open more brackets than pairing looks at.
        if (t % 4 == 0) cps.insert(0, std::u32string(40, U'a'));
        if (t % 10 == 3) cps.insert(0, std::u32string(70, t % 20 == 3 ? U'(' : U'\u3008'));
        // Some span several blocks of units, with and without code points beyond plane 1.
        for (int i = t % 8 == 1 ? 200 : 0; i > 0; --i) {
            const char32_t c = pool[pick(rng)];
            if (t % 16 != 1 || c < 0x20000) cps.push_back(c);
        }
        layouts_agree(std::move(cps));
    }
}

TEST(bidi_layout_of_overridden_brackets_is_the_same_in_every_form) {
    // A bracket an override made strong shares a level run with one it would
    // pair with, after an L and with an L inside: it does not pair.
    const std::u32string texts[] = {
        U"\u202Bb\u202C\u202E(\u202C\u202Ba)\u202C\U0001F600",
        U"x \u202Bb \u202C\u202E[\u202C\u202B c d]\u202C \U0001F600",
        U"\u202A\u05D0\u202C\u202D(\u202C\u202A\u05D1)\u202C\U0001F600",
    };
    for (const std::u32string& text : texts) layouts_agree(text);
}

TEST(bidi_layout_of_left_to_right_text_with_removed_controls_is_the_same_in_every_form) {
    // Long left-to-right text (letters, emoji, variation selectors, spaces,
    // punctuation) with the removed controls of planes 0 and 1 and the tags,
    // dense or one in hundreds (blocks passed over whole around them); some
    // texts turn right to left, or hold an explicit control, at a random place.
    const std::pair<char32_t, char32_t> plain_ranges[] = {
        {0x61, 0x7A},     {0x20, 0x20},     {0x30, 0x39},     {0x1F600, 0x1F64F}, {0xFE0F, 0xFE0F},
        {0x2010, 0x2027}, {0xAC00, 0xAC1F}, {0x0E01, 0x0E30}, {0xFB00, 0xFB1C},   {0xFE00, 0xFE6F},
    };
    const std::pair<char32_t, char32_t> removed_ranges[] = {
        {0x00, 0x08},     {0x0E, 0x1B},     {0x7F, 0x84},     {0x86, 0x9F},       {0xAD, 0xAD},
        {0x180E, 0x180E}, {0x200B, 0x200D}, {0x2060, 0x2064}, {0x206A, 0x206F},   {0xFEFF, 0xFEFF},
        {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001}, {0xE0020, 0xE007F},
    };
    const char32_t turns[] = {0x05D0, 0x0627, 0x0660, 0x200F, 0x202B, 0x2067, 0x2069, 0x10800, 0x1E900, 0xFB1D};
    std::vector<char32_t> plain, removed;
    for (auto [a, b] : plain_ranges)
        for (char32_t c = a; c <= b; ++c) plain.push_back(c);
    for (auto [a, b] : removed_ranges)
        for (char32_t c = a; c <= b; ++c) removed.push_back(c);
    std::mt19937 rng(1209);
    std::uniform_int_distribution<int> length(0, 300);
    for (int t = 0; t < 800; ++t) {
        const unsigned one_in = t % 4 < 2 ? 3 : 300;  // how rare the removed ones are
        std::u32string cps;
        // a few long enough to be read in several stretches; a third within
        // the BMP, for the UCS-2 form
        for (int i = t % 40 < 2 ? 9000 : length(rng); i > 0;) {
            const auto& from = rng() % one_in == 0 ? removed : plain;
            const char32_t c = from[rng() % from.size()];
            if (t % 3 == 2 && c >= 0x10000) continue;
            cps.push_back(c);
            --i;
        }
        if (t % 2 == 1 && !cps.empty()) cps[rng() % cps.size()] = turns[rng() % std::size(turns)];
        layouts_agree(std::move(cps));
    }
}

TEST(reorder_by_levels_matches_one_pass_per_level) {
    // Random levels up to 126, spread wide (the tree) or narrow (a pass per
    // level), with runs of equal levels; the reference reverses every stretch
    // at or above each level, from the highest to the lowest odd one.
    std::mt19937 rng(1210);
    for (int t = 0; t < 20000; ++t) {
        const std::size_t n = rng() % 80;
        const unsigned top = t % 2 ? 126 : 1 + rng() % 20;
        std::vector<std::uint8_t> levels(n);
        for (std::size_t i = 0; i < n; ++i)
            levels[i] = std::uint8_t(i > 0 && rng() % 3 == 0 ? levels[i - 1] : rng() % (top + 1));
        std::vector<std::uint32_t> got(n), expected(n);
        std::iota(got.begin(), got.end(), 0u);
        std::iota(expected.begin(), expected.end(), 0u);
        sc::bidi::reorder_by_levels(levels.data(), n, got.data());
        int highest = 0, lowest_odd = 256;
        for (const int v : levels) {
            highest = std::max(highest, v);
            if (v & 1) lowest_odd = std::min(lowest_odd, v);
        }
        for (int v = highest; v >= lowest_odd; --v)
            for (std::size_t i = 0; i < n;) {
                std::size_t j = i;
                while (j < n && levels[j] >= v) ++j;
                std::reverse(expected.begin() + std::ptrdiff_t(i), expected.begin() + std::ptrdiff_t(j));
                i = j + 1;
            }
        CHECK(got == expected);
        if (got != expected) break;
    }
}
