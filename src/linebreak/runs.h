// The runs of Thai, Lao, Khmer and Myanmar that dictionary segmentation
// cuts into words, found in any form of text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "../data/line_break.h"
#include "../segment/cluster_walk.h"
#include "../segment/grapheme.h"
#include "../utf8.h"
#include "dictionary.h"
#include "units.h"

namespace scrivlet::linebreak {

// Units [start, end) of the text, at UTF-8 offsets [start_offset, end_offset).
struct Run {
    std::size_t start = 0, end = 0;
    std::size_t start_offset = 0, end_offset = 0;
    DictionaryLanguage lang = DictionaryLanguage::Thai;
};

// The dictionary language of a code point that starts or continues a run:
// raw class SA and a script with a word list.
constexpr std::optional<DictionaryLanguage> classify_run_member(char32_t cp) noexcept {
    auto lang = script_of(cp);
    if (lang && data::raw_line_break_class(cp) != data::LineBreakClass::SA) return std::nullopt;
    return lang;
}

// classify_run_member for U+0E00..U+19FF and U+AA60..U+AA7F (the only code
// points it gives a language), as a table: the language's value, or NONE.
struct RunMembers {
    static constexpr std::uint8_t NONE = 0xFF;
    std::uint8_t low[0x1A00 - 0x0E00] = {};
    std::uint8_t high[0x20] = {};
    // One bit per code point of low and high: a member that LB1 makes AL, not CM.
    std::uint64_t letters_low[(0x1A00 - 0x0E00) / 64] = {};
    std::uint32_t letters_high = 0;
};

constexpr RunMembers build_run_members() {
    RunMembers t;
    auto value = [](char32_t cp) {
        const auto lang = classify_run_member(cp);
        return lang ? static_cast<std::uint8_t>(*lang) : RunMembers::NONE;
    };
    auto letter = [&](char32_t cp) { return classify_run_member(cp) && !data::is_sa_mark(cp); };
    for (char32_t cp = 0x0E00; cp < 0x1A00; ++cp) {
        t.low[cp - 0x0E00] = value(cp);
        if (letter(cp)) t.letters_low[(cp - 0x0E00) / 64] |= std::uint64_t(1) << ((cp - 0x0E00) % 64);
    }
    for (char32_t cp = 0xAA60; cp < 0xAA80; ++cp) {
        t.high[cp - 0xAA60] = value(cp);
        if (letter(cp)) t.letters_high |= std::uint32_t(1) << (cp - 0xAA60);
    }
    return t;
}

inline constexpr RunMembers RUN_MEMBERS = build_run_members();

// The language's value for a code point that starts or continues a run, NONE
// for any other.
inline std::uint8_t run_member(char32_t cp) noexcept {
    if (cp - 0x0E00 < 0x1A00 - 0x0E00) return RUN_MEMBERS.low[cp - 0x0E00];
    if (cp - 0xAA60 < 0x20) return RUN_MEMBERS.high[cp - 0xAA60];
    return RunMembers::NONE;
}

// Whether a code point may open a run: U+0E01..U+19FF or U+AA60..U+AA7F.
constexpr bool may_open_run(char32_t cp) noexcept {
    return cp - 0x0E01 <= 0x19FF - 0x0E01 || cp - 0xAA60 <= 0xAA7F - 0xAA60;
}

// Passes the units from pos eight at a time while none of the eight may open
// a run, adding their UTF-8 lengths to offset; returns where it stopped: at
// eight units that hold one, or fewer than eight from the end.
template <typename Unit>
[[gnu::noinline]] std::size_t pass_closed_units(const Unit* d, std::size_t pos, std::size_t n,
                                                std::size_t& offset) noexcept {
#if defined(__SSE2__)
    if constexpr (sizeof(Unit) == 2 || sizeof(Unit) == 4) {
        // In lanes of the unit's width: v - first, moved into the signed
        // range, is below last - first + 1 there; and a unit's UTF-8 length
        // is the most its form allows (3 bytes for a 16-bit unit, 4 for a
        // 32-bit one) less one for each of U+0080, U+0800 and U+10000 that it
        // lies below, counted as the -1s of the comparisons, summed in 32-bit
        // lanes a block of at most 2^24 steps at a time.
        constexpr bool WIDE = sizeof(Unit) == 4;
        const auto in_range = [](__m128i v, std::uint32_t first, std::uint32_t last) {
            if constexpr (WIDE)
                return _mm_cmplt_epi32(_mm_add_epi32(v, _mm_set1_epi32(int(0x80000000u - first))),
                                       _mm_set1_epi32(int(0x80000000u + (last - first) + 1)));
            else
                return _mm_cmplt_epi16(_mm_add_epi16(v, _mm_set1_epi16(short(std::uint16_t(0x8000u - first)))),
                                       _mm_set1_epi16(short(std::uint16_t(0x8000u + (last - first) + 1))));
        };
        const auto below = [](__m128i v, std::uint32_t bound) {  // bound a power of two
            const std::uint32_t high = ~(bound - 1);
            if constexpr (WIDE)
                return _mm_cmpeq_epi32(_mm_and_si128(v, _mm_set1_epi32(int(high))), _mm_setzero_si128());
            else
                return _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(short(std::uint16_t(high)))),
                                       _mm_setzero_si128());
        };
        const auto shorter = [&](__m128i v) {  // the -1s, in 32-bit lanes
            if constexpr (WIDE)
                return _mm_add_epi32(_mm_add_epi32(below(v, 0x80), below(v, 0x800)), below(v, 0x10000));
            else
                return _mm_madd_epi16(_mm_add_epi16(below(v, 0x80), below(v, 0x800)), _mm_set1_epi16(1));
        };
        constexpr std::size_t LANE = 16 / sizeof(Unit), MOST = sizeof(Unit) == 4 ? 4 : 3;
        while (pos + 8 <= n) {
            constexpr std::size_t BLOCK = std::size_t(8) << 24;
            const std::size_t from = pos, end = n - pos > BLOCK ? pos + BLOCK : n;
            __m128i sum = _mm_setzero_si128();
            bool opens = false;
            for (; pos + 8 <= end; pos += 8) {
                __m128i any = _mm_setzero_si128(), less = _mm_setzero_si128();
                for (std::size_t k = 0; k < 8; k += LANE) {
                    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + pos + k));
                    any = _mm_or_si128(any, in_range(v, 0x0E01, 0x19FF));
                    any = _mm_or_si128(any, in_range(v, 0xAA60, 0xAA7F));
                    less = _mm_add_epi32(less, shorter(v));
                }
                if (_mm_movemask_epi8(any) != 0) {
                    opens = true;
                    break;
                }
                sum = _mm_add_epi32(sum, less);
            }
            sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0x4E));
            sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0xB1));
            offset += MOST * (pos - from) - std::size_t(-std::int64_t(_mm_cvtsi128_si32(sum)));
            if (opens) break;
        }
        return pos;
    }
