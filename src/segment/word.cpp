#include "word.h"

#include <algorithm>
#include <cstdint>
#include <type_traits>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

#include "offsets.h"
#include "word_scan.h"

namespace scrivlet::segment {

namespace word_rules {
#if SCRIVLET_WORD_AVX2
namespace {
// With POPCNT and BMI, which every processor with AVX2 has, for the scan below.
const bool HAS_AVX2 = [] {
    __builtin_cpu_init();  // may run before the runtime's own constructors
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") &&
           __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
}();
}  // namespace

bool avx2_chunks() noexcept { return HAS_AVX2; }

// The units of v in a range (first lo, last lo + span), or in a block (first
// lo): within its 128 code points and their bit set, found by two byte
// lookups (the byte of bits, and the bit's mask) on the low byte of each
// unit's distance from the block's start.
template <bool Block>
[[gnu::target("avx2"), gnu::always_inline]] inline __m256i units_in(__m256i v, __m256i lo, __m256i span,
                                                                    __m256i bits) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i d = _mm256_sub_epi16(v, lo);
    const __m256i inside = _mm256_cmpeq_epi16(_mm256_subs_epu16(d, span), zero);
    if constexpr (!Block) return inside;
    const __m256i masks = _mm256_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4,
                                           8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
    const __m256i byte =
        _mm256_shuffle_epi8(bits, _mm256_and_si256(_mm256_srli_epi16(d, 3), _mm256_set1_epi16(0x0F)));
    const __m256i bit = _mm256_shuffle_epi8(masks, _mm256_and_si256(d, _mm256_set1_epi16(7)));
    const __m256i set = _mm256_and_si256(_mm256_and_si256(byte, bit), _mm256_set1_epi16(0xFF));
    return _mm256_andnot_si256(_mm256_cmpeq_epi16(set, zero), inside);
}

// One function for each kind of the two ranges, so that the loop tests none.
template <bool Block0, bool Block1>
[[gnu::target("avx2")]] void chunk_masks_avx2_of(const char16_t* p, const JoinRange (&r)[2],
                                                 ChunkMasks<char16_t>& m) noexcept {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i lo0 = _mm256_set1_epi16(static_cast<short>(r[0].first));
    const __m256i span0 = _mm256_set1_epi16(static_cast<short>(r[0].last - r[0].first));
    const __m256i lo1 = _mm256_set1_epi16(static_cast<short>(r[1].first));
    const __m256i span1 = _mm256_set1_epi16(static_cast<short>(r[1].last - r[1].first));
    const auto bits_of = [](const JoinRange& q) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q.bits));
    };
    const __m256i bits0 = _mm256_broadcastsi128_si256(bits_of(r[0]));
    const __m256i bits1 = _mm256_broadcastsi128_si256(bits_of(r[1]));
    const __m256i three = _mm256_set1_epi16(3), c7f = _mm256_set1_epi16(0x7F),
                  c7ff = _mm256_set1_epi16(0x7FF);
    const __m256i fifteen = _mm256_set1_epi8(15);
    __m256i carry = zero;  // the bytes of the units so far, in every byte
    for (unsigned k = 0; k < CHUNK / 32; ++k) {
        __m256i in0[2], in1[2], length[2];
        for (unsigned h = 0; h < 2; ++h) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * k + 16 * h));
            in0[h] = units_in<Block0>(v, lo0, span0, bits0);
            in1[h] = units_in<Block1>(v, lo1, span1, bits1);
            // Bytes per unit: 3, less one below U+0800 and one more below U+0080.
            __m256i bytes = _mm256_add_epi16(three, _mm256_cmpeq_epi16(_mm256_subs_epu16(v, c7f), zero));
            length[h] = _mm256_add_epi16(bytes, _mm256_cmpeq_epi16(_mm256_subs_epu16(v, c7ff), zero));
        }
        // packs works within each half: the quarters come back in order by a permutation.
        const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(length[0], length[1]), 0xD8);
        // Summed within each half, then the first half's sum added to the second.
        __m256i x = _mm256_add_epi8(bytes, _mm256_slli_si256(bytes, 1));
        x = _mm256_add_epi8(x, _mm256_slli_si256(x, 2));
        x = _mm256_add_epi8(x, _mm256_slli_si256(x, 4));
        x = _mm256_add_epi8(x, _mm256_slli_si256(x, 8));
        const __m256i half = _mm256_shuffle_epi8(x, fifteen);
        x = _mm256_add_epi8(x, _mm256_permute2x128_si256(half, half, 0x08));
        x = _mm256_add_epi8(x, carry);
        _mm256_store_si256(reinterpret_cast<__m256i*>(m.bytes_before + 32 * k), _mm256_sub_epi8(x, bytes));
        const __m256i last = _mm256_shuffle_epi8(x, fifteen);
        carry = _mm256_permute2x128_si256(last, last, 0x11);
        const __m256i w0 = _mm256_permute4x64_epi64(_mm256_packs_epi16(in0[0], in0[1]), 0xD8);
        const __m256i w1 = _mm256_permute4x64_epi64(_mm256_packs_epi16(in1[0], in1[1]), 0xD8);
        m.in[0] |= std::uint64_t(unsigned(_mm256_movemask_epi8(w0))) << (32 * k);
        m.in[1] |= std::uint64_t(unsigned(_mm256_movemask_epi8(w1))) << (32 * k);
    }
    m.bytes = unsigned(_mm_cvtsi128_si32(_mm256_castsi256_si128(carry))) & 0xFF;
}

