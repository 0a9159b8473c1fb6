#include "mod.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <type_traits>

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
inline std::size_t map_ascii_at(const unsigned char* s, std::size_t i, std::size_t n, Output& out) {
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

constexpr char32_t CAPITAL_SIGMA = 0x03A3;
constexpr char32_t DOTLESS_I = 0x0131;
constexpr char32_t CAPITAL_I_WITH_DOT = 0x0130;
constexpr char32_t COMBINING_DOT_ABOVE = 0x0307;

}  // namespace

bool is_turkic(std::optional<std::string_view> locale) noexcept {
    return locale && (*locale == "tr" || *locale == "az");
}

std::string to_lowercase(std::string_view text, std::optional<std::string_view> locale) {
    const bool turkic = is_turkic(locale);
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    Output out(n);
    std::size_t i = 0;
    while (i < n) {
        if (s[i] < 0x80 && !turkic) {
            i = map_ascii_at<AsciiCase::Lower>(s, i, n, out);
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
            i = map_ascii_at<AsciiCase::Upper>(s, i, n, out);
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
            out.put(data::special_uppercase(r));
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
                    out.put(data::special_titlecase(r));
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
            i = map_ascii_at<AsciiCase::Lower>(s, i, n, out);
            continue;
        }
        std::size_t len;
        const char32_t c = utf8::decode(text, i, len);
        i += len;
        const data::CaseRecord& r = data::case_record(c);
        if (Full && (r.flags & cf::HAS_FULL_FOLD))
            out.put(data::full_case_folding(r));
        else
            out.put(r.flags & cf::HAS_FOLD ? shifted(c, r.fold_delta) : c);
    }
    return out.finish();
}

}  // namespace

std::string case_fold(std::string_view text) { return fold<true>(text); }

std::string case_fold_simple(std::string_view text) { return fold<false>(text); }

// ---------------------------------------------------------------------------
// Fixed-width text: one code point per unit, so neighbours are found by index.
// Each operation first scans for the first code point it changes, from the
// change bits of the trie alone; a text without one is answered at once.
// The writer starts with room for one unit per code point left, which a
// one-to-one mapping keeps true; only an expansion asks for more room.

namespace {

namespace ch = data::case_changes;

// The trie entry of a unit; Latin-1 from a table of its own.
constexpr auto LATIN1_ENTRIES = [] {
    std::array<std::uint16_t, 256> entries{};
    for (char32_t c = 0; c < 256; ++c) entries[c] = data::case_entry(c);
    return entries;
}();

template <typename Unit>
inline std::uint16_t entry_of(char32_t c) noexcept {
    if constexpr (sizeof(Unit) == 1)
        return LATIN1_ENTRIES[c];
    else
        return data::case_entry(c);
}

template <typename Unit>
bool is_final_sigma(text::Fixed<Unit> t, std::size_t pos) {
    // as is_final_sigma on UTF-8 above; successive scans never overlap
    bool preceded = false;
    for (std::size_t j = pos; j > 0;) {
        const std::uint16_t flags = data::case_record(t.data[--j]).flags;
        if (flags & cf::CASED) {
            preceded = true;
            break;
        }
        if (!(flags & cf::CASE_IGNORABLE)) break;
    }
    if (!preceded) return false;
    for (std::size_t k = pos + 1; k < t.size; ++k) {
        const std::uint16_t flags = data::case_record(t.data[k]).flags;
        if (flags & cf::CASED) return false;
        if (!(flags & cf::CASE_IGNORABLE)) return true;
    }
    return true;
}

// ASCII in a 64-bit word of units: 8 bytes, 4 UCS-2 or 2 UCS-4 units, each
// with room above it, so that adding to every lane carries into no other.
template <typename Unit>
struct Lanes {
    static constexpr std::size_t COUNT = 8 / sizeof(Unit);
    static constexpr std::uint64_t ONES = ~std::uint64_t(0) / ((std::uint64_t(1) << (8 * sizeof(Unit) - 1) << 1) - 1);
    static constexpr std::uint64_t HIGH = ONES << (8 * sizeof(Unit) - 1);
    // any bit at or above 0x80 in some lane
    static constexpr std::uint64_t NOT_ASCII = ONES * (((std::uint64_t(1) << (8 * sizeof(Unit) - 1) << 1) - 1) & ~std::uint64_t(0x7F));

