// Random access to the code points of a text in any of its forms, by unit
// position: byte positions in UTF-8, code point indices in the fixed-width
// forms. The scans that look around a position (cursor moves, truncation)
// are written once over these; UTF-8 byte offsets, which every result is
// given in, are counted from the units.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "../text.h"
#include "../utf8.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace scrivlet::segment {

// text::utf8_length by a table on the code point's bit width: compilers turn
// the comparisons there into a branch, which text mixing scripts with ASCII
// spaces and punctuation mispredicts again and again.
inline constexpr std::array<std::uint8_t, 22> UTF8_LENGTH_BY_WIDTH = {
    1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 3, 4, 4, 4, 4, 4};
inline std::uint64_t utf8_length(char32_t cp) noexcept {
    return UTF8_LENGTH_BY_WIDTH[std::bit_width(std::uint32_t(cp))];
}

// UTF-8 bytes of fixed-width units: one per unit, one more from U+0080, from
// U+0800 and from U+10000. Sixteen bytes of units at a time where SSE2 is there.
inline std::uint64_t utf8_bytes(const std::uint8_t* p, std::size_t n) noexcept {
    std::uint64_t total = n;
    std::size_t i = 0;
#if defined(__SSE2__)
    __m128i sum = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i high = _mm_and_si128(_mm_srli_epi16(v, 7), _mm_set1_epi8(1));  // 1 from U+0080
        sum = _mm_add_epi64(sum, _mm_sad_epu8(high, _mm_setzero_si128()));
    }
    total += static_cast<std::uint64_t>(_mm_cvtsi128_si64(sum)) +
             static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sum, sum)));
#endif
    for (; i < n; ++i) total += p[i] >= 0x80;
    return total;
}

inline std::uint64_t utf8_bytes(const char16_t* p, std::size_t n) noexcept {
    std::uint64_t total = n;
    std::size_t i = 0;
#if defined(__SSE2__)
    // Lanes count down by one for each unit below U+0080 and below U+0800, in
    // stretches short enough that no 16-bit lane overflows.
    total += 2 * (n - n % 8);
    while (i + 8 <= n) {
        __m128i below = _mm_setzero_si128();
        const std::size_t end = i + 8 * 8192 < n ? i + 8 * 8192 : n;
        for (; i + 8 <= end; i += 8) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            below = _mm_add_epi16(below, _mm_cmpeq_epi16(_mm_subs_epu16(v, _mm_set1_epi16(0x7F)),
                                                         _mm_setzero_si128()));
            below = _mm_add_epi16(below, _mm_cmpeq_epi16(_mm_subs_epu16(v, _mm_set1_epi16(0x7FF)),
                                                         _mm_setzero_si128()));
        }
        // Widen the lanes (each at least -16384) and subtract their sum.
        const __m128i wide = _mm_madd_epi16(below, _mm_set1_epi16(1));
        alignas(16) std::int32_t lanes[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), wide);
        total -= static_cast<std::uint64_t>(-(std::int64_t(lanes[0]) + lanes[1] + lanes[2] + lanes[3]));
    }
#endif
    for (; i < n; ++i) total += (p[i] >= 0x80) + (p[i] >= 0x800);
    return total;
}

inline std::uint64_t utf8_bytes(const char32_t* p, std::size_t n) noexcept {
    std::uint64_t total = n;
    std::size_t i = 0;
#if defined(__SSE2__)
    // Code points are below 2^31, so the signed comparisons hold.
    while (i + 4 <= n) {
        __m128i above = _mm_setzero_si128();
        const std::size_t end = i + 4 * (1u << 20) < n ? i + 4 * (1u << 20) : n;
        for (; i + 4 <= end; i += 4) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            above = _mm_sub_epi32(above, _mm_cmpgt_epi32(v, _mm_set1_epi32(0x7F)));
            above = _mm_sub_epi32(above, _mm_cmpgt_epi32(v, _mm_set1_epi32(0x7FF)));
            above = _mm_sub_epi32(above, _mm_cmpgt_epi32(v, _mm_set1_epi32(0xFFFF)));
        }
        alignas(16) std::uint32_t lanes[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), above);
        total += std::uint64_t(lanes[0]) + lanes[1] + lanes[2] + lanes[3];
    }
#endif
    for (; i < n; ++i) total += (p[i] >= 0x80) + (p[i] >= 0x800) + (p[i] >= 0x10000);
    return total;
}

class Utf8Units {
public:
    static constexpr bool fixed = false;
    explicit Utf8Units(std::string_view text) noexcept : text_(text) {}

