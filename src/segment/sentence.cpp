#include "sentence.h"

#include <array>
#include <utility>
#include <type_traits>

#include "offsets.h"
#include "sentence_break.h"
#include "units.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>

#include <atomic>
#define SCRIVLET_AVX2_DISPATCH 1
#endif

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

// The fixed-width forms pass over a run a block of units at a time where
// SSE2 is there. Below U+0080 a run ends at LF, CR, '!', '.' and '?' alone;
// from U+0080 on, a block whose code points all lie in the gaps between two
// of the code points that end a run, of the last two such gaps looked up, is
// passed over whole.
constexpr char32_t ASCII_SPECIALS[] = {0x0A, 0x0D, 0x21, 0x2E, 0x3F};

constexpr bool ascii_specials_are_complete() {
    for (char32_t c = 0; c < 0x80; ++c) {
        bool listed = false;
        for (char32_t a : ASCII_SPECIALS) listed = listed || a == c;
        if (listed != is_special(sentence_break(c))) return false;
    }
    return true;
}
static_assert(ascii_specials_are_complete());

constexpr std::size_t HIGH_SPECIAL_COUNT = [] {
    std::size_t k = 0;
    for (char32_t c = 0x80; c < 0x10000; ++c) k += is_special(sentence_break(c));
    return k;
}();

// The code points from U+0080 that end a run, ascending, between two
// sentinels; none lies beyond the BMP.
constexpr std::array<char32_t, HIGH_SPECIAL_COUNT + 2> HIGH_SPECIALS = [] {
    std::array<char32_t, HIGH_SPECIAL_COUNT + 2> a{};
    std::size_t k = 0;
    a[k++] = 0x7F;
    for (char32_t c = 0x80; c < 0x10000; ++c)
        if (is_special(sentence_break(c))) a[k++] = c;
    a[k] = 0x110000;
    return a;
}();

// The code points strictly between two neighbouring specials: [first, last].
struct Gap {
    char32_t first = 1, last = 0;  // empty
    bool holds(char32_t c) const { return first <= c && c <= last; }
    // The gap of c, from U+0080 and not special itself.
    static Gap of(char32_t c) {
        std::size_t low = 0, high = HIGH_SPECIALS.size() - 1;  // HIGH_SPECIALS[low] < c < HIGH_SPECIALS[high]
        while (high - low > 1) {
            const std::size_t mid = (low + high) / 2;
            (HIGH_SPECIALS[mid] < c ? low : high) = mid;
        }
        return {HIGH_SPECIALS[low] + 1, HIGH_SPECIALS[high] - 1};
    }
};

#if SCRIVLET_AVX2_DISPATCH
// With AVX2 (checked at run time: the library is built for plain x86-64) a
// block of units costs about one instruction per unit. A unit is special or
// not by two tests: sixteen specials, those of Latin-1 and the common ones of
// CJK and general punctuation, are found exactly by one table lookup keyed
// by a multiplicative hash; every other unit must lie in one of a handful of
// gaps between the remaining specials, learned from the text. Text in one
// script needs two to four such gaps (the one from U+0000 holds all of
// Latin-1, Greek, Cyrillic and Hebrew), emoji text five.
constexpr std::uint16_t EXACT_HASH = 0x2B5B;
constexpr unsigned exact_key(char32_t c) { return std::uint16_t(std::uint16_t(c) * EXACT_HASH) >> 12; }
constexpr char16_t EXACT_SPECIALS[16] = {0x000A, 0x000D, 0x0021, 0x002E, 0x003F, 0x0085, 0x0589, 0x0965,
                                         0x2024, 0x2028, 0x2029, 0x3002, 0xFF01, 0xFF0E, 0xFF1F, 0xFF61};

// EXACT_TABLE[exact_key(c)] == c for each of them; no other unit meets its own
// key's entry, a code point from U+10000 (seen as U+FFFF) included.
constexpr std::array<char16_t, 16> EXACT_TABLE = [] {
    std::array<char16_t, 16> t{};
    std::array<bool, 16> used{};
    for (char16_t c : EXACT_SPECIALS) {
        if (!is_special(sentence_break(c))) throw "an exact special that is not special";
        if (used[exact_key(c)]) throw "two exact specials share a key";
        used[exact_key(c)] = true;
        t[exact_key(c)] = c;
    }
    for (bool u : used)
        if (!u) throw "an unused key";  // a filler would need a value of another key
    return t;
}();

constexpr bool is_exact_special(char32_t c) { return c < 0x10000 && EXACT_TABLE[exact_key(c)] == c; }

static_assert([] {
    for (char32_t c = 0; c < 0x100; ++c)
        if (is_special(sentence_break(c)) && !is_exact_special(c)) return false;
    return true;
}());

constexpr std::size_t GAP_SPECIAL_COUNT = [] {
    std::size_t k = 0;
    for (char32_t c = 0; c < 0x10000; ++c) k += is_special(sentence_break(c)) && !is_exact_special(c);
    return k;
}();

