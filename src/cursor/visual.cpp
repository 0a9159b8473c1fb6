// Caret movement by grapheme cluster in visual order: the line is laid out by
// the bidi algorithm (one paragraph, level found automatically) and the caret
// walks the cluster edges from the visual left to the visual right.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "../bidi/mod.h"
#include "../bidi/reorder.h"
#include "../segment/grapheme.h"
#include "../utf8.h"
#include "mod.h"

namespace scrivlet::cursor {

namespace {

struct ClusterSpan {
    std::uint64_t start;
    std::uint64_t end;
    std::uint8_t level;
};

// An even span runs left to right: its left edge is its start.
std::uint64_t left_edge(const ClusterSpan& s) { return (s.level & 1) ? s.end : s.start; }
std::uint64_t right_edge(const ClusterSpan& s) { return (s.level & 1) ? s.start : s.end; }

struct Layout {
    std::vector<ClusterSpan> spans;  // logical order
    std::vector<std::uint64_t> stops;
};

std::vector<ClusterSpan> cluster_spans(std::string_view text) {
    const bidi::BidiResult bidi = bidi::resolve_bidi(text);
    std::vector<std::uint64_t> bounds = segment::grapheme_cluster_starts(text);
    if (bounds.empty() || bounds.front() != 0) bounds.insert(bounds.begin(), 0);
    if (bounds.back() != text.size()) bounds.push_back(text.size());

    std::vector<ClusterSpan> spans;
    spans.reserve(bounds.size());
    // Code point index of each boundary, counted along the ascending offsets.
    std::size_t byte = 0, index = 0;
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t k = 0; k + 1 < bounds.size(); ++k) {
        const std::uint64_t start = bounds[k], end = bounds[k + 1];
        if (start >= end) continue;
        for (; byte < start; ++byte)
            if (!utf8::is_continuation(s[byte])) ++index;
        std::uint8_t level = bidi.paragraph_level;
        if (index < bidi.levels.size() && bidi.levels[index] != bidi::REMOVED_LEVEL)
            level = bidi.levels[index];
        spans.push_back({start, end, level});
    }
    return spans;
}

// visual_cluster_order: L2 over whole clusters.
std::vector<std::size_t> visual_cluster_order(const std::vector<ClusterSpan>& spans) {
    std::vector<std::uint8_t> levels(spans.size());
    std::vector<std::size_t> order(spans.size());
    for (std::size_t i = 0; i < spans.size(); ++i) {
        levels[i] = spans[i].level;
        order[i] = i;
    }
    bidi::reorder_by_levels(levels.data(), levels.size(), order.data());
    return order;
}

std::vector<std::uint64_t> visual_caret_stops(const std::vector<ClusterSpan>& spans,
                                              const std::vector<std::size_t>& order) {
    std::vector<std::uint64_t> stops;
    stops.reserve(spans.size() + 2);
    stops.push_back(left_edge(spans[order[0]]));
    for (std::size_t v = 0; v < order.size(); ++v) {
        const ClusterSpan& span = spans[order[v]];
        const std::uint64_t r = right_edge(span);
        if (r != stops.back()) stops.push_back(r);
        if (v + 1 == order.size()) break;
        const ClusterSpan& next = spans[order[v + 1]];
        const std::uint64_t q = left_edge(next);
        // A change of direction: the caret stands at both edges, and the
        // deeper side's edge is a stop of its own.
        if (r != q && next.level > span.level) stops.push_back(q);
    }
    return stops;
}

std::size_t locate_caret(const std::vector<ClusterSpan>& spans,
                         const std::vector<std::uint64_t>& stops, std::uint64_t current) {
    std::size_t first = stops.size(), last = stops.size(), count = 0;
    for (std::size_t i = 0; i < stops.size(); ++i) {
        if (stops[i] != current) continue;
        if (count++ == 0) first = i;
        last = i;
    }
    if (count == 1) return first;
    if (count > 1) {
        // d: the last span (logical order) ending at or before current;
        // f: the span starting at current.
        auto after = std::upper_bound(spans.begin(), spans.end(), current,
                                      [](std::uint64_t x, const ClusterSpan& s) { return x < s.end; });
        const unsigned d = after == spans.begin() ? 0 : std::prev(after)->level;
        auto at = std::lower_bound(spans.begin(), spans.end(), current,
                                   [](const ClusterSpan& s, std::uint64_t x) { return s.start < x; });
        const unsigned f = (at != spans.end() && at->start == current) ? at->level : 0;
        return d <= f ? first : last;
    }
    for (std::size_t i = 0; i < stops.size(); ++i)
        if (stops[i] >= current) return i;
    return stops.size() - 1;
}

struct Located {
    std::vector<std::uint64_t> stops;
    std::size_t index;
};

Located locate(std::string_view text, std::uint64_t current) {
    const std::vector<ClusterSpan> spans = cluster_spans(text);
    std::vector<std::uint64_t> stops = visual_caret_stops(spans, visual_cluster_order(spans));
    const std::size_t index = locate_caret(spans, stops, current);
    return {std::move(stops), index};
}

}  // namespace

std::uint64_t move_left_visual(std::string_view text, std::uint64_t current) {
    if (text.empty()) return 0;
    const Located at = locate(text, current);
    return at.stops[at.index == 0 ? 0 : at.index - 1];
}

std::uint64_t move_right_visual(std::string_view text, std::uint64_t current) {
    if (text.empty()) return 0;
    const Located at = locate(text, current);
    return at.stops[std::min(at.index + 1, at.stops.size() - 1)];
}

}  // namespace scrivlet::cursor
