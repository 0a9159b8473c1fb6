// Line-break character data: the Line_Break classes with the resolution of LB1,
// the East Asian wide set (also display width's), the unassigned pictographs of
// LB30b and the quotation subsets of LB15a, LB15b and LB19.
#pragma once

#include <cstdint>

#include "line_break_data.h"
#include "range_table.h"

namespace scrivlet::data {

// East_Asian_Width W or F, including the unassigned code points listed as W.
constexpr bool is_east_asian_wide(char32_t cp) noexcept {
    return cp >= 0x1100 && range_contains(WIDE_RANGES, cp);
}

// Line_Break as LineBreak.txt gives it, with its defaults for the code points it
// does not list (ID in the CJK and pictographic blocks, PR in the currency block,
// XX elsewhere). Below LINE_BREAK_TRIE_LIMIT a two-stage table holds the values
// of LINE_BREAK_RANGES with those defaults filled in; above it the default is XX
// and the range table is searched.
[[gnu::noinline]] constexpr LineBreakClass raw_line_break_class_above_trie(char32_t cp) noexcept {
    return range_lookup(LINE_BREAK_RANGES, cp, LineBreakClass::XX);
}

[[gnu::always_inline]] constexpr LineBreakClass raw_line_break_class(char32_t cp) noexcept {
    if (cp < LINE_BREAK_TRIE_LIMIT) [[likely]] {
        const unsigned block = LINE_BREAK_TRIE_INDEX[cp >> LINE_BREAK_TRIE_SHIFT];
        const unsigned mask = (1u << LINE_BREAK_TRIE_SHIFT) - 1;
        return LineBreakClass(LINE_BREAK_TRIE_CLASSES[(block << LINE_BREAK_TRIE_SHIFT) | (cp & mask)]);
    }
    return raw_line_break_class_above_trie(cp);
}

// The SA code points that LB1 turns into CM (Grapheme_Cluster_Break Extend or
// SpacingMark in the scripts of SA); every other SA code point becomes AL.
// U+0E33 and U+0EB3 count as marks here; the Tai Viet and Ahom marks, U+0ECE
// and a few Myanmar and Tai Tham marks are left as AL on purpose.
constexpr bool is_sa_mark(char32_t cp) noexcept {
    if (cp < 0x1000) {
        return cp == 0x0E31 || (cp >= 0x0E33 && cp <= 0x0E3A) || (cp >= 0x0E47 && cp <= 0x0E4E) ||
               cp == 0x0EB1 || (cp >= 0x0EB3 && cp <= 0x0EBC) || (cp >= 0x0EC8 && cp <= 0x0ECD);
    }
    if (cp < 0x10A0) {
        return (cp >= 0x102B && cp <= 0x103E) || (cp >= 0x1056 && cp <= 0x1059) ||
               (cp >= 0x105E && cp <= 0x1060) || cp == 0x1062 || (cp >= 0x1067 && cp <= 0x1068) ||
               (cp >= 0x1071 && cp <= 0x1074) || (cp >= 0x1082 && cp <= 0x108D) || cp == 0x108F ||
               (cp >= 0x109A && cp <= 0x109D);
    }
    return (cp >= 0x17B4 && cp <= 0x17D3) || cp == 0x17DD || (cp >= 0x1A55 && cp <= 0x1A5E) ||
           cp == 0x1A62 || (cp >= 0x1A65 && cp <= 0x1A7C) || cp == 0xA9E5;
}

// LB1: AI, SG and XX resolve to AL, CJ to NS, SA to CM (the marks above) or AL.
[[gnu::noinline]] constexpr LineBreakClass resolve_line_break_class(LineBreakClass raw, char32_t cp) noexcept {
    using C = LineBreakClass;
    switch (raw) {
        case C::AI:
        case C::SG:
        case C::XX:
            return C::AL;
        case C::CJ:
            return C::NS;
        case C::SA:
            return is_sa_mark(cp) ? C::CM : C::AL;
        default:
            return raw;
    }
}

[[gnu::always_inline]] constexpr LineBreakClass line_break_class(char32_t cp) noexcept {
    using C = LineBreakClass;
    const C raw = raw_line_break_class(cp);
    constexpr std::uint64_t RESOLVED = (std::uint64_t(1) << unsigned(C::AI)) |
                                       (std::uint64_t(1) << unsigned(C::CJ)) |
                                       (std::uint64_t(1) << unsigned(C::SA)) |
                                       (std::uint64_t(1) << unsigned(C::SG)) |
                                       (std::uint64_t(1) << unsigned(C::XX));
    if (!((RESOLVED >> unsigned(raw)) & 1)) [[likely]] return raw;
    return resolve_line_break_class(raw, cp);
}

// Unassigned Extended_Pictographic code points, the left side of LB30b's second
// half. Kept as listed: it counts U+1F8B0..U+1F8BB and U+1F8C0..U+1F8C1 as
// unassigned and leaves out the unassigned code points of U+1F1AE..U+1F2FF.
inline constexpr Range UNASSIGNED_PICTOGRAPHIC[] = {
    {0x1F02C, 0x1F02F}, {0x1F094, 0x1F09F}, {0x1F0AF, 0x1F0B0}, {0x1F0C0, 0x1F0C0},
    {0x1F0D0, 0x1F0D0}, {0x1F0F6, 0x1F0FF}, {0x1F6D9, 0x1F6DB}, {0x1F6ED, 0x1F6EF},
    {0x1F6FD, 0x1F6FF}, {0x1F7DA, 0x1F7DF}, {0x1F7EC, 0x1F7EF}, {0x1F7F1, 0x1F7FF},
    {0x1F80C, 0x1F80F}, {0x1F848, 0x1F84F}, {0x1F85A, 0x1F85F}, {0x1F888, 0x1F88F},
    {0x1F8AE, 0x1F8FF}, {0x1FA58, 0x1FA5F}, {0x1FA6E, 0x1FA6F}, {0x1FA7D, 0x1FA7F},
    {0x1FA8B, 0x1FA8D}, {0x1FAC7, 0x1FAC7}, {0x1FAC9, 0x1FACC}, {0x1FADD, 0x1FADE},
    {0x1FAEB, 0x1FAEE}, {0x1FAF9, 0x1FAFF}, {0x1FC00, 0x1FFFD},
};

constexpr bool is_unassigned_pictographic(char32_t cp) noexcept {
    return cp >= 0x1F02C && cp <= 0x1FFFD && range_contains(UNASSIGNED_PICTOGRAPHIC, cp);
}

// Initial quotation marks (Pi) of class QU.
constexpr bool is_initial_quote(char32_t cp) noexcept {
    switch (cp) {
        case 0x00AB: case 0x2018: case 0x201B: case 0x201C: case 0x201F: case 0x2039:
        case 0x2E02: case 0x2E04: case 0x2E09: case 0x2E0C: case 0x2E1C: case 0x2E20:
            return true;
        default:
            return false;
    }
}

// Final quotation marks (Pf) of class QU.
constexpr bool is_final_quote(char32_t cp) noexcept {
    switch (cp) {
        case 0x00BB: case 0x2019: case 0x201D: case 0x203A: case 0x2E03: case 0x2E05:
        case 0x2E0A: case 0x2E0D: case 0x2E1D: case 0x2E21:
            return true;
        default:
            return false;
    }
}

}  // namespace scrivlet::data