// The specials that the gaps lie between, ascending, between -1 and U+10000.
constexpr std::array<std::int32_t, GAP_SPECIAL_COUNT + 2> GAP_SPECIALS = [] {
    std::array<std::int32_t, GAP_SPECIAL_COUNT + 2> a{};
    std::size_t k = 0;
    a[k++] = -1;
    for (char32_t c = 0; c < 0x10000; ++c)
        if (is_special(sentence_break(c)) && !is_exact_special(c)) a[k++] = std::int32_t(c);
    a[k] = 0x10000;
    return a;
}();

// The gaps of the units met so far, a unit from U+10000 counting as U+FFFF.
// Text that moves between a dozen scripts needs eleven; each gap costs every
// block three instructions, so the gaps are forgotten every so many units,
// and those of a stretch of text the scan has left behind stop costing.
struct WideGaps {
    static constexpr std::size_t MOST = 12;
    static constexpr std::size_t FORGET_AFTER = std::size_t(1) << 16;  // units
    // The first gap, from U+0000, holds all of ASCII.
    std::array<Gap, MOST> gap{Gap{0, char32_t(GAP_SPECIALS[1] - 1)}};
    std::array<std::uint32_t, MOST> used{};  // when a block last needed it
    std::size_t count = 1;
    std::uint32_t clock = 0;
    std::size_t passed = 0;  // units passed since the gaps were last forgotten

    // Back to the start: the first gap alone, which a replacement may have
    // taken the place of.
    void forget() { *this = WideGaps{}; }

    std::size_t find(char32_t c) const {
        for (std::size_t k = 0; k < count; ++k)
            if (gap[k].holds(c)) return k;
        return MOST;
    }
    // Marks the gap of c (not special) as used, learning it if needed: in
    // place of the one unused longest once all the places are taken.
    void need(char32_t c) {
        if (c > 0xFFFF) c = 0xFFFF;
        std::size_t k = find(c);
        if (k == MOST) {
            if (count < MOST) {
                k = count++;
            } else {
                k = 0;
                for (std::size_t j = 1; j < MOST; ++j)
                    if (used[j] < used[k]) k = j;
            }
            std::size_t low = 0, high = GAP_SPECIALS.size() - 1;
            while (high - low > 1) {
                const std::size_t mid = (low + high) / 2;
                (GAP_SPECIALS[mid] < std::int32_t(c) ? low : high) = mid;
            }
            gap[k] = {char32_t(GAP_SPECIALS[low] + 1), char32_t(GAP_SPECIALS[high] - 1)};
        }
        used[k] = clock;
    }
};

// The sum of the eight 32-bit lanes.
[[gnu::target("avx2")]] inline std::int32_t lane_sum(__m256i v) {
    __m128i s = _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0x4E));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0xB1));
    return _mm_cvtsi128_si32(s);
}

// Adds the UTF-8 bytes of `units` units that the counters of pass_blocks_avx2
// stand for, and clears the counters.
template <typename Unit>
[[gnu::target("avx2")]] inline void add_up_avx2(__m256i& short_by, __m256i& supplementary, std::size_t units,
                                               std::uint64_t& offset) {
    std::int64_t total = 3 * std::int64_t(units) + lane_sum(_mm256_madd_epi16(short_by, _mm256_set1_epi16(1)));
    if constexpr (sizeof(Unit) == 4) total -= lane_sum(supplementary);
    offset += std::uint64_t(total);
    short_by = supplementary = _mm256_setzero_si256();
}

// Sixteen 16-bit lanes of -1 then sixteen of 0: the first k lanes from 16 - k.
alignas(32) constexpr std::int16_t FIRST_LANES[32] = {-1, -1, -1, -1, -1, -1, -1, -1,
                                                      -1, -1, -1, -1, -1, -1, -1, -1};

// EXACT_TABLE as two tables of bytes for a byte shuffle. The shuffle by a key
// in the low byte of a 16-bit lane puts the table's first byte in the high
// one: the high bytes are kept xor that byte, which the low table's shuffle
// puts back.
struct ExactBytes {
    alignas(16) std::uint8_t low[16], high[16];
};
constexpr ExactBytes EXACT_BYTES = [] {
    ExactBytes b{};
    for (std::size_t k = 0; k < 16; ++k) b.low[k] = std::uint8_t(EXACT_TABLE[k]);
    for (std::size_t k = 0; k < 16; ++k) b.high[k] = std::uint8_t(EXACT_TABLE[k] >> 8) ^ b.low[0];
    return b;
}();

