// The text of line breaking as indexed units: UTF-8 bytes, or the fixed-width
// units of the interpreter's strings (one code point each). Positions are unit
// indices; the results are in UTF-8 bytes, which each decode also counts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "../text.h"
#include "../utf8.h"

namespace scrivlet::linebreak {

struct Utf8Units {
    static constexpr bool FIXED = false;
    const unsigned char* data;
    std::size_t count;

    explicit Utf8Units(std::string_view text) noexcept
        : data(reinterpret_cast<const unsigned char*>(text.data())), count(text.size()) {}
    std::size_t size() const noexcept { return count; }
    // The raw unit at i: a byte.
    char32_t unit(std::size_t i) const noexcept { return data[i]; }
    // The code point at i; len is its length in units, which is also its UTF-8 length.
    char32_t decode(std::size_t i, std::size_t& len) const noexcept {
        const unsigned char b = data[i];
        if (b < 0x80) {
            len = 1;
            return b;
        }
        if (b >= 0xE0 && b < 0xF0 && i + 3 <= count) {  // most scripts: three bytes
            len = 3;
            return (char32_t(b & 0x0F) << 12) | (char32_t(data[i + 1] & 0x3F) << 6) |
                   (data[i + 2] & 0x3F);
        }
        return utf8::decode(std::string_view(reinterpret_cast<const char*>(data), count), i, len);
    }
    static std::size_t utf8_bytes(char32_t, std::size_t len) noexcept { return len; }
    // The start of the code point before the one at i (i > 0).
    std::size_t previous(std::size_t i) const noexcept {
        do --i;
        while (i > 0 && utf8::is_continuation(data[i]));
        return i;
    }
    std::string_view utf8() const noexcept {
        return {reinterpret_cast<const char*>(data), count};
    }
};

template <typename Unit>
struct FixedUnits {
    static constexpr bool FIXED = true;
    const Unit* data;
    std::size_t count;

    explicit FixedUnits(text::Fixed<Unit> text) noexcept : data(text.data), count(text.size) {}
    std::size_t size() const noexcept { return count; }
    char32_t unit(std::size_t i) const noexcept { return data[i]; }
    char32_t decode(std::size_t i, std::size_t& len) const noexcept {
        len = 1;
        return data[i];
    }
    static std::size_t utf8_bytes(char32_t cp, std::size_t) noexcept {
        return text::utf8_length(cp);
    }
    static std::size_t previous(std::size_t i) noexcept { return i - 1; }
};

}  // namespace scrivlet::linebreak
