// Canonical combining classes, decomposition mappings, composition pairs and
// the Hangul syllable arithmetic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

#include "range_table.h"

namespace scrivlet::data {

struct CombiningClassEntry {
    std::uint32_t code_point;
    std::uint8_t combining_class;
};

// The mapping is `length` code points of the table's pool, starting at `offset`.
using DecompositionEntry = PoolEntry;

struct CompositionEntry {
    std::uint32_t first;
    std::uint32_t second;
    std::uint32_t composite;
};

}  // namespace scrivlet::data

#include "normalization_data.h"

namespace scrivlet::data {

// Hangul syllables (section 3.12 of the Unicode Standard).
inline constexpr char32_t HANGUL_S_BASE = 0xAC00;
inline constexpr char32_t HANGUL_L_BASE = 0x1100;
inline constexpr char32_t HANGUL_V_BASE = 0x1161;
inline constexpr char32_t HANGUL_T_BASE = 0x11A7;
inline constexpr char32_t HANGUL_L_COUNT = 19;
inline constexpr char32_t HANGUL_V_COUNT = 21;
inline constexpr char32_t HANGUL_T_COUNT = 28;
inline constexpr char32_t HANGUL_N_COUNT = HANGUL_V_COUNT * HANGUL_T_COUNT;  // 588
inline constexpr char32_t HANGUL_S_COUNT = HANGUL_L_COUNT * HANGUL_N_COUNT;  // 11172

constexpr bool is_hangul_syllable(char32_t cp) noexcept {
    return cp - HANGUL_S_BASE < HANGUL_S_COUNT;
}
constexpr bool is_hangul_leading(char32_t cp) noexcept { return cp - HANGUL_L_BASE < HANGUL_L_COUNT; }
constexpr bool is_hangul_vowel(char32_t cp) noexcept { return cp - HANGUL_V_BASE < HANGUL_V_COUNT; }
// TBase itself is not a trailing consonant.
constexpr bool is_hangul_trailing(char32_t cp) noexcept {
    return cp - (HANGUL_T_BASE + 1) < HANGUL_T_COUNT - 1;
}
constexpr bool is_hangul_lv(char32_t cp) noexcept {
    return is_hangul_syllable(cp) && (cp - HANGUL_S_BASE) % HANGUL_T_COUNT == 0;
}

// Writes the L V (T) decomposition of syllable s into out; returns 2 or 3.
constexpr std::size_t hangul_decompose(char32_t s, char32_t out[3]) noexcept {
    const char32_t index = s - HANGUL_S_BASE;
    out[0] = HANGUL_L_BASE + index / HANGUL_N_COUNT;
    out[1] = HANGUL_V_BASE + index % HANGUL_N_COUNT / HANGUL_T_COUNT;
    const char32_t t = index % HANGUL_T_COUNT;
    if (t == 0) return 2;
    out[2] = HANGUL_T_BASE + t;
    return 3;
}

// L + V -> LV and LV + T -> LVT, or 0.
constexpr char32_t hangul_compose(char32_t first, char32_t second) noexcept {
    if (is_hangul_leading(first) && is_hangul_vowel(second))
        return HANGUL_S_BASE +
               ((first - HANGUL_L_BASE) * HANGUL_V_COUNT + (second - HANGUL_V_BASE)) * HANGUL_T_COUNT;
    if (is_hangul_lv(first) && is_hangul_trailing(second)) return first + (second - HANGUL_T_BASE);
    return 0;
}

// Per code point normalization properties, one trie lookup.
namespace norm_props {
inline constexpr std::uint32_t CCC_MASK = 0xFF;
// Quick check Yes: the code point alone never changes under the form.
inline constexpr std::uint32_t NFD_QC_YES = 1u << 8;
inline constexpr std::uint32_t NFKD_QC_YES = 1u << 9;
inline constexpr std::uint32_t NFC_QC_YES = 1u << 10;
inline constexpr std::uint32_t NFKC_QC_YES = 1u << 11;
// Boundary before: the text before this code point normalizes independently
// of the text from it on (its decomposition begins with a starter that, for
// the composed forms, composes with nothing before it).
inline constexpr std::uint32_t NFD_BOUNDARY = 1u << 12;
inline constexpr std::uint32_t NFKD_BOUNDARY = 1u << 13;
inline constexpr std::uint32_t NFC_BOUNDARY = 1u << 14;
inline constexpr std::uint32_t NFKC_BOUNDARY = 1u << 15;
// The second code point of some composition (Hangul V and T included).
inline constexpr std::uint32_t COMPOSES_BACKWARD = 1u << 16;
// A canonical mapping exists (Hangul syllables included).
inline constexpr std::uint32_t HAS_CANONICAL = 1u << 17;
// A compatibility (tagged) mapping exists.
inline constexpr std::uint32_t HAS_COMPATIBILITY = 1u << 18;
// The rest: index of the entry in CANONICAL_DECOMPOSITION (with HAS_CANONICAL)
// or COMPATIBILITY_DECOMPOSITION (with HAS_COMPATIBILITY).
inline constexpr unsigned ENTRY_SHIFT = 19;
}  // namespace norm_props

constexpr std::uint32_t normalization_props(char32_t cp) noexcept {
    if (cp > 0x10FFFF) cp = 0x10FFFF;  // unassigned: the defaults
    const std::uint32_t block = NORMALIZATION_BLOCK_INDEX[cp >> NORMALIZATION_BLOCK_SHIFT];
    return NORMALIZATION_PROPS[(block << NORMALIZATION_BLOCK_SHIFT) |
                               (cp & ((1u << NORMALIZATION_BLOCK_SHIFT) - 1))];
}

// Canonical_Combining_Class; 0 for every code point not listed.
constexpr std::uint8_t combining_class(char32_t cp) noexcept {
    if (cp < 0x300) return 0;
    return static_cast<std::uint8_t>(normalization_props(cp) & norm_props::CCC_MASK);
}

// The same answer by binary search over CANONICAL_COMBINING_CLASS (the
// trie above is derived from it).
constexpr std::uint8_t combining_class_from_table(char32_t cp) noexcept {
    std::size_t lo = 0, hi = std::size(CANONICAL_COMBINING_CLASS);
    while (lo < hi) {
        std::size_t mid = (lo + hi) / 2;
        if (CANONICAL_COMBINING_CLASS[mid].code_point < cp)
            lo = mid + 1;
        else
            hi = mid;
    }
    return (lo < std::size(CANONICAL_COMBINING_CLASS) && CANONICAL_COMBINING_CLASS[lo].code_point == cp)
               ? CANONICAL_COMBINING_CLASS[lo].combining_class
               : 0;
}

// Single-level canonical mapping; empty when there is none. Hangul syllables
// have none here: decompose them with hangul_decompose.
constexpr std::u32string_view canonical_decomposition(char32_t cp) noexcept {
    if (cp < 0xC0) return {};
    return pool_lookup(CANONICAL_DECOMPOSITION, CANONICAL_DECOMPOSITION_POOL, cp);
}

// Single-level mapping of either kind: the canonical one when it exists,
// else the compatibility one; empty when there is none.
constexpr std::u32string_view compatibility_decomposition(char32_t cp) noexcept {
    if (cp < 0xA0) return {};
    std::u32string_view canonical = canonical_decomposition(cp);
    if (!canonical.empty()) return canonical;
    return pool_lookup(COMPATIBILITY_DECOMPOSITION, COMPATIBILITY_DECOMPOSITION_POOL, cp);
}

// The pairs whose first code point is cp: a slice of CANONICAL_COMPOSITION
// (at most 19 entries), empty for most code points.
struct CompositionRow {
    const CompositionEntry* begin;
    std::size_t count;
};

constexpr CompositionRow composition_row(char32_t cp) noexcept {
    if (cp > 0x10FFFF) return {CANONICAL_COMPOSITION, 0};
    const std::uint32_t block = COMPOSITION_BLOCK_INDEX[cp >> COMPOSITION_BLOCK_SHIFT];
    const std::uint16_t row =
        COMPOSITION_FIRST[(block << COMPOSITION_BLOCK_SHIFT) | (cp & ((1u << COMPOSITION_BLOCK_SHIFT) - 1))];
    return {CANONICAL_COMPOSITION + (row & ((1u << COMPOSITION_COUNT_SHIFT) - 1)),
            std::size_t(row >> COMPOSITION_COUNT_SHIFT)};
}

// The primary composite of a pair, or 0. Hangul is not answered here.
constexpr char32_t compose_pair(char32_t first, char32_t second) noexcept {
    const CompositionRow row = composition_row(first);
    for (std::size_t k = 0; k < row.count; ++k)
        if (row.begin[k].second == second) return row.begin[k].composite;
    return 0;
}

}  // namespace scrivlet::data
