// The word boundary scan over a text in any form, for the boundary list and
// for the word around a caret.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "units.h"
#include "word_break.h"

namespace scrivlet::segment {

namespace word_rules {

using W = WordBreak;

constexpr W NO_CLASS = static_cast<W>(0xFF);

constexpr bool is_ignorable(W c) { return c == W::Extend || c == W::Format || c == W::ZWJ; }
constexpr bool is_ahletter(W c) { return c == W::ALetter || c == W::Hebrew_Letter; }
constexpr bool is_midnumletq(W c) { return c == W::MidNumLet || c == W::Single_Quote; }

// Whether the pair around k stays together after the context rules (WB5 to WB16).
// l1 and l2 are the nearest values before k that are not ignorable, r1 the nearest after.
template <typename R1>
constexpr bool context_joins(W l2, W l1, W cur, R1&& r1, unsigned ri_count) {
    switch (cur) {
        case W::ALetter:
        case W::Hebrew_Letter:
            // WB5: AHLetter × AHLetter
            if (is_ahletter(l1)) return true;
            // WB7: AHLetter (MidLetter | MidNumLetQ) × AHLetter
            if ((l1 == W::MidLetter || is_midnumletq(l1)) && is_ahletter(l2)) return true;
            // WB7c: Hebrew_Letter Double_Quote × Hebrew_Letter
            if (cur == W::Hebrew_Letter && l1 == W::Double_Quote && l2 == W::Hebrew_Letter)
                return true;
            // WB10: Numeric × AHLetter; WB13b: ExtendNumLet × AHLetter
            return l1 == W::Numeric || l1 == W::ExtendNumLet;
        case W::Numeric:
            // WB8: Numeric × Numeric; WB9: AHLetter × Numeric; WB13b: ExtendNumLet × Numeric
            if (l1 == W::Numeric || is_ahletter(l1) || l1 == W::ExtendNumLet) return true;
            // WB11: Numeric (MidNum | MidNumLetQ) × Numeric
            return (l1 == W::MidNum || is_midnumletq(l1)) && l2 == W::Numeric;
        case W::MidLetter:
        case W::MidNumLet:
        case W::Single_Quote:
        case W::MidNum: {
            // WB7a: Hebrew_Letter × Single_Quote
            if (cur == W::Single_Quote && l1 == W::Hebrew_Letter) return true;
            const bool mid_letter = cur != W::MidNum;
            const bool mid_num = cur != W::MidLetter;
            if (!(mid_letter && is_ahletter(l1)) && !(mid_num && l1 == W::Numeric)) return false;
            const W r = r1();
            // WB6: AHLetter × (MidLetter | MidNumLetQ) AHLetter
            if (mid_letter && is_ahletter(l1) && is_ahletter(r)) return true;
            // WB12: Numeric × (MidNum | MidNumLetQ) Numeric
            return mid_num && l1 == W::Numeric && r == W::Numeric;
        }
        case W::Double_Quote:
            // WB7b: Hebrew_Letter × Double_Quote Hebrew_Letter
            return l1 == W::Hebrew_Letter && r1() == W::Hebrew_Letter;
        case W::Katakana:
            // WB13: Katakana × Katakana; WB13b: ExtendNumLet × Katakana
            return l1 == W::Katakana || l1 == W::ExtendNumLet;
        case W::ExtendNumLet:
            // WB13a: (AHLetter | Numeric | Katakana | ExtendNumLet) × ExtendNumLet
            return is_ahletter(l1) || l1 == W::Numeric || l1 == W::Katakana ||
                   l1 == W::ExtendNumLet;
        case W::Regional_Indicator:
            // WB15, WB16: pairs of regional indicators
            return l1 == W::Regional_Indicator && (ri_count & 1);
        default:
            return false;  // WB999
    }
}

constexpr bool is_mid(W c) {
    return c == W::MidLetter || c == W::MidNumLet || c == W::Single_Quote || c == W::MidNum ||
           c == W::Double_Quote;
}
// Whether WB6, WB7a, WB7b or WB12 could keep Mid character cur after l1,
// which only R1 (or, for WB7a, the state after it) settles.
constexpr bool mid_may_join(W l1, W cur) {
    switch (cur) {
        case W::MidLetter: return is_ahletter(l1);
        case W::MidNumLet:
        case W::Single_Quote: return is_ahletter(l1) || l1 == W::Numeric;
        case W::MidNum: return l1 == W::Numeric;
        case W::Double_Quote: return l1 == W::Hebrew_Letter;
        default: return false;
    }
}
constexpr bool is_newline(W c) { return c == W::CR || c == W::LF || c == W::Newline; }

constexpr std::size_t CLASS_COUNT = static_cast<std::size_t>(W::Other) + 1;

// The scan's state, kept shifted left by 8 so that state | packed entry (see
// packed_word_break) indexes the steps: the class of L1, or MID_JOINED for
// a Mid character already joined to both sides (WB6, WB7b, WB12: the next
// non-ignorable is the R1 that was checked and joins by WB7, WB7c or WB11),
// plus whether ignorables came after it and whether the last of them was a
// ZWJ. Each code point's state follows from the previous one with an AND and
// an OR, so the only chain from one code point to the next is two
// instructions long; what the pair decides is a lookup off that chain, and
// the boundary is stored without a branch.
constexpr unsigned MID_JOINED = CLASS_COUNT;
constexpr unsigned STATE_SHIFT = 8;
constexpr unsigned AFTER_IGNORABLE = 1u << (STATE_SHIFT + 5);  // above L1's five bits
constexpr unsigned AFTER_ZWJ = 2u << (STATE_SHIFT + 5);
constexpr unsigned STATE_MASK = AFTER_ZWJ | AFTER_IGNORABLE | (31u << STATE_SHIFT);
static_assert(MID_JOINED < 32);

constexpr unsigned state_of(W c) { return static_cast<unsigned>(c) << STATE_SHIFT; }
constexpr bool is_pictograph_column(unsigned column) {
    return column == word_data::PICTOGRAPHIC_OTHER || column == word_data::PICTOGRAPHIC_ALETTER;
}

// Step entries: whether there is a boundary before the current code point,
// or SLOW where the rules need more than the state (a regional indicator's
// count, a Mid character's R1); and, in the half of the table the chunks
// read (IN_CHUNKS), TAKE_NEXT where a letter or mark leaves the state other
// than "after ALetter", so that the next unit, were it inside a run, takes
// its step too (a run that opens with marks after a space, say).
constexpr std::uint8_t BREAK = 1;
constexpr std::uint8_t SLOW = 2;
constexpr std::uint8_t TAKE_NEXT = 4;

constexpr std::uint8_t step(unsigned state, unsigned column) {
    const W cur = word_data::class_of_column(column);
    const unsigned l1 = (state >> STATE_SHIFT) & 31;
    const W cls = static_cast<W>(l1);
    const bool after_ignorable = state & AFTER_IGNORABLE;
    // WB3a after a newline; otherwise WB4, WB3d included: X (Extend | Format | ZWJ)* → X
    if (is_ignorable(cur)) return !after_ignorable && l1 < CLASS_COUNT && is_newline(cls) ? BREAK : 0;
    // WB3c: ZWJ × \p{Extended_Pictographic}; otherwise as if the ZWJ were an Extend.
    if (state & AFTER_ZWJ) return is_pictograph_column(column) ? 0 : step(state & ~AFTER_ZWJ, column);
    if (l1 == MID_JOINED) return 0;  // WB7, WB7c, WB11
    if (cur == W::Regional_Indicator) return SLOW;
    // A Mid character needs R1 only where a rule could join it to both
    // sides; a comma after a letter, say, is a boundary whatever follows.
    if (mid_may_join(cls, cur)) return SLOW;
    // An ignorable L1 only stands for one at the start of the text (it is
    // never kept as L1 otherwise): nothing to attach to.
    if (l1 >= CLASS_COUNT || is_ignorable(cls)) return BREAK;
    if (cls == W::CR && !after_ignorable && cur == W::LF) return 0;              // WB3: CR × LF
    if (cls == W::WSegSpace && !after_ignorable && cur == W::WSegSpace) return 0;  // WB3d
    // WB3a and WB3b fall to WB999 here. A Mid character not joined to the
    // letter or digit before it is not joined to the one after it either
    // (WB7, WB7c and WB11 mirror WB6, WB7b and WB12), so L2 is not needed.
    return context_joins(NO_CLASS, cls, cur, [] { return NO_CLASS; }, 0) ? 0 : BREAK;
}

constexpr unsigned STATE_COUNT = (AFTER_ZWJ << 1) >> STATE_SHIFT;
constexpr unsigned COLUMN_COUNT = word_data::COLUMN_COUNT;
constexpr unsigned IN_CHUNKS = 1u << 15;
static_assert(IN_CHUNKS > STATE_MASK);

// The state a run of letters passes over: L1 ALetter and no ZWJ before the
// current code point. Whether ignorables came after L1 changes nothing
// there (it only matters after a newline, CR or WSegSpace), so the state
// is left as it was at the run's first letter, whatever its last unit.
constexpr unsigned LETTER_STATE = static_cast<unsigned>(W::ALetter) << STATE_SHIFT;
constexpr unsigned LETTER_STATE_MASK = AFTER_ZWJ | (31u << STATE_SHIFT);

// The columns a run is made of, as bits.
constexpr std::uint32_t JOIN_COLUMNS = 1u << static_cast<unsigned>(W::ALetter) |
                                       1u << static_cast<unsigned>(W::Extend) |
                                       1u << word_data::PICTOGRAPHIC_ALETTER;

// The scan's tables side by side, read from one base address, all indexed
// by the whole packed entry, so that the loop never takes the column apart
// from the length: each column's values are repeated for every length.
struct StepTables {
    std::array<std::uint8_t, 2 * IN_CHUNKS> step;
    // The state after a code point: (state & keep[packed]) | set[packed].
    std::array<std::uint16_t, 256> keep;
    std::array<std::uint16_t, 256> set;
};

constexpr StepTables build_step_tables() {
    StepTables t{};
    std::array<std::uint16_t, COLUMN_COUNT> keep{}, set{};
    for (unsigned c = 0; c < COLUMN_COUNT; ++c)
        set[c] = static_cast<std::uint16_t>(state_of(word_data::class_of_column(c)));
    for (const W c : {W::Extend, W::Format}) {
        keep[static_cast<std::size_t>(c)] = STATE_MASK & ~AFTER_ZWJ;
        set[static_cast<std::size_t>(c)] = AFTER_IGNORABLE;
    }
    keep[static_cast<std::size_t>(W::ZWJ)] = STATE_MASK;
    set[static_cast<std::size_t>(W::ZWJ)] = AFTER_IGNORABLE | AFTER_ZWJ;
    for (unsigned length = 1; length <= 4; ++length) {
        for (unsigned c = 0; c < COLUMN_COUNT; ++c) {
            const unsigned packed = length << word_data::PACKED_LENGTH_SHIFT | c;
            t.keep[packed] = keep[c];
            t.set[packed] = set[c];
        }
    }
    for (unsigned s = 0; s < STATE_COUNT; ++s) {
        for (unsigned c = 0; c < COLUMN_COUNT; ++c) {
            const std::uint8_t e = step(s << STATE_SHIFT, c);
            // Only letters and marks make runs, and the unit after any other
            // starts a run or lies outside one: it takes its step anyway. No
            // letter or mark takes a slow step.
            const unsigned following = (s << STATE_SHIFT & keep[c]) | set[c];
            const bool take_next =
                ((JOIN_COLUMNS >> c) & 1) && (following & LETTER_STATE_MASK) != LETTER_STATE;
            for (unsigned length = 1; length <= 4; ++length) {
                const unsigned packed = length << word_data::PACKED_LENGTH_SHIFT | c;
                t.step[s << STATE_SHIFT | packed] = e;
                t.step[IN_CHUNKS | s << STATE_SHIFT | packed] = e | (take_next ? TAKE_NEXT : 0);
            }
        }
    }
    return t;
}

inline constexpr StepTables STEPS = build_step_tables();

// The packed entry of a code point read from units of this type: one load
// for 8 and 16-bit units, and for 4-byte units known to lie below U+20000
// (TwoPlanes).
template <typename Units, bool TwoPlanes = false>
inline unsigned packed_of(char32_t cp) noexcept {
    if constexpr (std::is_same_v<Units, FixedUnits<std::uint8_t>> ||
                  std::is_same_v<Units, FixedUnits<char16_t>>)
        return word_data::WORD_BREAK_PACKED_PLANES[cp & 0xFFFF];
    else if constexpr (TwoPlanes)
        return word_data::WORD_BREAK_PACKED_PLANES[cp];
    else
        return packed_word_break(cp);
}

// Whether the n units at p all lie below U+20000: their OR does.
inline bool below_two_planes(const char32_t* p, std::size_t n) noexcept {
    std::uint32_t any = 0;
    std::size_t i = 0;
#if defined(__SSE2__)
    __m128i v = _mm_setzero_si128();
    for (; i + 4 <= n; i += 4) v = _mm_or_si128(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
    v = _mm_or_si128(v, _mm_shuffle_epi32(v, 0x4E));
    v = _mm_or_si128(v, _mm_shuffle_epi32(v, 0xB1));
    any = std::uint32_t(_mm_cvtsi128_si32(v));
#endif
    for (; i < n; ++i) any |= p[i];
    return any < 0x20000;
}
}  // namespace word_rules

// Calls put(pos, offset, boundary) for the code points inside units[from, to)
// but the first, the scan starting fresh at from: whether a word boundary
// comes before it. Every boundary is put; so is every other code point in
// UTF-8, while the fixed-width forms pass over the inside of runs of letters.
// offset counts the UTF-8 bytes from from to pos. Calls
// block() after every WORD_BLOCK code points or fewer, so that a caller
// buffering the boundaries checks for room once per block; block(pos) if it
// takes the position the scan has reached.
inline constexpr std::size_t WORD_BLOCK = 256;

namespace word_rules {

// The steps that need more than the state, out of the scan's loop so that the
// loop keeps its few values in registers.
template <typename Units>
class SlowSteps {
public:
    SlowSteps(const Units u, std::size_t from, std::size_t to) noexcept : u_(u), to_(to), ahead_(from) {}

