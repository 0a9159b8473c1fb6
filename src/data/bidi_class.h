// Bidi_Class of every code point and the paired-bracket data of rule N0.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "range_table.h"

namespace scrivlet::data {

// The values are fixed: the algorithm tests classes by value ranges
// (L, R, AL below 3; LRE..PDF 14..18; LRI, RLI, FSI 19..21) and L = 0, R = 1
// doubles as a direction.
enum class BidiClass : std::uint8_t {
    L = 0,
    R = 1,
    AL = 2,
    EN = 3,
    ES = 4,
    ET = 5,
    AN = 6,
    CS = 7,
    NSM = 8,
    BN = 9,
    B = 10,
    S = 11,
    WS = 12,
    ON = 13,
    LRE = 14,
    RLE = 15,
    LRO = 16,
    RLO = 17,
    PDF = 18,
    LRI = 19,
    RLI = 20,
    FSI = 21,
    PDI = 22,
};

struct BracketPair {
    std::uint32_t first;   // the code point the table is sorted by
    std::uint32_t second;  // its partner
};

}  // namespace scrivlet::data

#include "bidi_class_data.h"

namespace scrivlet::data {

namespace detail {

constexpr std::array<BidiClass, 128> make_ascii_bidi_classes() {
    std::array<BidiClass, 128> out{};
    for (const auto& e : BIDI_CLASS_RANGES)
        for (std::uint32_t cp = e.first; cp <= e.last && cp < 128; ++cp) out[cp] = e.value;
    return out;
}

inline constexpr std::array<BidiClass, 128> ASCII_BIDI_CLASSES = make_ascii_bidi_classes();

// The Basic Multilingual Plane as one byte per code point (64 KB), expanded
// from BIDI_CLASS_RANGES at compile time: one load instead of a search.
constexpr std::array<BidiClass, 0x10000> make_bmp_bidi_classes() {
    std::array<BidiClass, 0x10000> out{};  // BidiClass::L
    for (const auto& e : BIDI_CLASS_RANGES) {
        if (e.first > 0xFFFF) break;
        const std::uint32_t last = e.last < 0xFFFF ? e.last : 0xFFFF;
        for (std::uint32_t cp = e.first; cp <= last; ++cp) out[cp] = e.value;
    }
    return out;
}

inline constexpr std::array<BidiClass, 0x10000> BMP_BIDI_CLASSES = make_bmp_bidi_classes();

// Binary search on the first member of each entry; index of the hit or N.
template <std::size_t N>
constexpr std::size_t find_pair(const BracketPair (&table)[N], char32_t cp) noexcept {
    std::size_t low = 0, high = N;
    while (low < high) {
        std::size_t mid = low + (high - low) / 2;
        if (cp < table[mid].first)
            high = mid;
        else if (cp > table[mid].first)
            low = mid + 1;
        else
            return mid;
    }
    return N;
}

}  // namespace detail

inline constexpr std::size_t BIDI_CLASS_RANGE_COUNT = std::size(BIDI_CLASS_RANGES);

// Code points no entry covers are L (unassigned ones included).
inline BidiClass bidi_class(char32_t cp) noexcept {
    if (cp < 0x10000) return detail::BMP_BIDI_CLASSES[cp];
    std::size_t low = 0, high = BIDI_CLASS_RANGE_COUNT;
    while (low < high) {
        std::size_t mid = low + (high - low) / 2;
        if (cp < BIDI_CLASS_RANGES[mid].first)
            high = mid;
        else if (cp > BIDI_CLASS_RANGES[mid].last)
            low = mid + 1;
        else
            return BIDI_CLASS_RANGES[mid].value;
    }
    return BidiClass::L;
}

// bidi_class for text in order: beyond the BMP it remembers the last range
// (or gap between ranges) it landed in, since neighbouring letters mostly
// share one.
class BidiClassLookup {
public:
    BidiClass operator()(char32_t cp) noexcept {
        if (cp < 0x10000) return detail::BMP_BIDI_CLASSES[cp];
        if (cp - low_ <= high_ - low_) return value_;
        std::size_t low = 0, high = BIDI_CLASS_RANGE_COUNT;
        while (low < high) {
            std::size_t mid = low + (high - low) / 2;
            if (cp < BIDI_CLASS_RANGES[mid].first) {
                high = mid;
            } else if (cp > BIDI_CLASS_RANGES[mid].last) {
                low = mid + 1;
            } else {
                low_ = BIDI_CLASS_RANGES[mid].first;
                high_ = BIDI_CLASS_RANGES[mid].last;
                return value_ = BIDI_CLASS_RANGES[mid].value;
            }
        }
        // A gap: everything between the neighbouring entries is L.
        low_ = low > 0 ? BIDI_CLASS_RANGES[low - 1].last + 1 : 0;
        high_ = low < BIDI_CLASS_RANGE_COUNT ? BIDI_CLASS_RANGES[low].first - 1 : 0x10FFFF;
        return value_ = BidiClass::L;
    }

private:
    char32_t low_ = 0, high_ = 0;  // covers only U+0000, which never gets here
    BidiClass value_ = BidiClass::L;
};

// The first member of a BIDI_BRACKET_PAIRS entry.
inline bool is_opening_bracket(char32_t cp) noexcept {
    return detail::find_pair(BIDI_BRACKET_PAIRS, cp) != std::size(BIDI_BRACKET_PAIRS);
}

inline bool is_closing_bracket(char32_t cp) noexcept {
    std::size_t low = 0, high = std::size(BIDI_CLOSING_BRACKETS);
    while (low < high) {
        std::size_t mid = low + (high - low) / 2;
        if (cp < BIDI_CLOSING_BRACKETS[mid].first)
            high = mid;
        else if (cp > BIDI_CLOSING_BRACKETS[mid].last)
            low = mid + 1;
        else
            return true;
    }
    return false;
}

// The opening partner of a closing bracket; 0 (not a bracket) when cp is none.
inline char32_t opening_bracket_of(char32_t cp) noexcept {
    std::size_t i = detail::find_pair(BIDI_CLOSING_TO_OPENING, cp);
    return i == std::size(BIDI_CLOSING_TO_OPENING) ? 0 : BIDI_CLOSING_TO_OPENING[i].second;
}

}  // namespace scrivlet::data
