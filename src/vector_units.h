// Sixty-four units of the interpreter's 16 and 32-bit forms at a time, with
// AVX-512 and its byte permutes (VBMI, VBMI2): the pieces that the vector
// steps of word boundaries and of line breaking share. The library is built
// for plain x86-64, so callers take them only where vbmi_supported() says the
// processor has them.
#pragma once

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define SCRIVLET_VECTOR_UNITS 1

#include <bit>
#include <cstddef>
#include <cstdint>

#include <immintrin.h>

namespace scrivlet::vector_units {

inline bool vbmi_supported() noexcept {
    __builtin_cpu_init();  // may run before the runtime's own constructors
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2") &&
           __builtin_cpu_supports("popcnt") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
}

struct ByteIndex {
    std::uint8_t of[64] = {};
    constexpr ByteIndex() {
        for (unsigned k = 0; k < 64; ++k) of[k] = std::uint8_t(k);
    }
};
inline constexpr ByteIndex BYTE_INDEX_TABLE;
inline constexpr const std::uint8_t* BYTE_INDEX = BYTE_INDEX_TABLE.of;

// The low 16-bit halves of 32 units of 32 bits in two vectors.
struct EvenWords {
    std::uint16_t of[32] = {};
    constexpr EvenWords() {
        for (unsigned k = 0; k < 32; ++k) of[k] = std::uint16_t(2 * k);
    }
};
inline constexpr EvenWords EVEN_WORDS;

#define SCRIVLET_VBMI_TARGET gnu::target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,popcnt,bmi,bmi2")

// The units of two vectors equal to u, a bit each.
[[SCRIVLET_VBMI_TARGET, gnu::always_inline]] inline __mmask64 units_equal(__m512i v0, __m512i v1, short u) {
    const __m512i x = _mm512_set1_epi16(u);
    return _mm512_kunpackd(_mm512_cmpeq_epi16_mask(v1, x), _mm512_cmpeq_epi16_mask(v0, x));
}

// The entries of the 128 at t for the low seven bits of each byte of index.
[[SCRIVLET_VBMI_TARGET, gnu::always_inline]] inline __m512i entries_of(const std::uint8_t* t, __m512i index) {
    return _mm512_permutex2var_epi8(_mm512_loadu_si512(t), index, _mm512_loadu_si512(t + 64));
}

// The entries of a table of 65,536 (and four more, which a gather reads past
// the last) for each of 64 16-bit units in two vectors: sixteen a gather.
[[SCRIVLET_VBMI_TARGET, gnu::always_inline]] inline __m512i gathered_entries(const std::uint8_t* t, __m512i v0,
                                                                            __m512i v1) {
    const __m256i halves[4] = {
        _mm512_maskz_extracti64x4_epi64(0xFF, v0, 0), _mm512_maskz_extracti64x4_epi64(0xFF, v0, 1),
        _mm512_maskz_extracti64x4_epi64(0xFF, v1, 0), _mm512_maskz_extracti64x4_epi64(0xFF, v1, 1)};
    __m128i e[4];
    for (unsigned k = 0; k < 4; ++k) {
        const __m512i index = _mm512_maskz_cvtepu16_epi32(0xFFFF, halves[k]);
        e[k] = _mm512_maskz_cvtepi32_epi8(0xFFFF,
                                          _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), 0xFFFF, index, t, 1));
    }
    const __m512i low = _mm512_maskz_inserti32x4(0xFFFF, _mm512_zextsi128_si512(e[0]), e[1], 1);
    return _mm512_maskz_inserti32x4(0xFFFF, _mm512_maskz_inserti32x4(0xFFFF, low, e[2], 2), e[3], 3);
}

// The low byte of each of 64 units in two vectors.
[[SCRIVLET_VBMI_TARGET, gnu::always_inline]] inline __m512i low_bytes(__m512i v0, __m512i v1) {
    const __m512i bytes_index = _mm512_loadu_si512(BYTE_INDEX);
    return _mm512_permutex2var_epi8(v0, _mm512_add_epi8(bytes_index, bytes_index), v1);
}

// The units of two vectors in the block of 128 code points `block`.
[[SCRIVLET_VBMI_TARGET, gnu::always_inline]] inline __mmask64 units_in_block(__m512i high0, __m512i high1,
                                                                             unsigned block) {
    const __m512i high = _mm512_set1_epi16(static_cast<short>(block));
    return _mm512_kunpackd(_mm512_cmpeq_epi16_mask(high1, high), _mm512_cmpeq_epi16_mask(high0, high));
}

// Sixty-four 16-bit units, in two vectors, from 16-bit units; from 32-bit
// ones their low halves, and the units beyond the BMP a bit each.
[[SCRIVLET_VBMI_TARGET, gnu::always_inline]] inline std::uint64_t load_units(const char16_t* p, __m512i& v0,
                                                                             __m512i& v1) {
    v0 = _mm512_loadu_si512(p);
    v1 = _mm512_loadu_si512(p + 32);
    return 0;
}
[[SCRIVLET_VBMI_TARGET, gnu::always_inline]] inline std::uint64_t load_units(const char32_t* p, __m512i& v0,
                                                                             __m512i& v1) {
    const __m512i even = _mm512_loadu_si512(EVEN_WORDS.of);
    __m512i x[4];
    std::uint64_t beyond = 0;
    for (unsigned k = 0; k < 4; ++k) {
        x[k] = _mm512_loadu_si512(p + 16 * k);
        beyond |= std::uint64_t(_mm512_cmpgt_epu32_mask(x[k], _mm512_set1_epi32(0xFFFF))) << (16 * k);
    }
    v0 = _mm512_permutex2var_epi16(x[0], even, x[1]);
    v1 = _mm512_permutex2var_epi16(x[2], even, x[3]);
    return beyond;
}

