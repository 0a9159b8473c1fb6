#include "sentence.h"

#include "offsets.h"
#include "sentence_break.h"
#include "units.h"

namespace scrivlet::segment {

namespace {

using S = SentenceBreak;

constexpr S NO_CLASS = static_cast<S>(0xFF);

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

template <typename Units>
void boundaries(const Units u, OffsetSink& sink) {
    std::uint64_t buffer[OffsetBatch::SIZE];
    OffsetBatch writer(sink, buffer);
    writer.put(0);
    const std::size_t n = u.size();
    if (n == 0) return writer.flush();
    auto class_at = [&u](std::size_t pos, std::size_t& next) { return sentence_break(u.at(pos, next)); };

    // SB8 look-ahead, remembered: a scan from the next code point stops at the
    // first deciding class, at ahead_stop; any later query from before that
    // position passes over the same classes and gets the same answer, so no
    // class is scanned twice.
    std::size_t ahead_stop = 0;
    bool ahead_found = false;
    auto lower_ahead = [&](std::size_t from) {
        if (from > ahead_stop) {
            std::size_t j = from, after;
            S c = S::Other;
            while (j < n && (c = class_at(j, after)) != S::Lower && !stops_lookahead(c)) j = after;
            ahead_stop = j;
            ahead_found = j < n && c == S::Lower;
        }
        return ahead_found;
    };

    // Scan state, reset at each paragraph break.
    std::size_t next;
    char32_t cp = u.at(0, next);
    const S c0 = sentence_break(cp);
    Phase phase = is_saterm(c0) ? Phase::AfterTerm : Phase::Normal;
    S term = c0;
    bool close_seen = false;
    S prev_class = (c0 == S::Extend || c0 == S::Format) ? NO_CLASS : c0;
    S before_term = NO_CLASS;
    S prev = c0;  // the class of the code point before pos

    std::uint64_t offset = u.utf8_bytes(cp, next);
    for (std::size_t pos = next; pos < n;) {
        if (phase == Phase::Normal && !is_para_sep(prev)) {
            // SB998 over a run: nothing breaks before a terminator or a
            // paragraph separator, and only prev_class changes, to the class
            // of the last code point of the run that is not Extend or Format.
            const std::size_t run = pos;
            while (pos < n && !is_special(sentence_break(u.at(pos, next)))) pos = next;
            if (pos > run) {
                offset += u.bytes(run, pos);
                std::size_t q = u.previous(pos);
                prev = sentence_break(u.at(q));
                for (S c = prev;; c = sentence_break(u.at(q))) {
                    if (c != S::Extend && c != S::Format) {
                        prev_class = c;
                        break;
                    }
                    if (q == run) break;
                    q = u.previous(q);
                }
            }
            if (pos >= n) break;
        }
        cp = u.at(pos, next);
        const S c = sentence_break(cp);
        // The rules at pos; every path moves on to the next code point.
        [&] {
            // SB3: CR × LF
            if (prev == S::CR && c == S::LF) return;
            // SB4: ParaSep ÷
            if (is_para_sep(prev)) {
                writer.put(offset);
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
                return;
            }
            // SB5: X (Extend | Format)* → X
            if (c == S::Extend || c == S::Format) return;

            bool brk = false;
            // SB6, SB7 and a lowercase letter (SB8) end the terminator's context at once.
            auto settle = [&] {
                phase = Phase::Normal;
                prev_class = c;
            };
            if (phase == Phase::AfterTerm) {
                if (term == S::STerm) {
                    brk = !t1_joins(c);
                } else if (!close_seen) {
                    if (c == S::Numeric) {
                        return settle();  // SB6: ATerm × Numeric
                    } else if (c == S::Upper) {
                        // SB7: (Upper | Lower) ATerm × Upper
                        if (before_term == S::Upper || before_term == S::Lower) return settle();
                        brk = true;
                    } else if (c == S::Lower) {
                        return settle();  // SB8: ATerm × Lower
                    } else if (stops_lookahead(c)) {
                        brk = !t1_joins(c);
                    } else {
                        // SB8: ATerm Close* Sp* × (¬(OLetter | Upper | Lower | ParaSep | SATerm))* Lower
                        brk = !lower_ahead(next) && !t1_joins(c);
                    }
                } else {
                    if (c == S::Lower) {
                        return settle();  // SB8
                    } else if (stops_lookahead(c)) {
                        brk = !t1_joins(c);
                    } else {
                        brk = !lower_ahead(next) && !t1_joins(c);  // SB8
                    }
                }
            } else if (phase == Phase::AfterTermSpace) {
                if (term == S::STerm) {
                    brk = !t2_joins(c);
                } else if (c == S::Lower) {
                    return settle();  // SB8
                } else if (stops_lookahead(c)) {
                    brk = !t2_joins(c);
                } else {
                    brk = !lower_ahead(next) && !t2_joins(c);  // SB8
                }
            }
            // phase Normal: SB998, no break

            if (brk) writer.put(offset);
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
        }();
        prev = c;
        offset += u.utf8_bytes(cp, next - pos);
        pos = next;
    }
    writer.flush();
}

}  // namespace

void sentence_boundaries(std::string_view text, OffsetSink& sink) { boundaries(units(text), sink); }

template <typename Unit>
void sentence_boundaries(text::Fixed<Unit> text, OffsetSink& sink) {
    boundaries(units(text), sink);
}

template void sentence_boundaries(text::Latin1, OffsetSink&);
template void sentence_boundaries(text::Ucs2, OffsetSink&);
template void sentence_boundaries(text::Ucs4, OffsetSink&);

std::vector<std::uint64_t> sentence_boundaries(std::string_view text) {
    VectorSink sink;
    sentence_boundaries(text, sink);
    return std::move(sink.out);
}

template <typename Unit>
std::vector<std::uint64_t> sentence_boundaries(text::Fixed<Unit> text) {
    VectorSink sink;
    sentence_boundaries(text, sink);
    return std::move(sink.out);
}

template std::vector<std::uint64_t> sentence_boundaries(text::Latin1);
template std::vector<std::uint64_t> sentence_boundaries(text::Ucs2);
template std::vector<std::uint64_t> sentence_boundaries(text::Ucs4);

}  // namespace scrivlet::segment