    std::size_t size() const noexcept { return text_.size(); }
    // The unit at pos: a byte here, a whole code point in the fixed-width forms.
    char32_t unit(std::size_t pos) const noexcept { return static_cast<unsigned char>(text_[pos]); }
    // The code point starting at pos, and where the next one starts.
    char32_t at(std::size_t pos, std::size_t& next) const noexcept {
        std::size_t len;
        const char32_t c = utf8::decode(text_, pos, len);
        next = pos + len;
        return c;
    }
    char32_t at(std::size_t pos) const noexcept {
        std::size_t next;
        return at(pos, next);
    }
    std::size_t next(std::size_t pos) const noexcept {
        return pos + utf8::sequence_length(static_cast<unsigned char>(text_[pos]));
    }
    // Start of the code point before pos (pos > 0).
    std::size_t previous(std::size_t pos) const noexcept { return utf8::floor_to_code_point(text_, pos - 1); }
    // UTF-8 bytes of the units in [from, to).
    std::uint64_t bytes(std::size_t from, std::size_t to) const noexcept { return to - from; }
    // UTF-8 bytes of the code point cp read from count units.
    static std::uint64_t utf8_bytes(char32_t, std::size_t count) noexcept { return count; }
    std::string_view view() const noexcept { return text_; }

private:
    std::string_view text_;
};

template <typename Unit>
class FixedUnits {
public:
    static constexpr bool fixed = true;
    explicit FixedUnits(text::Fixed<Unit> text) noexcept : p_(text.data), n_(text.size) {}

    std::size_t size() const noexcept { return n_; }
    char32_t at(std::size_t pos, std::size_t& next) const noexcept {
        next = pos + 1;
        return p_[pos];
    }
    char32_t at(std::size_t pos) const noexcept { return p_[pos]; }
    char32_t unit(std::size_t pos) const noexcept { return p_[pos]; }
    std::size_t next(std::size_t pos) const noexcept { return pos + 1; }
    std::size_t previous(std::size_t pos) const noexcept { return pos - 1; }
    std::uint64_t bytes(std::size_t from, std::size_t to) const noexcept {
        return segment::utf8_bytes(p_ + from, to - from);
    }
    static std::uint64_t utf8_bytes(char32_t cp, std::size_t) noexcept { return segment::utf8_length(cp); }
    const Unit* data() const noexcept { return p_; }
    text::Fixed<Unit> text() const noexcept { return {p_, n_}; }

private:
    const Unit* p_;
    std::size_t n_;
};

inline Utf8Units units(std::string_view text) noexcept { return Utf8Units(text); }
template <typename Unit>
FixedUnits<Unit> units(text::Fixed<Unit> text) noexcept {
    return FixedUnits<Unit>(text);
}

// A byte offset into the UTF-8 form located in a fixed-width text: the index
// of the code point holding it (size when the offset is at or past the end),
// and that code point's own offset (the text's UTF-8 size past the end).
struct Located {
    std::size_t index;
    std::uint64_t start;
};

// The same, for a caller that must also know whether the text holds a
// surrogate: the units up to the offset are checked in the same read.
struct LocatedChecked {
    Located at;
    bool surrogate;  // anywhere in the text
};

