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
// an entry for it, the predicates, the simple mappings as differences, and
// 1 + the index of its entry in SPECIAL_UPPERCASE, SPECIAL_TITLECASE and
// FULL_CASE_FOLDING (0 when there is none).
struct CaseRecord {
    std::uint16_t flags;
    std::int32_t lower_delta;
    std::int32_t upper_delta;
    std::int32_t title_delta;
    std::int32_t fold_delta;
    std::uint8_t special_upper;
    std::uint8_t special_title;
    std::uint8_t full_fold;
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

// Whether an operation can change a code point: kept beside the record number
// in the trie, so that scanning a text for its first change loads no record.
namespace case_changes {
inline constexpr std::uint16_t LOWER = 1u << 0;        // HAS_LOWER
inline constexpr std::uint16_t UPPER = 1u << 1;        // HAS_UPPER or HAS_SPECIAL_UPPER
inline constexpr std::uint16_t FOLD = 1u << 2;         // HAS_FOLD or HAS_FULL_FOLD
inline constexpr std::uint16_t SIMPLE_FOLD = 1u << 3;  // HAS_FOLD
// Title casing looks at it: CASED, HAS_SPECIAL_TITLE or WHITE_SPACE.
inline constexpr std::uint16_t TITLE = 1u << 4;
}  // namespace case_changes

}  // namespace scrivlet::data

#include "casemap_data.h"

namespace scrivlet::data {

// The trie entry of cp: its record number, and its case_changes bits from
// CASE_CHANGE_SHIFT up.
constexpr std::uint16_t case_entry(char32_t cp) noexcept {
    if (cp > 0x10FFFF) cp = 0x10FFFF;
    const std::uint32_t block = CASE_BLOCK_INDEX[cp >> CASE_BLOCK_SHIFT];
    return CASE_RECORD_INDEX[(block << CASE_BLOCK_SHIFT) | (cp & ((1u << CASE_BLOCK_SHIFT) - 1))];
}

constexpr std::uint16_t case_changes_of(char32_t cp) noexcept { return case_entry(cp) >> CASE_CHANGE_SHIFT; }

constexpr const CaseRecord& record_of_entry(std::uint16_t entry) noexcept {
    return CASE_RECORDS[entry & ((1u << CASE_CHANGE_SHIFT) - 1)];
}

// One trie lookup; code points that no table names get record 0 (nothing).
constexpr const CaseRecord& case_record(char32_t cp) noexcept { return record_of_entry(case_entry(cp)); }

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

// The mapping of a 1-based entry number of a record (0: none), two or three
// code points, or empty.
constexpr std::u32string_view pool_entry(const MultiCaseEntry* table, std::size_t size, const char32_t* pool,
                                         std::uint8_t number) noexcept {
    if (number == 0 || number > size) return {};
    return std::u32string_view(pool + table[number - 1].offset, table[number - 1].length);
}

// Two or three code points, or empty when there is no entry.
constexpr std::u32string_view special_uppercase(const CaseRecord& r) noexcept {
    return pool_entry(SPECIAL_UPPERCASE, std::size(SPECIAL_UPPERCASE), SPECIAL_UPPERCASE_POOL, r.special_upper);
}
constexpr std::u32string_view special_titlecase(const CaseRecord& r) noexcept {
    return pool_entry(SPECIAL_TITLECASE, std::size(SPECIAL_TITLECASE), SPECIAL_TITLECASE_POOL, r.special_title);
}
constexpr std::u32string_view full_case_folding(const CaseRecord& r) noexcept {
    return pool_entry(FULL_CASE_FOLDING, std::size(FULL_CASE_FOLDING), FULL_CASE_FOLDING_POOL, r.full_fold);
}
constexpr std::u32string_view special_uppercase(char32_t cp) noexcept {
    return special_uppercase(case_record(cp));
}
constexpr std::u32string_view special_titlecase(char32_t cp) noexcept {
    return special_titlecase(case_record(cp));
}
constexpr std::u32string_view full_case_folding(char32_t cp) noexcept {
    return full_case_folding(case_record(cp));
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