    // The boundary before the code point of packed entry packed at pos, given
    // the state before it, and the state after it: following << 1 | boundary.
    [[gnu::noinline]] unsigned take(std::size_t pos, std::size_t next, unsigned state,
                                    std::size_t packed) {
        const W cur = word_data::class_of_column(unsigned(packed) & word_data::COLUMN_MASK);
        const W l1 = static_cast<W>((state >> STATE_SHIFT) & 31);
        unsigned following = STEPS.set[packed];  // neither is ignorable
        bool boundary;
        if (cur == W::Regional_Indicator) {
            // WB15, WB16: pairs of regional indicators
            boundary = !(l1 == W::Regional_Indicator && (ri_count_ & 1));
            ri_count_ = boundary ? 1 : ri_count_ + 1;
        } else {
            // A Mid character after a letter or digit: R1 decides.
            const W r1 = r1_after(pos, next);
            const bool mid_letter = cur != W::MidNum && cur != W::Double_Quote;
            const bool mid_num = cur != W::MidLetter && cur != W::Double_Quote;
            // WB6: AHLetter × (MidLetter | MidNumLetQ) AHLetter
            // WB7b: Hebrew_Letter × Double_Quote Hebrew_Letter
            // WB12: Numeric × (MidNum | MidNumLetQ) Numeric
            const bool both_sides =
                (mid_letter && is_ahletter(l1) && is_ahletter(r1)) ||
                (cur == W::Double_Quote && l1 == W::Hebrew_Letter && r1 == W::Hebrew_Letter) ||
                (mid_num && l1 == W::Numeric && r1 == W::Numeric);
            // WB7a: Hebrew_Letter × Single_Quote
            const bool hebrew_quote = cur == W::Single_Quote && l1 == W::Hebrew_Letter;
            boundary = !both_sides && !hebrew_quote;
            if (both_sides) following = MID_JOINED << STATE_SHIFT;
        }
        return following << 1 | boundary;
    }

private:
    // The nearest class after pos that is not ignorable, NO_CLASS for none.
    // Looked up past the previous R1 only, so the look-ahead stays linear.
    W r1_after(std::size_t pos, std::size_t next) {
        if (ahead_ <= pos) {
            ahead_ = next;
            ahead_class_ = NO_CLASS;
            while (ahead_ < to_) {
                std::size_t after;
                const W k = word_break_class(u_.at(ahead_, after));
                if (!is_ignorable(k)) {
                    ahead_class_ = k;
                    break;
                }
                ahead_ = after;
            }
        }
        return ahead_class_;
    }

