#include "sentence.h"

#include <algorithm>
#include <memory>

#include "../utf8.h"
#include "code_point_info.h"
#include "sentence_break.h"

namespace scrivlet::segment {

namespace {

using S = SentenceBreak;

constexpr S NO_CLASS = static_cast<S>(0xFF);
constexpr std::uint8_t CLASS_MASK = 0x0F;

enum class Phase : std::uint8_t { Normal, AfterTerm, AfterTermSpace };

constexpr bool is_para_sep(S c) { return c == S::CR || c == S::LF || c == S::Sep; }
constexpr bool is_saterm(S c) { return c == S::ATerm || c == S::STerm; }

// SB8a, SB9, SB10, SB11 right after a terminator and its Close characters.
constexpr bool t1_joins(S c) {
    return is_para_sep(c) || c == S::Sp || is_saterm(c) || c == S::Close || c == S::SContinue;
}

// SB8a, SB10, SB11 after a terminator, Close characters and spaces: a Close breaks.
constexpr bool t2_joins(S c) { return is_para_sep(c) || c == S::Sp || is_saterm(c) || c == S::SContinue; }

// The classes that end a run of SB998 in the Normal phase.
constexpr bool is_special(S c) {
    constexpr unsigned mask = 1u << unsigned(S::CR) | 1u << unsigned(S::LF) | 1u << unsigned(S::Sep) |
                              1u << unsigned(S::ATerm) | 1u << unsigned(S::STerm);
    return (mask >> unsigned(c)) & 1;
}

// The classes that end the SB8 look-ahead without finding a lowercase letter.
constexpr bool stops_lookahead(S c) {
    return is_para_sep(c) || c == S::Upper || c == S::OLetter || is_saterm(c);
}

}  // namespace

std::vector<std::uint64_t> sentence_boundaries(std::string_view text) {
    std::vector<std::uint64_t> out;
    out.reserve(std::min<std::size_t>(text.size() + 1, 16));
    out.push_back(0);
    const std::size_t size = text.size();
    if (size <= 1) return out;

    // Per code point: the class in the low 4 bits, the UTF-8 length minus one above.
    const CodePointInfo facts(text, [](char32_t cp, std::size_t len) {
        return static_cast<std::uint8_t>(static_cast<std::uint8_t>(sentence_break(cp)) | ((len - 1) << 4));
    });
    const std::uint8_t* const info = facts.data();
    const std::size_t n = facts.size();
    if (n == 1) return out;
    auto cls = [info](std::size_t i) { return static_cast<S>(info[i] & CLASS_MASK); };

    // SB8 look-ahead, remembered: a scan from i + 1 stops at the first deciding
    // class, at index ahead_stop; any later query from before that index passes
    // over the same classes and gets the same answer, so no class is scanned twice.
    std::size_t ahead_stop = 0;
    bool ahead_found = false;
    auto lower_ahead = [&](std::size_t i) {
        if (i + 1 > ahead_stop) {
            std::size_t j = i + 1;
            while (j < n && cls(j) != S::Lower && !stops_lookahead(cls(j))) ++j;
            ahead_stop = j;
            ahead_found = j < n && cls(j) == S::Lower;
        }
        return ahead_found;
    };

    // Scan state, reset at each paragraph break.
    const S c0 = cls(0);
    Phase phase = is_saterm(c0) ? Phase::AfterTerm : Phase::Normal;
    S term = c0;
    bool close_seen = false;
    S prev_class = (c0 == S::Extend || c0 == S::Format) ? NO_CLASS : c0;
    S before_term = NO_CLASS;

    std::uint64_t offset = (info[0] >> 4) + 1;
    for (std::size_t i = 1; i < n; offset += (info[i] >> 4) + 1, ++i) {
        if (phase == Phase::Normal && !is_para_sep(cls(i - 1))) {
            // SB998 over a run: nothing breaks before a terminator or a
            // paragraph separator, and only prev_class changes.
            while (i < n && !is_special(cls(i))) {
                const S c = cls(i);
                if (c != S::Extend && c != S::Format) prev_class = c;
                offset += (info[i] >> 4) + 1;
                ++i;
            }
            if (i >= n) break;
        }
        const S c = cls(i);
        const S prev = cls(i - 1);
        // SB3: CR × LF
        if (prev == S::CR && c == S::LF) continue;
        // SB4: ParaSep ÷
        if (is_para_sep(prev)) {
            out.push_back(offset);
            phase = Phase::Normal;
            if (c == S::Extend || c == S::Format) {
                prev_class = NO_CLASS;
            } else if (is_saterm(c)) {
                before_term = NO_CLASS;
                prev_class = c;
                close_seen = false;
                phase = Phase::AfterTerm;
                term = c;
            } else {
                prev_class = c;
            }
            continue;
        }
        // SB5: X (Extend | Format)* → X
        if (c == S::Extend || c == S::Format) continue;

        bool brk = false;
        bool state_set = false;
        // SB6, SB7 and a lowercase letter (SB8) end the terminator's context at once.
        auto settle = [&](S as) {
            phase = Phase::Normal;
            prev_class = as;
            state_set = true;
        };
        if (phase == Phase::AfterTerm) {
            if (term == S::STerm) {
                brk = !t1_joins(c);
            } else if (!close_seen) {
                if (c == S::Numeric) {
                    settle(c);  // SB6: ATerm × Numeric
                } else if (c == S::Upper) {
                    // SB7: (Upper | Lower) ATerm × Upper
                    if (before_term == S::Upper || before_term == S::Lower)
                        settle(c);
                    else
                        brk = true;
                } else if (c == S::Lower) {
                    settle(c);  // SB8: ATerm × Lower
                } else if (stops_lookahead(c)) {
                    brk = !t1_joins(c);
                } else {
                    // SB8: ATerm Close* Sp* × (¬(OLetter | Upper | Lower | ParaSep | SATerm))* Lower
                    brk = !lower_ahead(i) && !t1_joins(c);
                }
            } else {
                if (c == S::Lower) {
                    settle(c);  // SB8
                } else if (stops_lookahead(c)) {
                    brk = !t1_joins(c);
                } else {
                    brk = !lower_ahead(i) && !t1_joins(c);  // SB8
                }
            }
        } else if (phase == Phase::AfterTermSpace) {
            if (term == S::STerm) {
                brk = !t2_joins(c);
            } else if (c == S::Lower) {
                settle(c);  // SB8
            } else if (stops_lookahead(c)) {
                brk = !t2_joins(c);
            } else {
                brk = !lower_ahead(i) && !t2_joins(c);  // SB8
            }
        }
        // phase Normal: SB998, no break

        if (brk) out.push_back(offset);
        if (state_set) continue;
        switch (c) {
            case S::Sp:
                if (brk || phase == Phase::Normal) phase = Phase::Normal;
                else phase = Phase::AfterTermSpace;
                prev_class = c;
                break;
            case S::ATerm:
            case S::STerm:
                before_term = prev_class;
                prev_class = c;
                phase = Phase::AfterTerm;
                term = c;
                close_seen = false;
                break;
            case S::Close:
                if (phase == Phase::AfterTerm && !brk)
                    close_seen = true;
                else
                    phase = Phase::Normal;
                prev_class = c;
                break;
            default:
                phase = Phase::Normal;
                prev_class = c;
                break;
        }
    }
    return out;
}

}  // namespace scrivlet::segment
