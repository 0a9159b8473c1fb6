// The grapheme cluster rules as a scan over a text in any form, and the
// walks built on it: the whole-text boundaries, truncation and the logical
// cursor all read clusters through these.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "../data/grapheme_break.h"
#include "units.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace scrivlet::segment::walk {

using G = data::GraphemeBreakClass;

// grapheme_break_class for planes 0 and 1, built at compile time from the same
// range table and emoji set: one class per code point (128 KB), so that text
// mixing the two planes (emoji among spaces, ZWJs and variation selectors)
// finds each class with one load and no branch on the plane.
struct ClassTables {
    std::array<G, 0x20000> planes01{};
};

constexpr ClassTables build_class_tables() {
    ClassTables t{};
    for (auto& v : t.planes01) v = G::Any;
    for (const auto& r : data::GRAPHEME_BREAK_RANGES)
        for (std::uint32_t cp = r.first; cp <= r.last && cp < 0x20000; ++cp) t.planes01[cp] = r.value;
    for (const auto& r : data::EMOJI_PICTOGRAPHIC_RANGES)
        for (std::uint32_t cp = r.first; cp <= r.last && cp < 0x20000; ++cp) t.planes01[cp] = G::ExtPict;
    return t;
}

// Computed once, in grapheme.cpp: evaluating it is a good part of a TU's
// compile time, and four TUs read it.
extern const ClassTables CLASS_TABLES;

inline G class_of(char32_t cp) noexcept {
    if (cp >= 0x20000) [[unlikely]]
        return data::grapheme_break_class(cp);
    return CLASS_TABLES.planes01[cp];
}

constexpr bool is_one_of(G c, G a) { return c == a; }
template <typename... Rest>
constexpr bool is_one_of(G c, G a, Rest... rest) {
    return c == a || is_one_of(c, rest...);
}

constexpr G NONE = static_cast<G>(0xFF);

// Whether the pair (prev, cur) joins inside a cluster. prev is never NONE:
// the first character of a cluster always joins (GB1/GB2 are the scan itself).
// before is the class before prev inside the cluster (NONE at its start),
// ri_run the count of consecutive RIs ending at prev, prev_cp the code point of prev.
constexpr bool joins(G before, G prev, G cur, unsigned ri_run, char32_t prev_cp) {
    switch (prev) {
        case G::CR:  // GB3, GB4
            return cur == G::LF;
        case G::LF:
        case G::Control:  // GB4
            return false;
        case G::RI:  // GB9, GB9a, GB12, GB13
            return is_one_of(cur, G::Extend, G::ZWJ, G::SpacingMark, G::Linker) ||
                   (cur == G::RI && (ri_run & 1));
        case G::L:  // GB6, GB9, GB9a
            return is_one_of(cur, G::L, G::V, G::LV, G::LVT, G::Extend, G::ZWJ, G::SpacingMark,
                             G::Linker);
        default:
            break;
    }
    // GB7, GB8
    if (is_one_of(prev, G::V, G::LV) && is_one_of(cur, G::V, G::T)) return true;
    if (is_one_of(prev, G::T, G::LVT) && cur == G::T) return true;
    // GB9, GB9a
    if (is_one_of(cur, G::Extend, G::ZWJ, G::SpacingMark)) return true;
    if (prev == G::ZWJ) {
        // GB11 with one character of look-back, not the whole emoji sequence
        if (cur == G::ExtPict) return is_one_of(before, G::Extend, G::ExtPict);
        // GB9c across a ZWJ, again with one character of look-back
        if (cur == G::Consonant && before != NONE)
            return is_one_of(before, G::Extend, G::Consonant, G::Linker);
        return cur == G::Linker;
    }
    if (prev == G::ExtPict) return cur == G::Linker;
    // GB9b (after GB5 for CR, LF and Control)
    if (prev == G::Prepend) return !is_one_of(cur, G::CR, G::LF, G::Control);
    // GB9: a Linker is an Extend character
    if (cur == G::Linker) return true;
    // GB9c with one character of look-back; the Balinese adeg adeg joins any consonant
    if (prev == G::Linker && cur == G::Consonant)
        return is_one_of(before, G::Extend, G::ZWJ, G::SpacingMark, G::Consonant, G::Linker) ||
               prev_cp == 0x1B44;
    // GB5, GB999
    return false;
}

// For each pair (prev, cur) of classes: whether it breaks, joins, or depends on
// the rest of the scan state (the class before prev, the regional indicator
// count, the code point of prev), decided once from joins itself. Row NO_PREV
// stands for the first character of the text, which always starts a cluster.
enum class Pair : std::uint8_t { Break, Join, Depends };
constexpr unsigned CLASS_COUNT = 17;
constexpr unsigned NO_PREV = CLASS_COUNT;