    // The high bit of each lane (all ASCII) that lies in [lo, hi].
    static std::uint64_t in_range(std::uint64_t w, unsigned lo, unsigned hi) noexcept {
        return (w + (HIGH - lo * ONES)) & ~(w + (HIGH - (hi + 1) * ONES)) & HIGH;
    }
    // Shifts each lane's high bit down to 0x20, the case bit of ASCII letters.
    static constexpr unsigned TO_CASE_BIT = 8 * sizeof(Unit) - 1 - 5;
};

// The ASCII letters an operation changes: uppercase ones for lowercasing and
// folding, lowercase ones for uppercasing.
enum class Letters { Upper, Lower };

template <typename Unit, Letters letters>
inline std::uint64_t changed_letters(std::uint64_t w) noexcept {
    return letters == Letters::Lower ? Lanes<Unit>::in_range(w, 'a', 'z') : Lanes<Unit>::in_range(w, 'A', 'Z');
}

// Index of the first code point from i that the change bit says may change;
// the text's size when there is none.
template <typename Unit, Letters letters>
std::size_t first_change(text::Fixed<Unit> t, std::size_t i, std::uint16_t change) noexcept {
    using L = Lanes<Unit>;
    const Unit* p = t.data;
    const std::size_t n = t.size;
    const std::uint16_t mask = std::uint16_t(change << data::CASE_CHANGE_SHIFT);
    while (i + L::COUNT <= n) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        if (!(w & L::NOT_ASCII)) {
            // ASCII: only its letters change (I and i included for the Turkic forms)
            if (changed_letters<Unit, letters>(w)) break;
            i += L::COUNT;
            continue;
        }
        if (i + 4 > n) break;
        if ((entry_of<Unit>(p[i]) | entry_of<Unit>(p[i + 1]) | entry_of<Unit>(p[i + 2]) | entry_of<Unit>(p[i + 3])) &
            mask)
            break;
        i += 4;
    }
    for (; i < n; ++i)
        if (entry_of<Unit>(p[i]) & mask) return i;
    return n;
}

// Room for `count` units now and one per code point after position i.
template <typename Out>
inline void put_expansion(text::UnitWriter<Out>& out, std::u32string_view cps, std::size_t i, std::size_t n) {
    out.ensure(cps.size() + (n - i - 1));
    for (char32_t c : cps) out.put_unchecked(c);
}

// The one-pass mappings: copies the unchanged prefix in bulk, then maps the
// rest four code points at a time. Every record holds the difference that the
// operation's one-to-one mapping makes (0 where there is none), so a group
// without an irregular code point (irregular(c, record): an expansion, final
// sigma, a Turkic letter) is written without a branch per code point, whose
// outcome on real text no predictor could guess. An irregular code point goes
// to special(i, c, record), which writes its mapping and returns the index of
// the last code point it consumed. With `ascii_in_bulk`, runs of ASCII go
// eight bytes (or four or two units) at a time, flipping the case bit of
// `letters`.
template <Letters letters, bool ascii_in_bulk, typename Unit, typename Out, typename Delta, typename Irregular,
          typename Special>
bool map_units(text::Fixed<Unit> t, std::uint16_t change, text::UnitWriter<Out>& out, Delta delta,
               Irregular irregular, Special special) {
    using L = Lanes<Unit>;
    const Unit* p = t.data;
    const std::size_t n = t.size;
    std::size_t i = first_change<Unit, letters>(t, 0, change);
    if (i == n) return false;
    out.start(n);
    out.copy(p, i);
    Out* d = out.cursor();
    char32_t bits = 0;
    // the code points from i to end, one by one
    const auto one_by_one = [&](std::size_t end) {
        while (i < end) {
            const char32_t c = p[i];
            const data::CaseRecord& r = data::record_of_entry(entry_of<Unit>(c));
            if (!irregular(c, r)) {
                const char32_t mapped = shifted(c, delta(r));
                *d++ = static_cast<Out>(mapped);
                bits |= mapped;
                ++i;
                continue;
            }
            out.advance(d, bits);
            bits = 0;
            i = special(i, c, r) + 1;
            d = out.cursor();
        }
    };
    while (i + 4 <= n) {
        if (ascii_in_bulk && i + L::COUNT <= n) {
            std::uint64_t w;
            std::memcpy(&w, p + i, 8);
            if (!(w & L::NOT_ASCII)) {
                // ASCII adds nothing to the bits that choose the result's form
                const std::uint64_t hits = changed_letters<Unit, letters>(w);
                if constexpr (std::is_same_v<Unit, Out>) {
                    w ^= hits >> L::TO_CASE_BIT;
                    std::memcpy(d, &w, 8);
                } else {
                    for (std::size_t k = 0; k < L::COUNT; ++k)
                        d[k] = static_cast<Out>(p[i + k] ^ ((hits >> (8 * sizeof(Unit) * k + L::TO_CASE_BIT)) & 0x20));
                }
                d += L::COUNT;
                i += L::COUNT;
                continue;
            }
        }
        const char32_t c0 = p[i], c1 = p[i + 1], c2 = p[i + 2], c3 = p[i + 3];
        const data::CaseRecord& r0 = data::record_of_entry(entry_of<Unit>(c0));
        const data::CaseRecord& r1 = data::record_of_entry(entry_of<Unit>(c1));
        const data::CaseRecord& r2 = data::record_of_entry(entry_of<Unit>(c2));
        const data::CaseRecord& r3 = data::record_of_entry(entry_of<Unit>(c3));
        // One test for the four, without a branch for each.
        if (unsigned(irregular(c0, r0)) | unsigned(irregular(c1, r1)) | unsigned(irregular(c2, r2)) |
            unsigned(irregular(c3, r3))) {
            one_by_one(i + 4);
            continue;
        }
        const char32_t m0 = shifted(c0, delta(r0)), m1 = shifted(c1, delta(r1)), m2 = shifted(c2, delta(r2)),
                       m3 = shifted(c3, delta(r3));
        d[0] = static_cast<Out>(m0);
        d[1] = static_cast<Out>(m1);
        d[2] = static_cast<Out>(m2);
        d[3] = static_cast<Out>(m3);
        bits |= m0 | m1 | m2 | m3;
        d += 4;
        i += 4;
    }
    one_by_one(n);
    out.advance(d, bits);
    return true;
}

}  // namespace

