#include "grapheme.h"

#include "../utf8.h"
#include "cluster_walk.h"
#include "offsets.h"

namespace scrivlet::segment {

using data::GraphemeBreakClass;
using G = GraphemeBreakClass;
using walk::class_of;
using walk::Pair;
using walk::PAIRS;

namespace {

template <typename Units>
void cluster_starts(const Units u, OffsetSink& sink) {
    std::uint64_t buffer[OffsetBatch::CAPACITY];
    OffsetBatch out(sink, buffer);
    if constexpr (Units::fixed) {
        std::uint64_t offset = 0;
        walk::scan_clusters(u, 0, u.size(), [&](std::size_t, char32_t cp, bool start) {
            out.put_if(offset, start);
            offset += utf8_length(cp);
            return true;
        });
    } else {
        walk::scan_clusters(u, 0, u.size(), [&](std::size_t pos, char32_t, bool start) {
            out.put_if(pos, start);
            return true;
        });
    }
    out.flush();
}

// No Latin-1 character extends a cluster: every code point starts one but an
// LF after a CR (GB3).
void cluster_starts(text::Latin1 text, OffsetSink& sink) {
    std::uint64_t buffer[OffsetBatch::CAPACITY];
    OffsetBatch out(sink, buffer);
    const std::uint8_t* p = text.data;
    std::uint64_t offset = 0;
    for (std::size_t i = 0; i < text.size; ++i) {
        out.put_if(offset, !(p[i] == '\n' && i > 0 && p[i - 1] == '\r'));
        offset += 1 + (p[i] >= 0x80);
    }
    out.flush();
}

constexpr walk::ClassTables CLASS_TABLES = walk::build_class_tables();

constexpr bool latin1_clusters_are_code_points() {
    for (char32_t c = 0; c < 0x100; ++c) {
        const G g = CLASS_TABLES.planes01[c];
        if (g != G::Any && g != G::CR && g != G::LF && g != G::Control && g != G::ExtPict) return false;
    }
    return true;
}
static_assert(latin1_clusters_are_code_points());

}  // namespace

namespace walk {
constinit const ClassTables CLASS_TABLES = segment::CLASS_TABLES;
}  // namespace walk

void grapheme_cluster_starts(std::string_view text, OffsetSink& sink) { cluster_starts(units(text), sink); }

template <typename Unit>
void grapheme_cluster_starts(text::Fixed<Unit> text, OffsetSink& sink) {
    if constexpr (sizeof(Unit) == 1)
        cluster_starts(text, sink);
    else
        cluster_starts(units(text), sink);
}

template void grapheme_cluster_starts(text::Latin1, OffsetSink&);
template void grapheme_cluster_starts(text::Ucs2, OffsetSink&);
template void grapheme_cluster_starts(text::Ucs4, OffsetSink&);

std::vector<std::uint64_t> grapheme_cluster_starts(std::string_view text) {
    VectorSink sink;
    grapheme_cluster_starts(text, sink);
    return std::move(sink.out);
}

template <typename Unit>
std::vector<std::uint64_t> grapheme_cluster_starts(text::Fixed<Unit> text) {
    VectorSink sink;
    grapheme_cluster_starts(text, sink);
    return std::move(sink.out);
}

template std::vector<std::uint64_t> grapheme_cluster_starts(text::Latin1);
template std::vector<std::uint64_t> grapheme_cluster_starts(text::Ucs2);
template std::vector<std::uint64_t> grapheme_cluster_starts(text::Ucs4);

void mark_cluster_starts(std::string_view text, std::uint8_t* flags) noexcept {
    walk::scan_clusters(units(text), 0, text.size(), [&](std::size_t pos, char32_t, bool start) {
        flags[pos] |= start;
        return true;
    });
}

std::optional<bool> local_cluster_start(std::string_view text, std::size_t p) noexcept {
    std::size_t len;
    const char32_t cp = utf8::decode(text, p, len);
    const std::size_t x = utf8::floor_to_code_point(text, p - 1);
    const char32_t x_cp = utf8::decode(text, x, len);
    char32_t y_cp = 0;
    if (x > 0) y_cp = utf8::decode(text, utf8::floor_to_code_point(text, x - 1), len);
    return walk::cluster_starts_at(x > 0 ? &y_cp : nullptr, x_cp, cp);
}

}  // namespace scrivlet::segment