    const Units u_;
    const std::size_t to_;
    // The regional indicator count, kept by the slow steps alone: it only
    // matters while L1 is one, and every regional indicator takes a slow step.
    unsigned ri_count_ = 1;
    std::size_t ahead_;  // R1's position once looked up: only moves forward
    W ahead_class_ = NO_CLASS;
};

// Runs of letters a chunk of 64 units at a time, for the fixed-width forms.
// Inside a run of ALetter and Extend code points, once L1 is ALetter (the
// run's first letter seen), every pair stays together (WB4, WB5) and the
// state stays "after ALetter": only the run's ends need the steps. So it is
// inside a run of Hebrew_Letter, after any of them. Whether a unit may
// belong to such a run is tested on whole vectors against two ranges of the
// BMP whose code points are all ALetter or Extend, or all Hebrew_Letter,
// those of the script at hand; a run lies in one range. Every other unit,
// and the first and last unit of each run, takes its step as in the loop
// above.
struct JoinRange {
    char32_t first, last;
    bool hebrew = false;  // of Hebrew_Letter, not ALetter and Extend
    // Or a block of 128 code points from first (last = first + 127), of which
    // those of ALetter and Extend have their bit set (first + i: bit i % 8 of
    // bits[i / 8]): for scripts whose letters lie scattered among other code
    // points of their block (Lao, Bengali). Only the AVX2 masks take them.
    bool block = false;
    std::uint8_t bits[16] = {};
};

// The widest range around cp whose code points are all ALetter or Extend,
// or all Hebrew_Letter; cp itself must be one of them, in the BMP.
JoinRange join_range_of(char32_t cp) noexcept;
// The same, or cp's block where the block splits its letters and marks into
// stretches of fewer than 32 (Lao, Bengali): what the AVX2 scan takes.
JoinRange join_run_of(char32_t cp) noexcept;

// The columns of the code points that lie in the ranges, as bits.
constexpr std::uint32_t RANGE_COLUMNS = JOIN_COLUMNS | 1u << static_cast<unsigned>(W::Hebrew_Letter);

inline constexpr std::size_t CHUNK = 64;

// Per unit of a chunk: whether it lies in either range, a bit each, and the
// UTF-8 bytes from the chunk's start to the unit (below 3 * CHUNK, a byte,
// for 8 and 16-bit units, so that a vector sums twice as many); and the
// bytes of the whole chunk.
template <typename Unit>
struct ChunkMasks {
    using Sum = std::conditional_t<sizeof(Unit) <= 2, std::uint8_t, std::uint16_t>;
    std::uint64_t in[2] = {0, 0};
    unsigned bytes = 0;
    alignas(32) Sum bytes_before[CHUNK];
};

// The units of a chunk that take their steps: those outside both ranges and
// the first of each run. A run lies in one range where the ranges are of
// different kinds (a Latin letter right after a Hebrew one starts a run).
inline std::uint64_t taken_units(const std::uint64_t (&in)[2], const JoinRange (&r)[2]) noexcept {
    const std::uint64_t join = in[0] | in[1];
    if (r[0].hebrew == r[1].hebrew) return ~join | (join & ~(join << 1));
    return ~join | (in[0] & ~(in[0] << 1)) | (in[1] & ~(in[1] << 1));
}

template <typename Unit>
void chunk_masks_scalar(const Unit* p, const JoinRange (&r)[2], ChunkMasks<Unit>& m) noexcept {
    unsigned sum = 0;
    const auto in = [](const JoinRange& q, char32_t c) {
        return c >= q.first && c <= q.last && (!q.block || ((q.bits[(c - q.first) / 8] >> (c % 8)) & 1));
    };
    for (std::size_t i = 0; i < CHUNK; ++i) {
        const char32_t c = p[i];
        m.in[0] |= std::uint64_t(in(r[0], c)) << i;
        m.in[1] |= std::uint64_t(in(r[1], c)) << i;
        m.bytes_before[i] = static_cast<typename ChunkMasks<Unit>::Sum>(sum);
        sum += 1 + (c >= 0x80) + (c >= 0x800) + (c >= 0x10000);
    }
    m.bytes = sum;
}

#if defined(__SSE2__)
inline void chunk_masks(const std::uint8_t* p, const JoinRange (&r)[2], ChunkMasks<std::uint8_t>& m) noexcept {
    // A range past U+00FF cannot match: the other one (or a-z) stands in for it.
    JoinRange q[2] = {r[0], r[1]};
    for (int k = 0; k < 2; ++k) {
        if (q[k].first > 0xFF) q[k] = r[1 - k].first <= 0xFF ? r[1 - k] : JoinRange{'a', 'z'};
        if (q[k].last > 0xFF) q[k].last = 0xFF;
    }
    const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi8(1);
    const __m128i lo0 = _mm_set1_epi8(static_cast<char>(q[0].first));
    const __m128i span0 = _mm_set1_epi8(static_cast<char>(q[0].last - q[0].first));
    const __m128i lo1 = _mm_set1_epi8(static_cast<char>(q[1].first));
    const __m128i span1 = _mm_set1_epi8(static_cast<char>(q[1].last - q[1].first));
    __m128i carry = zero;
    for (unsigned k = 0; k < CHUNK / 16; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
        const __m128i in0 = _mm_cmpeq_epi8(_mm_subs_epu8(_mm_sub_epi8(v, lo0), span0), zero);
        const __m128i in1 = _mm_cmpeq_epi8(_mm_subs_epu8(_mm_sub_epi8(v, lo1), span1), zero);
        m.in[0] |= std::uint64_t(unsigned(_mm_movemask_epi8(in0))) << (16 * k);
        m.in[1] |= std::uint64_t(unsigned(_mm_movemask_epi8(in1))) << (16 * k);
        // Bytes per unit, 1 or 2, summed across the lanes.
        const __m128i bytes = _mm_sub_epi8(one, _mm_cmpgt_epi8(zero, v));
        __m128i x = _mm_add_epi8(bytes, _mm_slli_si128(bytes, 1));
        x = _mm_add_epi8(x, _mm_slli_si128(x, 2));
        x = _mm_add_epi8(x, _mm_slli_si128(x, 4));
        x = _mm_add_epi8(x, _mm_slli_si128(x, 8));
        x = _mm_add_epi8(x, carry);
        _mm_store_si128(reinterpret_cast<__m128i*>(m.bytes_before + 16 * k), _mm_sub_epi8(x, bytes));
        const __m128i last = _mm_shufflehi_epi16(_mm_unpackhi_epi8(x, x), 0xFF);
        carry = _mm_unpackhi_epi64(last, last);
    }
    m.bytes = unsigned(_mm_cvtsi128_si32(carry)) & 0xFF;
}

inline void chunk_masks(const char16_t* p, const JoinRange (&r)[2], ChunkMasks<char16_t>& m) noexcept {
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo0 = _mm_set1_epi16(static_cast<short>(r[0].first));
    const __m128i span0 = _mm_set1_epi16(static_cast<short>(r[0].last - r[0].first));
    const __m128i lo1 = _mm_set1_epi16(static_cast<short>(r[1].first));
    const __m128i span1 = _mm_set1_epi16(static_cast<short>(r[1].last - r[1].first));
    const __m128i three = _mm_set1_epi16(3), c7f = _mm_set1_epi16(0x7F), c7ff = _mm_set1_epi16(0x7FF);
    __m128i carry = zero;
    for (unsigned k = 0; k < CHUNK / 16; ++k) {
        __m128i in0[2], in1[2], before[2];
        for (unsigned h = 0; h < 2; ++h) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k + 8 * h));
            in0[h] = _mm_cmpeq_epi16(_mm_subs_epu16(_mm_sub_epi16(v, lo0), span0), zero);
            in1[h] = _mm_cmpeq_epi16(_mm_subs_epu16(_mm_sub_epi16(v, lo1), span1), zero);
            // Bytes per unit: 3, less one below U+0800 and one more below U+0080.
            __m128i bytes = _mm_add_epi16(three, _mm_cmpeq_epi16(_mm_subs_epu16(v, c7f), zero));
            bytes = _mm_add_epi16(bytes, _mm_cmpeq_epi16(_mm_subs_epu16(v, c7ff), zero));
            __m128i x = _mm_add_epi16(bytes, _mm_slli_si128(bytes, 2));
            x = _mm_add_epi16(x, _mm_slli_si128(x, 4));
            x = _mm_add_epi16(x, _mm_slli_si128(x, 8));
            x = _mm_add_epi16(x, carry);
            before[h] = _mm_sub_epi16(x, bytes);
            const __m128i last = _mm_shufflehi_epi16(x, 0xFF);
            carry = _mm_unpackhi_epi64(last, last);
        }
        _mm_store_si128(reinterpret_cast<__m128i*>(m.bytes_before + 16 * k), _mm_packus_epi16(before[0], before[1]));
        m.in[0] |= std::uint64_t(unsigned(_mm_movemask_epi8(_mm_packs_epi16(in0[0], in0[1])))) << (16 * k);
        m.in[1] |= std::uint64_t(unsigned(_mm_movemask_epi8(_mm_packs_epi16(in1[0], in1[1])))) << (16 * k);
    }
    m.bytes = unsigned(_mm_cvtsi128_si32(carry)) & 0xFFFF;
}