// The UTF-8 bytes of 64 units of the BMP, a byte each: 3, less one below
// U+0800 and one more below U+0080; and which are below U+0080, which below
// U+0800.
[[SCRIVLET_VBMI_TARGET, gnu::always_inline]] inline __m512i utf8_lengths(__m512i v0, __m512i v1, __mmask64& one,
                                                                       __mmask64& two) {
    const __m512i below80 = _mm512_set1_epi16(0x80), below800 = _mm512_set1_epi16(0x800);
    one = _mm512_kunpackd(_mm512_cmplt_epu16_mask(v1, below80), _mm512_cmplt_epu16_mask(v0, below80));
    two = _mm512_kunpackd(_mm512_cmplt_epu16_mask(v1, below800), _mm512_cmplt_epu16_mask(v0, below800));
    const __m512i unit = _mm512_set1_epi8(1);
    __m512i bytes = _mm512_set1_epi8(3);
    bytes = _mm512_mask_sub_epi8(bytes, two, bytes, unit);
    return _mm512_mask_sub_epi8(bytes, one, bytes, unit);
}

// The bytes before each of 64 units of these lengths: summed within each
// lane of 16, then across the lanes: the last byte of the lane before added
// to each lane, then that of the lane two before.
[[SCRIVLET_VBMI_TARGET, gnu::always_inline]] inline __m512i bytes_before(__m512i bytes) {
    __m512i x = _mm512_add_epi8(bytes, _mm512_bslli_epi128(bytes, 1));
    x = _mm512_add_epi8(x, _mm512_bslli_epi128(x, 2));
    x = _mm512_add_epi8(x, _mm512_bslli_epi128(x, 4));
    x = _mm512_add_epi8(x, _mm512_bslli_epi128(x, 8));
    const __m512i lane_start = _mm512_and_si512(_mm512_loadu_si512(BYTE_INDEX), _mm512_set1_epi8(0x30));
    const __m512i last_before = _mm512_sub_epi8(lane_start, _mm512_set1_epi8(1));
    x = _mm512_add_epi8(x, _mm512_maskz_permutexvar_epi8(~std::uint64_t(0xFFFF), last_before, x));
    x = _mm512_add_epi8(x, _mm512_maskz_permutexvar_epi8(~std::uint64_t(0xFFFFFFFF),
                                                         _mm512_sub_epi8(last_before, _mm512_set1_epi8(16)), x));
    return _mm512_sub_epi8(x, bytes);
}

// The low sixteen bytes of v.
[[SCRIVLET_VBMI_TARGET, gnu::always_inline]] inline __m128i low_lane(__m512i v) {
    return _mm512_maskz_extracti32x4_epi32(0xF, v, 0);
}

// Byte k of v (k below 64).
[[SCRIVLET_VBMI_TARGET, gnu::always_inline]] inline unsigned byte_at(__m512i v, unsigned k) {
    const __m512i at = _mm512_maskz_permutexvar_epi8(~std::uint64_t(0), _mm512_set1_epi8(char(k)), v);
    return unsigned(_mm_cvtsi128_si32(low_lane(at))) & 0xFF;
}

// The blocks of 128 code points, N at most, that vector steps read beside
// ASCII: those of the first units of other blocks where they stopped (or,
// in line breaking, that they met within a step), in the order met, the
// first `used` of `of`.
template <unsigned N>
struct Blocks {
    static constexpr unsigned COUNT = N;
    unsigned of[N] = {};
    unsigned used = 0;
    // Once every slot is in use, the slot that a block brought in within a
    // step takes next (the oldest of those brought in so).
    unsigned next = 0;
    // A unit of another block where the steps stopped brings its block in:
    // in place of one with no units among the last 64 (in), or in a slot
    // not yet in use, or in place of the one with the fewest units.
    void take(char32_t u, const std::uint64_t (&in)[N]) noexcept {
        if (u > 0xFFFF || u < 0x80) return;
        unsigned fewest = 0;
        for (unsigned k = 0; k < used; ++k) {
            if ((u >> 7) == of[k]) return;
            if (std::popcount(in[k]) < std::popcount(in[fewest])) fewest = k;
        }
        of[(used > 0 && in[fewest] == 0) || used == N ? fewest : used++] = u >> 7;
    }
    // Whether the blocks beyond the first two had no units among the last
    // 64 (in) for `windows` steps in a row; if so they are given up, and the
    // steps read two blocks again.
    bool idle(const std::uint64_t (&in)[N], unsigned windows) noexcept {
        std::uint64_t beyond_two = 0;
        for (unsigned k = 2; k < used; ++k) beyond_two |= in[k];
        quiet = beyond_two == 0 && used > 2 ? quiet + 1 : 0;
        if (quiet < windows) return false;
        used = 2;
        quiet = 0;
        return true;
    }
    unsigned quiet = 0;  // steps in a row
};
using TwoBlocks = Blocks<2>;

}  // namespace scrivlet::vector_units

#endif