// Whole blocks of sixteen units from pos while every unit of the block is
// ordinary under the first G gaps; adds their UTF-8 bytes to offset and
// returns where it stopped: at the first unit of a block that may end the run
// or lies in no gap, with miss not 0, or at the last whole block with miss 0.
template <typename Unit, std::size_t G>
[[gnu::target("avx2")]] std::size_t pass_blocks_avx2(const Unit* p, std::size_t pos, std::size_t n,
                                                     const WideGaps& gaps, std::uint64_t& offset,
                                                     unsigned& miss) {
    const __m256i table_low =
        _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(EXACT_BYTES.low)));
    const __m256i table_high =
        _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(EXACT_BYTES.high)));
    const __m256i hash = _mm256_set1_epi16(short(EXACT_HASH));
    // A gap [first, last] as x = v + 0x8000 - first, outside it when
    // x > 0x8000 + last - first signed.
    __m256i shift[G], last[G];
    for (std::size_t g = 0; g < G; ++g) {
        shift[g] = _mm256_set1_epi16(short(std::uint16_t(0x8000u - gaps.gap[g].first)));
        last[g] = _mm256_set1_epi16(short(std::uint16_t(0x8000u + (gaps.gap[g].last - gaps.gap[g].first))));
    }
    const __m256i ascii_last = _mm256_set1_epi16(0x7F), two_byte_last = _mm256_set1_epi16(0x7FF);
    // UTF-8 bytes: three per unit less one per unit below U+0080 and one below
    // U+0800 (16-bit lanes, counted down), plus one from U+10000 (32-bit lanes).
    __m256i short_by = _mm256_setzero_si256(), supplementary = _mm256_setzero_si256();
    miss = 0;
    while (pos + 16 <= n) {
        // At most 8192 blocks before the 16-bit lanes are added up.
        const std::size_t end = n - pos > 16 * 8192 ? pos + 16 * 8192 : n;
        std::size_t units = 0;
        for (; pos + 16 <= end; pos += 16) {
            __m256i v, a, b;
            if constexpr (sizeof(Unit) == 2) {
                v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + pos));
            } else {
                // Saturated to U+FFFF from U+10000, in the order a0-3 b0-3 a4-7 b4-7.
                a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + pos));
                b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + pos + 8));
                v = _mm256_packus_epi32(a, b);
            }
            const __m256i key = _mm256_srli_epi16(_mm256_mullo_epi16(v, hash), 12);
            const __m256i entry = _mm256_xor_si256(_mm256_shuffle_epi8(table_low, key),
                                                   _mm256_slli_epi16(_mm256_shuffle_epi8(table_high, key), 8));
            __m256i outside = _mm256_cmpgt_epi16(_mm256_add_epi16(v, shift[0]), last[0]);
            for (std::size_t g = 1; g < G; ++g)
                outside = _mm256_and_si256(outside, _mm256_cmpgt_epi16(_mm256_add_epi16(v, shift[g]), last[g]));
            const __m256i stop = _mm256_or_si256(_mm256_cmpeq_epi16(v, entry), outside);
            if (!_mm256_testz_si256(stop, stop)) [[unlikely]] {
                __m256i in_order = stop;
                if constexpr (sizeof(Unit) == 4) in_order = _mm256_permute4x64_epi64(stop, 0xD8);
                miss = unsigned(_mm256_movemask_epi8(in_order));
                // The units before the first miss are passed over.
                const unsigned k = unsigned(__builtin_ctz(miss)) / 2;
                if constexpr (sizeof(Unit) == 2) {
                    const __m256i first =
                        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(FIRST_LANES + 16 - k));
                    short_by = _mm256_add_epi16(
                        short_by, _mm256_and_si256(first, _mm256_cmpeq_epi16(_mm256_min_epu16(v, ascii_last), v)));
                    short_by = _mm256_add_epi16(
                        short_by, _mm256_and_si256(first, _mm256_cmpeq_epi16(_mm256_min_epu16(v, two_byte_last), v)));
                    units += k;
                } else {
                    for (unsigned j = 0; j < k; ++j) offset += utf8_length(p[pos + j]);
                }
                pos += k;
                break;
            }
            short_by = _mm256_add_epi16(short_by, _mm256_cmpeq_epi16(_mm256_min_epu16(v, ascii_last), v));
            short_by = _mm256_add_epi16(short_by, _mm256_cmpeq_epi16(_mm256_min_epu16(v, two_byte_last), v));
            if constexpr (sizeof(Unit) == 4) {
                const __m256i bmp_last = _mm256_set1_epi32(0xFFFF);
                supplementary = _mm256_add_epi32(supplementary, _mm256_cmpgt_epi32(a, bmp_last));
                supplementary = _mm256_add_epi32(supplementary, _mm256_cmpgt_epi32(b, bmp_last));
            }
            units += 16;
        }
        add_up_avx2<Unit>(short_by, supplementary, units, offset);
        if (miss != 0) break;
    }
    return pos;
}

// The Latin-1 specials by their low four bits (no two share them); a key
// without one holds a byte that meets no unit of that key.
struct ByLowBits {
    alignas(16) std::uint8_t bytes[16];
};
constexpr ByLowBits LATIN1_BY_LOW_BITS = [] {
    ByLowBits t{};
    for (std::size_t k = 0; k < 16; ++k) t.bytes[k] = std::uint8_t(k ^ 1);
    for (char32_t c = 0; c < 0x100; ++c) {
        if (!is_special(sentence_break(c))) continue;
        if ((t.bytes[c & 15] & 15) == (c & 15)) throw "two Latin-1 specials share their low four bits";
        t.bytes[c & 15] = std::uint8_t(c);
    }
    return t;
}();