inline void chunk_masks(const char32_t* p, const JoinRange (&r)[2], ChunkMasks<char32_t>& m) noexcept {
    // Code points are below 2^31 and the ranges inside the BMP: signed comparisons hold.
    const __m128i lo0 = _mm_set1_epi32(int(r[0].first) - 1), hi0 = _mm_set1_epi32(int(r[0].last) + 1);
    const __m128i lo1 = _mm_set1_epi32(int(r[1].first) - 1), hi1 = _mm_set1_epi32(int(r[1].last) + 1);
    const __m128i one = _mm_set1_epi32(1), c7f = _mm_set1_epi32(0x7F), c7ff = _mm_set1_epi32(0x7FF),
                  cffff = _mm_set1_epi32(0xFFFF);
    __m128i carry = _mm_setzero_si128();
    for (unsigned k = 0; k < CHUNK / 16; ++k) {
        __m128i in0[4], in1[4], sum[4];
        for (unsigned q = 0; q < 4; ++q) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k + 4 * q));
            in0[q] = _mm_and_si128(_mm_cmpgt_epi32(v, lo0), _mm_cmpgt_epi32(hi0, v));
            in1[q] = _mm_and_si128(_mm_cmpgt_epi32(v, lo1), _mm_cmpgt_epi32(hi1, v));
            __m128i x = _mm_sub_epi32(one, _mm_cmpgt_epi32(v, c7f));
            x = _mm_sub_epi32(x, _mm_cmpgt_epi32(v, c7ff));
            x = _mm_sub_epi32(x, _mm_cmpgt_epi32(v, cffff));
            const __m128i bytes = x;
            x = _mm_add_epi32(x, _mm_slli_si128(x, 4));
            x = _mm_add_epi32(x, _mm_slli_si128(x, 8));
            x = _mm_add_epi32(x, carry);
            carry = _mm_shuffle_epi32(x, 0xFF);
            sum[q] = _mm_sub_epi32(x, bytes);
        }
        const auto bits = [](const __m128i (&x)[4]) {
            const __m128i w = _mm_packs_epi16(_mm_packs_epi32(x[0], x[1]), _mm_packs_epi32(x[2], x[3]));
            return std::uint64_t(unsigned(_mm_movemask_epi8(w)));
        };
        m.in[0] |= bits(in0) << (16 * k);
        m.in[1] |= bits(in1) << (16 * k);
        // Below 4 * CHUNK: the 16-bit lanes hold the sums.
        _mm_store_si128(reinterpret_cast<__m128i*>(m.bytes_before + 16 * k), _mm_packs_epi32(sum[0], sum[1]));
        _mm_store_si128(reinterpret_cast<__m128i*>(m.bytes_before + 16 * k + 8), _mm_packs_epi32(sum[2], sum[3]));
    }
    m.bytes = unsigned(_mm_cvtsi128_si32(carry));
}
#else
template <typename Unit>
void chunk_masks(const Unit* p, const JoinRange (&r)[2], ChunkMasks<Unit>& m) noexcept {
    chunk_masks_scalar(p, r, m);
}
#endif

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define SCRIVLET_WORD_AVX2 1
// The same for 16-bit units with AVX2, sixteen units a vector (word.cpp):
// the library is built for plain x86-64, so the scan takes it only where
// avx2_chunks() says the processor has it.
void chunk_masks_avx2(const char16_t* p, const JoinRange (&r)[2], ChunkMasks<char16_t>& m) noexcept;
#endif
bool avx2_chunks() noexcept;
// Whether the scan of 16 and 32-bit units takes the vector steps of word.cpp
// (with AVX-512 and its byte permutes); off in tests, to compare with the
// plain steps.
bool vector_word_steps() noexcept;
void allow_vector_word_steps(bool allow) noexcept;