#endif
    for (; pos + 8 <= n; pos += 8) {
        bool any = false;
        std::size_t bytes = 0;
        for (std::size_t k = 0; k < 8; ++k) {
            any |= may_open_run(d[pos + k]);
            bytes += text::utf8_length(d[pos + k]);
        }
        if (any) break;
        offset += bytes;
    }
    return pos;
}

// Finds the runs in order: a code point of a dictionary script, then those
// after it of the same one; a ZWNJ or ZWJ belongs to the run only between two
// of its letters. A run of one code point has nothing inside to cut and is
// passed over.
template <typename Units>
class RunFinder {
public:
    explicit RunFinder(Units text) noexcept : text_(text) {}

    // The next run at or after unit index pos, whose UTF-8 offset is offset.
    std::optional<Run> next(std::size_t pos, std::size_t offset) const noexcept {
        Run run;
        if (!find(pos, offset, run)) return std::nullopt;
        return run;
    }

    // The same into run, false if there is none: the caller's loop keeps the
    // run in registers, with no optional between them.
    bool find(std::size_t pos, std::size_t offset, Run& run) const noexcept {
        if constexpr (Units::FIXED)
            return find_fixed(pos, offset, run);
        else
            return find_utf8(pos, offset, run);
    }

private:
    static constexpr char32_t ZWNJ = 0x200C, ZWJ = 0x200D;

    // One unit per code point: a run's letters are passed with one table
    // read each, and its length gives its offset, since every code point of a
    // run is three bytes long in UTF-8.
    bool find_fixed(std::size_t pos, std::size_t offset, Run& run) const noexcept {
        const auto* d = text_.data;
        const std::size_t n = text_.size();
        for (;;) {
            std::uint8_t lang = RunMembers::NONE;
            // One unit at a time over a short gap (a space, a ZWSP); past
            // sixteen units, eight at a time while none may open a run: most
            // of a text that mixes scripts.
            for (std::size_t long_gap = pos + 16; pos < n; ++pos) {
                lang = run_member(d[pos]);
                if (lang != RunMembers::NONE) break;
                offset += text::utf8_length(d[pos]);
                if (pos == long_gap) [[unlikely]] {
                    pos = pass_closed_units(d, pos + 1, n, offset) - 1;
                    long_gap = n;
                }
            }
            if (pos >= n) return false;
            const std::size_t start = pos++;
            while (pos < n) {
                const char32_t next = d[pos];
                if (run_member(next) == lang) {
                    ++pos;
                } else if ((next == ZWNJ || next == ZWJ) && pos + 1 < n &&
                           run_member(d[pos + 1]) == lang) {
                    pos += 2;
                } else {
                    break;
                }
            }
            const std::size_t end_offset = offset + 3 * (pos - start);
            if (pos - start > 1) {
                run = Run{start, pos, offset, end_offset, static_cast<DictionaryLanguage>(lang)};
                return true;
            }
            offset = end_offset;  // one code point
        }
    }