// Latin-1: the six specials by the low four bits, exactly; 32 units a block.
[[gnu::target("avx2")]] std::size_t skip_latin1_avx2(const std::uint8_t* p, std::size_t pos, std::size_t n,
                                                     std::uint64_t& offset) {
    const __m256i table =
        _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(LATIN1_BY_LOW_BITS.bytes)));
    const __m256i low_bits = _mm256_set1_epi8(15);
    std::uint64_t high = 0;
    for (; pos + 32 <= n; pos += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + pos));
        const __m256i hit = _mm256_cmpeq_epi8(v, _mm256_shuffle_epi8(table, _mm256_and_si256(v, low_bits)));
        const unsigned above = unsigned(_mm256_movemask_epi8(v));
        if (const unsigned mask = unsigned(_mm256_movemask_epi8(hit))) {
            const unsigned k = unsigned(__builtin_ctz(mask));
            offset += high + k + unsigned(__builtin_popcount(above & ((1u << k) - 1)));
            return pos + k;
        }
        high += 32 + unsigned(__builtin_popcount(above));
    }
    offset += high;
    return pos;
}

template <typename Unit>
using PassBlocks = std::size_t (*)(const Unit*, std::size_t, std::size_t, const WideGaps&, std::uint64_t&, unsigned&);
template <typename Unit, std::size_t... G>
constexpr std::array<PassBlocks<Unit>, sizeof...(G)> passes(std::index_sequence<G...>) {
    return {&pass_blocks_avx2<Unit, G + 1>...};
}
template <typename Unit>
constexpr auto PASSES = passes<Unit>(std::make_index_sequence<WideGaps::MOST>());

template <typename Unit>
[[gnu::target("avx2")]] std::size_t skip_avx2(const Unit* p, std::size_t pos, std::size_t n, WideGaps& gaps,
                                              std::uint64_t& offset) {
    if constexpr (sizeof(Unit) == 1) {
        (void)gaps;
        return skip_latin1_avx2(p, pos, n, offset);
    } else {
        for (;;) {
            const std::size_t from = pos, window = WideGaps::FORGET_AFTER - gaps.passed;
            const std::size_t stop = n - pos > window ? pos + window : n;
            unsigned miss;
            pos = PASSES<Unit>[gaps.count - 1](p, pos, stop, gaps, offset, miss);
            gaps.passed += pos - from;
            if (miss == 0) {
                if (stop == n) return pos;
                gaps.forget();
                continue;
            }
            // The unit at pos ends the run, or is passed over once its gap is learned.
            const char32_t c = p[pos];
            if (is_special(sentence_break(c))) return pos;
            ++gaps.clock;
            gaps.need(c);
            offset += utf8_length(c);
            ++pos;
        }
    }
}

const bool HAS_AVX2 = [] {
    __builtin_cpu_init();  // may run before the runtime's own constructors
    return __builtin_cpu_supports("avx2") != 0;
}();
std::atomic<bool> use_avx2{HAS_AVX2};
#endif

// The last four gaps looked up, kept from one run to the next: emoji text
// alone moves between four (ZWJ, the variation selector, the dingbats and
// plane 1), and a gap missing from here sends a block through one unit at a time.
struct Gaps {
    static constexpr std::size_t COUNT = 4;  // holds() reads them by hand
    std::array<Gap, COUNT> gap{};
#if SCRIVLET_AVX2_DISPATCH
    WideGaps wide;  // those of the AVX2 scan
#endif
    bool holds(char32_t c) const {
        return gap[0].holds(c) || gap[1].holds(c) || gap[2].holds(c) || gap[3].holds(c);
    }
    // The latest used first.
    void note(char32_t c) {
        if (c < 0x80 || holds(c)) return;
        gap[COUNT - 1] = Gap::of(c);
        to_front(COUNT - 1);
    }
    void to_front(std::size_t k) {
        const Gap g = gap[k];
        for (; k > 0; --k) gap[k] = gap[k - 1];
        gap[0] = g;
    }
};


// The first position from pos on whose class ends a run (the size if none);
// adds the UTF-8 bytes of the units passed over to offset.
template <typename Units>
std::size_t skip_ordinary(const Units& u, std::size_t pos, Gaps&, std::uint64_t& offset) {
    const std::size_t from = pos;
    std::size_t next;
    while (pos < u.size() && !is_special(sentence_break(u.at(pos, next)))) pos = next;
    offset += u.bytes(from, pos);
    return pos;
}