// Keeps p in a register from here on, as the compiler would not.
template <typename T>
[[gnu::always_inline]] inline void in_register(const T*& p) noexcept {
#if defined(__GNUC__) || defined(__clang__)
    asm("" : "+r"(p));
#endif
}

// Calls block, with where the scan stands if it takes that (see scan_word_steps).
template <typename Block>
[[gnu::always_inline]] inline void call_block(Block& block, std::size_t pos) {
    if constexpr (std::is_invocable_v<Block&, std::size_t>)
        block(pos);
    else
        block();
}

// The steps of the code points starting in units[pos, end), one at a time,
// the state and the UTF-8 offset carried in and out; returns where the last
// one ends.
template <bool TwoPlanes = false, typename Units, typename Put>
[[gnu::always_inline]] inline std::size_t step_units(const Units u, std::size_t pos, std::size_t end,
                                              unsigned& state_io, std::uint64_t& offset_io,
                                              SlowSteps<Units>& slow, Put& put) {
    // Local copies: the caller's may alias the buffer that put writes to.
    unsigned state = state_io;
    std::uint64_t offset = offset_io;
    if constexpr (Units::fixed) {
        // By pointer, with the state a machine word (a 32-bit one is copied
        // to index the table) and only the fast steps computing the next
        // state from the tables: 17 instructions a code point, not 20.
        const auto* const data = u.data();
        const auto* const stop = data + end;
        std::size_t word_state = state;
        for (const auto* p = data + pos; p != stop; ++p) {
            const std::size_t packed = packed_of<Units, TwoPlanes>(*p);
            const std::uint8_t e = STEPS.step[word_state + packed];  // | packed: the state's low byte is 0
            const std::size_t at = std::size_t(p - data);
            std::size_t boundary = e;  // BREAK or 0, unless slow
            if (e > BREAK) [[unlikely]] {
                const unsigned r = slow.take(at, at + 1, unsigned(word_state), packed);
                boundary = r & 1;
                word_state = r >> 1;
            } else {
                word_state = (word_state & STEPS.keep[packed]) | STEPS.set[packed];
            }
            put(at, offset, boundary);
            offset += packed >> word_data::PACKED_LENGTH_SHIFT;
        }
        state_io = unsigned(word_state);
        offset_io = offset;
        return end;
    }
    for (std::size_t next; pos < end; pos = next) {
        const char32_t cp = u.at(pos, next);
        const std::size_t packed = packed_of<Units>(cp);
        const std::uint8_t e = STEPS.step[state | packed];
        bool boundary = e & BREAK;
        unsigned following = (state & STEPS.keep[packed]) | STEPS.set[packed];
        if (e > BREAK) [[unlikely]] {
            const unsigned r = slow.take(pos, next, state, packed);
            boundary = r & 1;
            following = r >> 1;
        }
        put(pos, offset, boundary);
        state = following;
        if constexpr (Units::fixed)
            offset += packed >> word_data::PACKED_LENGTH_SHIFT;
        else
            offset += next - pos;
    }
    state_io = state;
    offset_io = offset;
    return pos;
}

