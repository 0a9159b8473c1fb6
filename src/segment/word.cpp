#include "word.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <type_traits>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

#include "../vector_units.h"
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

namespace {
// The word steps below take AVX-512 with its byte permutes and compression
// (VBMI, VBMI2).
const bool HAS_VBMI = vector_units::vbmi_supported();
std::atomic<bool> use_word_steps{HAS_VBMI};
}  // namespace

bool vector_word_steps() noexcept { return use_word_steps.load(std::memory_order_relaxed); }

void allow_vector_word_steps(bool allow) noexcept {
    use_word_steps.store(allow && HAS_VBMI, std::memory_order_relaxed);
}

namespace {
// The classes the word steps tell apart, a bit each, by the scan's column.
enum : std::uint8_t {
    LETTER = 1, DIGIT = 2, MARK = 4, OTHER = 8, SPACE = 16, MID_LETTER = 32, MID_NUM = 64, KANA = 128,
};

struct ColumnFlags {
    std::uint8_t of[64] = {};
    constexpr ColumnFlags() {
        for (unsigned c = 0; c < word_data::COLUMN_COUNT; ++c) {
            switch (word_data::class_of_column(c)) {
                case W::ALetter: of[c] = LETTER; break;
                case W::Numeric: of[c] = DIGIT; break;
                case W::Extend: of[c] = MARK; break;
                case W::Other: of[c] = OTHER; break;
                case W::WSegSpace: of[c] = SPACE; break;
                case W::Katakana: of[c] = KANA; break;
                case W::MidLetter: of[c] = MID_LETTER; break;
                case W::MidNum: of[c] = MID_NUM; break;
                case W::MidNumLet:
                case W::Single_Quote: of[c] = MID_LETTER | MID_NUM; break;
                default: break;  // the steps stop there
            }
        }
    }
};
constexpr ColumnFlags COLUMN_FLAGS;

// Ranges wider than a block whose code points are all letters here: the
// ideographs of CJK and the Hangul syllables.
struct LetterRange {
    char16_t first, last;
};
constexpr LetterRange LETTER_RANGES[] = {{0x4E00, 0x9FEF}, {0xAC00, 0xD7A3}};

// Sixty-four units: the classes the word steps know, a bit per unit, for
// those of ASCII and of two other blocks of 128 code points; and which units
// take one byte in UTF-8, which two or fewer, and the UTF-8 bytes before
// each from the first.
struct UnitClasses {
    std::uint64_t letter, digit, mark, other, space, mid_letter, mid_num, kana, hebrew, quote, apostrophe, underscore;
    std::uint64_t one, two;
    std::uint64_t in[2];  // the units of each block
    __m512i bytes_before;  // a byte per unit
};

// The classes of the units of known from their flags and columns.
[[gnu::target("avx512f,avx512bw,avx512vbmi"), gnu::always_inline]] inline void set_classes(__m512i column,
                                                                                       __mmask64 known,
                                                                                       UnitClasses& c) {
    const __m512i flags = _mm512_maskz_permutexvar_epi8(~__mmask64(0), column, _mm512_loadu_si512(COLUMN_FLAGS.of));
    // Hebrew letters, which COLUMN_FLAGS leaves out, are letters to the
    // steps but for the quotes after them.
    c.hebrew = _mm512_mask_cmpeq_epi8_mask(known, column, _mm512_set1_epi8(static_cast<char>(W::Hebrew_Letter)));
    c.letter = _mm512_mask_test_epi8_mask(known, flags, _mm512_set1_epi8(LETTER));
    c.digit = _mm512_mask_test_epi8_mask(known, flags, _mm512_set1_epi8(DIGIT));
    c.mark = _mm512_mask_test_epi8_mask(known, flags, _mm512_set1_epi8(MARK));
    c.other = _mm512_mask_test_epi8_mask(known, flags, _mm512_set1_epi8(OTHER));
    c.space = _mm512_mask_test_epi8_mask(known, flags, _mm512_set1_epi8(SPACE));
    c.mid_letter = _mm512_mask_test_epi8_mask(known, flags, _mm512_set1_epi8(MID_LETTER));
    c.mid_num = _mm512_mask_test_epi8_mask(known, flags, _mm512_set1_epi8(MID_NUM));
    c.kana = _mm512_mask_test_epi8_mask(known, flags, _mm512_set1_epi8(static_cast<char>(KANA)));
    c.letter |= c.hebrew;
}

// The blocks the word steps read beside ASCII, and whether the ranges of
// letters too (once a text has shown one of theirs).
struct StepBlocks : vector_units::TwoBlocks {
    bool ranges = false;
    // Whether a unit where the steps stopped brings in the ranges or its block.
    void take(char32_t u, const std::uint64_t (&in)[2]) noexcept {
        for (const LetterRange& r : LETTER_RANGES) {
            if (u >= r.first && u <= r.last) {
                ranges = true;  // its block stays out: the ranges hold it
                return;
            }
        }
        vector_units::TwoBlocks::take(u, in);
    }
};

// Sixty-four 16 or 32-bit units from p, those beyond the BMP left unknown.
template <typename Unit>
[[SCRIVLET_VBMI_TARGET, gnu::always_inline]] inline void classify_units(const Unit* p, const StepBlocks& blocks,
                                                                        UnitClasses& c) {
    using namespace vector_units;
    __m512i v0, v1;
    const std::uint64_t beyond = load_units(p, v0, v1);
    __mmask64 ascii, two;
    const __m512i bytes = utf8_lengths(v0, v1, ascii, two);
    const __m512i high0 = _mm512_srli_epi16(v0, 7), high1 = _mm512_srli_epi16(v1, 7);
    // The low byte of each unit indexes its block's 128 entries of the scan's table.
    const __m512i index = low_bytes(v0, v1);
    const std::uint8_t* const table = word_data::WORD_BREAK_PACKED_PLANES.data();
    __m512i entry = entries_of(table, index);
    __mmask64 inside[2];
    for (unsigned k = 0; k < 2; ++k) {
        inside[k] = units_in_block(high0, high1, blocks.of[k]);
        entry = _mm512_mask_blend_epi8(inside[k], entry, entries_of(table + (std::size_t(blocks.of[k]) << 7), index));
    }
    c.in[0] = inside[0] & ~beyond;
    c.in[1] = inside[1] & ~beyond;
    const __m512i column = _mm512_and_si512(entry, _mm512_set1_epi8(static_cast<char>(word_data::COLUMN_MASK)));
    const __mmask64 known = (ascii | inside[0] | inside[1]) & ~beyond;
    // And the letters of the ranges of ideographs and syllables, beyond any one block.
    __mmask64 ranged = 0;
    for (const LetterRange& r : LETTER_RANGES) {
        if (!blocks.ranges) break;  // none seen yet
        const __m512i first = _mm512_set1_epi16(static_cast<short>(r.first));
        const __m512i span = _mm512_set1_epi16(static_cast<short>(r.last - r.first));
        ranged |= _mm512_kunpackd(_mm512_cmple_epu16_mask(_mm512_sub_epi16(v1, first), span),
                                  _mm512_cmple_epu16_mask(_mm512_sub_epi16(v0, first), span));
    }
    set_classes(column, known, c);
    c.letter |= ranged & ~beyond;
    // U+0022 (Double_Quote), U+0027 (Single_Quote) and U+005F (ExtendNumLet), by their units.
    c.quote = units_equal(v0, v1, 0x22) & ~beyond;
    c.apostrophe = units_equal(v0, v1, 0x27) & ~beyond;
    c.underscore = units_equal(v0, v1, 0x5F) & ~beyond;
    c.one = ascii;
    c.two = two;
    c.bytes_before = bytes_before(bytes);
}
}  // namespace

