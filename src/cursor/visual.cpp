// Caret movement by grapheme cluster in visual order: the line is laid out by
// the bidi algorithm (one paragraph, level found automatically) and the caret
// walks the cluster edges from the visual left to the visual right.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "../bidi/mod.h"
#include "../bidi/reorder.h"
#include "logical.h"
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

// A span's level is that of its first code point, the paragraph's for a
// removed one.
template <typename Text>
ClusterSpans cluster_spans(Text text) {
    const bidi::BidiLayout bidi = bidi::bidi_levels(text);
    const auto u = segment::units(text);
    ClusterSpans spans;
    // At most a cluster per code point: room for them all at once (the levels
    // of the code points take as much already).
    spans.starts.reserve(bidi.levels.size() + 1);
    spans.levels.reserve(bidi.levels.size());
    std::uint64_t offset = 0;  // of pos, in the fixed-width forms
    std::size_t index = 0;     // code points before pos
    segment::walk::scan_clusters(u, 0, u.size(), [&](std::size_t pos, char32_t cp, bool start) {
        if (start) {
            spans.starts.push_back(u.fixed ? offset : pos);
            const std::uint8_t level = bidi.levels[index];
            spans.levels.push_back(level == bidi::REMOVED_LEVEL ? bidi.paragraph_level : level);
        }
        offset += text::utf8_length(cp);
        ++index;
        return true;
    });
    spans.starts.push_back(u.fixed ? offset : u.size());
    return spans;
}