// step_units on units[pos, end), with the one-load lookup where 4-byte
// units all lie below U+20000 (text with a few emoji or none): the lookup
// of any code point costs 9 instructions, that one 1.
template <typename Units, typename Put>
[[gnu::always_inline]] inline std::size_t step_stretch(const Units u, std::size_t pos, std::size_t end,
                                                unsigned& state, std::uint64_t& offset,
                                                SlowSteps<Units>& slow, Put& put) {
    if constexpr (std::is_same_v<Units, FixedUnits<char32_t>>) {
        if (below_two_planes(u.data() + pos, end - pos))
            return step_units<true>(u, pos, end, state, offset, slow, put);
    }
    return step_units(u, pos, end, state, offset, slow, put);
}

// What the chunks keep from one stretch of them to the next.
struct RunRanges {
    JoinRange ranges[2] = {{'a', 'z'}, {'A', 'Z'}};
    unsigned quiet = 0;  // chunks left before the ranges are checked again
    unsigned backoff = 8;  // the plain stretch after the runs fail, longer each time
    unsigned plain = 0;  // chunks the caller is to step through plainly
};

// Where many units of a chunk took their steps, letters of another script
// may have come: the range of the last of them takes the place of the range
// that matched fewer units, if they outnumber those. Returns whether it did.
template <typename Units, bool Blocks, typename Unit>
bool adapt_ranges(const Unit* chunk, const std::uint64_t (&in)[2], std::uint64_t outside,
                  JoinRange (&ranges)[2]) noexcept {
    unsigned misses = 0;
    char32_t missed = 0;
    for (std::uint64_t rest = outside; rest != 0; rest &= rest - 1) {
        const char32_t cp = chunk[std::countr_zero(rest)];
        const bool miss =
            ((RANGE_COLUMNS >> (packed_of<Units>(cp) & word_data::COLUMN_MASK)) & 1) & (cp < 0x10000);
        misses += miss;
        missed = miss ? cp : missed;
    }
    const int hits0 = std::popcount(in[0]), hits1 = std::popcount(in[1]);
    const int weaker = hits0 < hits1 ? 0 : 1;
    if (misses >= 4 && int(misses) > (weaker == 0 ? hits0 : hits1)) {
        ranges[weaker] = Blocks ? join_run_of(missed) : join_range_of(missed);
        return true;
    }
    return false;
}

