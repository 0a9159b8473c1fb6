// Rule L2 over a list of levels, shared by the bidi result and the visual cursor.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace scrivlet::bidi {

// L2: from the highest level down to the lowest odd level, reverse every
// maximal stretch of entries whose level is at least that level. levels stay
// in logical order; only order[] (same length) is permuted.
//
// Instead of one pass per level, the stretches are built once as a tree: a
// node is a distinct stretch with its minimum level, its children the runs at
// that minimum and the nodes of its deeper stretches. The passes at levels in
// (parent minimum, node minimum] each reverse a node whole, so only the parity
// of their count matters. Linear in the entries.
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

    if (highest - lowest_odd < 16) {
        // Up to sixteen levels to pass over (nearly all text): a pass per
        // level, in place, which costs less than the tree below as long as
        // the passes are few.
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

    // Runs of equal level: run r covers [run_begin[r], run_begin[r + 1]).
    std::vector<std::uint32_t> run_begin;
    std::vector<std::uint8_t> run_level;
    for (std::size_t i = 0; i < count;) {
        std::size_t j = i + 1;
        while (j < count && levels[j] == levels[i]) ++j;
        run_begin.push_back(std::uint32_t(i));
        run_level.push_back(levels[i]);
        i = j;
    }
    const std::uint32_t runs = std::uint32_t(run_level.size());
    run_begin.push_back(std::uint32_t(count));

    // Items 0..runs-1 are the runs, item runs + k is node k. Each open stretch
    // and each node keeps its items, in text order, as a list linked both
    // ways (next and prev), so that items move in constant time.
    constexpr std::uint32_t END = 0xFFFFFFFF;
    struct List {
        std::uint32_t head, tail;
    };
    const std::size_t items = 2 * std::size_t(runs) + 1;  // a node per run at most, and the root's
    // Each item is appended once before it is read: no need to zero them.
    const std::unique_ptr<std::uint32_t[]> next(new std::uint32_t[items]), prev(new std::uint32_t[items]);
    std::vector<int> node_min;
    std::vector<List> node_items;
    node_min.reserve(runs + 1);
    node_items.reserve(runs + 1);
    auto append = [&](List& list, std::uint32_t item) {
        next[item] = END;
        prev[item] = list.tail;
        if (list.tail == END)
            list.head = item;
        else
            next[list.tail] = item;
        list.tail = item;
    };
    // Minimums strictly increase up the stack, so it holds at most one entry
    // per level and the root.
    struct Open {
        int min;
        List list;
    };
    std::array<Open, 258> open;
    std::size_t depth = 0;
    open[depth++] = {-1, {END, END}};  // the root, below every level
    auto close_top = [&]() {
        const Open o = open[--depth];
        node_min.push_back(o.min);
        node_items.push_back(o.list);
        append(open[depth - 1].list, runs + std::uint32_t(node_min.size() - 1));
    };
    for (std::uint32_t r = 0; r < runs; ++r) {
        const int level = run_level[r];
        bool closed = false;
        while (open[depth - 1].min > level) {
            close_top();
            closed = true;
        }
        if (open[depth - 1].min < level) {
            // The stretch just closed lies inside this run's: it moves there.
            List list{END, END};
            if (closed) {
                List& below = open[depth - 1].list;
                const std::uint32_t node = below.tail;
                below.tail = prev[node];
                if (below.tail == END)
                    below.head = END;
                else
                    next[below.tail] = END;
                append(list, node);
            }
            open[depth++] = {level, list};
        }
        append(open[depth - 1].list, r);
    }
    while (depth > 1) close_top();

    // Passes at levels in [low, high] that actually run.
    auto passes = [&](int low, int high) {
        low = std::max(low, lowest_odd);
        high = std::min(high, highest);
        return high >= low ? high - low + 1 : 0;
    };
    std::vector<Index> out;
    out.reserve(count);
    // reversed: the parity of the passes that reverse these items as a whole.
    auto emit = [&](auto&& self, List list, int min, bool reversed) -> void {
        for (std::uint32_t item = reversed ? list.tail : list.head; item != END;
             item = reversed ? prev[item] : next[item]) {
            if (item < runs) {
                const std::size_t b = run_begin[item], e = run_begin[item + 1];
                if (reversed)
                    for (std::size_t i = e; i-- > b;) out.push_back(order[i]);
                else
                    for (std::size_t i = b; i < e; ++i) out.push_back(order[i]);
            } else {
                const std::size_t node = item - runs;
                const bool flip = passes(min + 1, node_min[node]) & 1;
                self(self, node_items[node], node_min[node], reversed != flip);
            }
        }
    };
    emit(emit, open[0].list, -1, false);
    std::copy(out.begin(), out.end(), order);
}

}  // namespace scrivlet::bidi
