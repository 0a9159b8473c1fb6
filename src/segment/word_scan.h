// The word boundary scan over a text in any form, for the boundary list and
// for the word around a caret.
#pragma once

#include <array>
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
// count, a Mid character's R1).
constexpr std::uint8_t BREAK = 1;
constexpr std::uint8_t SLOW = 2;

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

// The scan's tables side by side, read from one base address, all indexed
// by the whole packed entry, so that the loop never takes the column apart
// from the length: each column's values are repeated for every length.
struct StepTables {
    std::array<std::uint8_t, STATE_COUNT << STATE_SHIFT> step;
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
            for (unsigned length = 1; length <= 4; ++length)
                t.step[s << STATE_SHIFT | length << word_data::PACKED_LENGTH_SHIFT | c] = e;
        }
    }
    return t;
}

inline constexpr StepTables STEPS = build_step_tables();

// The packed entry of a code point read from units of this type: the BMP
// table alone for 8 and 16-bit units.
template <typename Units>
inline unsigned packed_of(char32_t cp) noexcept {
    if constexpr (std::is_same_v<Units, FixedUnits<std::uint8_t>> ||
                  std::is_same_v<Units, FixedUnits<char16_t>>)
        return word_data::WORD_BREAK_PACKED_BMP[cp & 0xFFFF];
    else
        return packed_word_break(cp);
}

}  // namespace word_rules

// Calls put(pos, offset, boundary) for every code point inside units[from, to)
// but the first, the scan starting fresh at from: whether a word boundary
// comes before it. offset counts the UTF-8 bytes from from to pos. Calls
// block() after every WORD_BLOCK code points or fewer, so that a caller
// buffering the boundaries checks for room once per block.
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

}  // namespace word_rules

template <typename Units, typename Put, typename Block>
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

    for (std::size_t pos = next; pos < to; pos = next) {
        const std::size_t block_end = to - pos > WORD_BLOCK ? pos + WORD_BLOCK : to;
        for (; pos < block_end; pos = next) {
            cp = u.at(pos, next);
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
        block();
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