constexpr std::array<std::array<Pair, CLASS_COUNT>, CLASS_COUNT + 1> build_pairs() {
    std::array<std::array<Pair, CLASS_COUNT>, CLASS_COUNT + 1> t{};
    for (unsigned p = 0; p < CLASS_COUNT; ++p)
        for (unsigned c = 0; c < CLASS_COUNT; ++c) {
            bool seen_join = false, seen_break = false;
            for (unsigned b = 0; b <= CLASS_COUNT; ++b)
                for (unsigned ri = 0; ri < 2; ++ri)
                    for (char32_t cp : {char32_t(0), char32_t(0x1B44)}) {
                        const G before = b == CLASS_COUNT ? NONE : static_cast<G>(b);
                        (joins(before, static_cast<G>(p), static_cast<G>(c), ri, cp) ? seen_join
                                                                                      : seen_break) = true;
                    }
            t[p][c] = seen_join && seen_break ? Pair::Depends : seen_join ? Pair::Join : Pair::Break;
        }
    for (auto& c : t[NO_PREV]) c = Pair::Break;
    return t;
}

constexpr auto PAIRS = build_pairs();

// Only a ZWJ, a Linker or a regional indicator leaves a pair to the scan state,
// and what precedes a ZWJ or a Linker never does: the local decision below
// relies on both.
constexpr bool pairs_depend_only_after_zwj_linker_ri() {
    for (unsigned p = 0; p < CLASS_COUNT; ++p)
        for (unsigned c = 0; c < CLASS_COUNT; ++c) {
            const bool depends = PAIRS[p][c] == Pair::Depends;
            const G prev = static_cast<G>(p), cur = static_cast<G>(c);
            if (depends && !is_one_of(prev, G::ZWJ, G::Linker, G::RI)) return false;
            if (depends && is_one_of(cur, G::ZWJ, G::Linker)) return false;
        }
    return true;
}
static_assert(pairs_depend_only_after_zwj_linker_ri());

// Whether the pair (before, after) breaks under every scan state.
constexpr bool certain_break(G before, G after) noexcept {
    return PAIRS[static_cast<unsigned>(before)][static_cast<unsigned>(after)] == Pair::Break;
}

constexpr bool is_printable_ascii(char32_t u) noexcept { return u - 0x20 < 0x5F; }

// For each pair of classes, what the scan does: bit 0 set when the second
// starts a cluster after the first; bit 1 when the scan must look closer,
// because the pair depends on more than its two classes or the second is a
// ZWJ, a Linker or a regional indicator, whose context a later pair reads.
// Rows are 32 entries wide, so a row is found with a shift.
constexpr std::uint8_t STEP_STARTS = 1, STEP_CLOSER = 2;

constexpr bool is_noted(G c) { return is_one_of(c, G::ZWJ, G::Linker, G::RI); }

constexpr std::array<std::array<std::uint8_t, 32>, CLASS_COUNT + 1> build_steps() {
    std::array<std::array<std::uint8_t, 32>, CLASS_COUNT + 1> t{};
    for (unsigned p = 0; p <= CLASS_COUNT; ++p)
        for (unsigned c = 0; c < CLASS_COUNT; ++c) {
            const Pair pair = PAIRS[p][c];
            t[p][c] = static_cast<std::uint8_t>((pair == Pair::Break ? STEP_STARTS : 0) |
                                                (pair == Pair::Depends || is_noted(static_cast<G>(c))
                                                     ? STEP_CLOSER
                                                     : 0));
        }
    return t;
}

inline constexpr auto STEPS = build_steps();

