// The forms in which the core reads a text: UTF-8, or fixed-width code units
// holding one code point each, as the interpreter stores its strings (Latin-1
// bytes, UCS-2 or UCS-4 units). Every form yields the same code points and the
// same UTF-8 byte offsets, so an operation written once over a Reader gives
// the same result whichever form it is handed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "utf8.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace scrivlet::text {

// A text of fixed-width units, one code point per unit: std::uint8_t (Latin-1),
// char16_t (UCS-2, no surrogate pairs) or char32_t (UCS-4).
template <typename Unit>
struct Fixed {
    const Unit* data = nullptr;
    std::size_t size = 0;  // in units, which are code points
};

using Latin1 = Fixed<std::uint8_t>;
using Ucs2 = Fixed<char16_t>;
using Ucs4 = Fixed<char32_t>;

// UTF-8 length of a code point given as a unit value.
constexpr std::size_t utf8_length(char32_t cp) noexcept {
    return 1 + (cp >= 0x80) + (cp >= 0x800) + (cp >= 0x10000);
}

// Reads code points one by one, keeping the UTF-8 byte offset of the next one.
//   for (Reader r(text); !r.done();) { std::size_t at = r.offset(); char32_t c = r.next(); ... }
class Utf8Reader {
public:
    explicit Utf8Reader(std::string_view text) noexcept : text_(text) {}
    bool done() const noexcept { return pos_ >= text_.size(); }
    std::size_t offset() const noexcept { return pos_; }
    char32_t next() noexcept {
        std::size_t len;
        const char32_t c = utf8::decode(text_, pos_, len);
        pos_ += len;
        return c;
    }
    // Code points read so far are not counted: UTF-8 has no cheap index.

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

template <typename Unit>
class FixedReader {
public:
    explicit FixedReader(Fixed<Unit> text) noexcept : p_(text.data), n_(text.size) {}
    bool done() const noexcept { return i_ >= n_; }
    std::size_t offset() const noexcept { return offset_; }
    std::size_t index() const noexcept { return i_; }
    char32_t next() noexcept {
        const char32_t c = p_[i_++];
        offset_ += utf8_length(c);
        return c;
    }

private:
    const Unit* p_;
    std::size_t n_;
    std::size_t i_ = 0;
    std::size_t offset_ = 0;
};

inline Utf8Reader reader(std::string_view text) noexcept { return Utf8Reader(text); }
template <typename Unit>
FixedReader<Unit> reader(Fixed<Unit> text) noexcept {
    return FixedReader<Unit>(text);
}

// Byte length of the UTF-8 form.
inline std::size_t utf8_size(std::string_view text) noexcept { return text.size(); }
template <typename Unit>
std::size_t utf8_size(Fixed<Unit> text) noexcept {
    std::size_t n = text.size;
    for (std::size_t i = 0; i < text.size; ++i) {
        const char32_t c = text.data[i];
        n += (c >= 0x80) + (c >= 0x800) + (c >= 0x10000);
    }
    return n;
}

// Whether a UCS-2 or UCS-4 text holds a surrogate code point (which has no
// UTF-8 form). A pass over every unit before any operation runs, so it goes
// sixteen bytes at a time where the processor allows.
inline bool has_surrogate(Ucs2 text) noexcept {
    const char16_t* p = text.data;
    const std::size_t n = text.size;
    std::size_t i = 0;
#if defined(__SSE2__) || defined(_M_X64)
    const __m128i mask = _mm_set1_epi16(static_cast<short>(0xF800));
    const __m128i surrogate = _mm_set1_epi16(static_cast<short>(0xD800));
    for (; i + 32 <= n; i += 32) {
        __m128i hit = _mm_setzero_si128();
        for (std::size_t k = 0; k < 32; k += 8) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + k));
            hit = _mm_or_si128(hit, _mm_cmpeq_epi16(_mm_and_si128(v, mask), surrogate));
        }
        if (_mm_movemask_epi8(hit) != 0) return true;
    }
    // then eight at a time, the last eight overlapping what was read: short
    // strings take no loop of one unit at a time
    if (n >= 8) {
        const auto hit = [&](std::size_t at) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
            return _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, mask), surrogate)) != 0;
        };
        for (; i + 8 <= n; i += 8)
            if (hit(i)) return true;
        return i < n && hit(n - 8);
    }
#endif
    for (; i < n; ++i)
        if ((p[i] & 0xF800) == 0xD800) return true;
    return false;
}

inline bool has_surrogate(Ucs4 text) noexcept {
    const char32_t* p = text.data;
    const std::size_t n = text.size;
    std::size_t i = 0;
#if defined(__SSE2__) || defined(_M_X64)
    const __m128i mask = _mm_set1_epi32(static_cast<int>(0xFFFFF800u));
    const __m128i surrogate = _mm_set1_epi32(0xD800);
    for (; i + 16 <= n; i += 16) {
        __m128i hit = _mm_setzero_si128();
        for (std::size_t k = 0; k < 16; k += 4) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + k));
            hit = _mm_or_si128(hit, _mm_cmpeq_epi32(_mm_and_si128(v, mask), surrogate));
        }
        if (_mm_movemask_epi8(hit) != 0) return true;
    }
    if (n >= 4) {
        const auto hit = [&](std::size_t at) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
            return _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(v, mask), surrogate)) != 0;
        };
        for (; i + 4 <= n; i += 4)
            if (hit(i)) return true;
        return i < n && hit(n - 4);
    }
#endif
    for (; i < n; ++i)
        if ((p[i] & 0xFFFFF800u) == 0xD800) return true;
    return false;
}

}  // namespace scrivlet::text