// Whether the chunks are worth taking on units[from, to): they pass over
// the inside of runs of letters, but cost more per unit they step through
// (about 30 instructions against 20, and 6 per unit for the masks, with
// more branches mispredicted), and their mere presence costs the plain
// steps about 4%. In time they pay only where more than SKIP_SHARE_64 / 64
// of the units lie inside runs (Thai, Myanmar: long runs between spaces);
// at 40 to 43 (English, Greek, Cyrillic, Khmer) the plain steps are 3 to
// 10% faster although they take more instructions, and Vietnamese, Korean,
// Japanese, Bengali and Lao have their letters split by the two ranges or
// short words (Lao's, the AVX2 scan takes by their block, and pays). The
// share is what evenly spread sample chunks measure, choosing the ranges as
// the chunks would. A sample costs about what the plain steps of its units
// cost: one chunk per SAMPLE_SPACING at most keeps the check within 0.4% of
// any scan; shorter texts take the plain steps.
// The AVX2 chunks of 16-bit units, with their byte counts summed a byte a
// unit, pay from a share of SKIP_SHARE_64_AVX2 (Georgian at 44.6: 7% faster
// than the plain steps, Khmer at 43.0: 4%; Greek at 42.1: 2% slower).
inline constexpr std::size_t SAMPLE_CHUNKS = 16;
inline constexpr std::size_t SAMPLE_SPACING = 256;
inline constexpr unsigned SKIP_SHARE_64 = 46;
inline constexpr unsigned SKIP_SHARE_64_AVX2 = 43;

template <bool Avx2 = false, typename Units>
bool chunks_pay(const Units u, std::size_t from, std::size_t to, RunRanges& runs,
                unsigned share_64 = SKIP_SHARE_64) noexcept {
    using Unit = std::remove_cv_t<std::remove_pointer_t<decltype(u.data())>>;
    const std::size_t chunks = (to - from) / CHUNK;
    const std::size_t samples = std::min(chunks / SAMPLE_SPACING, SAMPLE_CHUNKS);
    if (samples == 0) return false;
    const std::size_t stride = chunks / samples * CHUNK;
    std::size_t skipped = 0;
    ChunkMasks<Unit> m;
    for (std::size_t k = 0, pos = from; k < samples; ++k, pos += stride) {
        const Unit* p = u.data() + pos;
        // Counted with the ranges that suit the chunk, as the chunks soon
        // choose them: two changes at most, one per range.
        for (int tries = 0;; ++tries) {
            m.in[0] = m.in[1] = 0;
#if SCRIVLET_WORD_AVX2
            if constexpr (Avx2 && std::is_same_v<Unit, char16_t>)
                chunk_masks_avx2(p, runs.ranges, m);
            else
#endif
                chunk_masks(p, runs.ranges, m);
            const std::uint64_t join = m.in[0] | m.in[1];
            const int taken = std::popcount(taken_units(m.in, runs.ranges));
            if (tries < 2 && taken > int(CHUNK / 4) &&
                adapt_ranges<Units, Avx2 && std::is_same_v<Unit, char16_t>>(p, m.in, ~join, runs.ranges))
                continue;
            if (taken <= int(CHUNK * 5 / 8)) skipped += CHUNK - taken;
            break;
        }
    }
    return skipped * 64 > share_64 * samples * CHUNK;
}

