#include "mod.h"

#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Every Latin-1 code point is one cell wide but the controls (U+0000 to U+001F
// and U+007F to U+009F), which take none.
constexpr bool latin1_cells_are_one_but_controls() {
    for (char32_t c = 0; c < 0x100; ++c) {
        const unsigned w = (WIDTHS[c >> 2] >> ((c & 3) * 2)) & 3;
        if (w != ((c < 0x20 || (c >= 0x7F && c <= 0x9F)) ? 0u : 1u)) return false;
    }
    return true;
}
constexpr bool LATIN1_CELLS_ARE_ONE_BUT_CONTROLS = latin1_cells_are_one_but_controls();

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
    const Unit* p = text.data;
    const std::size_t n = text.size;
    std::uint64_t total = 0;
    std::size_t i = 0;
    if constexpr (sizeof(Unit) == 1) {
        // Latin-1: one cell each but the C0 and C1 controls and DEL, counted
        // sixteen at a time where SSE2 is there.
        static_assert(LATIN1_CELLS_ARE_ONE_BUT_CONTROLS);
        total = n;
#if defined(__SSE2__)
        __m128i zero_width = _mm_setzero_si128();
        for (; i + 16 <= n; i += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            const __m128i c0 = _mm_cmpeq_epi8(_mm_subs_epu8(v, _mm_set1_epi8(0x1F)), _mm_setzero_si128());
            const __m128i d = _mm_sub_epi8(v, _mm_set1_epi8(0x7F));
            const __m128i c1 = _mm_cmpeq_epi8(_mm_subs_epu8(d, _mm_set1_epi8(0x20)), _mm_setzero_si128());
            zero_width = _mm_add_epi64(
                zero_width, _mm_sad_epu8(_mm_and_si128(_mm_or_si128(c0, c1), _mm_set1_epi8(1)), _mm_setzero_si128()));
        }
        total -= std::uint64_t(_mm_cvtsi128_si64(zero_width)) +
                 std::uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(zero_width, zero_width)));
#endif
        for (; i < n; ++i) total -= width_of(p[i]) == 0;
    } else {
        // The table holds ASCII too: no branch on the kind of code point.
        for (; i < n; ++i) {
            const char32_t c = p[i];
            total += sizeof(Unit) == 2 || c < TABLE_END ? (WIDTHS[c >> 2] >> ((c & 3) * 2)) & 3
                                                        : width_by_rules(c);
        }
    }
    return total;
}

template std::uint64_t text_width(text::Latin1) noexcept;
template std::uint64_t text_width(text::Ucs2) noexcept;
template std::uint64_t text_width(text::Ucs4) noexcept;

namespace {

// No Latin-1 character extends a cluster: every code point of a Latin-1 text
// is a cluster of its own, but for an LF after a CR (GB3). Checked at compile
// time where the class table is built (segment/grapheme.cpp).

std::size_t latin1_clusters_kept(const std::uint8_t* p, std::size_t n, std::uint64_t max) {
    std::size_t pos = 0;
    std::uint64_t count = 0;
    while (true) {
        const void* cr = std::memchr(p + pos, '\r', n - pos);
        const std::size_t stop = cr ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(cr) - p) : n;
        if (count + (stop - pos) >= max) return pos + static_cast<std::size_t>(max - count);
        count += stop - pos;
        pos = stop;
        if (pos == n) return n;
        pos += 1 + (pos + 1 < n && p[pos + 1] == '\n');  // CR, with its LF
        if (++count == max) return pos;
    }
}

// In Latin-1 the only cluster of two code points, CR LF, adds nothing, so the
// prefix ends before the first code point that would pass the limit.
std::size_t latin1_width_kept(const std::uint8_t* p, std::size_t n, std::uint32_t max) {
    std::uint64_t total = 0;
    std::size_t i = 0;
    constexpr std::size_t BLOCK = 32;
    for (; i + BLOCK <= n; i += BLOCK) {
        unsigned cells = 0;
        for (std::size_t k = 0; k < BLOCK; ++k) cells += width_of(p[i + k]);
        if (total + cells > max) break;
        total += cells;
    }
    for (; i < n; ++i) {
        total += width_of(p[i]);
        if (total > max) return i;
    }
    return n;
}

template <typename Units>
std::size_t clusters_kept(const Units& u, std::uint64_t max_graphemes) {
    const std::size_t n = u.size();
    if (n == 0 || max_graphemes == 0) return 0;
    if (max_graphemes >= n) return n;  // a cluster takes at least one unit
    // Printable ASCII followed by printable ASCII is a cluster of its own.
    const std::size_t m = static_cast<std::size_t>(max_graphemes);
    std::size_t k = 0;
    while (k <= m && segment::walk::is_printable_ascii(u.unit(k))) ++k;
    if (k > m) return m;
    // The last unit of that prefix starts a cluster whatever follows it.
    const std::size_t from = k > 1 ? k - 1 : 0;
    std::uint64_t count = from;
    std::size_t kept = n;
    segment::walk::for_each_cluster(u, from, [&](std::size_t, std::size_t e) {
        if (++count < max_graphemes) return true;
        kept = e;
        return false;
    });
    return kept;
}