// The first count of eight offsets, from base, stored at out.
[[gnu::target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,popcnt,bmi,bmi2"), gnu::always_inline]] inline void
write_offsets(std::uint64_t* out, unsigned count, __m512i offsets, __m512i base) {
    _mm512_mask_storeu_epi64(out, __mmask8(_bzhi_u32(0xFF, count)), _mm512_add_epi64(offsets, base));
}

// The word steps of 16 or 32-bit units from pos to at most end, sixty-two
// units a step, where every unit is a letter, digit, mark, space, Mid
// character, kana, U+0022, U+005F or Other of ASCII, of the two blocks or of
// the ranges of letters: the boundaries there follow from each unit's
// neighbours, two before it and one after, with no state. Each step reads
// the sixty-four units from two before the first it decides; a mark must
// follow a letter or a mark, and the last unit decided is neither a Mid
// character nor U+0022, so that the state after it is that of its class
// alone. The offsets of the boundaries are written straight into out, eight
// at a time. Returns where the steps end (pos where they cannot start), with
// state and offset as the plain steps leave them; a unit of a third block
// where they stop brings its block in.
template <typename Unit, typename Out>
[[gnu::target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,popcnt,bmi,bmi2"), gnu::always_inline]] inline std::size_t
word_steps(const Unit* d, std::size_t pos, std::size_t end, unsigned& state, std::uint64_t& offset,
    StepBlocks& blocks, Out& out) {
    constexpr std::uint64_t DECIDED = ~std::uint64_t(3);  // window positions 2 to 63
    constexpr std::uint64_t TOP = std::uint64_t(1) << 63;
    using vector_units::byte_at;
    using vector_units::low_lane;
    std::uint64_t off = offset;
    bool first = true;
    unsigned last_class = 0;  // of the last unit decided: letter, digit, mark, other, space, kana, underscore
    std::size_t i = pos;
    UnitClasses c;
    while (i + 62 <= end) {
        classify_units(d + i - 2, blocks, c);
        const std::uint64_t letters = c.letter | c.mark;  // a mark stands for the letter it follows
        const std::uint64_t mid = c.mid_letter | c.mid_num;
        const std::uint64_t known =
            c.letter | c.digit | c.mark | c.other | c.space | mid | c.kana | c.quote | c.underscore;
        // A quote after a Hebrew letter, or after a mark that may be on one,
        // is the plain steps' to decide (WB7a, WB7b, WB7c).
        const std::uint64_t hebrew_marks = c.hebrew ? c.mark : 0;
        const std::uint64_t hebrew_quote = (c.quote | c.apostrophe) & ((c.hebrew | hebrew_marks) << 1);
        // Entering, the unit before the first is known, and a mark only on
        // a letter (as the plain steps' state tells); the one before that,
        // which a Mid character or U+0022 between them brings in, too, and
        // no mark.
        if (first && (!(known & 2) || (((mid | c.quote) & 2) && ((~known | c.mark) & 1)) || (hebrew_quote & 2) ||
                      ((c.mark & 2) && (state & LETTER_STATE_MASK) != LETTER_STATE)))
            break;
        const std::uint64_t bad = (~known | (c.mark & ~(letters << 1)) | (mid & TOP) | hebrew_quote) & DECIDED;
        std::uint64_t decided = bad == 0 ? DECIDED : (bad - 1) & ~bad & DECIDED;  // below the first bad one
        // The last one decided is no Mid character (whether it joined is part
        // of the plain steps' state), no U+0022 (its own state) and no mark
        // that may be on a Hebrew letter.
        const std::uint64_t kept = decided & ~mid & ~c.quote & ~hebrew_marks;
        if (kept == 0) break;
        const unsigned last = 63u - unsigned(std::countl_zero(kept));
        decided = last == 63 ? DECIDED : ((std::uint64_t(2) << last) - 1) & DECIDED;
        // WB5, WB8, WB9, WB10, WB13b; WB7 and WB11 after a Mid character joined on both sides.
        const std::uint64_t join_letter =
            c.letter & ((letters << 1) | (c.digit << 1) | (c.underscore << 1) | ((c.mid_letter << 1) & (letters << 2)));
        const std::uint64_t join_digit =
            c.digit & ((c.digit << 1) | (letters << 1) | (c.underscore << 1) | ((c.mid_num << 1) & (c.digit << 2)));
        // WB13a, WB13, WB13b.
        const std::uint64_t join_underscore = c.underscore & ((letters | c.digit | c.kana | c.underscore) << 1);
        const std::uint64_t join_kana = c.kana & ((c.kana | c.underscore) << 1);
        // WB6, WB12; WB4 for marks, WB3d for spaces.
        const std::uint64_t join_mid = (c.mid_letter & (letters << 1) & (c.letter >> 1)) |
                                       (c.mid_num & (c.digit << 1) & (c.digit >> 1));
        const std::uint64_t join = join_letter | join_digit | join_mid | join_underscore | join_kana | c.mark |
                                   (c.space & (c.space << 1));
        const std::uint64_t breaks = decided & ~join;
        // The offsets of the breaks, packed in order and widened eight at a
        // time: sixteen with no branch, the common count.
        const __m512i packed = _mm512_maskz_compress_epi8(breaks, c.bytes_before);
        const __m128i low_packed = low_lane(packed);
        const std::uint64_t from = off - byte_at(c.bytes_before, 2);
        const __m512i base = _mm512_set1_epi64(std::int64_t(from));
        const unsigned count = unsigned(std::popcount(breaks));
        std::uint64_t* const tail = out.tail();
        write_offsets(tail, count, _mm512_maskz_cvtepu8_epi64(0xFF, low_packed), base);
        write_offsets(tail + 8, count > 8 ? count - 8 : 0,
                      _mm512_maskz_cvtepu8_epi64(0xFF, _mm_unpackhi_epi64(low_packed, low_packed)), base);
        for (unsigned k = 16; k < count; k += 8) {
            const __m512i eight = _mm512_maskz_permutexvar_epi64(0xFF, _mm512_set1_epi64(k / 8), packed);
            write_offsets(tail + k, count - k, _mm512_maskz_cvtepu8_epi64(0xFF, low_lane(eight)), base);
        }
        out.wrote(count);
        const std::uint64_t bit = std::uint64_t(1) << last;
        last_class = (c.hebrew & bit) ? 7 : (c.letter & bit) ? 0 : (c.digit & bit) ? 1 : (c.mark & bit) ? 2
                     : (c.other & bit) ? 3 : (c.kana & bit) ? 5 : (c.underscore & bit) ? 6 : 4;
        off = from + byte_at(c.bytes_before, last) + 3 - ((c.one >> last) & 1) - ((c.two >> last) & 1);
        first = false;
        if (last < 63) {
            i += last - 1;
            if ((bad >> (last + 1)) & 1) blocks.take(d[i], c.in);
            break;
        }
        i += 62;
    }
    if (i != pos) {
        constexpr unsigned AFTER_CLASS[8] = {state_of(W::ALetter), state_of(W::Numeric),
                                             state_of(W::ALetter) | AFTER_IGNORABLE, state_of(W::Other),
                                             state_of(W::WSegSpace), state_of(W::Katakana),
                                             state_of(W::ExtendNumLet), state_of(W::Hebrew_Letter)};
        state = AFTER_CLASS[last_class];
        offset = off;
    } else {
        blocks.take(d[i], {1, 0});  // the second block gives way
    }
    return i;
}

// The word scan of 16 or 32-bit units with the steps above wherever they
// go, the plain steps elsewhere (as scan_word_steps): after the vector steps
// stop, the plain ones take the unit they stopped at and the one after it,
// which the next vector step reads before its first; where the vector steps
// gain little (Vietnamese, mixed scripts, emoji), the plain ones take twice
// as many units before they try again.
template <typename Unit, typename Out, typename Block>
[[gnu::target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,popcnt,bmi,bmi2"), gnu::always_inline]] inline void
scan_word_vector(const FixedUnits<Unit> u, Out& out, Block& block) {
    const auto put = [&](std::size_t, std::uint64_t offset, bool boundary) { out.put_if(offset, boundary); };
    using Units = FixedUnits<Unit>;
    constexpr std::size_t STEP = 62;
    const std::size_t to = u.size();
    if (to == 0) return;
    const std::size_t first = packed_of<Units>(u.unit(0));
    // Ignorables at the start attach to nothing: they stand for Other.
    unsigned state = (state_of(W::Other) & STEPS.keep[first]) | STEPS.set[first];
    std::uint64_t offset = u.utf8_bytes(u.unit(0), 1);
    SlowSteps<Units> slow(u, 0, to);
    constexpr std::size_t AFTER_STOP = 2, MOST = 64 * WORD_BLOCK;
    StepBlocks vector_blocks;
    std::size_t plain = AFTER_STOP;
    for (std::size_t pos = 1; pos < to;) {
        if (pos >= 2 && to - pos >= STEP) {
            const std::size_t from = pos, bound = to - pos > WORD_BLOCK ? pos + WORD_BLOCK : to;
            pos = word_steps(u.data(), pos, bound, state, offset, vector_blocks, out);
            call_block(block, pos);
            if (pos + STEP > bound && bound != to) continue;  // the bound stopped them, not a unit
            plain = pos - from >= 32 ? AFTER_STOP : std::min(2 * plain + 1, MOST);
        }
        // To the end where too few units are left for a vector step.
        for (const std::size_t end = to - pos > std::max(plain, STEP) ? pos + plain : to; pos < end;) {
            pos = step_stretch(u, pos, end - pos > WORD_BLOCK ? pos + WORD_BLOCK : end, state, offset, slow, put);
            call_block(block, pos);
        }
    }
}
#else
bool avx2_chunks() noexcept { return false; }
bool vector_word_steps() noexcept { return false; }
void allow_vector_word_steps(bool) noexcept {}
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

// The same with the vector steps of word_rules::word_steps.
template <typename Unit>
[[gnu::target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,popcnt,bmi,bmi2"), gnu::noinline]] void boundary_offsets_vector(
    const FixedUnits<Unit> u, OffsetSink& sink) {
    Estimating estimating(sink, u.size());
    std::uint64_t buffer[BlockBatch::CAPACITY];
    BlockBatch out(estimating, buffer);
    out.put_if(0, true);
    const auto block = [&](std::size_t pos) {
        out.block();
        estimating.reached(pos);
    };
    word_rules::scan_word_vector(u, out, block);
    out.flush();
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
        // The vector steps from the length of one of them on.
        const bool vector = u.size() >= 64 && word_rules::vector_word_steps();
        if constexpr (std::is_same_v<Units, FixedUnits<char32_t>>)
            if (vector) return boundary_offsets_vector(u, sink);
        if constexpr (std::is_same_v<Units, FixedUnits<char16_t>>) {
            if (vector) return boundary_offsets_vector(u, sink);
            if (word_rules::avx2_chunks()) {
                if (word_rules::chunks_pay<true>(u, 0, u.size(), sample, word_rules::SKIP_SHARE_64_AVX2))
                    return boundary_offsets_avx2(u, sink);
                return boundary_offsets_with<false>(u, sink);
            }
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

#if SCRIVLET_WORD_AVX2
constexpr bool letter_ranges_hold_letters_only() {
    for (const LetterRange& r : LETTER_RANGES)
        for (char32_t cp = r.first; cp <= r.last; ++cp)
            if (word_data::WORD_BREAK_BMP_VALUES[cp] != WordBreak::ALetter) return false;
    return true;
}
static_assert(letter_ranges_hold_letters_only(), "the word steps' ranges of letters hold letters only");
#endif
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
