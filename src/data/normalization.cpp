// Compile-time agreement between the normalization property trie and the
// tables it is derived from.
#include "normalization.h"

namespace scrivlet::data {
namespace {

constexpr bool trie_classes_match_table() {
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

constexpr bool trie_marks_every_decomposition() {
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
constexpr bool rows_cover_every_pair() {
    for (const CompositionEntry& e : CANONICAL_COMPOSITION) {
        const CompositionRow row = composition_row(e.first);
        if (row.count == 0 || row.begin->first != e.first || compose_pair(e.first, e.second) != e.composite)
            return false;
    }
    std::size_t total = 0;
    for (char32_t cp = 0; cp < 0x20000; ++cp) total += composition_row(cp).count;
    return total == std::size(CANONICAL_COMPOSITION);
}

}  // namespace

static_assert(rows_cover_every_pair());
static_assert(trie_classes_match_table());
static_assert(trie_marks_every_decomposition());

// The lookups on the characters whose answers are known by heart.
static_assert(combining_class(0x0041) == 0 && combining_class(0x0301) == 230);
static_assert(combining_class(0x0345) == 240 && combining_class(0x1E94A) == 7);
static_assert(combining_class(0x10FFFF) == 0 && combining_class_from_table(0x0301) == 230);
static_assert(canonical_decomposition(0x212B) == U"\u00C5");
static_assert(canonical_decomposition(0x00C5) == U"A\u030A");
static_assert(canonical_decomposition(0x1E08) == U"\u00C7\u0301");  // single level
static_assert(canonical_decomposition(0xAC00).empty() && canonical_decomposition(0x0041).empty());
static_assert(compatibility_decomposition(0x00C5) == U"A\u030A");
static_assert(compatibility_decomposition(0x00A0) == U" ");
static_assert(compatibility_decomposition(0x2474) == U"(1)");
static_assert(compatibility_decomposition(0xFDFA).size() == 18);
static_assert(compose_pair(0x0041, 0x030A) == 0x00C5);
static_assert(compose_pair(0x0915, 0x093C) == 0);  // U+0958 is excluded
static_assert(compose_pair(0x0308, 0x0301) == 0);  // U+0344 decomposes to non-starters
static_assert(compose_pair(0x1100, 0x1161) == 0);  // Hangul is arithmetic
static_assert(hangul_compose(0x1100, 0x1161) == 0xAC00 && hangul_compose(0xAC00, 0x11A8) == 0xAC01);
static_assert(hangul_compose(0xAC00, 0x11A7) == 0 && hangul_compose(0xAC01, 0x11A8) == 0);

constexpr bool hangul_decomposes_to(char32_t s, std::u32string_view want) {
    char32_t out[3] = {};
    return std::u32string_view(out, hangul_decompose(s, out)) == want;
}
static_assert(hangul_decomposes_to(0xAC00, U"\u1100\u1161"));
static_assert(hangul_decomposes_to(0xAC01, U"\u1100\u1161\u11A8"));
static_assert(hangul_decomposes_to(0xD7A3, U"\u1112\u1175\u11C2"));

}  // namespace scrivlet::data