template <typename Unit>
std::size_t skip_ordinary(const FixedUnits<Unit>& u, std::size_t pos, Gaps& gaps, std::uint64_t& offset) {
    const Unit* p = u.data();
    const std::size_t n = u.size();
#if SCRIVLET_AVX2_DISPATCH
    if (use_avx2.load(std::memory_order_relaxed)) {
        pos = skip_avx2(p, pos, n, gaps.wide, offset);
        if (pos < n && is_special(sentence_break(p[pos]))) return pos;
        // Then the units after the last whole block: fewer than sixteen, one
        // at a time, or for Latin-1 (32 units a block) sixteen at a time below.
        if constexpr (sizeof(Unit) > 1) {
            for (; pos < n; ++pos) {
                if (is_special(sentence_break(p[pos]))) break;
                offset += utf8_length(p[pos]);
            }
            return pos;
        }
    }
#endif
#if defined(__SSE2__)
    static_assert(std::size(ASCII_SPECIALS) == 5);
    const __m128i zero = _mm_setzero_si128();
    if constexpr (sizeof(Unit) == 1) {
        constexpr char32_t NEL = 0x85;  // the one code point from U+0080 in Latin-1 that ends a run
        static_assert(is_special(sentence_break(NEL)) && HIGH_SPECIALS[1] == NEL);
        const __m128i nel = _mm_set1_epi8(char(NEL)), lf = _mm_set1_epi8(0x0A), cr = _mm_set1_epi8(0x0D),
                      exclamation = _mm_set1_epi8(0x21), full_stop = _mm_set1_epi8(0x2E),
                      question = _mm_set1_epi8(0x3F), one = _mm_set1_epi8(1);
        __m128i high = zero;  // code points from U+0080, two bytes each
        bool found = false;
        for (; pos + 16 <= n; pos += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + pos));
            const __m128i hit = _mm_or_si128(
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, nel), _mm_cmpeq_epi8(v, lf)),
                             _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, exclamation))),
                _mm_or_si128(_mm_cmpeq_epi8(v, full_stop), _mm_cmpeq_epi8(v, question)));
            if (const unsigned mask = unsigned(_mm_movemask_epi8(hit))) {
                const unsigned k = unsigned(__builtin_ctz(mask));
                offset += k + unsigned(__builtin_popcount(unsigned(_mm_movemask_epi8(v)) & ((1u << k) - 1)));
                pos += k;
                found = true;
                break;
            }
            offset += 16;
            high = _mm_add_epi64(high, _mm_sad_epu8(_mm_and_si128(_mm_srli_epi16(v, 7), one), zero));
        }
        offset += std::uint64_t(_mm_cvtsi128_si64(high)) +
                  std::uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(high, high)));
        if (found) return pos;
    } else {
        constexpr std::size_t LANES = 16 / sizeof(Unit);
        constexpr bool WIDE = sizeof(Unit) == 4;
        auto splat = [](std::int32_t v) { return WIDE ? _mm_set1_epi32(v) : _mm_set1_epi16(short(v)); };
        auto equal = [](__m128i a, __m128i b) {
            return WIDE ? _mm_cmpeq_epi32(a, b) : _mm_cmpeq_epi16(a, b);
        };
        // v < bound, lane by lane (bound at most 0x10000 for 16-bit units).
        auto below = [&](__m128i v, std::int32_t bound) {
            return WIDE ? _mm_cmplt_epi32(v, _mm_set1_epi32(bound))
                        : _mm_cmpeq_epi16(_mm_subs_epu16(v, _mm_set1_epi16(short(bound - 1))), zero);
        };
        const __m128i lf = splat(0x0A), cr = splat(0x0D), exclamation = splat(0x21), full_stop = splat(0x2E),
                      question = splat(0x3F);
        // A gap as the two numbers its test needs: [first, last] as first and
        // last - first for 16-bit units (clipped to the BMP), as first - 1 and
        // last + 1 for 32-bit ones; an empty gap holds no lane.
        struct Test {
            __m128i a, b;
        };
        auto test_of = [&](Gap g) -> Test {
            if constexpr (WIDE) {
                if (g.first > g.last) return {_mm_set1_epi32(0), _mm_set1_epi32(0)};
                return {_mm_set1_epi32(std::int32_t(g.first) - 1), _mm_set1_epi32(std::int32_t(g.last) + 1)};
            } else {
                const char32_t last = g.last < 0xFFFF ? g.last : 0xFFFF;
                // U+FFFF alone, which never ends a run
                if (g.first > last) return {_mm_set1_epi16(-1), _mm_setzero_si128()};
                return {_mm_set1_epi16(short(g.first)), _mm_set1_epi16(short(last - g.first))};
            }
        };
        auto within = [&](__m128i v, const Test& t) {
            if constexpr (WIDE) return _mm_and_si128(_mm_cmpgt_epi32(v, t.a), _mm_cmplt_epi32(v, t.b));
            return _mm_cmpeq_epi16(_mm_subs_epu16(_mm_sub_epi16(v, t.a), t.b), zero);
        };
        // The latest two gaps stay in registers; the other two are made when
        // a block needs them.
        Test latest = test_of(gaps.gap[0]), second = test_of(gaps.gap[1]);
        auto update_tests = [&] {
            latest = test_of(gaps.gap[0]);
            second = test_of(gaps.gap[1]);
        };
        // The UTF-8 bytes of the blocks passed: four (three) per unit less one
        // per unit below each of U+0080, U+0800 (and U+10000), counted down in
        // the lanes and added up every so many blocks.
        __m128i short_by = zero;
        std::size_t blocks = 0;
        auto add_up = [&] {
            const __m128i wide = WIDE ? short_by : _mm_madd_epi16(short_by, _mm_set1_epi16(1));
            alignas(16) std::int32_t lanes[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(lanes), wide);
            offset += (WIDE ? 4 : 3) * LANES * blocks;
            offset -= std::uint64_t(-(std::int64_t(lanes[0]) + lanes[1] + lanes[2] + lanes[3]));
            short_by = zero;
            blocks = 0;
        };
        while (pos + LANES <= n) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + pos));
            const __m128i ascii = below(v, 0x80);
            const __m128i special = _mm_or_si128(_mm_or_si128(equal(v, lf), equal(v, cr)),
                                                 _mm_or_si128(equal(v, exclamation),
                                                              _mm_or_si128(equal(v, full_stop), equal(v, question))));
            __m128i ordinary = _mm_or_si128(_mm_andnot_si128(special, ascii),
                                            _mm_or_si128(within(v, latest), within(v, second)));
            // The two other gaps only when the first two do not do: text of
            // one script rarely needs them.
            // A gap that serves moves to the front, the others down, so that
            // the two a script uses end up in front and it stops coming here.
            if (_mm_movemask_epi8(ordinary) != 0xFFFF) [[unlikely]] {
                const __m128i third = within(v, test_of(gaps.gap[2]));
                const __m128i fourth = within(v, test_of(gaps.gap[3]));
                ordinary = _mm_or_si128(ordinary, _mm_or_si128(third, fourth));
                if (_mm_movemask_epi8(third))
                    gaps.to_front(2);
                else if (_mm_movemask_epi8(fourth))
                    gaps.to_front(3);
                update_tests();
            }
            if (_mm_movemask_epi8(ordinary) == 0xFFFF) {
                short_by = WIDE ? _mm_add_epi32(_mm_add_epi32(short_by, ascii),
                                                _mm_add_epi32(below(v, 0x800), below(v, 0x10000)))
                                : _mm_add_epi16(short_by, _mm_add_epi16(ascii, below(v, 0x800)));
                pos += LANES;
                if (++blocks == 8192) add_up();
                continue;
            }
            // This block one unit at a time, noting the gaps of its code points.
            for (const std::size_t end = pos + LANES; pos < end; ++pos) {
                const char32_t c = p[pos];
                if (is_special(sentence_break(c))) {
                    add_up();
                    return pos;
                }
                offset += text::utf8_length(c);
                if (c >= 0x80 && !gaps.holds(c)) {
                    gaps.note(c);
                    update_tests();
                }
            }
        }
        add_up();
    }
