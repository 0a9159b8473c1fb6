#include "mod.h"

#include <array>
#include <cstring>

#include "../data/grapheme_break.h"
#include "../data/line_break.h"
#include "../segment/cluster_walk.h"
#include "../utf8.h"

namespace scrivlet::truncate {

namespace {

using G = data::GraphemeBreakClass;

constexpr bool is_zero_width_class(G c) {
    return c == G::Extend || c == G::ZWJ || c == G::SpacingMark || c == G::Linker;
}

// The width rules in order, for the planes above the table below, which is
// built from the same data.
std::uint8_t width_by_rules(char32_t cp) noexcept {
    if (cp == 0x08 || cp == 0x0A || cp == 0x0D) return 0;  // backspace, LF, CR
    // Marks and joiners add nothing, even inside the wide blocks. The emoji set
    // never overlaps the range table, so the table alone decides these classes.
    if (is_zero_width_class(data::range_lookup(data::GRAPHEME_BREAK_RANGES, cp, G::Any))) return 0;
    if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) return 0;  // C0 and C1 controls
    if (data::is_east_asian_wide(cp)) return 2;
    return 1;
}

// Two bits per code point of planes 0 and 1, four to a byte.
constexpr std::uint32_t TABLE_END = 0x20000;

constexpr std::array<std::uint8_t, TABLE_END / 4> build_widths() {
    std::array<std::uint8_t, TABLE_END> w{};
    for (auto& v : w) v = 1;
    for (const auto& r : data::WIDE_RANGES)
        for (std::uint32_t cp = r.first; cp <= r.last && cp < TABLE_END; ++cp) w[cp] = 2;
    for (std::uint32_t cp = 0; cp < 0x20; ++cp) w[cp] = 0;
    for (std::uint32_t cp = 0x7F; cp <= 0x9F; ++cp) w[cp] = 0;
    for (const auto& r : data::GRAPHEME_BREAK_RANGES)
        if (is_zero_width_class(r.value))
            for (std::uint32_t cp = r.first; cp <= r.last && cp < TABLE_END; ++cp) w[cp] = 0;
    std::array<std::uint8_t, TABLE_END / 4> packed{};
    for (std::uint32_t cp = 0; cp < TABLE_END; ++cp)
        packed[cp >> 2] = static_cast<std::uint8_t>(packed[cp >> 2] | (w[cp] << ((cp & 3) * 2)));
    return packed;
}

constexpr std::array<std::uint8_t, TABLE_END / 4> WIDTHS = build_widths();

inline std::uint8_t width_of(char32_t cp) noexcept {
    if (cp < TABLE_END) return (WIDTHS[cp >> 2] >> ((cp & 3) * 2)) & 3;
    return width_by_rules(cp);
}

constexpr bool is_printable_ascii(unsigned char b) { return b >= 0x20 && b < 0x7F; }

// Printable bytes among eight ASCII bytes: a byte b counts when b + 0x60 reaches
// 0x80 (b >= 0x20) and b + 1 does not (b != 0x7F); no sum carries into the next byte.
inline unsigned printable_in_word(std::uint64_t w) {
    constexpr std::uint64_t ones = 0x0101010101010101ULL;
    const std::uint64_t hits = (w + 0x60 * ones) & ~(w + ones) & (0x80 * ones);
    return static_cast<unsigned>(((hits >> 7) * ones) >> 56);  // sum of the byte flags
}

}  // namespace

std::uint8_t code_point_width(char32_t cp) noexcept { return width_of(cp); }

std::uint64_t text_width(std::string_view text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::uint64_t total = 0;
    std::size_t pos = 0;
    while (pos < n) {
        // Eight ASCII bytes at a time.
        while (pos + 8 <= n) {
            std::uint64_t w;
            std::memcpy(&w, s + pos, 8);
            if (w & 0x8080808080808080ULL) break;
            total += printable_in_word(w);
            pos += 8;
        }
        if (pos >= n) break;
        const unsigned char b = s[pos];
        if (b < 0x80) {
            total += is_printable_ascii(b);
            ++pos;
            continue;
        }
        std::size_t len;
        total += width_of(utf8::decode(text, pos, len));
        pos += len;
    }
    return total;
}

template <typename Unit>
std::uint64_t text_width(text::Fixed<Unit> text) noexcept {
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < text.size; ++i) {
        const char32_t c = text.data[i];
        total += c < 0x80 ? is_printable_ascii(static_cast<unsigned char>(c)) : width_of(c);
    }
    return total;
}

template std::uint64_t text_width(text::Latin1) noexcept;
template std::uint64_t text_width(text::Ucs2) noexcept;
template std::uint64_t text_width(text::Ucs4) noexcept;

std::string_view truncate_to_clusters(std::string_view text, std::uint64_t max_graphemes) {
    const std::size_t n = text.size();
    if (n == 0 || max_graphemes == 0) return {};
    if (max_graphemes >= n) return text;  // a cluster takes at least one byte
    // Printable ASCII followed by printable ASCII is a cluster of its own.
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t m = static_cast<std::size_t>(max_graphemes);
    std::size_t k = 0;
    while (k <= m && is_printable_ascii(s[k])) ++k;
    if (k > m) return text.substr(0, m);
    // The last byte of that prefix starts a cluster whatever follows it.
    const std::size_t from = k > 1 ? k - 1 : 0;
    std::uint64_t count = from;
    std::size_t kept = n;
    segment::walk::for_each_cluster(text.substr(from), [&](std::size_t, std::size_t e) {
        if (++count < max_graphemes) return true;
        kept = from + e;
        return false;
    });
    return text.substr(0, kept);
}

std::string_view truncate_to_width(std::string_view text, std::uint32_t max_width) {
    const std::size_t n = text.size();
    if (n == 0 || max_width == 0) return {};
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    // Printable ASCII: one cell and one cluster per byte while the next byte is too.
    std::size_t k = 0;
    while (k < n && k <= max_width && is_printable_ascii(s[k])) ++k;
    if (k == n && n <= max_width) return text;
    if (k > max_width) return text.substr(0, max_width);
    // The total is 64 bits wide: a 32-bit sum would wrap on a long text and
    // keep clusters past the limit.
    const std::size_t from = k > 1 ? k - 1 : 0;
    const std::string_view rest = text.substr(from);
    std::uint64_t total = from;
    std::size_t kept = from;
    segment::walk::for_each_cluster(rest, [&](std::size_t b, std::size_t e) {
        total += e - b == 1 ? is_printable_ascii(static_cast<unsigned char>(rest[b]))
                            : text_width(rest.substr(b, e - b));
        if (total > max_width) return false;
        kept = from + e;
        return true;
    });
    return text.substr(0, kept);
}

}  // namespace scrivlet::truncate
