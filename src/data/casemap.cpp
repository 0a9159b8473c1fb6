// Compile-time agreement between the case record trie and the tables and
// predicate definitions it is derived from.
#include "casemap.h"

#include "normalization.h"

namespace scrivlet::data {
namespace {

template <std::size_t N>
constexpr bool trie_matches(const SimpleCaseEntry (&table)[N], std::optional<char32_t> (*lookup)(char32_t)) {
    for (const SimpleCaseEntry& e : table)
        if (lookup(e.code_point) != std::optional<char32_t>(e.mapping)) return false;
    return true;
}

// Each entry of a multi-character table is reached through its code point's
// record, with the flag set, and no other code point reaches one.
template <std::size_t N, std::size_t P>
constexpr bool trie_flags(const MultiCaseEntry (&table)[N], const char32_t (&pool)[P], std::uint16_t flag,
                          std::u32string_view (*lookup)(char32_t)) {
    for (const MultiCaseEntry& e : table)
        if (!(case_record(e.code_point).flags & flag) ||
            lookup(e.code_point) != pool_lookup(table, pool, e.code_point))
            return false;
    return true;
}

// The change bits beside each record number agree with the record's flags.
constexpr bool changes_match_flags(char32_t first, char32_t last) {
    namespace f = case_flags;
    namespace c = case_changes;
    for (char32_t cp = first; cp <= last; ++cp) {
        const std::uint16_t flags = case_record(cp).flags, changes = case_changes_of(cp);
        if (bool(changes & c::LOWER) != bool(flags & f::HAS_LOWER) ||
            bool(changes & c::UPPER) != bool(flags & (f::HAS_UPPER | f::HAS_SPECIAL_UPPER)) ||
            bool(changes & c::FOLD) != bool(flags & (f::HAS_FOLD | f::HAS_FULL_FOLD)) ||
            bool(changes & c::SIMPLE_FOLD) != bool(flags & f::HAS_FOLD) ||
            bool(changes & c::TITLE) != bool(flags & (f::CASED | f::HAS_SPECIAL_TITLE | f::WHITE_SPACE)))
            return false;
    }
    return true;
}

// Every code point the trie says has an entry, summed over a plane range,
// must match the table sizes: no entry appears from nowhere.
constexpr std::size_t count_flag(std::uint16_t flag, char32_t first, char32_t last) {
    std::size_t n = 0;
    for (char32_t cp = first; cp <= last; ++cp)
        if (case_record(cp).flags & flag) ++n;
    return n;
}

constexpr bool marks_are_case_ignorable() {
    for (const CombiningClassEntry& e : CANONICAL_COMBINING_CLASS)
        if (!is_case_ignorable(e.code_point)) return false;
    return true;
}

}  // namespace

static_assert(trie_matches(SIMPLE_LOWERCASE, simple_lowercase));
static_assert(trie_matches(SIMPLE_UPPERCASE, simple_uppercase));
static_assert(trie_matches(SIMPLE_TITLECASE, simple_titlecase));
static_assert(trie_matches(SIMPLE_CASE_FOLDING, simple_case_folding));
static_assert(trie_flags(SPECIAL_UPPERCASE, SPECIAL_UPPERCASE_POOL, case_flags::HAS_SPECIAL_UPPER, special_uppercase));
static_assert(trie_flags(SPECIAL_TITLECASE, SPECIAL_TITLECASE_POOL, case_flags::HAS_SPECIAL_TITLE, special_titlecase));
static_assert(trie_flags(FULL_CASE_FOLDING, FULL_CASE_FOLDING_POOL, case_flags::HAS_FULL_FOLD, full_case_folding));
// the entries are numbered 1..N in table order, so a flag count equal to N
// leaves no room for a stray one
static_assert(count_flag(case_flags::HAS_SPECIAL_UPPER, 0, 0xFFFF) == std::size(SPECIAL_UPPERCASE));
static_assert(count_flag(case_flags::HAS_SPECIAL_TITLE, 0, 0xFFFF) == std::size(SPECIAL_TITLECASE));
static_assert(count_flag(case_flags::HAS_FULL_FOLD, 0, 0xFFFF) == std::size(FULL_CASE_FOLDING));
static_assert(changes_match_flags(0, 0xFFFF) && changes_match_flags(0x10000, 0x1FFFF));
// all case mappings live below U+20000
static_assert(count_flag(case_flags::HAS_LOWER, 0, 0xFFFF) + count_flag(case_flags::HAS_LOWER, 0x10000, 0x1FFFF) ==
              std::size(SIMPLE_LOWERCASE));
static_assert(count_flag(case_flags::HAS_UPPER, 0, 0xFFFF) + count_flag(case_flags::HAS_UPPER, 0x10000, 0x1FFFF) ==
              std::size(SIMPLE_UPPERCASE));
static_assert(count_flag(case_flags::TITLECASE_LETTER, 0, 0xFFFF) == 31);
static_assert(marks_are_case_ignorable());

// The answers known by heart.
static_assert(simple_uppercase(0x0069) == U'\u0049' && simple_lowercase(0x0049) == U'\u0069');
static_assert(simple_lowercase(0x0130) == U'\u0069' && !simple_uppercase(0x00DF));
static_assert(simple_titlecase(0x01C6) == U'\u01C5' && simple_titlecase(0x10D0) == U'\u10D0');
static_assert(!simple_titlecase(0x0061));
static_assert(simple_case_folding(0x00B5) == U'\u03BC' && simple_case_folding(0x03C2) == U'\u03C3');
static_assert(simple_case_folding(0x0345) == U'\u03B9' && simple_case_folding(0x1E9E) == U'\u00DF');
static_assert(!simple_case_folding(0x00DF) && !simple_case_folding(0x0130));
static_assert(special_uppercase(0x00DF) == U"SS" && special_titlecase(0x00DF) == U"Ss");
static_assert(full_case_folding(0x00DF) == U"ss" && special_uppercase(0xFB03) == U"FFI");
static_assert(special_uppercase(0x1F80) == U"\u1F08\u0399" && full_case_folding(0x1F80) == U"\u1F00\u03B9");
static_assert(full_case_folding(0x0130) == U"i\u0307" && special_uppercase(0x0061).empty());
static_assert(is_cased(0x0041) && is_cased(0x0061) && is_cased(0x01C5));
static_assert(!is_cased(0x00AA) && !is_cased(0x0031) && !is_cased(0x0138));
static_assert(is_case_ignorable(0x0301) && is_case_ignorable(0x0027) && is_case_ignorable(0x00AD));
static_assert(is_case_ignorable(0xFE0F) && !is_case_ignorable(0x0020) && !is_case_ignorable(0x002D));
static_assert(is_cased(0x0345) && is_case_ignorable(0x0345));
static_assert(is_white_space(0x3000) && is_white_space(0x0085) && !is_white_space(0x200B));

}  // namespace scrivlet::data