namespace detail {

// From unit i at UTF-8 offset `offset` (at most b) on: the unit holding byte
// b. Sixteen bytes of units at a time where SSE2 is there, with no branch
// per unit: their UTF-8 lengths summed across the lanes, up to each one, and
// the first lane whose sum passes b found by one comparison; the lengths of
// the lanes before it are added up in the vector too (read back from memory,
// a lane would wait for the vector's store). Then the units left one by one.
// A text of fewer than VECTOR_FROM units takes them all one by one: the loop's
// end, foreseen where the caret stays, lets what follows start at once, while
// the sums of a vector take longer to come.
inline constexpr std::size_t VECTOR_FROM = 32;

template <typename Unit>
[[gnu::always_inline]] inline Located locate_from(const Unit* p, std::size_t n, std::size_t i, std::uint64_t offset,
                                                   std::uint64_t b) noexcept {
#if defined(__SSE2__)
    constexpr std::size_t LANES = 16 / sizeof(Unit);
    const __m128i zero = _mm_setzero_si128();
    for (; n >= VECTOR_FROM && i + LANES <= n; i += LANES) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        // What is left to b, no more than the largest signed lane: the sums
        // of a vector stay far below it.
        const std::uint64_t left = b - offset;
        __m128i lengths, sums, passing;
        if constexpr (sizeof(Unit) == 1) {
            lengths = _mm_sub_epi8(_mm_set1_epi8(1), _mm_cmplt_epi8(v, zero));  // 2 from U+0080
            sums = _mm_add_epi8(lengths, _mm_slli_si128(lengths, 1));
            sums = _mm_add_epi8(sums, _mm_slli_si128(sums, 2));
            sums = _mm_add_epi8(sums, _mm_slli_si128(sums, 4));
            sums = _mm_add_epi8(sums, _mm_slli_si128(sums, 8));
            passing = _mm_cmpgt_epi8(sums, _mm_set1_epi8(static_cast<char>(left < 0x7F ? left : 0x7F)));
        } else if constexpr (sizeof(Unit) == 2) {
            // Three, one less below U+0800 and another below U+0080.
            lengths = _mm_add_epi16(
                _mm_set1_epi16(3),
                _mm_add_epi16(_mm_cmpeq_epi16(_mm_subs_epu16(v, _mm_set1_epi16(0x7F)), zero),
                              _mm_cmpeq_epi16(_mm_subs_epu16(v, _mm_set1_epi16(0x7FF)), zero)));
            sums = _mm_add_epi16(lengths, _mm_slli_si128(lengths, 2));
            sums = _mm_add_epi16(sums, _mm_slli_si128(sums, 4));
            sums = _mm_add_epi16(sums, _mm_slli_si128(sums, 8));
            passing = _mm_cmpgt_epi16(sums, _mm_set1_epi16(static_cast<short>(left < 0x7FFF ? left : 0x7FFF)));
        } else {
            // Code points are below 2^31: the signed comparisons hold.
            lengths = _mm_sub_epi32(_mm_set1_epi32(1), _mm_cmpgt_epi32(v, _mm_set1_epi32(0x7F)));
            lengths = _mm_sub_epi32(lengths, _mm_cmpgt_epi32(v, _mm_set1_epi32(0x7FF)));
            lengths = _mm_sub_epi32(lengths, _mm_cmpgt_epi32(v, _mm_set1_epi32(0xFFFF)));
            sums = _mm_add_epi32(lengths, _mm_slli_si128(lengths, 4));
            sums = _mm_add_epi32(sums, _mm_slli_si128(sums, 8));
            passing = _mm_cmpgt_epi32(sums, _mm_set1_epi32(static_cast<int>(left < 0x7FFFFFFF ? left : 0x7FFFFFFF)));
        }
        const unsigned passed = unsigned(_mm_movemask_epi8(passing));
        if (passed != 0) {
            // The sums only grow: the lanes that pass are the last ones. The
            // lengths of those before, added up.
            const __m128i kept = _mm_andnot_si128(passing, lengths);
            std::uint64_t bytes;
            if constexpr (sizeof(Unit) == 1) {
                const __m128i halves = _mm_sad_epu8(kept, zero);
                bytes = unsigned(_mm_cvtsi128_si32(halves)) + unsigned(_mm_cvtsi128_si32(_mm_srli_si128(halves, 8)));
            } else {
                __m128i w = sizeof(Unit) == 2 ? _mm_madd_epi16(kept, _mm_set1_epi16(1)) : kept;
                w = _mm_add_epi32(w, _mm_srli_si128(w, 8));
                w = _mm_add_epi32(w, _mm_srli_si128(w, 4));
                bytes = unsigned(_mm_cvtsi128_si32(w));
            }
            return {i + std::size_t(std::countr_zero(passed)) / sizeof(Unit), offset + bytes};
        }
        // All of them: the last lane's sum, which does not wait for offset.
        offset += unsigned(_mm_cvtsi128_si32(_mm_srli_si128(sums, 12))) >> (32 - 8 * sizeof(Unit));
    }
#endif
    for (; i < n; ++i) {
        const std::uint64_t next = offset + text::utf8_length(p[i]);
        if (next > b) return {i, offset};
        offset = next;
    }
    return {n, offset};
}

template <bool Check, typename Unit>
LocatedChecked locate(text::Fixed<Unit> text, std::uint64_t b) noexcept {
    const Unit* p = text.data;
    const std::size_t n = text.size;
    std::uint64_t offset = 0;
    std::size_t i = 0;
    bool surrogate = false;
    // Whole blocks while the offset lies beyond them.
    constexpr std::size_t BLOCK = 64;
    for (; i + BLOCK <= n; i += BLOCK) {
        const std::uint64_t bytes = utf8_bytes(p + i, BLOCK);
        if (offset + bytes > b) break;
        if constexpr (Check) surrogate |= text::has_surrogate(text::Fixed<Unit>{p + i, BLOCK});
        offset += bytes;
    }
    if constexpr (Check) surrogate |= text::has_surrogate(text::Fixed<Unit>{p + i, n - i});
    return {locate_from(p, n, i, offset, b), surrogate};
}
}  // namespace detail

template <typename Unit>
Located locate_offset(text::Fixed<Unit> text, std::uint64_t b) noexcept {
    return detail::locate<false>(text, b).at;
}

LocatedChecked locate_offset_checking_surrogates(text::Ucs2 text, std::uint64_t b) noexcept;
LocatedChecked locate_offset_checking_surrogates(text::Ucs4 text, std::uint64_t b) noexcept;

// Tests: whether locate_offset_checking_surrogates may take its AVX2 loop
// where the processor has it (the default).
void allow_avx2_locate(bool allow) noexcept;

}  // namespace scrivlet::segment