#else
    (void)gaps;
#endif
    for (; pos < n; ++pos) {
        if (is_special(sentence_break(p[pos]))) break;
        offset += text::utf8_length(p[pos]);
    }
    return pos;
}

// What ends the SB8 look-ahead: a lowercase letter or a class that stops it.
constexpr bool ends_lookahead(S c) { return c == S::Lower || stops_lookahead(c); }

constexpr std::size_t LOOKAHEAD_END_RANGES = [] {
    std::size_t k = 0;
    for (char32_t c = 0x80; c < 0x10000; ++c)
        k += ends_lookahead(sentence_break(c)) && !ends_lookahead(sentence_break(c - 1));
    return k;
}();

// The BMP code points from U+0080 that end the look-ahead, as ascending runs
// [first, last]: the code points between two runs can all be passed over.
constexpr std::array<std::pair<char32_t, char32_t>, LOOKAHEAD_END_RANGES> LOOKAHEAD_ENDS = [] {
    std::array<std::pair<char32_t, char32_t>, LOOKAHEAD_END_RANGES> a{};
    std::size_t k = 0;
    for (char32_t c = 0x80; c < 0x10000; ++c) {
        if (!ends_lookahead(sentence_break(c))) continue;
        if (ends_lookahead(sentence_break(c - 1)) && c > 0x80)
            a[k - 1].second = c;
        else
            a[k++] = {c, c};
    }
    return a;
}();

// The code points from U+0080 around c (which does not end the look-ahead)
// that do not end it either: [first, last], within the BMP.
Gap lookahead_gap(char32_t c) {
    std::size_t low = 0, high = LOOKAHEAD_ENDS.size();  // the first run beyond c is at high
    while (low < high) {
        const std::size_t mid = (low + high) / 2;
        (LOOKAHEAD_ENDS[mid].second < c ? low : high) = mid + (LOOKAHEAD_ENDS[mid].second < c);
    }
    const char32_t first = low > 0 ? LOOKAHEAD_ENDS[low - 1].second + 1 : 0x80;
    const char32_t last = low < LOOKAHEAD_ENDS.size() ? LOOKAHEAD_ENDS[low].first - 1 : 0xFFFF;
    return {first, last};
}