    bool find_utf8(std::size_t pos, std::size_t offset, Run& run) const noexcept {
        const std::size_t n = text_.size();
        while (pos < n) {
            std::size_t len;
            const char32_t cp = text_.decode(pos, len);
            const std::uint8_t lang = run_member(cp);
            if (lang == RunMembers::NONE) {
                pos += len;
                offset += len;
                continue;
            }
            const std::size_t start = pos, start_offset = offset;
            pos += len;
            offset += len;
            while (pos < n) {
                std::size_t next_len;
                const char32_t next = text_.decode(pos, next_len);
                if (next == ZWNJ || next == ZWJ) {
                    std::size_t after_len;
                    const std::size_t after = pos + next_len;
                    if (after >= n || run_member(text_.decode(after, after_len)) != lang) break;
                    next_len += after_len;
                    offset += 6;
                } else if (run_member(next) != lang) {
                    break;
                } else {
                    offset += 3;
                }
                pos += next_len;
            }
            if (pos - start == len) continue;  // one code point
            run = Run{start, pos, start_offset, offset, static_cast<DictionaryLanguage>(lang)};
            return true;
        }
        return false;
    }

    Units text_;
};

// Units [begin, end) of a text as a text of their own.
inline Utf8Units slice(Utf8Units text, std::size_t begin, std::size_t end) noexcept {
    return Utf8Units(std::string_view(reinterpret_cast<const char*>(text.data) + begin, end - begin));
}
template <typename Unit>
FixedUnits<Unit> slice(FixedUnits<Unit> text, std::size_t begin, std::size_t end) noexcept {
    return FixedUnits<Unit>(text::Fixed<Unit>{text.data + begin, end - begin});
}

// Whether a run member is a letter rather than a mark or a joiner (LB1 makes
// it AL, not CM).
inline bool is_run_letter(char32_t cp) noexcept {
    if (cp - 0x0E00 < 0x1A00 - 0x0E00)
        return (RUN_MEMBERS.letters_low[(cp - 0x0E00) / 64] >> ((cp - 0x0E00) % 64)) & 1;
    if (cp - 0xAA60 < 0x20) return (RUN_MEMBERS.letters_high >> (cp - 0xAA60)) & 1;
    return false;
}

// The unit index of the first letter of a run, the run's end if it holds
// marks only; and of the last letter, in a run that holds one. Every code
// point of a run is three bytes long in UTF-8, one unit in the fixed-width
// forms.
template <typename Units>
std::size_t first_letter(Units text, const Run& run) noexcept {
    constexpr std::size_t STEP = Units::FIXED ? 1 : 3;
    std::size_t len, first = run.start;
    while (!is_run_letter(text.decode(first, len))) [[unlikely]] {
        first += STEP;
        if (first == run.end) break;
    }
    return first;
}
template <typename Units>
std::size_t last_letter(Units text, const Run& run) noexcept {
    constexpr std::size_t STEP = Units::FIXED ? 1 : 3;
    std::size_t len, last = run.end - STEP;
    while (!is_run_letter(text.decode(last, len))) last -= STEP;
    return last;
}

// The cluster boundaries inside one run, decided where they are asked for,
// locally from the code points around them. They are the boundaries of the
// whole text, which inside a run are those of the run's own text except where
// the run begins with a virama or coeng whose cluster began before the run:
// the text's decide there, so that no break ever falls inside its clusters.
// A pair of regional indicators, which no run holds, would need the whole
// stretch of them: that case falls back to one scan of the run.
template <typename Units>
class RunClusters {
public:
    RunClusters(Units text, const Run& run) : text_(text), start_(run.start), end_(run.end) {}

    // Whether a cluster ends at unit index i of the text (inside the run or at its end).
    bool ends_at(std::size_t i) {
        if (i >= end_) return true;
        if (scanned_) [[unlikely]]
            return scanned_[i - start_] != 0;
        if (auto starts = local_start(i)) [[likely]]
            return *starts;
        scan_run();
        return scanned_[i - start_] != 0;
    }

private:
    Units text_;
    std::size_t start_, end_;  // the run's units
    // Null until a scan is needed: most runs never build it, and a null
    // pointer costs nothing to make and drop per run.
    std::unique_ptr<std::uint8_t[]> scanned_;

