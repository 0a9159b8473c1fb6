#include "mod.h"

#include <array>

#include "../data/grapheme_break.h"
#include "../data/line_break.h"
#include "../segment/grapheme.h"
#include "../utf8.h"

namespace scrivlet::truncate {

namespace {

using G = data::GraphemeBreakClass;

constexpr bool is_zero_width_class(G c) {
    return c == G::Extend || c == G::ZWJ || c == G::SpacingMark || c == G::Linker;
}

// The width rules in order; the BMP table below is built from this same function's data.
std::uint8_t width_by_rules(char32_t cp) noexcept {
    if (cp == 0x08 || cp == 0x0A || cp == 0x0D) return 0;  // backspace, LF, CR
    // Marks and joiners add nothing, even inside the wide blocks. The emoji set
    // never overlaps the range table, so the table alone decides these classes.
    if (is_zero_width_class(data::range_lookup(data::GRAPHEME_BREAK_RANGES, cp, G::Any))) return 0;
    if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) return 0;  // C0 and C1 controls
    if (data::is_east_asian_wide(cp)) return 2;
    return 1;
}

// Two bits per BMP code point, four to a byte.
constexpr std::array<std::uint8_t, 0x4000> build_bmp_widths() {
    std::array<std::uint8_t, 0x10000> w{};
    for (auto& v : w) v = 1;
    for (const auto& r : data::WIDE_RANGES)
        for (std::uint32_t cp = r.first; cp <= r.last && cp < 0x10000; ++cp) w[cp] = 2;
    for (std::uint32_t cp = 0; cp < 0x20; ++cp) w[cp] = 0;
    for (std::uint32_t cp = 0x7F; cp <= 0x9F; ++cp) w[cp] = 0;
    for (const auto& r : data::GRAPHEME_BREAK_RANGES)
        if (is_zero_width_class(r.value))
            for (std::uint32_t cp = r.first; cp <= r.last && cp < 0x10000; ++cp) w[cp] = 0;
    std::array<std::uint8_t, 0x4000> packed{};
    for (std::uint32_t cp = 0; cp < 0x10000; ++cp)
        packed[cp >> 2] = static_cast<std::uint8_t>(packed[cp >> 2] | (w[cp] << ((cp & 3) * 2)));
    return packed;
}

constexpr std::array<std::uint8_t, 0x4000> BMP_WIDTHS = build_bmp_widths();

inline std::uint8_t width_of(char32_t cp) noexcept {
    if (cp < 0x10000) return (BMP_WIDTHS[cp >> 2] >> ((cp & 3) * 2)) & 3;
    return width_by_rules(cp);
}

constexpr bool is_printable_ascii(unsigned char b) { return b >= 0x20 && b < 0x7F; }

// Walks the clusters of text in order, calling f(start, end) for each until f
// returns false. Segments a growing prefix rather than the whole text, so a
// short result from a long text costs little: every cluster start found in a
// prefix is a start of the whole text, and only the prefix's last cluster may
// continue past it.
template <typename F>
void for_each_cluster(std::string_view text, std::size_t first_guess, F&& f) {
    const std::size_t n = text.size();
    std::size_t done = 0;  // clusters before this byte offset have been reported
    std::size_t end = first_guess < n ? first_guess : n;
    for (;;) {
        end = utf8::floor_to_code_point(text, end);
        const auto starts = segment::grapheme_cluster_starts(text.substr(0, end));
        const bool whole = end == n;
        for (std::size_t i = 0; i < starts.size(); ++i) {
            if (starts[i] < done) continue;
            std::size_t stop;
            if (i + 1 < starts.size())
                stop = starts[i + 1];
            else if (whole)
                stop = n;
            else
                break;  // may continue past the prefix
            if (!f(static_cast<std::size_t>(starts[i]), stop)) return;
            done = stop;
        }
        if (whole) return;
        end = end > n / 2 ? n : 2 * end;
    }
}

// A first prefix length that usually holds the answer: a few bytes per unit.
std::size_t guess_bytes(std::uint64_t units) {
    return units > (SIZE_MAX - 64) / 8 ? SIZE_MAX : static_cast<std::size_t>(units) * 4 + 64;
}

}  // namespace

std::uint8_t code_point_width(char32_t cp) noexcept { return width_of(cp); }

std::uint64_t text_width(std::string_view text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::uint64_t total = 0;
    std::size_t pos = 0;
    while (pos < n) {
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
    std::uint64_t count = 0;
    std::size_t kept = n;
    for_each_cluster(text, guess_bytes(max_graphemes), [&](std::size_t, std::size_t e) {
        if (++count < max_graphemes) return true;
        kept = e;
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
    std::uint64_t total = 0;
    std::size_t kept = 0;
    for_each_cluster(text, guess_bytes(max_width), [&](std::size_t b, std::size_t e) {
        total += text_width(text.substr(b, e - b));
        if (total > max_width) return false;
        kept = e;
        return true;
    });
    return text.substr(0, kept);
}

}  // namespace scrivlet::truncate