[[gnu::target("avx2")]] void chunk_masks_avx2(const char16_t* p, const JoinRange (&r)[2],
                                              ChunkMasks<char16_t>& m) noexcept {
    if (r[0].block)
        r[1].block ? chunk_masks_avx2_of<true, true>(p, r, m) : chunk_masks_avx2_of<true, false>(p, r, m);
    else
        r[1].block ? chunk_masks_avx2_of<false, true>(p, r, m) : chunk_masks_avx2_of<false, false>(p, r, m);
}
#else
bool avx2_chunks() noexcept { return false; }
#endif
}  // namespace word_rules

namespace {

// The boundaries are stored without a branch each, and checked for room
// after each block of the scan, which adds at most WORD_BLOCK.
using BlockBatch = BasicOffsetBatch<WORD_BLOCK>;

// Hands the offsets on, and on long texts, every 1/32 of the way, an
// estimate of their final count from the rate so far, so that the list they
// become is sized about once instead of doubled past the need.
class Estimating final : public OffsetSink {
public:
    Estimating(OffsetSink& sink, std::size_t units) noexcept
        : sink_(sink), units_(units), next_(units < ESTIMATED_FROM ? SIZE_MAX : units / 32) {}

    void take(const std::uint64_t* offsets, std::size_t count) override {
        taken_ += count;
        sink_.take(offsets, count);
    }
    void reached(std::size_t pos) noexcept {
        if (pos < next_) return;
        next_ = pos + units_ / 32;
        // A few percent over the rate, for the offsets still buffered and
        // text that changes; never more than one per unit left.
        const std::size_t left = units_ - pos;
        const double rate = double(taken_) / double(pos);
        const std::size_t more = std::min(left, std::size_t(rate * 1.03 * double(left)) + 2 * BlockBatch::SIZE);
        sink_.expect(taken_ + more);
    }

private:
    static constexpr std::size_t ESTIMATED_FROM = 1 << 16;
    OffsetSink& sink_;
    const std::size_t units_;
    std::size_t next_;
    std::size_t taken_ = 0;
};

template <bool Chunks, bool Avx2, typename Units>
[[gnu::always_inline]] inline void scan_into(const Units u, OffsetSink& sink) {
    Estimating estimating(sink, u.size());
    std::uint64_t buffer[BlockBatch::CAPACITY];
    BlockBatch out(estimating, buffer);
    out.put_if(0, true);
    scan_word_steps<Chunks, Avx2>(
        u, 0, u.size(),
        [&](std::size_t, std::uint64_t offset, bool boundary) { out.put_if(offset, boundary); },
        [&](std::size_t pos) {
            out.block();
            estimating.reached(pos);
        });
    out.flush();
}

template <bool Chunks, typename Units>
[[gnu::noinline]] void boundary_offsets_with(const Units u, OffsetSink& sink) {
    scan_into<Chunks, false>(u, sink);
}

#if SCRIVLET_WORD_AVX2
// The whole scan compiled for the processors that have AVX2, so that the
// masks are inlined and the bit counts take one instruction each.
[[gnu::target("avx2,popcnt,bmi,bmi2"), gnu::noinline]] void boundary_offsets_avx2(
    const FixedUnits<char16_t> u, OffsetSink& sink) {
    scan_into<true, true>(u, sink);
}
#endif

// The chunks only where they pay, and each scan in a function of its own:
// in the same function as the plain steps the chunks cost those about 4%
// (the batch's address passed on keeps its count out of a register), and so
// does the sampling (Korean 1 MB: 0.70 ms against 0.67).
template <typename Units>
void boundary_offsets(const Units u, OffsetSink& sink) {
    if constexpr (Units::fixed) {
        word_rules::RunRanges sample;
#if SCRIVLET_WORD_AVX2
        if constexpr (std::is_same_v<Units, FixedUnits<char16_t>>)
            if (word_rules::avx2_chunks()) {
                if (word_rules::chunks_pay<true>(u, 0, u.size(), sample, word_rules::SKIP_SHARE_64_AVX2))
                    return boundary_offsets_avx2(u, sink);
                return boundary_offsets_with<false>(u, sink);
            }
#endif
        if (word_rules::chunks_pay(u, 0, u.size(), sample)) return boundary_offsets_with<true>(u, sink);
    }
    boundary_offsets_with<false>(u, sink);
}

}  // namespace

