// The logical caret moves over a text in any form, shared by the visual
// moves: a caret is a UTF-8 byte offset, located among the units first.
#pragma once

#include <cstddef>
#include <cstdint>

#include "../segment/cluster_walk.h"
#include "../segment/units.h"
#include "../utf8.h"

namespace scrivlet::cursor {

// A byte offset located in a text: the position of the code point holding it
// (size() at or past the end) and that code point's own offset (the UTF-8
// size past the end).
struct Caret {
    std::size_t pos;
    std::uint64_t offset;

    // The offset of another position, counted from this one.
    template <typename Units>
    std::uint64_t offset_of(const Units& u, std::size_t p) const noexcept {
        return p >= pos ? offset + u.bytes(pos, p) : offset - u.bytes(p, pos);
    }
};

template <typename Units>
Caret locate(const Units& u, std::uint64_t current) noexcept {
    const std::size_t n = u.size();
    if constexpr (Units::fixed) {
        const segment::Located at = segment::locate_offset(u.text(), current);
        return {at.index, at.start};
    } else {
        if (current >= n) return {n, n};
        const std::size_t p = utf8::floor_to_code_point(u.view(), static_cast<std::size_t>(current));
        return {p, p};
    }
}

// The nearest certain cluster start at or before p (a code point boundary).
template <typename Units>
std::size_t certain_start_at_or_before(const Units& u, std::size_t p) noexcept {
    while (p > 0 && !segment::walk::certain_cluster_start(u, p)) p = u.previous(p);
    return p;
}

// The start of the cluster before the caret: of the one holding it when it
// falls inside a cluster.
template <typename Units>
std::uint64_t left(const Units& u, std::uint64_t current, const Caret& at) noexcept {
    const std::size_t n = u.size();
    if (n == 0 || current == 0) return 0;
    // The end of the code point holding byte current - 1: no cluster starts
    // between current and it.
    const std::size_t end = at.pos < n && current > at.offset ? u.next(at.pos) : at.pos;
    const std::size_t from = certain_start_at_or_before(u, u.previous(end));
    std::size_t last = from;
    segment::walk::scan_clusters(u, from, end, [&](std::size_t pos, char32_t, bool start) {
        if (start) last = pos;
        return true;
    });
    return at.offset_of(u, last);
}

template <typename Units>
std::uint64_t left(const Units& u, std::uint64_t current) noexcept {
    return left(u, current, locate(u, current));
}

// The cluster holding the code point at `at` (before the end of the text):
// its start and the next cluster start, or the end of the text.
struct Cluster {
    std::size_t start;
    std::size_t end;
};

template <typename Units>
Cluster cluster_holding(const Units& u, const Caret& at) noexcept {
    const std::size_t n = u.size();
    const std::size_t from = certain_start_at_or_before(u, at.pos);
    std::size_t to = u.next(at.pos);
    while (to < n && !segment::walk::certain_cluster_start(u, to)) to = u.next(to);
    Cluster c{from, to};
    segment::walk::scan_clusters(u, from, to, [&](std::size_t pos, char32_t, bool start) {
        if (!start) return true;
        if (pos <= at.pos) {
            c.start = pos;
            return true;
        }
        c.end = pos;
        return false;
    });
    return c;
}

// The first cluster start after the caret, or the end of the text.
template <typename Units>
std::uint64_t right(const Units& u, const Caret& at) noexcept {
    if (at.pos == u.size()) return at.offset;
    return at.offset_of(u, cluster_holding(u, at).end);
}

template <typename Units>
std::uint64_t right(const Units& u, std::uint64_t current) noexcept {
    return right(u, locate(u, current));
}

}  // namespace scrivlet::cursor