    std::optional<bool> local_start(std::size_t i) const noexcept {
        if constexpr (std::is_same_v<Units, Utf8Units>) {
            return segment::local_cluster_start(text_.utf8(), i);
        } else {
            // The same decision as the UTF-8 one, read straight from the units:
            // the code point at i and at most two before it.
            const char32_t before = i >= 2 ? char32_t(text_.data[i - 2]) : 0;
            return segment::walk::cluster_starts_at(i >= 2 ? &before : nullptr, text_.data[i - 1],
                                                    text_.data[i]);
        }
    }

    // Flags, per unit of the run, the cluster starts of the run's own text.
    [[gnu::noinline]] void scan_run() {
        std::string utf8;
        std::vector<std::size_t> unit_at;  // unit index (in the run) of each byte
        for (std::size_t i = start_; i < end_;) {
            std::size_t len;
            const char32_t cp = text_.decode(i, len);
            const std::size_t bytes = Units::utf8_bytes(cp, len);
            utf8::append(utf8, cp);
            for (std::size_t b = 0; b < bytes; ++b) unit_at.push_back(i - start_);
            i += len;
        }
        std::vector<std::uint8_t> flags(utf8.size() + 1, 0);
        segment::mark_cluster_starts(utf8, flags.data());
        scanned_ = std::make_unique<std::uint8_t[]>(end_ - start_ + 1);
        for (std::size_t b = 0; b < utf8.size(); ++b)
            if (flags[b] && (b == 0 || unit_at[b - 1] != unit_at[b])) scanned_[unit_at[b]] = 1;
    }
};

// The longest listed word at unit index pos of the run that ends on a cluster
// boundary: its end, or pos if none. The automaton is walked as far as a
// listed word can continue; the word ends met on the way are then tried from
// the longest down, so that most words cost one cluster decision. No walk is
// longer than the longest word, which the compiler bounds.
template <typename Units>
[[gnu::always_inline]] inline std::size_t longest_word(const WordDictionary& dict, Units text,
                                                   std::size_t end, std::size_t pos,
                                                   RunClusters<Units>& clusters) {
    std::size_t ends[WordDictionary::MAX_WORD_LENGTH];
    std::size_t count = 0;
    // The dictionary's fields in registers: the stores to ends would
    // otherwise have them read again at every step.
    const std::uint32_t* const slots = dict.slots;
    const std::uint8_t* const symbols = dict.symbols;
    const char32_t first = dict.first;
    const std::uint32_t span = dict.span;
    WordDictionary::State state = dict.root;
    for (std::size_t i = pos; i < end;) {
        std::size_t len;
        const char32_t cp = text.decode(i, len);
        const std::uint32_t k = cp - first;
        const unsigned s = k < span ? symbols[k] : dict.symbol(cp);
        // Symbol 0 (outside the alphabet) matches no slot: a free slot's check is 0xFF.
        const std::uint32_t slot = slots[state + s];
        if ((slot & 0xFF) != s) break;
        state = slot >> 9;
        i += len;
        // Written every step and kept only at a word: no branch on whether it is one.
        ends[count] = i;
        count += (slot >> 8) & 1;
    }
    while (count > 0) {
        const std::size_t at = ends[--count];
        if (clusters.ends_at(at)) return at;
    }
    return pos;
}

// Hands cut (UTF-8 offsets in the text) the word ends inside the run, in order,
// by forward longest match over the run's grapheme clusters.
template <typename Units, typename Cut>
void segment_run_into(const WordDictionary& dict, Units text, const Run& run, Cut&& cut) {
    // A run's code points are three bytes long in UTF-8: a unit is a byte of
    // UTF-8, or a whole code point of the fixed-width forms.
    constexpr std::size_t UNIT_BYTES = Units::FIXED ? 3 : 1;
    RunClusters<Units> clusters(text, run);
    const std::size_t run_end = run.end;
    const std::uint64_t offset_base = run.start_offset - run.start * UNIT_BYTES;
    std::size_t pos = run.start;
    for (;;) {
        std::size_t end = longest_word(dict, text, run_end, pos, clusters);
        if (end == pos) {
            // No listed word ends on a boundary here: step over one cluster.
            do {
                std::size_t len;
                text.decode(end, len);
                end += len;
            } while (!clusters.ends_at(end));
        }
        pos = end;
        if (pos >= run_end) break;
        cut(offset_base + pos * UNIT_BYTES);
    }
}

}  // namespace scrivlet::linebreak