// The caret stops, visual left to right. L2 over whole clusters reverses a
// run of clusters of one level as a whole by every pass up to its level, so
// the runs are ordered by L2 over their levels and each is walked forwards
// when its level is even, backwards when it is odd.
std::vector<std::uint64_t> visual_caret_stops(const ClusterSpans& spans) {
    struct Run {
        std::uint32_t first, last;
    };
    std::vector<Run> runs;
    std::vector<std::uint8_t> run_levels;
    for (std::size_t k = 0; k < spans.size();) {
        std::size_t end = k + 1;
        while (end < spans.size() && spans.levels[end] == spans.levels[k]) ++end;
        runs.push_back({std::uint32_t(k), std::uint32_t(end - 1)});
        run_levels.push_back(spans.levels[k]);
        k = end;
    }
    std::vector<std::uint32_t> order(runs.size());
    for (std::size_t r = 0; r < order.size(); ++r) order[r] = std::uint32_t(r);
    bidi::reorder_by_levels(run_levels.data(), run_levels.size(), order.data());

    std::vector<std::uint64_t> stops;
    stops.reserve(spans.size() + 2);
    std::size_t previous = 0;  // the cluster before, visually
    std::uint64_t edge = 0;    // its right edge
    auto visit = [&](std::size_t k) {
        if (stops.empty()) {
            stops.push_back(spans.left_edge(k));
        } else {
            // A change of direction: the caret stands at both edges, and the
            // deeper side's edge is a stop of its own.
            const std::uint64_t q = spans.left_edge(k);
            if (edge != q && spans.levels[k] > spans.levels[previous]) stops.push_back(q);
        }
        edge = spans.right_edge(k);
        if (edge != stops.back()) stops.push_back(edge);
        previous = k;
    };
    for (std::uint32_t r : order) {
        const Run run = runs[r];
        if (run_levels[r] & 1)
            for (std::size_t k = run.last + std::size_t(1); k-- > run.first;) visit(k);
        else
            for (std::size_t k = run.first; k <= run.last; ++k) visit(k);
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

template <typename Text>
Located locate_stop(Text text, std::uint64_t current) {
    const ClusterSpans spans = cluster_spans(text);
    std::vector<std::uint64_t> stops = visual_caret_stops(spans);
    const std::size_t index = locate_caret(spans, stops, current);
    return {std::move(stops), index};
}

// Without reordering, the stops are the cluster boundaries in logical order,
// the end of the text included: a move to the left is the logical one, and
// so is a move to the right from a boundary, but from inside a cluster the
// caret stands at the cluster's end first, and moves on from there.
template <typename Units>
std::uint64_t right_in_logical_order(const Units& u, std::uint64_t current) {
    const std::size_t n = u.size();
    const Caret at = locate(u, current);
    if (at.pos == n) return at.offset;
    const Cluster here = cluster_holding(u, at);
    const Caret end{here.end, at.offset_of(u, here.end)};
    if (current == at.offset && here.start == at.pos) return end.offset;
    // From inside the cluster, on from its end: no second search for the caret.
    if (end.pos == n) return end.offset;
    return end.offset_of(u, cluster_holding(u, end).end);
}

template <typename Text>
std::uint64_t visual_left(Text text, std::uint64_t current, bool left_to_right) {
    const auto u = segment::units(text);
    if (u.size() == 0) return 0;
    if (left_to_right) return left(u, current);
    const Located at = locate_stop(text, current);
    return at.stops[at.index == 0 ? 0 : at.index - 1];
}

template <typename Text>
std::uint64_t visual_right(Text text, std::uint64_t current, bool left_to_right) {
    const auto u = segment::units(text);
    if (u.size() == 0) return 0;
    if (left_to_right) return right_in_logical_order(u, current);
    const Located at = locate_stop(text, current);
    return at.stops[std::min(at.index + 1, at.stops.size() - 1)];
}

}  // namespace

std::uint64_t move_left_visual(std::string_view text, std::uint64_t current) {
    return visual_left(text, current, bidi::stays_left_to_right(text));
}

std::uint64_t move_right_visual(std::string_view text, std::uint64_t current) {
    return visual_right(text, current, bidi::stays_left_to_right(text));
}

std::uint64_t move_left_visual(std::string_view text, std::uint64_t current, bool left_to_right) {
    return visual_left(text, current, left_to_right);
}

std::uint64_t move_right_visual(std::string_view text, std::uint64_t current, bool left_to_right) {
    return visual_right(text, current, left_to_right);
}

template <typename Unit>
std::uint64_t move_left_visual(text::Fixed<Unit> text, std::uint64_t current) {
    return visual_left(text, current, bidi::stays_left_to_right(text));
}

template <typename Unit>
std::uint64_t move_right_visual(text::Fixed<Unit> text, std::uint64_t current) {
    return visual_right(text, current, bidi::stays_left_to_right(text));
}

template <typename Unit>
std::uint64_t move_left_visual(text::Fixed<Unit> text, std::uint64_t current, bool left_to_right) {
    return visual_left(text, current, left_to_right);
}

template <typename Unit>
std::uint64_t move_right_visual(text::Fixed<Unit> text, std::uint64_t current, bool left_to_right) {
    return visual_right(text, current, left_to_right);
}

template std::uint64_t move_left_visual(text::Latin1, std::uint64_t);
template std::uint64_t move_left_visual(text::Ucs2, std::uint64_t);
template std::uint64_t move_left_visual(text::Ucs4, std::uint64_t);
template std::uint64_t move_right_visual(text::Latin1, std::uint64_t);
template std::uint64_t move_right_visual(text::Ucs2, std::uint64_t);
template std::uint64_t move_right_visual(text::Ucs4, std::uint64_t);
template std::uint64_t move_left_visual(text::Latin1, std::uint64_t, bool);
template std::uint64_t move_left_visual(text::Ucs2, std::uint64_t, bool);
template std::uint64_t move_left_visual(text::Ucs4, std::uint64_t, bool);
template std::uint64_t move_right_visual(text::Latin1, std::uint64_t, bool);
template std::uint64_t move_right_visual(text::Ucs2, std::uint64_t, bool);
template std::uint64_t move_right_visual(text::Ucs4, std::uint64_t, bool);

}  // namespace scrivlet::cursor
