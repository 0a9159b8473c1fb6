// The word boundary scan over a text in any form, for the boundary list and
// for the word around a caret.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

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

// What the pair (previous, current) decides by itself, before any context is
// looked up. Context stands for the pairs where L1 is not the previous code
// point (it is ignorable or a ZWJ before a pictograph), or where L2, R1 or the
// regional indicator count may matter.
enum class Pair : std::uint8_t { Break, Join, JoinCounted, Context };

constexpr bool is_mid(W c) {
    return c == W::MidLetter || c == W::MidNumLet || c == W::Single_Quote || c == W::MidNum ||
           c == W::Double_Quote;
}

constexpr Pair pair_decision(W prev, W cur) {
    if (prev == W::CR && cur == W::LF) return Pair::Join;                              // WB3
    if (prev == W::CR || prev == W::LF || prev == W::Newline) return Pair::Break;      // WB3a
    if (cur == W::CR || cur == W::LF || cur == W::Newline) return Pair::Break;         // WB3b
    if (prev == W::ZWJ) return Pair::Context;                                          // WB3c
    if (prev == W::WSegSpace && (cur == W::WSegSpace || is_ignorable(cur))) return Pair::Join;  // WB3d
    if (is_ignorable(cur)) return Pair::Join;                                          // WB4
    if (is_ignorable(prev) || is_mid(prev) || is_mid(cur) || cur == W::Regional_Indicator)
        return Pair::Context;
    // L1 is prev, and no rule left looks at L2, R1 or the count.
    return context_joins(NO_CLASS, prev, cur, [] { return NO_CLASS; }, 0) ? Pair::JoinCounted
                                                                            : Pair::Break;
}

constexpr std::size_t CLASS_COUNT = static_cast<std::size_t>(W::Other) + 1;

constexpr std::array<std::array<Pair, CLASS_COUNT>, CLASS_COUNT> build_pairs() {
    std::array<std::array<Pair, CLASS_COUNT>, CLASS_COUNT> t{};
    for (std::size_t p = 0; p < CLASS_COUNT; ++p)
        for (std::size_t c = 0; c < CLASS_COUNT; ++c)
            t[p][c] = pair_decision(static_cast<W>(p), static_cast<W>(c));
    return t;
}

inline constexpr auto PAIRS = build_pairs();

// The classes whose runs join throughout (WB3d, WB4, WB5, WB8, WB13, WB13a).
constexpr std::array<bool, CLASS_COUNT> build_self_joining() {
    std::array<bool, CLASS_COUNT> t{};
    for (std::size_t c = 0; c < CLASS_COUNT; ++c)
        t[c] = PAIRS[c][c] == Pair::Join || PAIRS[c][c] == Pair::JoinCounted;
    return t;
}

inline constexpr auto SELF_JOINING = build_self_joining();

// Of those, the ones that also join through Extend and Format between them
// (WB4 with WB5, WB8, WB13, WB13a): letters with their marks.
constexpr bool joins_through_marks(W c) {
    return context_joins(NO_CLASS, c, c, [] { return NO_CLASS; }, 0) &&
           PAIRS[static_cast<std::size_t>(c)][static_cast<std::size_t>(W::Extend)] == Pair::Join &&
           PAIRS[static_cast<std::size_t>(c)][static_cast<std::size_t>(W::Format)] == Pair::Join;
}

constexpr std::array<bool, CLASS_COUNT> build_mark_joining() {
    std::array<bool, CLASS_COUNT> t{};
    for (std::size_t c = 0; c < CLASS_COUNT; ++c)
        t[c] = SELF_JOINING[c] && joins_through_marks(static_cast<W>(c));
    return t;
}

inline constexpr auto MARK_JOINING = build_mark_joining();
static_assert(MARK_JOINING[static_cast<std::size_t>(W::ALetter)] &&
              !MARK_JOINING[static_cast<std::size_t>(W::WSegSpace)]);

}  // namespace word_rules

