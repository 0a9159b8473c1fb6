// Boundaries, bidi, truncation and the caret give the same results whichever
// form the text comes in: random texts of every script, every form compared
// with the UTF-8 path, at every caret offset and limit.

#include <cstdint>
#include <random>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "bidi/mod.h"
#include "cursor/mod.h"
#include "forms.h"
#include "segment/grapheme.h"
#include "segment/sentence.h"
#include "segment/units.h"
#include "segment/word.h"
#include "truncate/mod.h"

using scrivlet::testing::Forms;
using scrivlet::testing::same;
namespace sc = scrivlet;

namespace {

// Short texts of the code points the rules single out, so that they meet
// often: CR LF, terminators, marks and joiners, Hangul jamo, regional
// indicators, right-to-left letters, numbers and controls; a third within
// Latin-1 and a third within the BMP, so that every form is exercised.
std::vector<Forms> random_texts(std::size_t count) {
    static const char32_t pool[] = {
        U'a', U'B', U'1', U' ', U'.', U'!', U'?', U',', U'\'', U'"', U':', U'(', U')', U'_', U'-',
        U'\r', U'\n', U'\t', 0x00, 0x7F, 0x85, 0xA0, 0xA9, 0xAD, 0xBF, 0xE9,
        0x0301, 0x0600, 0x0903, 0x0915, 0x094D, 0x0964, 0x0E01, 0x0E31, 0x1100, 0x1161, 0x11A8,
        0xAC00, 0xAC01, 0x1B13, 0x1B44, 0x200B, 0x200C, 0x200D, 0x200F, 0x2019, 0x2028, 0x202B,
        0x202C, 0x202E, 0x2067, 0x2068, 0x2069, 0x3002, 0x3042, 0x30A2, 0x4E00, 0x05D0, 0x05B0,
        0x0628, 0x0661, 0x06F1, 0xFB1D, 0xFF0E, 0xFE0F,
        0x1F1E6, 0x1F1EF, 0x1F600, 0x1F3FB, 0x1F468, 0x2764, 0xE0100, 0x10900, 0x1E900, 0x20000,
    };
    std::mt19937 rng(20261209);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pool) - 1);
    std::uniform_int_distribution<int> length(0, 24);
    std::vector<Forms> out;
    for (std::size_t t = 0; t < count; ++t) {
        const char32_t limit = t % 3 == 0 ? 0x100 : t % 3 == 1 ? 0x10000 : 0x110000;
        std::u32string cps;
        for (int i = length(rng); i > 0;) {
            const char32_t c = pool[pick(rng)];
            if (c < limit) {
                cps.push_back(c);
                --i;
            }
        }
        out.emplace_back(std::move(cps));
    }
    return out;
}

using Offsets = std::vector<std::uint64_t>;

// The code points a truncation keeps: counted in the UTF-8 prefix, as they are.
std::size_t kept(std::string_view prefix) { return sc::utf8::count_code_points(prefix); }
std::size_t kept(std::size_t code_points) { return code_points; }

}  // namespace

TEST(boundaries_are_the_same_in_every_form) {
    for (const Forms& t : random_texts(6000)) {
        t.compare([](auto text) { return sc::segment::grapheme_cluster_starts(text); }, same<Offsets, Offsets>);
        t.compare([](auto text) { return sc::segment::word_boundary_offsets(text); }, same<Offsets, Offsets>);
        t.compare([](auto text) { return sc::segment::sentence_boundaries(text); }, same<Offsets, Offsets>);
    }
}

TEST(bidi_layout_is_the_same_in_every_form) {
    for (const Forms& t : random_texts(6000)) {
        t.compare([](auto text) { return sc::bidi::expand(sc::bidi::bidi_layout(text)); },
                  [](const sc::bidi::BidiResult& got, const sc::bidi::BidiResult& expected) {
                      CHECK(got.paragraph_level == expected.paragraph_level);
                      CHECK(got.levels == expected.levels);
                      CHECK(got.visual_order == expected.visual_order);
                  });
        t.compare([](auto text) { return sc::bidi::stays_left_to_right(text); }, same<bool, bool>);
    }
}

TEST(truncation_is_the_same_in_every_form) {
    for (const Forms& t : random_texts(3000)) {
        for (std::uint64_t limit = 0; limit <= t.cps.size() + 1; ++limit) {
            t.compare([&](auto text) { return kept(sc::truncate::truncate_to_clusters(text, limit)); },
                      same<std::size_t, std::size_t>);
            t.compare([&](auto text) {
                return kept(sc::truncate::truncate_to_width(text, std::uint32_t(limit)));
            }, same<std::size_t, std::size_t>);
        }
    }
}

template <typename Text>
constexpr bool is_wide = std::is_same_v<Text, sc::text::Ucs2> || std::is_same_v<Text, sc::text::Ucs4>;

TEST(caret_moves_are_the_same_in_every_form) {
    using Span = std::pair<std::uint64_t, std::uint64_t>;
    using Located3 = std::tuple<std::uint64_t, std::uint64_t, Span>;
    for (const Forms& t : random_texts(3000)) {
        for (std::uint64_t at = 0; at <= t.utf8.size() + 2; ++at) {
            t.compare([&](auto text) { return sc::cursor::cursor_left(text, at); }, same<std::uint64_t, std::uint64_t>);
            t.compare([&](auto text) { return sc::cursor::cursor_right(text, at); }, same<std::uint64_t, std::uint64_t>);
            t.compare([&](auto text) { return sc::cursor::word_at(text, at); }, same<Span, Span>);
            // The wide forms with the caret located as the binding locates it in a
            // str it has not encoded: in the read that checks for surrogates.
            t.compare([&](auto text) {
                if constexpr (is_wide<decltype(text)>) {
                    const auto located = sc::segment::locate_offset_checking_surrogates(text, at).at;
                    return std::tuple(sc::cursor::cursor_left(text, at, located),
                                      sc::cursor::cursor_right(text, at, located),
                                      sc::cursor::word_at(text, at, located));
                } else {
                    return std::tuple(sc::cursor::cursor_left(text, at), sc::cursor::cursor_right(text, at),
                                      sc::cursor::word_at(text, at));
                }
            }, same<Located3, Located3>);
            t.compare([&](auto text) { return sc::cursor::move_left_visual(text, at); },
                      same<std::uint64_t, std::uint64_t>);
            t.compare([&](auto text) { return sc::cursor::move_right_visual(text, at); },
                      same<std::uint64_t, std::uint64_t>);
        }
    }
}
