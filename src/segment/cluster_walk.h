// Walking grapheme clusters without segmenting the whole text: positions where a
// cluster starts whatever came before, and a walk that hands the stretches
// between them to grapheme_cluster_starts only when they hold more than one
// code point. Used by truncation and the logical cursor.
#pragma once

#include <array>
#include <initializer_list>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "../data/grapheme_break.h"
#include "../utf8.h"
#include "grapheme.h"

namespace scrivlet::segment::walk {

using G = data::GraphemeBreakClass;

// grapheme_break_class for planes 0 and 1, built at compile time from the same range
// table and emoji set, in two stages: a 256-code-point block whose code points
// share one class is stored as that class alone (the CJK and most other
// blocks), the others in full: about 37 KB in all.
struct BmpClasses {
    static constexpr std::uint16_t UNIFORM = 0x8000;
    std::array<std::uint16_t, 512> stage1{};   // UNIFORM | class, or a block number
    std::array<std::array<G, 256>, 160> blocks{};
};

constexpr BmpClasses build_bmp_classes() {
    std::array<G, 0x20000> flat{};
    for (auto& v : flat) v = G::Any;
    for (const auto& r : data::GRAPHEME_BREAK_RANGES)
        for (std::uint32_t cp = r.first; cp <= r.last && cp < 0x20000; ++cp) flat[cp] = r.value;
    for (const auto& r : data::EMOJI_PICTOGRAPHIC_RANGES)
        for (std::uint32_t cp = r.first; cp <= r.last && cp < 0x20000; ++cp) flat[cp] = G::ExtPict;
    BmpClasses t{};
    std::size_t used = 0;
    for (std::size_t hi = 0; hi < 512; ++hi) {
        bool uniform = true;
        for (std::size_t lo = 1; lo < 256; ++lo) uniform = uniform && flat[hi << 8 | lo] == flat[hi << 8];
        if (uniform) {
            t.stage1[hi] = static_cast<std::uint16_t>(BmpClasses::UNIFORM | static_cast<std::uint16_t>(flat[hi << 8]));
            continue;
        }
        if (used == t.blocks.size()) throw "too many mixed blocks for the grapheme class table";
        for (std::size_t lo = 0; lo < 256; ++lo) t.blocks[used][lo] = flat[hi << 8 | lo];
        t.stage1[hi] = static_cast<std::uint16_t>(used++);
    }
    return t;
}

inline constexpr BmpClasses BMP_CLASSES = build_bmp_classes();

inline G class_of(char32_t cp) noexcept {
    if (cp >= 0x20000) return data::grapheme_break_class(cp);
    const std::uint16_t e = BMP_CLASSES.stage1[cp >> 8];
    if (e & BmpClasses::UNIFORM) return static_cast<G>(e & 0xFF);
    return BMP_CLASSES.blocks[e][cp & 0xFF];
}

constexpr std::uint32_t bits(std::initializer_list<G> classes) {
    std::uint32_t m = 0;
    for (G c : classes) m |= 1u << static_cast<unsigned>(c);
    return m;
}

// For each class of the previous character, the classes of the next one that
// may join it under some scan state (the earlier characters of the cluster,
// the regional indicator count). Any other next class breaks whatever the
// state, and the scan state is fresh after it.
constexpr std::array<std::uint32_t, 17> build_may_join() {
    std::array<std::uint32_t, 17> m{};
    const std::uint32_t marks = bits({G::Extend, G::ZWJ, G::SpacingMark, G::Linker});  // GB9, GB9a
    for (auto& v : m) v = marks;
    m[static_cast<unsigned>(G::CR)] = bits({G::LF});                              // GB3, GB4
    m[static_cast<unsigned>(G::LF)] = 0;                                          // GB4
    m[static_cast<unsigned>(G::Control)] = 0;                                     // GB4
    m[static_cast<unsigned>(G::Prepend)] = ~bits({G::CR, G::LF, G::Control});    // GB9b, GB5
    m[static_cast<unsigned>(G::L)] |= bits({G::L, G::V, G::LV, G::LVT});          // GB6
    m[static_cast<unsigned>(G::V)] |= bits({G::V, G::T});                         // GB7
    m[static_cast<unsigned>(G::LV)] |= bits({G::V, G::T});                        // GB7
    m[static_cast<unsigned>(G::T)] |= bits({G::T});                               // GB8
    m[static_cast<unsigned>(G::LVT)] |= bits({G::T});                             // GB8
    m[static_cast<unsigned>(G::RI)] |= bits({G::RI});                             // GB12, GB13
    m[static_cast<unsigned>(G::ZWJ)] |= bits({G::ExtPict, G::Consonant});         // GB11, GB9c
    m[static_cast<unsigned>(G::Linker)] |= bits({G::Consonant});                  // GB9c
    return m;
}

inline constexpr std::array<std::uint32_t, 17> MAY_JOIN = build_may_join();

// Whether the pair (before, after) breaks under every scan state.
constexpr bool certain_break(G before, G after) noexcept {
    return !((MAY_JOIN[static_cast<unsigned>(before)] >> static_cast<unsigned>(after)) & 1);
}

inline G class_at(std::string_view text, std::size_t pos, std::size_t& len) noexcept {
    return class_of(utf8::decode(text, pos, len));
}

// Whether a cluster starts at p (0 < p < size, a code point boundary) whatever
// precedes it. A scan started at such a position finds the same starts as one
// started at 0.
inline bool certain_cluster_start(std::string_view text, std::size_t p) noexcept {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char a = s[p - 1];
    const unsigned char b = s[p];
    if (a >= 0x20 && a < 0x7F && b >= 0x20 && b < 0x7F) return true;  // printable ASCII pair
    std::size_t len;
    const G before = class_at(text, utf8::floor_to_code_point(text, p - 1), len);
    return certain_break(before, class_at(text, p, len));
}

constexpr bool is_printable_ascii(unsigned char b) noexcept { return b >= 0x20 && b < 0x7F; }

// Calls f(start, end) for each cluster of text in order, while f returns true.
// Runs of single-code-point clusters (most text) cost one class lookup per
// code point and no allocation.
template <typename F>
void for_each_cluster(std::string_view text, F&& f) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t pos = 0;
    std::size_t len = 0;
    G cls = n ? class_at(text, 0, len) : G::Any;  // class and length of the code point at pos
    while (pos < n) {
        if (is_printable_ascii(s[pos])) {
            // A run of printable ASCII: each byte but the last is a cluster of its
            // own; the last may take marks or joiners that follow.
            std::size_t run = pos + 1;
            while (run < n && is_printable_ascii(s[run])) ++run;
            const std::size_t last = run == n ? n : run - 1;
            for (; pos < last; ++pos)
                if (!f(pos, pos + 1)) return;
            if (pos >= n) return;
            cls = G::Any;
            len = 1;
        }
        std::size_t q = pos + len;
        if (q >= n) {
            f(pos, n);
            return;
        }
        std::size_t next_len;
        G next = class_at(text, q, next_len);
        if (certain_break(cls, next)) {
            if (!f(pos, q)) return;
            pos = q;
            cls = next;
            len = next_len;
            continue;
        }
        // Several code points up to the next certain start. A base followed by
        // marks and joiners alone is one cluster (GB9, GB9a join them to
        // anything but CR, LF and Control); other stretches are segmented.
        bool one_cluster = cls != G::CR && cls != G::LF && cls != G::Control;
        while (q < n) {
            const G here = next;
            one_cluster = one_cluster && (here == G::Extend || here == G::ZWJ || here == G::SpacingMark);
            q += next_len;
            if (q >= n) break;
            next = class_at(text, q, next_len);
            if (certain_break(here, next)) break;
        }
        if (one_cluster) {
            if (!f(pos, q)) return;
            pos = q;
            cls = next;
            len = next_len;
            continue;
        }
        const auto starts = grapheme_cluster_starts(text.substr(pos, q - pos));
        for (std::size_t i = 0; i < starts.size(); ++i) {
            const std::size_t end = i + 1 < starts.size() ? pos + starts[i + 1] : q;
            if (!f(pos + starts[i], end)) return;
        }
        pos = q;
        cls = next;
        len = next_len;
    }
}

}  // namespace scrivlet::segment::walk