template <typename Units>
std::size_t width_kept(const Units& u, std::uint32_t max_width) {
    const std::size_t n = u.size();
    if (n == 0 || max_width == 0) return 0;
    // Printable ASCII: one cell and one cluster per unit while the next unit is too.
    std::size_t k = 0;
    while (k < n && k <= max_width && segment::walk::is_printable_ascii(u.unit(k))) ++k;
    if (k == n && n <= max_width) return n;
    if (k > max_width) return max_width;
    // The total is 64 bits wide: a 32-bit sum would wrap on a long text and
    // keep clusters past the limit.
    const std::size_t from = k > 1 ? k - 1 : 0;
    std::uint64_t total = from;
    std::size_t kept = from;
    segment::walk::for_each_cluster(u, from, [&](std::size_t b, std::size_t e) {
        for (std::size_t pos = b; pos < e;) {
            std::size_t next;
            total += width_of(u.at(pos, next));
            pos = next;
        }
        if (total > max_width) return false;
        kept = e;
        return true;
    });
    return kept;
}

// UCS-2 and UCS-4: the scan of clusters, with runs of printable ASCII taken
// whole (every unit of one but the last is a cluster of its own, one cell
// wide, and the last starts one).
template <typename Unit>
std::size_t fixed_clusters_kept(const Unit* p, std::size_t n, std::uint64_t max_graphemes) {
    using segment::walk::is_printable_ascii;
    segment::walk::ClusterScan scan;
    std::uint64_t count = 0;  // clusters started before pos
    for (std::size_t pos = 0; pos < n; ++pos) {
        if (is_printable_ascii(p[pos]) && pos + 1 < n && is_printable_ascii(p[pos + 1]) &&
            !scan.after_prepend()) {
            const std::size_t last = segment::walk::printable_ascii_end(p, pos + 2, n) - 1;
            if (count + (last - pos) > max_graphemes) return pos + std::size_t(max_graphemes - count);
            count += last - pos;
            pos = last;
            scan.restart();
        }
        if (scan.starts(p[pos], segment::walk::class_of(p[pos]))) {
            if (count == max_graphemes) return pos;  // the end of the last cluster kept
            ++count;
        }
    }
    return n;
}

template <typename Unit>
std::size_t fixed_width_kept(const Unit* p, std::size_t n, std::uint32_t max_width) {
    using segment::walk::is_printable_ascii;
    segment::walk::ClusterScan scan;
    std::uint64_t total = 0;  // cells of the clusters before the one in progress
    std::uint64_t cluster = 0;  // cells of the one in progress
    std::size_t start = 0;      // where it started
    for (std::size_t pos = 0; pos < n; ++pos) {
        if (is_printable_ascii(p[pos]) && pos + 1 < n && is_printable_ascii(p[pos + 1]) &&
            !scan.after_prepend()) {
            // The cluster in progress ends here, and the run's clusters follow.
            if (total + cluster > max_width) return start;
            total += cluster;
            const std::size_t last = segment::walk::printable_ascii_end(p, pos + 2, n) - 1;
            if (total + (last - pos) > max_width) return pos + std::size_t(max_width - total);
            total += last - pos;
            pos = last;
            cluster = 0;
            start = pos;
            scan.restart();
        }
        const char32_t c = p[pos];
        if (scan.starts(c, segment::walk::class_of(c)) && pos > start) {
            if (total + cluster > max_width) return start;
            total += cluster;
            cluster = 0;
            start = pos;
        }
        cluster += width_of(c);
    }
    return total + cluster > max_width ? start : n;
}

}  // namespace

std::string_view truncate_to_clusters(std::string_view text, std::uint64_t max_graphemes) {
    return text.substr(0, clusters_kept(segment::units(text), max_graphemes));
}

std::string_view truncate_to_width(std::string_view text, std::uint32_t max_width) {
    return text.substr(0, width_kept(segment::units(text), max_width));
}

template <typename Unit>
std::size_t truncate_to_clusters(text::Fixed<Unit> text, std::uint64_t max_graphemes) {
    if constexpr (sizeof(Unit) == 1) {
        if (text.size == 0 || max_graphemes == 0) return 0;
        if (max_graphemes >= text.size) return text.size;
        return latin1_clusters_kept(text.data, text.size, max_graphemes);
    } else {
        if (text.size == 0 || max_graphemes == 0) return 0;
        if (max_graphemes >= text.size) return text.size;
        return fixed_clusters_kept(text.data, text.size, max_graphemes);
    }
}

template <typename Unit>
std::size_t truncate_to_width(text::Fixed<Unit> text, std::uint32_t max_width) {
    if constexpr (sizeof(Unit) == 1) {
        if (max_width == 0) return 0;
        return latin1_width_kept(text.data, text.size, max_width);
    } else {
        if (text.size == 0 || max_width == 0) return 0;
        return fixed_width_kept(text.data, text.size, max_width);
    }
}

template std::size_t truncate_to_clusters(text::Latin1, std::uint64_t);
template std::size_t truncate_to_clusters(text::Ucs2, std::uint64_t);
template std::size_t truncate_to_clusters(text::Ucs4, std::uint64_t);
template std::size_t truncate_to_width(text::Latin1, std::uint32_t);
template std::size_t truncate_to_width(text::Ucs2, std::uint32_t);
template std::size_t truncate_to_width(text::Ucs4, std::uint32_t);

}  // namespace scrivlet::truncate