// Calls emit(pos, offset) for every word boundary inside units[from, to) but
// the one at from, the scan starting fresh at from; offset counts the UTF-8
// bytes from from to pos.
template <typename Units, typename Emit>
void scan_word_boundaries(const Units u, std::size_t from, std::size_t to, Emit&& emit) {
    using namespace word_rules;
    if (from >= to) return;
    std::size_t next;
    char32_t cp = u.at(from, next);
    W prev = word_break_class(cp);
    std::uint64_t offset = u.utf8_bytes(cp, next - from);

    // The context values are carried forward instead of scanned for at every
    // position, so runs of ignorables cost nothing extra (WB4).
    W l1 = is_ignorable(prev) ? NO_CLASS : prev;  // L1, NO_CLASS for none
    W l2 = NO_CLASS;                              // L2
    std::size_t ahead = from;                     // R1's position once looked up: only moves forward
    W ahead_class = NO_CLASS;
    unsigned ri_count = prev == W::Regional_Indicator ? 1 : 0;

    for (std::size_t pos = next; pos < to; pos = next) {
        cp = u.at(pos, next);
        const W cur = word_break_class(cp);
        bool boundary;
        const Pair pair = PAIRS[static_cast<std::size_t>(prev)][static_cast<std::size_t>(cur)];
        if (pair == Pair::Break) {
            boundary = true;
        } else if (pair == Pair::Join) {
            boundary = false;
        } else if (pair == Pair::JoinCounted) {
            boundary = false;
            ri_count = 0;
        // The whole rule chain, for the pairs the table leaves to context.
        } else if (prev == W::CR && cur == W::LF) {
            boundary = false;  // WB3: CR × LF
        } else if (prev == W::LF || prev == W::Newline || prev == W::CR) {
            boundary = true;  // WB3a: (Newline | CR | LF) ÷
        } else if (cur == W::CR || cur == W::LF || cur == W::Newline) {
            boundary = true;  // WB3b: ÷ (Newline | CR | LF)
        } else if (prev == W::ZWJ && (is_word_extended_pictographic(cp) || is_ignorable(cur))) {
            boundary = false;  // WB3c: ZWJ × \p{Extended_Pictographic}; WB4
        } else if (prev == W::WSegSpace && (cur == W::WSegSpace || is_ignorable(cur))) {
            boundary = false;  // WB3d: WSegSpace × WSegSpace; WB4
        } else if (is_ignorable(cur)) {
            boundary = false;  // WB4: X (Extend | Format | ZWJ)* → X
        } else if (l1 == NO_CLASS) {
            boundary = true;  // only ignorables before: nothing to attach to
        } else {
            auto r1 = [&]() {
                if (ahead <= pos) {
                    ahead = next;
                    ahead_class = NO_CLASS;
                    while (ahead < to) {
                        std::size_t after;
                        const W c = word_break_class(u.at(ahead, after));
                        if (!is_ignorable(c)) {
                            ahead_class = c;
                            break;
                        }
                        ahead = after;
                    }
                }
                return ahead_class;
            };
            boundary = !context_joins(l2, l1, cur, r1, ri_count);
            if (!boundary) ri_count = cur == W::Regional_Indicator ? ri_count + 1 : 0;
        }
        // Every boundary restarts the regional indicator count; the joins of
        // WB3 to WB4 leave it as it was.
        if (boundary) {
            emit(pos, offset);
            ri_count = cur == W::Regional_Indicator ? 1 : 0;
        }
        if (!is_ignorable(cur)) {
            l2 = l1;
            l1 = cur;
        }
        prev = cur;
        offset += u.utf8_bytes(cp, next - pos);
        // More code points of a class that joins itself have no boundary
        // between them and change nothing but L2 (the regional indicator count
        // only matters while L1 is one): consumed without the rules.
        // Letters, digits and Katakana join through the marks between them
        // as well (WB4), which change neither L1 nor L2.
        if (MARK_JOINING[static_cast<std::size_t>(cur)]) {
            // One test per code point, whichever of the three it is.
            const std::uint32_t in_run = 1u << static_cast<unsigned>(cur) |
                                         1u << static_cast<unsigned>(W::Extend) |
                                         1u << static_cast<unsigned>(W::Format);
            std::size_t q = next;
            bool letters = false;
            while (q < to) {
                std::size_t after;
                const char32_t c = u.at(q, after);
                const W k = word_break_class(c);
                if (!((in_run >> static_cast<unsigned>(k)) & 1)) break;
                letters |= k == cur;
                prev = k;
                offset += u.utf8_bytes(c, after - q);
                q = after;
            }
            if (letters) l2 = cur;
            next = q;
        } else if (SELF_JOINING[static_cast<std::size_t>(cur)]) {
            std::size_t q = next;
            while (q < to) {
                std::size_t after;
                const char32_t c = u.at(q, after);
                if (word_break_class(c) != cur) break;
                offset += u.utf8_bytes(c, after - q);
                q = after;
            }
            if (q != next && !is_ignorable(cur)) l2 = cur;
            next = q;
        }
    }
}

}  // namespace scrivlet::segment