void word_boundary_offsets(std::string_view text, OffsetSink& sink) { boundary_offsets(units(text), sink); }

template <typename Unit>
void word_boundary_offsets(text::Fixed<Unit> text, OffsetSink& sink) {
    boundary_offsets(units(text), sink);
}

template void word_boundary_offsets(text::Latin1, OffsetSink&);
template void word_boundary_offsets(text::Ucs2, OffsetSink&);
template void word_boundary_offsets(text::Ucs4, OffsetSink&);

std::vector<std::uint64_t> word_boundary_offsets(std::string_view text) {
    VectorSink sink;
    word_boundary_offsets(text, sink);
    return std::move(sink.out);
}

template <typename Unit>
std::vector<std::uint64_t> word_boundary_offsets(text::Fixed<Unit> text) {
    VectorSink sink;
    word_boundary_offsets(text, sink);
    return std::move(sink.out);
}

template std::vector<std::uint64_t> word_boundary_offsets(text::Latin1);
template std::vector<std::uint64_t> word_boundary_offsets(text::Ucs2);
template std::vector<std::uint64_t> word_boundary_offsets(text::Ucs4);

namespace word_data {
namespace {
constexpr std::array<WordBreak, 0x10000> WORD_BREAK_BMP_VALUES = build_bmp_table();
constexpr std::array<std::uint8_t, 0x10000> PACKED_BMP = pack_bmp_table(WORD_BREAK_BMP_VALUES);
constexpr std::array<std::uint8_t, 0x1000> PICTOGRAPH_BLOCK = build_packed_supplementary_block(0x1F000);
constexpr std::array<std::uint8_t, 0x1000> VARIATION_BLOCK = build_packed_supplementary_block(0xE0000);
constexpr std::array<std::uint8_t, 0x1000> OTHER_BLOCK = build_packed_supplementary_block(0x10000);

// The BMP, then the plane of U+10000: Other but for the pictographs' block.
// By pointer, in few steps, for compilers that bound the steps of a
// constant evaluation.
constexpr std::array<std::uint8_t, 0x20000> build_planes() {
    std::array<std::uint8_t, 0x20000> t{};
    std::uint8_t* out = t.data();
    for (const std::uint8_t* in = PACKED_BMP.data(); in != PACKED_BMP.data() + 0x10000;) *out++ = *in++;
    for (std::uint32_t block = 0x10; block < 0x20; ++block) {
        const std::uint8_t* in = (block == 0x1F ? PICTOGRAPH_BLOCK : OTHER_BLOCK).data();
        for (const std::uint8_t* end = in + 0x1000; in != end;) *out++ = *in++;
    }
    return t;
}
}  // namespace
constinit const std::array<std::uint8_t, 0x20000> WORD_BREAK_PACKED_PLANES = build_planes();
namespace {
constexpr std::array<const std::uint8_t*, BLOCK_COUNT + 1> build_blocks() {
    std::array<const std::uint8_t*, BLOCK_COUNT + 1> t{};
    for (std::uint32_t b = 0; b <= BLOCK_COUNT; ++b)
        t[b] = b < 0x20    ? WORD_BREAK_PACKED_PLANES.data() + b * 0x1000
               : b == 0xE0 ? VARIATION_BLOCK.data()
                           : OTHER_BLOCK.data();
    return t;
}
}  // namespace
constinit const std::array<const std::uint8_t*, BLOCK_COUNT + 1> WORD_BREAK_PACKED_BLOCKS =
    build_blocks();
}  // namespace word_data

