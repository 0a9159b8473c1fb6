// Simple and multi-character case mappings, case folding, and the character
// predicates of the case operations (White_Space, titlecase letter, cased,
// case-ignorable).
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string_view>

#include "range_table.h"

namespace scrivlet::data {

struct SimpleCaseEntry {
    std::uint32_t code_point;
    std::uint32_t mapping;
};

// The mapping is `length` (2 or 3) code points of the table's pool from `offset`.
using MultiCaseEntry = PoolEntry;

// Everything the case operations ask about one code point: which tables have
// an entry for it, the predicates, and the simple mappings as differences.
struct CaseRecord {
    std::uint16_t flags;
    std::int32_t lower_delta;
    std::int32_t upper_delta;
    std::int32_t title_delta;
    std::int32_t fold_delta;
};

namespace case_flags {
inline constexpr std::uint16_t HAS_LOWER = 1u << 0;
inline constexpr std::uint16_t HAS_UPPER = 1u << 1;
inline constexpr std::uint16_t HAS_TITLE = 1u << 2;
inline constexpr std::uint16_t HAS_FOLD = 1u << 3;
inline constexpr std::uint16_t HAS_SPECIAL_UPPER = 1u << 4;
inline constexpr std::uint16_t HAS_SPECIAL_TITLE = 1u << 5;
inline constexpr std::uint16_t HAS_FULL_FOLD = 1u << 6;
inline constexpr std::uint16_t CASED = 1u << 7;
inline constexpr std::uint16_t CASE_IGNORABLE = 1u << 8;
inline constexpr std::uint16_t WHITE_SPACE = 1u << 9;
inline constexpr std::uint16_t TITLECASE_LETTER = 1u << 10;
}  // namespace case_flags

}  // namespace scrivlet::data

#include "casemap_data.h"

namespace scrivlet::data {

// One trie lookup; code points that no table names get record 0 (nothing).
constexpr const CaseRecord& case_record(char32_t cp) noexcept {
    if (cp > 0x10FFFF) cp = 0x10FFFF;
    const std::uint32_t block = CASE_BLOCK_INDEX[cp >> CASE_BLOCK_SHIFT];
    return CASE_RECORDS[CASE_RECORD_INDEX[(block << CASE_BLOCK_SHIFT) | (cp & ((1u << CASE_BLOCK_SHIFT) - 1))]];
}

constexpr std::optional<char32_t> simple_lowercase(char32_t cp) noexcept {
    const CaseRecord& r = case_record(cp);
    if (!(r.flags & case_flags::HAS_LOWER)) return std::nullopt;
    return static_cast<char32_t>(static_cast<std::int32_t>(cp) + r.lower_delta);
}

constexpr std::optional<char32_t> simple_uppercase(char32_t cp) noexcept {
    const CaseRecord& r = case_record(cp);
    if (!(r.flags & case_flags::HAS_UPPER)) return std::nullopt;
    return static_cast<char32_t>(static_cast<std::int32_t>(cp) + r.upper_delta);
}

// Only the code points whose titlecase differs from their simple uppercase.
constexpr std::optional<char32_t> simple_titlecase(char32_t cp) noexcept {
    const CaseRecord& r = case_record(cp);
    if (!(r.flags & case_flags::HAS_TITLE)) return std::nullopt;
    return static_cast<char32_t>(static_cast<std::int32_t>(cp) + r.title_delta);
}

constexpr std::optional<char32_t> simple_case_folding(char32_t cp) noexcept {
    const CaseRecord& r = case_record(cp);
    if (!(r.flags & case_flags::HAS_FOLD)) return std::nullopt;
    return static_cast<char32_t>(static_cast<std::int32_t>(cp) + r.fold_delta);
}

// Two or three code points, or empty when there is no entry.
constexpr std::u32string_view special_uppercase(char32_t cp) noexcept {
    return pool_lookup(SPECIAL_UPPERCASE, SPECIAL_UPPERCASE_POOL, cp);
}
constexpr std::u32string_view special_titlecase(char32_t cp) noexcept {
    return pool_lookup(SPECIAL_TITLECASE, SPECIAL_TITLECASE_POOL, cp);
}
constexpr std::u32string_view full_case_folding(char32_t cp) noexcept {
    return pool_lookup(FULL_CASE_FOLDING, FULL_CASE_FOLDING_POOL, cp);
}

constexpr bool is_white_space(char32_t cp) noexcept {
    return case_record(cp).flags & case_flags::WHITE_SPACE;
}
// General_Category Lt.
constexpr bool is_titlecase_letter(char32_t cp) noexcept {
    return case_record(cp).flags & case_flags::TITLECASE_LETTER;
}
// The library's stand-in for Cased: a simple uppercase or lowercase mapping,
// or a titlecase letter. Cased letters without a mapping (U+00AA) are not.
constexpr bool is_cased(char32_t cp) noexcept { return case_record(cp).flags & case_flags::CASED; }
// The library's stand-in for Case_Ignorable: a non-zero combining class, a few
// word-internal punctuation marks, the joiners and the variation selectors.
constexpr bool is_case_ignorable(char32_t cp) noexcept {
    return case_record(cp).flags & case_flags::CASE_IGNORABLE;
}

}  // namespace scrivlet::data