// The last two look-ahead gaps met, the latest first: caseless text separates
// its words with a zero width space or joins them with marks from other blocks.
struct LookaheadGaps {
    Gap latest, other;
    bool holds(char32_t c) const { return latest.holds(c) || other.holds(c); }
    // c from U+0080, not ending the look-ahead.
    void note(char32_t c) {
        if (latest.holds(c)) return;
        const Gap g = other.holds(c) ? other : lookahead_gap(c);
        other = latest;
        latest = g;
    }
};

// The first position from j on whose class ends the SB8 look-ahead (the size
// if none). Text in 16-bit units goes eight (with AVX2 sixteen) units at a
// time over ASCII that is neither a letter nor a terminator and over the last
// two gaps met, which in a script without letter case (Lao) is most of the text.
template <typename Units>
std::size_t lookahead_end(const Units& u, std::size_t j, LookaheadGaps&) {
    std::size_t after;
    while (j < u.size() && !ends_lookahead(sentence_break(u.at(j, after)))) j = after;
    return j;
}

#if SCRIVLET_AVX2_DISPATCH
// The same sixteen units at a time with AVX2: the first unit from j, of the
// whole blocks, that is neither ASCII other than a letter or a terminator nor
// in the gap (the position of the last whole block if none).
[[gnu::target("avx2")]] std::size_t pass_lookahead_avx2(const char16_t* p, std::size_t j, std::size_t n,
                                                        const LookaheadGaps& gaps) {
    const __m256i ascii_last = _mm256_set1_epi16(0x7F), case_bit = _mm256_set1_epi16(0x20);
    const __m256i letter_shift = _mm256_set1_epi16(short(0x8000 - 'a')),
                  letter_last = _mm256_set1_epi16(short(0x8000 + ('z' - 'a')));
    // A gap as x = v + 0x8000 - first, in it when x < 0x8000 + last - first + 1
    // signed; an empty one holds nothing.
    auto shift_of = [](const Gap& g) { return std::uint16_t(0x8000u - g.first); };
    auto bound_of = [](const Gap& g) {
        const char32_t last = g.last < 0xFFFF ? g.last : 0xFFFF;
        return g.first > last ? std::uint16_t(0x8000) : std::uint16_t(0x8000u + (last - g.first) + 1);
    };
    const __m256i latest_shift = _mm256_set1_epi16(short(shift_of(gaps.latest))),
                  latest_bound = _mm256_set1_epi16(short(bound_of(gaps.latest))),
                  other_shift = _mm256_set1_epi16(short(shift_of(gaps.other))),
                  other_bound = _mm256_set1_epi16(short(bound_of(gaps.other)));
    const __m256i lf = _mm256_set1_epi16(0x0A), cr = _mm256_set1_epi16(0x0D), exclamation = _mm256_set1_epi16(0x21),
                  full_stop = _mm256_set1_epi16(0x2E), question = _mm256_set1_epi16(0x3F);
    for (; j + 16 <= n; j += 16) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + j));
        const __m256i ascii = _mm256_cmpeq_epi16(_mm256_min_epu16(v, ascii_last), v);
        const __m256i not_letter =
            _mm256_cmpgt_epi16(_mm256_add_epi16(_mm256_or_si256(v, case_bit), letter_shift), letter_last);
        const __m256i terminator = _mm256_or_si256(
            _mm256_or_si256(_mm256_cmpeq_epi16(v, lf), _mm256_cmpeq_epi16(v, cr)),
            _mm256_or_si256(_mm256_cmpeq_epi16(v, exclamation),
                            _mm256_or_si256(_mm256_cmpeq_epi16(v, full_stop), _mm256_cmpeq_epi16(v, question))));
        const __m256i passed_ascii = _mm256_andnot_si256(terminator, _mm256_and_si256(ascii, not_letter));
        const __m256i in_gap = _mm256_or_si256(_mm256_cmpgt_epi16(latest_bound, _mm256_add_epi16(v, latest_shift)),
                                               _mm256_cmpgt_epi16(other_bound, _mm256_add_epi16(v, other_shift)));
        const unsigned stop = ~unsigned(_mm256_movemask_epi8(_mm256_or_si256(passed_ascii, in_gap)));
        if (stop != 0) return j + unsigned(__builtin_ctz(stop)) / 2;
    }
    return j;
}
#endif