// The scan reads the classes of the last three code points at once, in a
// table of every triple: a pair that depends on more than its two classes
// does so after a ZWJ or a Linker only through the class before it (GB9c,
// GB11, one character of look-back), so that Indic conjuncts and emoji ZWJ
// sequences take no branch of their own. What the triple leaves open (the
// second of two regional indicators, a Linker that is the Balinese adeg adeg
// after a class that would not let a consonant join) is settled aside.
namespace triple {
// Rows beyond the classes: a start that nothing extends, and nothing.
constexpr unsigned START = CLASS_COUNT;
constexpr unsigned NOTHING = CLASS_COUNT + 1;
constexpr unsigned SIDE = 32;
constexpr char32_t ADEG_ADEG = 0x1B44;  // joins any consonant after it (GB9c)
// An entry: bit 0 whether the third starts a cluster, bit 1 that it is open.
constexpr std::uint8_t STARTS = 1, OPEN = 2;

constexpr std::uint8_t entry(unsigned b, unsigned p, unsigned c) {
    if (p == START || p == NOTHING) return STARTS;
    const G prev = static_cast<G>(p), cur = static_cast<G>(c);
    const Pair pair = PAIRS[p][c];
    if (pair != Pair::Depends) return pair == Pair::Break ? STARTS : 0;
    if (prev == G::RI) return OPEN;
    // After a ZWJ or a Linker, which never depends on what precedes it: the
    // class before it in its cluster, none if it starts one.
    const bool prev_starts = b == START || b == NOTHING || certain_break(static_cast<G>(b), prev);
    const G before = prev_starts ? NONE : static_cast<G>(b);
    const bool start = !joins(before, prev, cur, 1, 0);
    if (start && prev == G::Linker && joins(before, prev, cur, 1, ADEG_ADEG)) return STARTS | OPEN;
    return start ? STARTS : 0;
}

struct Table {
    std::array<std::uint8_t, SIDE * SIDE * SIDE> at{};
};
constexpr Table build() {
    Table t{};
    for (unsigned b = 0; b <= NOTHING; ++b)
        for (unsigned p = 0; p <= NOTHING; ++p)
            for (unsigned c = 0; c < CLASS_COUNT; ++c) t.at[(b * SIDE + p) * SIDE + c] = entry(b, p, c);
    return t;
}
inline constexpr Table TABLE = build();

// Settles an open entry, for a code point after prev (a Linker or a regional
// indicator, rows as in the table) and before (the row before prev); prev_cp
// is prev's code point. pair_closed says whether the last regional indicator
// closed a pair, and is updated. Returns whether the code point starts a cluster.
[[gnu::noinline]] inline bool settle(unsigned before, unsigned prev, char32_t prev_cp,
                                     bool& pair_closed) noexcept {
    if (prev == unsigned(G::Linker)) return prev_cp != ADEG_ADEG;
    // GB12, GB13: a regional indicator after one joins it unless that one
    // closed a pair; a run starts with one that follows no other.
    const bool pair_closed_before = before == unsigned(G::RI) && pair_closed;
    pair_closed = !pair_closed_before;
    return pair_closed_before;
}
}  // namespace triple

class ClusterScan {
public:
    // Whether a code point cp of class cls starts a cluster after those scanned.
    [[gnu::always_inline]] bool starts(char32_t cp, G cls) noexcept {
        const unsigned c = static_cast<unsigned>(cls);
        const std::uint8_t e = triple::TABLE.at[before_ + prev_ + c];
        bool start = e & triple::STARTS;
        if (e & triple::OPEN) [[unlikely]]
            start = open();
        before_ = prev_ * triple::SIDE;
        prev_ = c * triple::SIDE;
        prev_cp_ = cp;
        return start;
    }
    // After a code point that is a cluster of its own whatever follows.
    void restart() noexcept {
        before_ = triple::NOTHING * triple::SIDE * triple::SIDE;
        prev_ = triple::START * triple::SIDE;
    }
    bool after_prepend() const noexcept { return prev_ == unsigned(G::Prepend) * triple::SIDE; }

private:
    bool open() noexcept {
        bool closed = pair_closed_;  // a copy, so that the scan's own state stays in registers
        const bool start =
            triple::settle(before_ / (triple::SIDE * triple::SIDE), prev_ / triple::SIDE, prev_cp_, closed);
        pair_closed_ = closed;
        return start;
    }

    // Offsets into the table of the two classes before.
    unsigned before_ = triple::NOTHING * triple::SIDE * triple::SIDE;
    unsigned prev_ = triple::START * triple::SIDE;
    char32_t prev_cp_ = 0;
    bool pair_closed_ = false;  // the last regional indicator closed a pair
};

// Calls f(pos, cp, starts_a_cluster) for every code point of units[from, to),
// the scan starting fresh at from, while f returns true.
// The end of the run of printable ASCII units from pos in units[0, to):
// pos itself when there is none. A block of units at a time where SSE2 is there.
template <typename Unit>
std::size_t printable_ascii_end(const Unit* p, std::size_t pos, std::size_t to) noexcept {
#if defined(__SSE2__)
    constexpr std::size_t LANES = 16 / sizeof(Unit);
    for (; pos + LANES <= to; pos += LANES) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + pos));
        __m128i printable;
        if constexpr (sizeof(Unit) == 1) {
            const __m128i d = _mm_sub_epi8(v, _mm_set1_epi8(0x20));
            printable = _mm_cmpeq_epi8(_mm_subs_epu8(d, _mm_set1_epi8(0x5E)), _mm_setzero_si128());
        } else if constexpr (sizeof(Unit) == 2) {
            const __m128i d = _mm_sub_epi16(v, _mm_set1_epi16(0x20));
            printable = _mm_cmpeq_epi16(_mm_subs_epu16(d, _mm_set1_epi16(0x5E)), _mm_setzero_si128());
        } else {
            // Code points are below 2^31: signed comparisons hold.
            printable = _mm_and_si128(_mm_cmpgt_epi32(v, _mm_set1_epi32(0x1F)),
                                      _mm_cmplt_epi32(v, _mm_set1_epi32(0x7F)));
        }
        const unsigned mask = unsigned(_mm_movemask_epi8(printable));
        if (mask != 0xFFFF) return pos + unsigned(__builtin_ctz(~mask)) / sizeof(Unit);
    }