template <typename Unit, typename Out>
bool to_lowercase(text::Fixed<Unit> t, std::optional<std::string_view> locale, text::UnitWriter<Out>& out) {
    const Unit* p = t.data;
    const std::size_t n = t.size;
    const auto delta = [](const data::CaseRecord& r) { return r.lower_delta; };
    // Final_Sigma, with this library's cased and case-ignorable stand-ins
    const auto sigma = [&](std::size_t i) {
        out.put(is_final_sigma(t, i) ? char32_t(0x03C2) : char32_t(0x03C3));
        return i;
    };
    if (!is_turkic(locale))
        return map_units<Letters::Upper, true>(
            t, ch::LOWER, out, delta,
            [](char32_t c, const data::CaseRecord&) { return (c == CAPITAL_SIGMA) | (c == CAPITAL_I_WITH_DOT); },
            [&](std::size_t i, char32_t c, const data::CaseRecord&) {
                if (c == CAPITAL_SIGMA) return sigma(i);
                put_expansion(out, U"i\u0307", i, n);
                return i;
            });
    // the simple lowercase of U+0130 is the Turkic i
    return map_units<Letters::Upper, false>(
        t, ch::LOWER, out, delta, [](char32_t c, const data::CaseRecord&) { return (c == CAPITAL_SIGMA) | (c == 'I'); },
        [&](std::size_t i, char32_t c, const data::CaseRecord&) {
            if (c == CAPITAL_SIGMA) return sigma(i);
            // I. After_I and Not_Before_Dot look at the neighbouring code point only,
            // not past other marks: I U+0307 becomes i, the dot absorbed.
            const bool dot_follows = i + 1 < n && p[i + 1] == COMBINING_DOT_ABOVE;
            out.put(dot_follows ? char32_t('i') : DOTLESS_I);
            return dot_follows ? i + 1 : i;
        });
}

template <typename Unit, typename Out>
bool to_uppercase(text::Fixed<Unit> t, std::optional<std::string_view> locale, text::UnitWriter<Out>& out) {
    const std::size_t n = t.size;
    // Conditional special casings are not applied: U+0307 always stays.
    const auto delta = [](const data::CaseRecord& r) { return r.upper_delta; };
    const auto special = [&](std::size_t i, char32_t c, const data::CaseRecord& r) {
        if (c == 'i')
            out.put(CAPITAL_I_WITH_DOT);  // Turkic
        else
            put_expansion(out, data::special_uppercase(r), i, n);
        return i;
    };
    if (!is_turkic(locale))
        return map_units<Letters::Lower, true>(
            t, ch::UPPER, out, delta,
            [](char32_t, const data::CaseRecord& r) { return bool(r.flags & cf::HAS_SPECIAL_UPPER); }, special);
    return map_units<Letters::Lower, false>(
        t, ch::UPPER, out, delta,
        [](char32_t c, const data::CaseRecord& r) { return (c == 'i') | bool(r.flags & cf::HAS_SPECIAL_UPPER); },
        special);
}

