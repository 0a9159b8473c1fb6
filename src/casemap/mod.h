// Case conversion (with Turkic tailoring for "tr" and "az"), title casing and case folding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "../text.h"
#include "../text_writer.h"

namespace scrivlet::casemap {

std::string to_lowercase(std::string_view text, std::optional<std::string_view> locale);
std::string to_uppercase(std::string_view text, std::optional<std::string_view> locale);
std::string to_titlecase(std::string_view text);
std::string case_fold(std::string_view text);
std::string case_fold_simple(std::string_view text);

// The same operations on fixed-width text. A text the operation leaves as it
// is gives false, with nothing written; otherwise the whole result is in out
// and the answer is true. Out may be narrower than the result needs: out.bits()
// tells (text_writer.h).
template <typename Unit, typename Out>
bool to_lowercase(text::Fixed<Unit> text, std::optional<std::string_view> locale, text::UnitWriter<Out>& out);
template <typename Unit, typename Out>
bool to_uppercase(text::Fixed<Unit> text, std::optional<std::string_view> locale, text::UnitWriter<Out>& out);
template <typename Unit, typename Out>
bool to_titlecase(text::Fixed<Unit> text, text::UnitWriter<Out>& out);
template <typename Unit, typename Out>
bool case_fold(text::Fixed<Unit> text, text::UnitWriter<Out>& out);
template <typename Unit, typename Out>
bool case_fold_simple(text::Fixed<Unit> text, text::UnitWriter<Out>& out);

// Exactly "tr" or "az", byte for byte: the locales whose I and i map otherwise.
bool is_turkic(std::optional<std::string_view> locale) noexcept;

// ASCII text, whose lowercase, uppercase and folding (outside the Turkic
// locales) flip the 0x20 bit of letters and stay ASCII. Short strings take
// these, inline and without a writer: the per-call cost is most of theirs.
enum class AsciiCase { Lower, Upper };

namespace detail {
// The high bit of each byte of w (all bytes ASCII) that the mapping changes.
template <AsciiCase to>
inline std::uint64_t ascii_letters(std::uint64_t w) noexcept {
    constexpr std::uint64_t ONES = 0x0101010101010101ull, HIGH = 0x8080808080808080ull;
    constexpr unsigned lo = to == AsciiCase::Lower ? 'A' : 'a';
    return (w + (0x80 - lo) * ONES) & ~(w + (0x7F - (lo + 25)) * ONES) & HIGH;
}
template <AsciiCase to>
inline bool ascii_changes(unsigned char b) noexcept {
    return unsigned(b - (to == AsciiCase::Lower ? 'A' : 'a')) < 26u;
}
}  // namespace detail

// Whether the mapping changes any of the n bytes.
template <AsciiCase to>
inline bool ascii_changes(const char* text, std::size_t n) noexcept {
    if (n < 8) {
        for (std::size_t i = 0; i < n; ++i)
            if (detail::ascii_changes<to>(static_cast<unsigned char>(text[i]))) return true;
        return false;
    }
    const auto letters = [&](std::size_t at) {
        std::uint64_t w;
        std::memcpy(&w, text + at, 8);
        return detail::ascii_letters<to>(w);
    };
    // the last eight overlap what was read
    std::uint64_t any = letters(0) | letters(n - 8);
    for (std::size_t i = 8; i + 8 < n; i += 8) any |= letters(i);
    return any != 0;
}

// The n bytes of text mapped into out.
template <AsciiCase to>
inline void map_ascii(const char* text, std::size_t n, char* out) noexcept {
    const auto map_word = [&](std::size_t at) {
        std::uint64_t w;
        std::memcpy(&w, text + at, 8);
        w ^= detail::ascii_letters<to>(w) >> 2;
        std::memcpy(out + at, &w, 8);
    };
    if (n < 8) {
        for (std::size_t i = 0; i < n; ++i) {
            const auto b = static_cast<unsigned char>(text[i]);
            out[i] = static_cast<char>(detail::ascii_changes<to>(b) ? b ^ 0x20 : b);
        }
        return;
    }
    map_word(0);
    for (std::size_t i = 8; i + 8 < n; i += 8) map_word(i);
    map_word(n - 8);  // from the text again, so the overlap is written the same
}

}  // namespace scrivlet::casemap