#endif
    while (pos < to && is_printable_ascii(p[pos])) ++pos;
    return pos;
}

// Calls f(pos, cp, starts_a_cluster) for every code point of units[from, to),
// the scan starting fresh at from, while f returns true.
//
// Printable ASCII after anything but a Prepend starts a cluster, and so does
// printable ASCII after it: in a run of it, every unit is a cluster of its
// own but the last, which may take marks after it. With ascii_runs, such runs
// of fixed-width units are passed over without the rules, which pays where
// little else is done per code point (truncation), not where every code
// point is handed on anyway.
template <bool ascii_runs = false, typename Units, typename F>
[[gnu::always_inline]] inline void scan_clusters(const Units u, std::size_t from, std::size_t to, F&& f) {
    ClusterScan scan;
    for (std::size_t pos = from; pos < to;) {
        if constexpr (!Units::fixed) {
            const char32_t b = u.unit(pos);
            if (is_printable_ascii(b) && !scan.after_prepend() &&
                (pos + 1 == to || is_printable_ascii(u.unit(pos + 1)))) {
                if (!f(pos, b, true)) return;
                ++pos;
                scan.restart();
                continue;
            }
        } else if constexpr (ascii_runs) {
            if (is_printable_ascii(u.unit(pos)) && pos + 1 < to && is_printable_ascii(u.unit(pos + 1)) &&
                !scan.after_prepend()) {
                const std::size_t last = printable_ascii_end(u.data(), pos + 2, to) - 1;
                for (; pos < last; ++pos)
                    if (!f(pos, u.unit(pos), true)) return;
                scan.restart();
            }
        }
        std::size_t next;
        const char32_t cp = u.at(pos, next);
        if (!f(pos, cp, scan.starts(cp, class_of(cp)))) return;
        pos = next;
    }
}

// Calls f(start, end) for each cluster of units[from, size) in order, the scan
// starting fresh at from, while f returns true.
template <typename Units, typename F>
void for_each_cluster(const Units& u, std::size_t from, F&& f) {
    std::size_t start = from;
    bool more = true;
    scan_clusters<true>(u, from, u.size(), [&](std::size_t pos, char32_t, bool starts) {
        if (!starts || pos == start) return true;
        more = f(start, pos);
        start = pos;
        return more;
    });
    if (more && start < u.size()) f(start, u.size());
}

// Whether a cluster starts at p (0 < p < size, a code point boundary) whatever
// precedes it. A scan started at such a position finds the same starts as one
// started at 0.
template <typename Units>
bool certain_cluster_start(const Units& u, std::size_t p) noexcept {
    const char32_t a = u.unit(p - 1), b = u.unit(p);
    if (is_printable_ascii(a) && is_printable_ascii(b)) return true;
    return certain_break(class_of(u.at(u.previous(p))), class_of(u.at(p)));
}

// Whether a cluster starts at cp, decided from the code point before it
// (x_cp) and the one before that (nullptr when x_cp starts the text);
// nullopt between two regional indicators, where the whole run of them decides.
inline std::optional<bool> cluster_starts_at(const char32_t* before, char32_t x_cp, char32_t cp) noexcept {
    const G cur = class_of(cp);
    const G prev = class_of(x_cp);
    const Pair pair = PAIRS[static_cast<unsigned>(prev)][static_cast<unsigned>(cur)];
    if (pair != Pair::Depends) return pair == Pair::Break;
    if (prev == G::RI) return std::nullopt;  // the parity of the whole run of them decides
    // A ZWJ or a Linker joins whatever precedes it but CR, LF and Control, so
    // the class before it inside its cluster is that of the code point before
    // it, unless that pair breaks or there is none.
    G y_class = NONE;
    if (before != nullptr) {
        const G y = class_of(*before);
        if (PAIRS[static_cast<unsigned>(y)][static_cast<unsigned>(prev)] == Pair::Join) y_class = y;
    }
    return !joins(y_class, prev, cur, 0, x_cp);
}

}  // namespace scrivlet::segment::walk
