// The case and normalization lookups agree with the sorted tables they are
// derived from, over every code point, and give the answers known by heart.
// (Checked here once rather than by the compiler in every build.)

#include <iterator>

#include "check.h"
#include "data/casemap.h"
#include "data/normalization.h"

namespace scrivlet::data {
namespace {

template <std::size_t N>
bool trie_matches(const SimpleCaseEntry (&table)[N], std::optional<char32_t> (*lookup)(char32_t)) {
    for (const SimpleCaseEntry& e : table)
        if (lookup(e.code_point) != std::optional<char32_t>(e.mapping)) return false;
    return true;
}

// Each entry of a multi-character table is reached through its code point's
// record, with the flag set, and no other code point reaches one.
template <std::size_t N, std::size_t P>
bool trie_flags(const MultiCaseEntry (&table)[N], const char32_t (&pool)[P], std::uint16_t flag,
                          std::u32string_view (*lookup)(char32_t)) {
    for (const MultiCaseEntry& e : table)
        if (!(case_record(e.code_point).flags & flag) ||
            lookup(e.code_point) != pool_lookup(table, pool, e.code_point))
            return false;
    return true;
}

// The change bits beside each record number agree with the record's flags.
bool changes_match_flags(char32_t first, char32_t last) {
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
std::size_t count_flag(std::uint16_t flag, char32_t first, char32_t last) {
    std::size_t n = 0;
    for (char32_t cp = first; cp <= last; ++cp)
        if (case_record(cp).flags & flag) ++n;
    return n;
}

bool marks_are_case_ignorable() {
    for (const CombiningClassEntry& e : CANONICAL_COMBINING_CLASS)
        if (!is_case_ignorable(e.code_point)) return false;
    return true;
}


bool trie_classes_match_table() {
    char32_t previous = 0;
    for (const CombiningClassEntry& e : CANONICAL_COMBINING_CLASS) {
        if (e.code_point <= previous && previous != 0) return false;
        if ((normalization_props(e.code_point) & norm_props::CCC_MASK) != e.combining_class) return false;
        // the code points between two entries have class 0
        for (char32_t cp = previous + 1; cp < e.code_point; ++cp)
            if ((normalization_props(cp) & norm_props::CCC_MASK) != 0) return false;
        previous = e.code_point;
    }
    return true;
}

bool trie_marks_every_decomposition() {
    std::uint32_t index = 0;
    for (const DecompositionEntry& e : CANONICAL_DECOMPOSITION) {
        const std::uint32_t props = normalization_props(e.code_point);
        if (!(props & norm_props::HAS_CANONICAL) || (props >> norm_props::ENTRY_SHIFT) != index++) return false;
    }
    index = 0;
    for (const DecompositionEntry& e : COMPATIBILITY_DECOMPOSITION) {
        const std::uint32_t props = normalization_props(e.code_point);
        if (!(props & norm_props::HAS_COMPATIBILITY) || (props >> norm_props::ENTRY_SHIFT) != index++)
            return false;
    }
    for (const CompositionEntry& e : CANONICAL_COMPOSITION)
        if (!(normalization_props(e.second) & norm_props::COMPOSES_BACKWARD)) return false;
    return true;
}

// Every pair is found through its first code point's row, and the rows hold
// nothing else: their counts add up to the table.
bool rows_cover_every_pair() {
    for (const CompositionEntry& e : CANONICAL_COMPOSITION) {
        const CompositionRow row = composition_row(e.first);
        if (row.count == 0 || row.begin->first != e.first || compose_pair(e.first, e.second) != e.composite)
            return false;
    }
    std::size_t total = 0;
    for (char32_t cp = 0; cp < 0x20000; ++cp) total += composition_row(cp).count;
    return total == std::size(CANONICAL_COMPOSITION);
}

bool hangul_decomposes_to(char32_t s, std::u32string_view want) {
    char32_t out[3] = {};
    return std::u32string_view(out, hangul_decompose(s, out)) == want;
}

}  // namespace
}  // namespace scrivlet::data

using namespace scrivlet::data;

TEST(case_lookups_agree_with_their_tables) {
    CHECK(trie_matches(SIMPLE_LOWERCASE, simple_lowercase));
    CHECK(trie_matches(SIMPLE_UPPERCASE, simple_uppercase));
    CHECK(trie_matches(SIMPLE_TITLECASE, simple_titlecase));
    CHECK(trie_matches(SIMPLE_CASE_FOLDING, simple_case_folding));
    CHECK(trie_flags(SPECIAL_UPPERCASE, SPECIAL_UPPERCASE_POOL, case_flags::HAS_SPECIAL_UPPER, special_uppercase));
    CHECK(trie_flags(SPECIAL_TITLECASE, SPECIAL_TITLECASE_POOL, case_flags::HAS_SPECIAL_TITLE, special_titlecase));
    CHECK(trie_flags(FULL_CASE_FOLDING, FULL_CASE_FOLDING_POOL, case_flags::HAS_FULL_FOLD, full_case_folding));
    // the entries are numbered 1..N in table order, so a flag count equal to N
    // leaves no room for a stray one
    CHECK(count_flag(case_flags::HAS_SPECIAL_UPPER, 0, 0xFFFF) == std::size(SPECIAL_UPPERCASE));
    CHECK(count_flag(case_flags::HAS_SPECIAL_TITLE, 0, 0xFFFF) == std::size(SPECIAL_TITLECASE));
    CHECK(count_flag(case_flags::HAS_FULL_FOLD, 0, 0xFFFF) == std::size(FULL_CASE_FOLDING));
    CHECK(changes_match_flags(0, 0xFFFF) && changes_match_flags(0x10000, 0x1FFFF));
    // all case mappings live below U+20000
    CHECK(count_flag(case_flags::HAS_LOWER, 0, 0xFFFF) + count_flag(case_flags::HAS_LOWER, 0x10000, 0x1FFFF) ==
                  std::size(SIMPLE_LOWERCASE));
    CHECK(count_flag(case_flags::HAS_UPPER, 0, 0xFFFF) + count_flag(case_flags::HAS_UPPER, 0x10000, 0x1FFFF) ==
                  std::size(SIMPLE_UPPERCASE));
    CHECK(count_flag(case_flags::TITLECASE_LETTER, 0, 0xFFFF) == 31);
    CHECK(marks_are_case_ignorable());

    // The answers known by heart.
    CHECK(simple_uppercase(0x0069) == U'\u0049' && simple_lowercase(0x0049) == U'\u0069');
    CHECK(simple_lowercase(0x0130) == U'\u0069' && !simple_uppercase(0x00DF));
    CHECK(simple_titlecase(0x01C6) == U'\u01C5' && simple_titlecase(0x10D0) == U'\u10D0');
    CHECK(!simple_titlecase(0x0061));
    CHECK(simple_case_folding(0x00B5) == U'\u03BC' && simple_case_folding(0x03C2) == U'\u03C3');
    CHECK(simple_case_folding(0x0345) == U'\u03B9' && simple_case_folding(0x1E9E) == U'\u00DF');
    CHECK(!simple_case_folding(0x00DF) && !simple_case_folding(0x0130));
    CHECK(special_uppercase(0x00DF) == U"SS" && special_titlecase(0x00DF) == U"Ss");
    CHECK(full_case_folding(0x00DF) == U"ss" && special_uppercase(0xFB03) == U"FFI");
    CHECK(special_uppercase(0x1F80) == U"\u1F08\u0399" && full_case_folding(0x1F80) == U"\u1F00\u03B9");
    CHECK(full_case_folding(0x0130) == U"i\u0307" && special_uppercase(0x0061).empty());
    CHECK(is_cased(0x0041) && is_cased(0x0061) && is_cased(0x01C5));
    CHECK(!is_cased(0x00AA) && !is_cased(0x0031) && !is_cased(0x0138));
    CHECK(is_case_ignorable(0x0301) && is_case_ignorable(0x0027) && is_case_ignorable(0x00AD));
    CHECK(is_case_ignorable(0xFE0F) && !is_case_ignorable(0x0020) && !is_case_ignorable(0x002D));
    CHECK(is_cased(0x0345) && is_case_ignorable(0x0345));
    CHECK(is_white_space(0x3000) && is_white_space(0x0085) && !is_white_space(0x200B));
}

TEST(normalization_lookups_agree_with_their_tables) {
    CHECK(rows_cover_every_pair());
    CHECK(trie_classes_match_table());
    CHECK(trie_marks_every_decomposition());

    // The lookups on the characters whose answers are known by heart.
    CHECK(combining_class(0x0041) == 0 && combining_class(0x0301) == 230);
    CHECK(combining_class(0x0345) == 240 && combining_class(0x1E94A) == 7);
    CHECK(combining_class(0x10FFFF) == 0 && combining_class_from_table(0x0301) == 230);
    CHECK(canonical_decomposition(0x212B) == U"\u00C5");
    CHECK(canonical_decomposition(0x00C5) == U"A\u030A");
    CHECK(canonical_decomposition(0x1E08) == U"\u00C7\u0301");  // single level
    CHECK(canonical_decomposition(0xAC00).empty() && canonical_decomposition(0x0041).empty());
    CHECK(compatibility_decomposition(0x00C5) == U"A\u030A");
    CHECK(compatibility_decomposition(0x00A0) == U" ");
    CHECK(compatibility_decomposition(0x2474) == U"(1)");
    CHECK(compatibility_decomposition(0xFDFA).size() == 18);
    CHECK(compose_pair(0x0041, 0x030A) == 0x00C5);
    CHECK(compose_pair(0x0915, 0x093C) == 0);  // U+0958 is excluded
    CHECK(compose_pair(0x0308, 0x0301) == 0);  // U+0344 decomposes to non-starters
    CHECK(compose_pair(0x1100, 0x1161) == 0);  // Hangul is arithmetic
    CHECK(hangul_compose(0x1100, 0x1161) == 0xAC00 && hangul_compose(0xAC00, 0x11A8) == 0xAC01);
    CHECK(hangul_compose(0xAC00, 0x11A7) == 0 && hangul_compose(0xAC01, 0x11A8) == 0);

    CHECK(hangul_decomposes_to(0xAC00, U"\u1100\u1161"));
    CHECK(hangul_decomposes_to(0xAC01, U"\u1100\u1161\u11A8"));
    CHECK(hangul_decomposes_to(0xD7A3, U"\u1112\u1175\u11C2"));
}
