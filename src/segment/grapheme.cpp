#include "grapheme.h"

#include <array>
#include <type_traits>

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

void cluster_starts(const Utf8Units u, OffsetSink& sink) {
    std::uint64_t buffer[OffsetBatch::CAPACITY];
    OffsetBatch out(sink, buffer);
    walk::scan_clusters(u, 0, u.size(), [&](std::size_t pos, char32_t, bool start) {
        out.put_if(pos, start);
        return true;
    });
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

// What the whole-text scan of the fixed-width forms reads of a code point of
// planes 0 and 1, side by side: its class and the length of its UTF-8 form,
// two loads from one cache line and nothing to unpack.
struct ClassLength {
    std::uint8_t cls, length;
};
struct ClassLengths {
    std::array<ClassLength, 0x20000> at{};
};
constexpr ClassLengths build_class_lengths() {
    ClassLengths t{};
    for (char32_t c = 0; c < 0x20000; ++c)
        t.at[c] = {std::uint8_t(CLASS_TABLES.planes01[c]), std::uint8_t(text::utf8_length(c))};
    return t;
}
constinit const ClassLengths CLASS_LENGTHS = build_class_lengths();

[[gnu::noinline]] unsigned class_beyond_plane_1(char32_t cp) noexcept {
    return unsigned(data::grapheme_break_class(cp));
}

// The rules over UCS-2 or UCS-4 units, with the scan's state as one index
// into the table of class triples: the rows of the two code points before,
// which a shift and a mask move on by one. Offsets are stored without a
// check per code point, the batch handed on after each block of code points.
template <typename Unit>
void fixed_cluster_starts(const Unit* p, std::size_t n, OffsetSink& sink) {
    constexpr std::size_t BLOCK = 64;
    using Batch = BasicOffsetBatch<BLOCK>;
    std::uint64_t buffer[Batch::CAPACITY];
    Batch out(sink, buffer);
    constexpr unsigned SIDE = walk::triple::SIDE;
    constexpr unsigned STATE_MASK = SIDE * SIDE - 1;
    unsigned state = walk::triple::NOTHING * SIDE + walk::triple::START;  // (before, prev)
    bool pair_closed = false;
    std::uint64_t offset = 0;
    // beyond_plane_1: whether the code point may lie beyond plane 1.
    const auto step = [&](std::size_t i, auto beyond_plane_1) {
        const char32_t cp = p[i];
        unsigned cls, length;
        if (beyond_plane_1 && sizeof(Unit) == 4 && cp >= 0x20000) [[unlikely]] {
            cls = class_beyond_plane_1(cp);
            length = 4;
        } else {
            cls = CLASS_LENGTHS.at[cp].cls;
            length = CLASS_LENGTHS.at[cp].length;
        }
        const unsigned at = state * SIDE + cls;
        unsigned e = walk::triple::TABLE.at[at];
        if (e & walk::triple::OPEN) [[unlikely]]
            e = walk::triple::settle(at / (SIDE * SIDE), at / SIDE % SIDE, p[i - 1], pair_closed);
        else if (e > walk::triple::STARTS)
            __builtin_unreachable();  // a settled entry is STARTS or nothing
        out.put_if(offset, e);
        offset += length;
        state = at & STATE_MASK;
    };
    constexpr std::true_type MAYBE;
    constexpr std::false_type BELOW;
    std::size_t i = 0;
    for (; n - i >= BLOCK; i += BLOCK) {
        // A block of planes 0 and 1 only (all but the rarest text) takes no
        // test per code point: the OR of its units tells.
        std::uint32_t all = 0;
        if constexpr (sizeof(Unit) == 4)
            for (std::size_t k = 0; k < BLOCK; ++k) all |= p[i + k];
        if (all < 0x20000)
            for (std::size_t k = 0; k < BLOCK; ++k) step(i + k, BELOW);
        else
            for (std::size_t k = 0; k < BLOCK; ++k) step(i + k, MAYBE);
        out.block();
    }
    for (; i < n; ++i) step(i, MAYBE);
    out.flush();
}

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
        fixed_cluster_starts(text.data, text.size, sink);
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