std::size_t lookahead_end(const FixedUnits<char16_t>& u, std::size_t j, LookaheadGaps& gaps) {
    const char16_t* p = u.data();
    const std::size_t n = u.size();
    // Most look-aheads end at once, at the letter after the spaces.
    if (j < n && ends_lookahead(sentence_break(p[j]))) return j;
#if SCRIVLET_AVX2_DISPATCH
    if (use_avx2.load(std::memory_order_relaxed)) {
        for (;;) {
            j = pass_lookahead_avx2(p, j, n, gaps);
            if (j + 16 > n) break;
            const char16_t c = p[j];
            if (ends_lookahead(sentence_break(c))) return j;
            if (c >= 0x80) gaps.note(c);
            ++j;
        }
    }
#endif
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    auto in = [&](__m128i v, char32_t first, char32_t last) {
        if (first > last) return zero;
        return _mm_cmpeq_epi16(_mm_subs_epu16(_mm_sub_epi16(v, _mm_set1_epi16(short(first))),
                                              _mm_set1_epi16(short(last - first))),
                               zero);
    };
    while (j + 8 <= n) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + j));
        // ASCII: letters, CR, LF, full stop, exclamation and question marks end it.
        const __m128i ascii = _mm_cmpeq_epi16(_mm_subs_epu16(v, _mm_set1_epi16(0x7F)), zero);
        const __m128i letter = in(_mm_or_si128(v, _mm_set1_epi16(0x20)), 'a', 'z');
        const __m128i ends = _mm_or_si128(
            _mm_or_si128(letter, _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16(0x0A)),
                                              _mm_cmpeq_epi16(v, _mm_set1_epi16(0x0D)))),
            _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16(0x2E)),
                         _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16(0x21)),
                                      _mm_cmpeq_epi16(v, _mm_set1_epi16(0x3F)))));
        const __m128i passed = _mm_or_si128(
            _mm_andnot_si128(ends, ascii),
            _mm_or_si128(in(v, gaps.latest.first, gaps.latest.last), in(v, gaps.other.first, gaps.other.last)));
        if (_mm_movemask_epi8(passed) == 0xFFFF) {
            j += 8;
            continue;
        }
        for (const std::size_t end = j + 8; j < end; ++j) {
            const char16_t c = p[j];
            if (ends_lookahead(sentence_break(c))) return j;
            if (c >= 0x80) gaps.note(c);
        }
    }
#else
    (void)gaps;
#endif
    for (; j < n; ++j)
        if (ends_lookahead(sentence_break(p[j]))) break;
    return j;
}

constexpr bool ascii_lookahead_ends_are_complete() {
    for (char32_t c = 0; c < 0x80; ++c) {
        const bool listed = ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == 0x0A || c == 0x0D ||
                            c == 0x2E || c == 0x21 || c == 0x3F;
        if (listed != ends_lookahead(sentence_break(c))) return false;
    }
    return true;
}
static_assert(ascii_lookahead_ends_are_complete());

template <typename Units>
void boundaries(const Units u, OffsetSink& sink) {
    std::uint64_t buffer[OffsetBatch::CAPACITY];
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
    LookaheadGaps ahead_gaps;
    auto lower_ahead = [&](std::size_t from) {
        if (from > ahead_stop) {
            const std::size_t j = lookahead_end(u, from, ahead_gaps);
            ahead_stop = j;
            std::size_t after;
            ahead_found = j < n && class_at(j, after) == S::Lower;
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
    Gaps gaps;
    for (std::size_t pos = next; pos < n;) {
        if (phase == Phase::Normal && !is_para_sep(prev)) {
            // SB998 over runs: nothing breaks before a terminator or a
            // paragraph separator. A separator followed by an ordinary code
            // point only adds the boundary after it (SB3, SB4), and the run
            // goes on; a terminator takes the rules, with prev_class the class
            // of the last code point of the run that is not Extend or Format
            // (what else the run changes is read by no rule).
            bool more = true;
            while (true) {
                const std::size_t run = pos;
                pos = skip_ordinary(u, pos, gaps, offset);
                if (pos >= n) {
                    more = false;
                    break;
                }
                if (pos > run) prev = S::Other;
                const S c = sentence_break(u.at(pos, next));
                if (is_para_sep(c)) {
                    std::size_t end = next;  // of the separator, an LF after a CR included
                    if (c == S::CR && end < n && u.unit(end) == '\n') end = u.next(end);
                    if (end >= n) {
                        more = false;
                        break;
                    }
                    std::size_t after;
                    const S d = sentence_break(u.at(end, after));
                    if (is_special(d) || d == S::Extend || d == S::Format) break;
                    offset += u.bytes(pos, end);
                    writer.put(offset);
                    pos = end;
                    continue;
                }
                if (pos > run) {
                    for (std::size_t q = pos;;) {
                        q = u.previous(q);
                        const S d = sentence_break(u.at(q));
                        if (d != S::Extend && d != S::Format) {
                            prev_class = d;
                            break;
                        }
                        if (q == run) break;
                    }
                }
                break;
            }
            if (!more) break;
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

void allow_avx2_sentence_scan([[maybe_unused]] bool allow) noexcept {
#if SCRIVLET_AVX2_DISPATCH
    use_avx2.store(allow && HAS_AVX2, std::memory_order_relaxed);
#endif
}

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
