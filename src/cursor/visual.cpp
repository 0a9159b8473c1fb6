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

// The clusters as spans: span k runs from starts[k] to starts[k + 1] (the
// last entry is the text length) at levels[k]. An even span runs left to
// right: its left edge is its start; an odd one's left edge is its end.
struct ClusterSpans {
    std::vector<std::uint64_t> starts;
    std::vector<std::uint8_t> levels;

    std::size_t size() const { return levels.size(); }
    std::uint64_t start(std::size_t k) const { return starts[k]; }
    std::uint64_t end(std::size_t k) const { return starts[k + 1]; }
    std::uint64_t left_edge(std::size_t k) const { return (levels[k] & 1) ? end(k) : start(k); }
    std::uint64_t right_edge(std::size_t k) const { return (levels[k] & 1) ? start(k) : end(k); }
};

ClusterSpans cluster_spans(std::string_view text) {
    const bidi::BidiResult bidi = bidi::resolve_bidi_levels(text);
    ClusterSpans spans;
    std::vector<std::uint64_t>& bounds = spans.starts;
    bounds = segment::grapheme_cluster_starts(text);
    if (bounds.empty() || bounds.front() != 0) bounds.insert(bounds.begin(), 0);
    if (bounds.back() != text.size()) bounds.push_back(text.size());
    // Boundaries are ascending; drop repeats so that every span is non-empty.
    bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());

    spans.levels.resize(bounds.size() - 1);
    // Code point index of each boundary, counted along the ascending offsets.
    std::size_t byte = 0, index = 0;
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t k = 0; k + 1 < bounds.size(); ++k) {
        for (; byte < bounds[k]; ++byte)
            if (!utf8::is_continuation(s[byte])) ++index;
        std::uint8_t level = bidi.paragraph_level;
        if (index < bidi.levels.size() && bidi.levels[index] != bidi::REMOVED_LEVEL)
            level = bidi.levels[index];
        spans.levels[k] = level;
    }
    return spans;
}

// visual_cluster_order: L2 over whole clusters.
std::vector<std::uint32_t> visual_cluster_order(const ClusterSpans& spans) {
    std::vector<std::uint32_t> order(spans.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = std::uint32_t(i);
    bidi::reorder_by_levels(spans.levels.data(), spans.size(), order.data());
    return order;
}

std::vector<std::uint64_t> visual_caret_stops(const ClusterSpans& spans,
                                              const std::vector<std::uint32_t>& order) {
    std::vector<std::uint64_t> stops;
    stops.reserve(spans.size() + 2);
    stops.push_back(spans.left_edge(order[0]));
    for (std::size_t v = 0; v < order.size(); ++v) {
        const std::size_t k = order[v];
        const std::uint64_t r = spans.right_edge(k);
        if (r != stops.back()) stops.push_back(r);
        if (v + 1 == order.size()) break;
        const std::size_t next = order[v + 1];
        const std::uint64_t q = spans.left_edge(next);
        // A change of direction: the caret stands at both edges, and the
        // deeper side's edge is a stop of its own.
        if (r != q && spans.levels[next] > spans.levels[k]) stops.push_back(q);
    }
    return stops;
}

std::size_t locate_caret(const ClusterSpans& spans, const std::vector<std::uint64_t>& stops,
                         std::uint64_t current) {
    // One pass: the occurrences of current, and the first stop at least current.
    std::size_t first = stops.size(), last = stops.size(), count = 0, at_least = stops.size();
    for (std::size_t i = 0; i < stops.size(); ++i) {
        if (stops[i] < current) continue;
        if (at_least == stops.size()) at_least = i;
        if (stops[i] != current) continue;
        if (count++ == 0) first = i;
        last = i;
    }
    if (count == 1) return first;
    if (count > 1) {
        // d: the last span (logical order) ending at or before current;
        // f: the span starting at current.
        const auto& starts = spans.starts;
        // Spans ending at or before current: those whose end (starts[k + 1]) <= current.
        const std::size_t ended =
            std::size_t(std::upper_bound(starts.begin() + 1, starts.end(), current) - (starts.begin() + 1));
        const unsigned d = ended == 0 ? 0 : spans.levels[ended - 1];
        auto at = std::lower_bound(starts.begin(), starts.end() - 1, current);
        const unsigned f =
            (at != starts.end() - 1 && *at == current) ? spans.levels[std::size_t(at - starts.begin())] : 0;
        return d <= f ? first : last;
    }
    return at_least < stops.size() ? at_least : stops.size() - 1;
}

struct Located {
    std::vector<std::uint64_t> stops;
    std::size_t index;
};

Located locate(std::string_view text, std::uint64_t current) {
    const ClusterSpans spans = cluster_spans(text);
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
