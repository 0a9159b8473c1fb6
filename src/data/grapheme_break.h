// Grapheme_Cluster_Break classes and the Extended_Pictographic emoji set.
#pragma once

#include <cstdint>

#include "range_table.h"

namespace scrivlet::data {

enum class GraphemeBreakClass : std::uint8_t {
    Any = 0,
    CR = 1,
    LF = 2,
    Control = 3,
    Extend = 4,
    ZWJ = 5,
    RI = 6,
    Prepend = 7,
    SpacingMark = 8,
    L = 9,
    V = 10,
    T = 11,
    LV = 12,
    LVT = 13,
    ExtPict = 14,
    Consonant = 15,
    Linker = 16,
};

}  // namespace scrivlet::data

#include "grapheme_break_data.h"

namespace scrivlet::data {

// Extended_Pictographic, less the assigned characters that are not Emoji.
inline bool is_emoji_pictographic(char32_t cp) noexcept {
    if (cp < 0xA9) return false;
    return range_contains(EMOJI_PICTOGRAPHIC_RANGES, cp);
}

inline GraphemeBreakClass grapheme_break_class(char32_t cp) noexcept {
    if (cp < 0x80) {
        if (cp >= 0x20 && cp < 0x7F) return GraphemeBreakClass::Any;
        if (cp == '\r') return GraphemeBreakClass::CR;
        if (cp == '\n') return GraphemeBreakClass::LF;
        return GraphemeBreakClass::Control;
    }
    if (is_emoji_pictographic(cp)) return GraphemeBreakClass::ExtPict;
    return range_lookup(GRAPHEME_BREAK_RANGES, cp, GraphemeBreakClass::Any);
}

}  // namespace scrivlet::data
