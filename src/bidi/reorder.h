// Rule L2 over a list of levels, shared by the bidi result and the visual cursor.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
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

    // Items 0..runs-1 are the runs; item runs + k is node k, whose children
    // are children[begin, end) in text order.
    struct Node {
        int min;
        std::uint32_t begin, end;
    };
    std::vector<Node> nodes;
    std::vector<std::uint32_t> children;
    children.reserve(runs);
    // Items whose stretch is still open, in text order; an open node owns
    // those from its mark on. Minimums strictly increase up the stack, so it
    // holds at most one entry per level and the root.
    std::vector<std::uint32_t> pending;
    pending.reserve(runs);
    struct Open {
        int min;
        std::uint32_t mark;
    };
    std::array<Open, 258> open;
    std::size_t depth = 0;
    open[depth++] = {-1, 0};  // the root, below every level
    auto close_top = [&]() {
        const Open o = open[--depth];
        const std::uint32_t begin = std::uint32_t(children.size());
        children.insert(children.end(), pending.begin() + o.mark, pending.end());
        pending.resize(o.mark);
        nodes.push_back({o.min, begin, std::uint32_t(children.size())});
        pending.push_back(runs + std::uint32_t(nodes.size() - 1));
    };
    for (std::uint32_t r = 0; r < runs; ++r) {
        const int level = run_level[r];
        std::uint32_t mark = std::uint32_t(pending.size());
        while (open[depth - 1].min > level) {
            mark = open[depth - 1].mark;  // the closed stretch lies inside this run's
            close_top();
        }
        if (open[depth - 1].min < level) open[depth++] = {level, mark};
        pending.push_back(r);
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
    auto emit = [&](auto&& self, const std::uint32_t* first, const std::uint32_t* last, int min,
                    bool reversed) -> void {
        const std::ptrdiff_t n = last - first;
        for (std::ptrdiff_t k = 0; k < n; ++k) {
            const std::uint32_t item = reversed ? first[n - 1 - k] : first[k];
            if (item < runs) {
                const std::size_t b = run_begin[item], e = run_begin[item + 1];
                if (reversed)
                    for (std::size_t i = e; i-- > b;) out.push_back(order[i]);
                else
                    for (std::size_t i = b; i < e; ++i) out.push_back(order[i]);
            } else {
                const Node& node = nodes[item - runs];
                const bool flip = passes(min + 1, node.min) & 1;
                self(self, children.data() + node.begin, children.data() + node.end, node.min,
                     reversed != flip);
            }
        }
    };
    emit(emit, pending.data(), pending.data() + pending.size(), -1, false);
    std::copy(out.begin(), out.end(), order);
}

}  // namespace scrivlet::bidi
