// Walking grapheme clusters without segmenting the whole text: positions where a
// cluster starts whatever came before, and a walk that hands the stretches
// between them to grapheme_cluster_starts only when they hold more than one
// code point. Used by truncation and the logical cursor.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "../data/grapheme_break.h"
#include "../utf8.h"
#include "grapheme.h"

namespace scrivlet::segment::walk {

using G = data::GraphemeBreakClass;

// grapheme_break_class for the BMP as one table, built at compile time from the
// same range table and emoji set.
constexpr std::array<G, 0x10000> build_bmp_classes() {
    std::array<G, 0x10000> t{};
    for (auto& v : t) v = G::Any;
    for (const auto& r : data::GRAPHEME_BREAK_RANGES)
        for (std::uint32_t cp = r.first; cp <= r.last && cp < 0x10000; ++cp) t[cp] = r.value;
    for (const auto& r : data::EMOJI_PICTOGRAPHIC_RANGES)
        for (std::uint32_t cp = r.first; cp <= r.last && cp < 0x10000; ++cp) t[cp] = G::ExtPict;
    return t;
}

inline constexpr std::array<G, 0x10000> BMP_CLASSES = build_bmp_classes();

inline G class_of(char32_t cp) noexcept {
    return cp < 0x10000 ? BMP_CLASSES[cp] : data::grapheme_break_class(cp);
}

// Whether the pair (before, after) breaks under every scan state, leaving the
// state fresh: the cluster rules then decide nothing from further back.
constexpr bool certain_break(G before, G after) noexcept {
    switch (before) {
        case G::CR:  // GB3, GB4
            return after != G::LF;
        case G::LF:
        case G::Control:  // GB4
            return true;
        case G::Any:
        case G::Extend:
        case G::SpacingMark:
        case G::Consonant:
        case G::ExtPict:
            // These join a following character only when it is a mark or a
            // joiner (GB9, GB9a, a Linker as Extend, ExtPict × Linker).
            return after != G::Extend && after != G::ZWJ && after != G::SpacingMark &&
                   after != G::Linker;
        default:
            return false;
    }
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
