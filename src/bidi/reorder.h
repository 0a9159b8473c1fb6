// Rule L2 over a list of levels, shared by the bidi result and the visual cursor.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace scrivlet::bidi {

namespace detail {

// The stretches of L2 (maximal spans of levels >= v, for every v) nest; each
// distinct stretch is a node whose minimum level is min. Its children, in
// text order, are the runs at exactly min and the nodes of its deeper
// stretches. Items 0..runs-1 are the runs, the rest are nodes.
struct ReorderTree {
    struct Run {
        std::size_t begin, end;
    };
    std::vector<Run> runs;
    std::vector<int> min;                 // per item: the run's level, or the node's minimum
    std::vector<std::int32_t> first, last;  // per item: children of a node (-1 if none)
    std::vector<std::int32_t> next, prev;   // per item: siblings
};

}  // namespace detail

// L2: from the highest level down to the lowest odd level, reverse every
// maximal stretch of entries whose level is at least that level. levels stay
// in logical order; only order[] (same length) is permuted.
//
// Instead of one pass per level, the stretches are built once as a tree: the
// passes at levels in (parent minimum, node minimum] each reverse a node
// whole, so only the parity of their count matters. Linear in the entries.
template <typename Index>
void reorder_by_levels(const std::uint8_t* levels, std::size_t count, Index* order) {
    if (count == 0) return;
    int highest = 0, lowest_odd = 256;
    for (std::size_t i = 0; i < count; ++i) {
        const int v = levels[i];
        highest = std::max(highest, v);
        if (v & 1) lowest_odd = std::min(lowest_odd, v);
    }
    if (lowest_odd > highest) return;  // no odd level: nothing reverses

    if (highest - lowest_odd < 4) {
        // Few levels (the usual case): a pass per level, in place.
        for (int v = highest; v >= lowest_odd; --v) {
            for (std::size_t i = 0; i < count;) {
                if (levels[i] < v) {
                    ++i;
                    continue;
                }
                std::size_t j = i + 1;
                while (j < count && levels[j] >= v) ++j;
                std::reverse(order + i, order + j);
                i = j;
            }
        }
        return;
    }

    detail::ReorderTree t;
    for (std::size_t i = 0; i < count;) {
        std::size_t j = i + 1;
        while (j < count && levels[j] == levels[i]) ++j;
        t.runs.push_back({i, j});
        t.min.push_back(levels[i]);
        i = j;
    }
    const std::size_t run_count = t.runs.size();
    t.first.assign(run_count, -1);
    t.last.assign(run_count, -1);
    t.next.assign(run_count, -1);
    t.prev.assign(run_count, -1);
    auto new_node = [&](int min) {
        t.min.push_back(min);
        t.first.push_back(-1);
        t.last.push_back(-1);
        t.next.push_back(-1);
        t.prev.push_back(-1);
        return std::int32_t(t.min.size() - 1);
    };
    auto append = [&](std::int32_t node, std::int32_t item) {
        t.prev[item] = t.last[node];
        if (t.last[node] >= 0)
            t.next[t.last[node]] = item;
        else
            t.first[node] = item;
        t.last[node] = item;
    };

    // Open nodes with strictly increasing minimum; the root is below every level.
    std::vector<std::int32_t> open{new_node(-1)};
    for (std::size_t r = 0; r < run_count; ++r) {
        const int level = t.min[r];
        std::int32_t carried = -1;
        while (t.min[open.back()] > level) {
            const std::int32_t node = open.back();
            open.pop_back();
            if (carried >= 0) append(node, carried);
            carried = node;
        }
        std::int32_t host = open.back();
        if (t.min[host] < level) {
            host = new_node(level);
            open.push_back(host);
        }
        if (carried >= 0) append(host, carried);
        append(host, std::int32_t(r));
    }
    std::int32_t carried = -1;
    while (open.size() > 1) {
        const std::int32_t node = open.back();
        open.pop_back();
        if (carried >= 0) append(node, carried);
        carried = node;
    }
    const std::int32_t root = open.back();
    if (carried >= 0) append(root, carried);

    // Passes at levels in [low, high] that actually run.
    auto passes = [&](int low, int high) {
        low = std::max(low, lowest_odd);
        high = std::min(high, highest);
        return high >= low ? high - low + 1 : 0;
    };
    std::vector<Index> out;
    out.reserve(count);
    // reversed: the parity of the passes that reverse this node as a whole.
    auto emit = [&](auto&& self, std::int32_t node, bool reversed) -> void {
        for (std::int32_t item = reversed ? t.last[node] : t.first[node]; item >= 0;
             item = reversed ? t.prev[item] : t.next[item]) {
            if (std::size_t(item) < run_count) {
                const auto& run = t.runs[std::size_t(item)];
                if (reversed)
                    for (std::size_t k = run.end; k-- > run.begin;) out.push_back(order[k]);
                else
                    for (std::size_t k = run.begin; k < run.end; ++k) out.push_back(order[k]);
            } else {
                const bool flip = passes(t.min[node] + 1, t.min[item]) & 1;
                self(self, item, reversed != flip);
            }
        }
    };
    emit(emit, root, false);
    std::copy(out.begin(), out.end(), order);
}

}  // namespace scrivlet::bidi