// The chunks of units[pos, to) up to the last whole one, the state and the
// UTF-8 offset carried in and out as in scan_word_steps; returns where the
// chunks end. Where most units of a chunk would take their steps anyway
// (scripts whose letters the ranges split, text with few letters), the
// chunk takes the plain steps and returns, asking for a stretch of plain
// steps after it (runs.plain chunks), which cost less per unit there.
template <bool Avx2, typename Units, typename Put, typename Block>
std::size_t scan_word_chunks(const Units u, std::size_t pos, std::size_t to, unsigned& state,
                             std::uint64_t& offset, SlowSteps<Units>& slow, Put& put, Block& block,
                             RunRanges& runs) {
    using Unit = std::remove_cv_t<std::remove_pointer_t<decltype(u.data())>>;
    JoinRange (&ranges)[2] = runs.ranges;
    unsigned& quiet = runs.quiet;
    const Unit* p = u.data();
    ChunkMasks<Unit> m;
    for (; to - pos >= CHUNK; pos += CHUNK) {
        m.in[0] = m.in[1] = 0;
#if SCRIVLET_WORD_AVX2
        if constexpr (Avx2 && std::is_same_v<Unit, char16_t>)
            chunk_masks_avx2(p + pos, ranges, m);
        else
#endif
            chunk_masks(p + pos, ranges, m);
        // With the IN_CHUNKS half of the table, which asks for the next unit
        // where it may not be passed over.
        std::uint64_t todo = taken_units(m.in, ranges);
        const std::uint64_t outside = ~(m.in[0] | m.in[1]);
        const int taken = std::popcount(todo);
        const bool fails = taken > int(CHUNK * 5 / 8);
        if (fails) {
            step_units(u, pos, pos + CHUNK, state, offset, slow, put);
            runs.plain = runs.backoff;
            runs.backoff = runs.backoff < 64 ? 2 * runs.backoff : runs.backoff;
            todo = 0;
        } else {
            runs.backoff = 8;
        }
        // The chunk's address in a register of its own: left to itself, the
        // compiler recomputes it from the text's and the chunk's position,
        // both spilled, for every unit taken (27 instructions a unit in the
        // AVX2 scan of 16-bit units, 23 so; Thai and Myanmar 4 to 6% faster).
        const Unit* chunk = p + pos;
        in_register(chunk);
        std::size_t word_state = state;  // a machine word, as in step_units
        while (todo != 0) {
            const std::size_t i = static_cast<std::size_t>(std::countr_zero(todo));
            todo &= todo - 1;
            const std::size_t at = pos + i;
            const std::size_t packed = packed_of<Units>(chunk[i]);
            const std::uint8_t e = STEPS.step[IN_CHUNKS + word_state + packed];  // | packed
            std::size_t boundary = e;  // BREAK or 0, unless slow or taking the next
            if (e > BREAK) [[unlikely]] {
                boundary = e & BREAK;
                std::size_t following = (word_state & STEPS.keep[packed]) | STEPS.set[packed];
                if (e & SLOW) {
                    const unsigned r = slow.take(at, at + 1, unsigned(word_state), packed);
                    boundary = r & 1;
                    following = r >> 1;
                }
                if (e & TAKE_NEXT) todo |= std::uint64_t(2) << i;  // past the chunk's end: nothing to add
                word_state = following;
            } else {
                word_state = (word_state & STEPS.keep[packed]) | STEPS.set[packed];
            }
            put(at, offset + m.bytes_before[i], boundary);
        }
        state = unsigned(word_state);
        if (!fails) offset += m.bytes;
        call_block(block, pos + CHUNK);
        // Where many units took their steps, letters of another script may
        // have come: the range of the last of them takes the place of the
        // range that matched fewer units, if they outnumber those.
        if (quiet > 0) {
            --quiet;
        } else if (taken > int(CHUNK / 4)) {
            quiet = adapt_ranges<Units, Avx2 && std::is_same_v<Unit, char16_t>>(p + pos, m.in, outside, ranges)
                        ? 2
                        : 16;
        }
        if (fails) return pos + CHUNK;
    }
    return pos;
}

}  // namespace word_rules

// Avx2 asks the chunks of 16-bit units for AVX2 (see avx2_chunks).
template <bool Chunks = false, bool Avx2 = false, typename Units, typename Put, typename Block>
void scan_word_steps(const Units u, std::size_t from, std::size_t to, Put&& put, Block&& block) {
    using namespace word_rules;
    if (from >= to) return;
    std::size_t next;
    char32_t cp = u.at(from, next);
    const std::size_t first = packed_of<Units>(cp);
    // Ignorables at the start attach to nothing: they stand for Other.
    unsigned state = (state_of(W::Other) & STEPS.keep[first]) | STEPS.set[first];
    std::uint64_t offset = u.utf8_bytes(cp, next - from);
    SlowSteps<Units> slow(u, from, to);

    if constexpr (!Units::fixed || !Chunks) {
        for (std::size_t pos = next; pos < to;) {
            pos = step_stretch(u, pos, to - pos > WORD_BLOCK ? pos + WORD_BLOCK : to, state, offset, slow, put);
            call_block(block, pos);
        }
    } else {
        std::size_t pos = next;
        RunRanges runs;
        while (pos < to) {
            // Chunks, then the plain steps they ask for or the last units.
            // The chunks work on copies, so that the plain steps' state and
            // offset, never passed by address, stay in registers.
            unsigned chunk_state = state;
            std::uint64_t chunk_offset = offset;
            pos = scan_word_chunks<Avx2>(u, pos, to, chunk_state, chunk_offset, slow, put, block, runs);
            state = chunk_state;
            offset = chunk_offset;
            std::size_t end = to;
            if (runs.plain > 0 && (to - pos) / CHUNK > runs.plain) end = pos + runs.plain * CHUNK;
            runs.plain = 0;
            while (pos < end) {
                pos = step_stretch(u, pos, end - pos > WORD_BLOCK ? pos + WORD_BLOCK : end, state, offset, slow, put);
                call_block(block, pos);
            }
        }
    }
}

// Calls emit(pos, offset) for every word boundary inside units[from, to) but
// the one at from, the scan starting fresh at from; offset counts the UTF-8
// bytes from from to pos.
template <typename Units, typename Emit>
void scan_word_boundaries(const Units u, std::size_t from, std::size_t to, Emit&& emit) {
    scan_word_steps(u, from, to, [&](std::size_t pos, std::uint64_t offset, bool boundary) {
        if (boundary) emit(pos, offset);
    }, [] {});
}

}  // namespace scrivlet::segment
