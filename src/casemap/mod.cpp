#include "mod.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "../data/casemap.h"
#include "../utf8.h"

namespace scrivlet::casemap {

namespace {

using Output = utf8::Writer;

namespace cf = data::case_flags;

inline char32_t shifted(char32_t cp, std::int32_t delta) noexcept {
    return static_cast<char32_t>(static_cast<std::int32_t>(cp) + delta);
}

constexpr std::uint64_t ONES = 0x0101010101010101ull;
constexpr std::uint64_t HIGH = 0x8080808080808080ull;

// High bit set in each byte of w (all bytes ASCII) that lies in [lo, hi].
inline std::uint64_t bytes_in_range(std::uint64_t w, unsigned lo, unsigned hi) noexcept {
    const std::uint64_t at_least_lo = w + (0x80 - lo) * ONES;
    const std::uint64_t above_hi = w + (0x7F - hi) * ONES;
    return at_least_lo & ~above_hi & HIGH;
}

enum class AsciiCase { Lower, Upper };

inline bool all_ascii(const unsigned char* p) noexcept {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return (w & HIGH) == 0;
}

// Maps the ASCII run starting at s[i] eight bytes at a time (letters only
// change by the 0x20 bit); returns the offset of the first byte not handled.
template <AsciiCase to>
std::size_t map_ascii_run(const unsigned char* s, std::size_t i, std::size_t n, Output& out) {
    while (i + 8 <= n) {
        std::uint64_t w;
        std::memcpy(&w, s + i, 8);
        if (w & HIGH) break;
        const std::uint64_t letters =
            to == AsciiCase::Lower ? bytes_in_range(w, 'A', 'Z') : bytes_in_range(w, 'a', 'z');
        w ^= letters >> 2;
        out.ensure(8);
        std::memcpy(out.cursor(), &w, 8);
        out.advance(8);
        i += 8;
    }
    out.ensure(8);
    while (i < n && s[i] < 0x80) {
        unsigned char b = s[i++];
        if (to == AsciiCase::Lower ? unsigned(b - 'A') < 26u : unsigned(b - 'a') < 26u) b ^= 0x20;
        *out.cursor() = static_cast<char>(b);
        out.advance(1);
        if ((i & 7) == 0) out.ensure(8);
    }
    return i;
}

// One ASCII byte, or the whole ASCII run from it when it is long enough for
// the eight-byte path; returns the offset after what was written.
template <AsciiCase to>
inline std::size_t map_ascii(const unsigned char* s, std::size_t i, std::size_t n, Output& out) {
    if (i + 8 <= n && all_ascii(s + i)) return map_ascii_run<to>(s, i, n, out);
    unsigned char b = s[i];
    if (to == AsciiCase::Lower ? unsigned(b - 'A') < 26u : unsigned(b - 'a') < 26u) b ^= 0x20;
    out.put(b);
    return i + 1;
}

// Final sigma: the capital sigma at byte offset pos (two bytes long) is
// preceded by a cased letter and not followed by one, with case-ignorable code
// points passed over in both directions. The cased test comes first, so U+0345
// counts as cased. Each scan stops at the nearest cased or other blocking code
// point, and every sigma is itself cased, so the scans of successive sigmas
// never overlap: the total cost stays linear.
bool is_final_sigma(std::string_view text, std::size_t pos) {
    bool preceded = false;
    for (std::size_t j = pos; j > 0;) {
        j = utf8::floor_to_code_point(text, j - 1);
        std::size_t len;
        const std::uint16_t flags = data::case_record(utf8::decode(text, j, len)).flags;
        if (flags & cf::CASED) {
            preceded = true;
            break;
        }
        if (!(flags & cf::CASE_IGNORABLE)) break;
    }
    if (!preceded) return false;
    for (std::size_t k = pos + 2; k < text.size();) {
        std::size_t len;
        const std::uint16_t flags = data::case_record(utf8::decode(text, k, len)).flags;
        if (flags & cf::CASED) return false;
        if (!(flags & cf::CASE_IGNORABLE)) return true;
        k += len;
    }
    return true;
}

// Exactly "tr" or "az", byte for byte.
bool is_turkic(std::optional<std::string_view> locale) noexcept {
    return locale && (*locale == "tr" || *locale == "az");
}

constexpr char32_t CAPITAL_SIGMA = 0x03A3;
constexpr char32_t DOTLESS_I = 0x0131;
constexpr char32_t CAPITAL_I_WITH_DOT = 0x0130;
constexpr char32_t COMBINING_DOT_ABOVE = 0x0307;

}  // namespace

std::string to_lowercase(std::string_view text, std::optional<std::string_view> locale) {
    const bool turkic = is_turkic(locale);
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    Output out(n);
    std::size_t i = 0;
    while (i < n) {
        if (s[i] < 0x80 && !turkic) {
            i = map_ascii<AsciiCase::Lower>(s, i, n, out);
            continue;
        }
        std::size_t len;
        const char32_t c = utf8::decode(text, i, len);
        if (turkic) {
            // After_I: only the code point right before counts, not one past other marks
            if (c == COMBINING_DOT_ABOVE && i > 0 && s[i - 1] == 'I') {
                // absorbed by the I before it, which became i
                i += len;
                continue;
            }
            if (c == 'I') {
                // Not_Before_Dot: only the code point right after counts, not one past other marks
                const bool dot_follows = i + 1 < n && utf8::decode(text, i + 1, len) == COMBINING_DOT_ABOVE;
                out.put(dot_follows ? char32_t('i') : DOTLESS_I);
                i += 1;
                continue;
            }
            if (c == CAPITAL_I_WITH_DOT) {
                out.put('i');
                i += len;
                continue;
            }
        } else if (c == CAPITAL_I_WITH_DOT) {
            out.put(U"i\u0307");
            i += len;
            continue;
        }
        if (c == CAPITAL_SIGMA) {
            // Final_Sigma, with this library's cased and case-ignorable stand-ins
            out.put(is_final_sigma(text, i) ? char32_t(0x03C2) : char32_t(0x03C3));
        } else {
            const data::CaseRecord& r = data::case_record(c);
            out.put(r.flags & cf::HAS_LOWER ? shifted(c, r.lower_delta) : c);
        }
        i += len;
    }
    return out.finish();
}

std::string to_uppercase(std::string_view text, std::optional<std::string_view> locale) {
    const bool turkic = is_turkic(locale);
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    Output out(n);
    std::size_t i = 0;
    while (i < n) {
        if (s[i] < 0x80 && !turkic) {
            i = map_ascii<AsciiCase::Upper>(s, i, n, out);
            continue;
        }
        std::size_t len;
        const char32_t c = utf8::decode(text, i, len);
        i += len;
        if (turkic && c == 'i') {
            out.put(CAPITAL_I_WITH_DOT);
            continue;
        }
        // Conditional special casings are not applied: U+0307 always stays.
        const data::CaseRecord& r = data::case_record(c);
        if (r.flags & cf::HAS_SPECIAL_UPPER)
            out.put(data::special_uppercase(c));
        else
            out.put(r.flags & cf::HAS_UPPER ? shifted(c, r.upper_delta) : c);
    }
    return out.finish();
}

// A word starts at the beginning of the text or after White_Space only, not at
// Unicode word boundaries: "o'neil" and "hello-world" are one word each. Inside
// a word only one-to-one lowercase mappings apply, and Final_Sigma.
std::string to_titlecase(std::string_view text) {
    Output out(text.size());
    bool at_word_start = true;
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        unsigned char b = s[i];
        if (b < 0x80) {
            // ASCII: letters are cased, the rest has no mapping
            if (b == ' ' || unsigned(b - '\t') < 5u) {
                at_word_start = true;
            } else if (unsigned((b | 0x20) - 'a') < 26u) {
                b = at_word_start ? (b & ~0x20) : (b | 0x20);
                at_word_start = false;
            }
            out.put(b);
            ++i;
            continue;
        }
        std::size_t len;
        const char32_t c = utf8::decode(text, i, len);
        i += len;
        const data::CaseRecord& r = data::case_record(c);
        if (r.flags & cf::WHITE_SPACE) {
            out.put(c);
            at_word_start = true;
        } else if (at_word_start) {
            if (r.flags & (cf::CASED | cf::HAS_SPECIAL_TITLE)) {
                if (r.flags & cf::HAS_SPECIAL_TITLE)
                    out.put(data::special_titlecase(c));
                else if (r.flags & cf::HAS_TITLE)
                    out.put(shifted(c, r.title_delta));
                else
                    out.put(r.flags & cf::HAS_UPPER ? shifted(c, r.upper_delta) : c);
                at_word_start = false;
            } else {
                // digits, punctuation, symbols and uncased letters do not start the word
                out.put(c);
            }
        } else if (c == CAPITAL_SIGMA) {
            // inside a word a capital sigma takes the Final_Sigma rule of lowercasing
            out.put(is_final_sigma(text, i - len) ? char32_t(0x03C2) : char32_t(0x03C3));
        } else {
            // inside a word: one-to-one lowercase only
            out.put(r.flags & cf::HAS_LOWER ? shifted(c, r.lower_delta) : c);
        }
    }
    return out.finish();
}

namespace {

// Full folding may expand a code point; simple folding maps one to one.
template <bool Full>
std::string fold(std::string_view text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    Output out(n);
    std::size_t i = 0;
    while (i < n) {
        if (s[i] < 0x80) {
            i = map_ascii<AsciiCase::Lower>(s, i, n, out);
            continue;
        }
        std::size_t len;
        const char32_t c = utf8::decode(text, i, len);
        i += len;
        const data::CaseRecord& r = data::case_record(c);
        if (Full && (r.flags & cf::HAS_FULL_FOLD))
            out.put(data::full_case_folding(c));
        else
            out.put(r.flags & cf::HAS_FOLD ? shifted(c, r.fold_delta) : c);
    }
    return out.finish();
}

}  // namespace

std::string case_fold(std::string_view text) { return fold<true>(text); }

std::string case_fold_simple(std::string_view text) { return fold<false>(text); }

}  // namespace scrivlet::casemap