template <typename Unit, typename Out>
bool to_titlecase(text::Fixed<Unit> t, text::UnitWriter<Out>& out) {
    const Unit* p = t.data;
    const std::size_t n = t.size;
    bool at_word_start = true;
    bool writing = false;
    Out* d = nullptr;
    char32_t bits = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const char32_t c = p[i];
        char32_t mapped = c;
        std::u32string_view expansion;
        if (c < 0x80) {
            if (c == ' ' || c - '\t' < 5u) {
                at_word_start = true;
            } else if ((c | 0x20) - 'a' < 26u) {
                mapped = at_word_start ? (c & ~0x20u) : (c | 0x20);
                at_word_start = false;
            }
        } else {
            const std::uint16_t entry = entry_of<Unit>(c);
            // neither cased, nor special, nor White_Space: passed through, state kept
            if (entry >> data::CASE_CHANGE_SHIFT & ch::TITLE) {
                const data::CaseRecord& r = data::record_of_entry(entry);
                if (r.flags & cf::WHITE_SPACE) {
                    at_word_start = true;
                } else if (at_word_start) {
                    if (r.flags & cf::HAS_SPECIAL_TITLE)
                        expansion = data::special_titlecase(r);
                    else if (r.flags & cf::HAS_TITLE)
                        mapped = shifted(c, r.title_delta);
                    else if (r.flags & cf::HAS_UPPER)
                        mapped = shifted(c, r.upper_delta);
                    at_word_start = false;
                } else if (c == CAPITAL_SIGMA) {
                    // inside a word a capital sigma takes the Final_Sigma rule of lowercasing
                    mapped = is_final_sigma(t, i) ? char32_t(0x03C2) : char32_t(0x03C3);
                } else if (r.flags & cf::HAS_LOWER) {
                    // inside a word: one-to-one lowercase only
                    mapped = shifted(c, r.lower_delta);
                }
            }
        }
        if (!writing) {
            if (mapped == c && expansion.empty()) continue;
            writing = true;
            out.start(n);
            out.copy(p, i);
            d = out.cursor();
        }
        if (expansion.empty()) {
            *d++ = static_cast<Out>(mapped);
            bits |= mapped;
        } else {
            out.advance(d, bits);
            bits = 0;
            put_expansion(out, expansion, i, n);
            d = out.cursor();
        }
    }
    if (writing) out.advance(d, bits);
    return writing;
}

namespace {

template <bool Full, typename Unit, typename Out>
bool fold(text::Fixed<Unit> t, text::UnitWriter<Out>& out) {
    const std::size_t n = t.size;
    return map_units<Letters::Upper, true>(
        t, Full ? ch::FOLD : ch::SIMPLE_FOLD, out, [](const data::CaseRecord& r) { return r.fold_delta; },
        [](char32_t, const data::CaseRecord& r) { return Full && (r.flags & cf::HAS_FULL_FOLD); },
        [&](std::size_t i, char32_t, const data::CaseRecord& r) {
            put_expansion(out, data::full_case_folding(r), i, n);
            return i;
        });
}

}  // namespace

template <typename Unit, typename Out>
bool case_fold(text::Fixed<Unit> t, text::UnitWriter<Out>& out) {
    return fold<true>(t, out);
}

template <typename Unit, typename Out>
bool case_fold_simple(text::Fixed<Unit> t, text::UnitWriter<Out>& out) {
    return fold<false>(t, out);
}

// Each text form with its own units and every wider one (the binding writes
// into wider units when a code point needs them).
#define SCRIVLET_CASEMAP_FORMS(Unit, Out)                                                                 \
    template bool to_lowercase(text::Fixed<Unit>, std::optional<std::string_view>, text::UnitWriter<Out>&); \
    template bool to_uppercase(text::Fixed<Unit>, std::optional<std::string_view>, text::UnitWriter<Out>&); \
    template bool to_titlecase(text::Fixed<Unit>, text::UnitWriter<Out>&);                                \
    template bool case_fold(text::Fixed<Unit>, text::UnitWriter<Out>&);                                   \
    template bool case_fold_simple(text::Fixed<Unit>, text::UnitWriter<Out>&);

SCRIVLET_CASEMAP_FORMS(std::uint8_t, std::uint8_t)
SCRIVLET_CASEMAP_FORMS(std::uint8_t, char16_t)
SCRIVLET_CASEMAP_FORMS(std::uint8_t, char32_t)
SCRIVLET_CASEMAP_FORMS(char16_t, char16_t)
SCRIVLET_CASEMAP_FORMS(char16_t, char32_t)
SCRIVLET_CASEMAP_FORMS(char32_t, char32_t)
#undef SCRIVLET_CASEMAP_FORMS

}  // namespace scrivlet::casemap
