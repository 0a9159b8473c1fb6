// A caret's byte offset located in a 16 or 32-bit text while the same read
// checks the units for a surrogate, and the rest of the text after it: a
// caret move on a str that the interpreter has not encoded reads the text
// once, not once and a half.
#include <atomic>

#include "units.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define SCRIVLET_LOCATE_AVX2 1
#include <immintrin.h>
#endif

namespace scrivlet::segment {

namespace {

#if SCRIVLET_LOCATE_AVX2
const bool HAS_AVX2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}();
std::atomic<bool> use_avx2{HAS_AVX2};

// Blocks of 64 units: the UTF-8 bytes beyond one per unit counted in 16 or
// 32-bit lanes, summed once a block.
constexpr std::size_t BLOCK = 64;

[[gnu::target("avx2")]] inline std::uint32_t lane_sum(__m256i w) {
    __m128i s = _mm_add_epi32(_mm256_castsi256_si128(w), _mm256_extracti128_si256(w, 1));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0x4E));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0xB1));
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(s));
}

// Extra bytes of 64 units from p, and whether one of them is a surrogate.
[[gnu::target("avx2")]] std::uint32_t block_extra(const char16_t* p, __m256i& surrogates) {
    const __m256i from_80 = _mm256_set1_epi16(0x80);
    const __m256i from_800 = _mm256_set1_epi16(0x800);
    const __m256i mask = _mm256_set1_epi16(static_cast<short>(0xF800));
    const __m256i surrogate = _mm256_set1_epi16(static_cast<short>(0xD800));
    __m256i extra = _mm256_setzero_si256();
    for (std::size_t k = 0; k < BLOCK; k += 16) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + k));
        extra = _mm256_sub_epi16(extra, _mm256_cmpeq_epi16(_mm256_max_epu16(v, from_80), v));
        extra = _mm256_sub_epi16(extra, _mm256_cmpeq_epi16(_mm256_max_epu16(v, from_800), v));
        surrogates = _mm256_or_si256(surrogates, _mm256_cmpeq_epi16(_mm256_and_si256(v, mask), surrogate));
    }
    return lane_sum(_mm256_madd_epi16(extra, _mm256_set1_epi16(1)));
}

// Code points are below 2^31, so the signed comparisons hold.
[[gnu::target("avx2")]] std::uint32_t block_extra(const char32_t* p, __m256i& surrogates) {
    const __m256i below_80 = _mm256_set1_epi32(0x7F);
    const __m256i below_800 = _mm256_set1_epi32(0x7FF);
    const __m256i below_10000 = _mm256_set1_epi32(0xFFFF);
    const __m256i mask = _mm256_set1_epi32(static_cast<int>(0xFFFFF800u));
    const __m256i surrogate = _mm256_set1_epi32(0xD800);
    __m256i extra = _mm256_setzero_si256();
    for (std::size_t k = 0; k < BLOCK; k += 8) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + k));
        extra = _mm256_sub_epi32(extra, _mm256_cmpgt_epi32(v, below_80));
        extra = _mm256_sub_epi32(extra, _mm256_cmpgt_epi32(v, below_800));
        extra = _mm256_sub_epi32(extra, _mm256_cmpgt_epi32(v, below_10000));
        surrogates = _mm256_or_si256(surrogates, _mm256_cmpeq_epi32(_mm256_and_si256(v, mask), surrogate));
    }
    return lane_sum(extra);
}

// Whole blocks while the offset lies beyond them, the surrogates counted with
// the bytes; then the rest of the text for surrogates alone, and the block
// holding the offset as detail::locate_from finds it.
template <typename Unit>
[[gnu::target("avx2")]] LocatedChecked locate_avx2(text::Fixed<Unit> text, std::uint64_t b) {
    const Unit* p = text.data;
    const std::size_t n = text.size;
    std::uint64_t offset = 0;
    std::size_t i = 0;
    __m256i surrogates = _mm256_setzero_si256();
    for (; i + BLOCK <= n; i += BLOCK) {
        __m256i block = _mm256_setzero_si256();
        const std::uint64_t bytes = BLOCK + block_extra(p + i, block);
        if (offset + bytes > b) break;
        surrogates = _mm256_or_si256(surrogates, block);
        offset += bytes;
    }
    const bool surrogate = !_mm256_testz_si256(surrogates, surrogates) ||
                           text::has_surrogate(text::Fixed<Unit>{p + i, n - i});
    return {detail::locate_from(p, n, i, offset, b), surrogate};
}
#endif

template <typename Unit>
LocatedChecked locate_checking(text::Fixed<Unit> text, std::uint64_t b) noexcept {
#if SCRIVLET_LOCATE_AVX2
    if (use_avx2.load(std::memory_order_relaxed)) return locate_avx2(text, b);
#endif
    return detail::locate<true>(text, b);
}

}  // namespace

LocatedChecked locate_offset_checking_surrogates(text::Ucs2 text, std::uint64_t b) noexcept {
    return locate_checking(text, b);
}

LocatedChecked locate_offset_checking_surrogates(text::Ucs4 text, std::uint64_t b) noexcept {
    return locate_checking(text, b);
}

void allow_avx2_locate([[maybe_unused]] bool allow) noexcept {
#if SCRIVLET_LOCATE_AVX2
    use_avx2.store(allow && HAS_AVX2, std::memory_order_relaxed);
#endif
}

}  // namespace scrivlet::segment