namespace word_rules {
namespace {
// The runs a code point may belong to: 1 for ALetter and Extend, 2 for
// Hebrew_Letter, 0 for none.
constexpr int run_kind(WordBreak v) {
    return v == WordBreak::ALetter || v == WordBreak::Extend ? 1 : v == WordBreak::Hebrew_Letter ? 2 : 0;
}

// Both walk the BMP once, acting only where the kind changes, so that each
// constant evaluation stays within the step bounds of every compiler.
constexpr std::size_t count_join_ranges(const std::array<WordBreak, 0x10000>& values) {
    std::size_t n = 0;
    int inside = 0;
    for (const WordBreak v : values) {
        const int k = run_kind(v);
        n += k != 0 && k != inside;
        inside = k;
    }
    return n;
}

template <std::size_t N>
constexpr std::array<JoinRange, N> build_join_ranges(const std::array<WordBreak, 0x10000>& values) {
    std::array<JoinRange, N> t{};
    std::size_t n = 0;
    int inside = 0;
    char32_t cp = 0;
    for (const WordBreak v : values) {
        const int k = run_kind(v);
        if (k != inside) {
            if (inside != 0) t[n++].last = cp - 1;
            if (k != 0) t[n] = {cp, cp, k == 2};
            inside = k;
        }
        ++cp;
    }
    if (inside != 0) t[n].last = cp - 1;
    return t;
}

// The letters and marks of each block of 128 code points of the BMP, a bit
// each, their count, and the longest stretch of them.
struct BlockBits {
    std::uint8_t bits[16] = {};
    unsigned count = 0, longest = 0;
};

constexpr std::array<BlockBits, 0x200> build_block_bits(const std::array<WordBreak, 0x10000>& values) {
    std::array<BlockBits, 0x200> t{};
    unsigned stretch = 0;
    for (std::size_t cp = 0; cp < 0x10000; ++cp) {
        BlockBits& b = t[cp >> 7];
        if (cp % 0x80 == 0) stretch = 0;
        if (run_kind(values[cp]) != 1) {
            stretch = 0;
            continue;
        }
        b.bits[(cp & 0x7F) / 8] |= std::uint8_t(1u << (cp % 8));
        ++b.count;
        b.longest = std::max(b.longest, ++stretch);
    }
    return t;
}

constexpr std::array<BlockBits, 0x200> BLOCK_BITS = build_block_bits(word_data::WORD_BREAK_BMP_VALUES);

constexpr std::size_t JOIN_RANGE_COUNT = count_join_ranges(word_data::WORD_BREAK_BMP_VALUES);
constexpr std::array<JoinRange, JOIN_RANGE_COUNT> JOIN_RANGES =
    build_join_ranges<JOIN_RANGE_COUNT>(word_data::WORD_BREAK_BMP_VALUES);
}  // namespace


JoinRange join_range_of(char32_t cp) noexcept {
    const auto after = std::upper_bound(JOIN_RANGES.begin(), JOIN_RANGES.end(), cp,
                                        [](char32_t c, const JoinRange& r) { return c < r.first; });
    return after[-1];
}

// A block costs the masks more than a range: it is taken only where ranges
// fail, for a script whose letters and marks are split by other code points
// into stretches of fewer than 32, beyond Latin-1.
JoinRange join_run_of(char32_t cp) noexcept {
    const JoinRange range = join_range_of(cp);
    const BlockBits& b = BLOCK_BITS[cp >> 7];
    if (range.hebrew || cp < 0x100 || b.longest >= 32 || b.count < 2 * b.longest) return range;
    JoinRange block{cp & ~char32_t(0x7F), (cp & ~char32_t(0x7F)) + 0x7F, false, true};
    std::copy(std::begin(b.bits), std::end(b.bits), block.bits);
    return block;
}
}  // namespace word_rules

}  // namespace scrivlet::segment
