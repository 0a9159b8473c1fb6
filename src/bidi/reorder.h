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
// of their count matters, and a node's place in the output follows from its
// parent's place and its offset there. Linear in the entries.
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

    // Node k covers the entries [a, b), all at min or above, and holds the
    // runs at min and its child nodes. Placed inside its parent, it takes the
    // output from start on, reversed as a whole when flipped. Node 0 is the
    // root, below every level.
    constexpr std::uint32_t NONE = 0xFFFFFFFF;
    struct Node {
        std::uint32_t a, b, parent, start;
        int min;
        bool flipped, placed;
    };
    std::vector<Node> nodes;
    nodes.reserve(std::size_t(runs) + 1);  // a node per run at most, and the root
    nodes.push_back({0, std::uint32_t(count), NONE, 0, -1, false, true});
    std::vector<std::uint32_t> run_node(runs);
    // Minimums strictly increase up the stack, so it holds at most one entry
    // per level and the root. A stretch closed by a lower level belongs to the
    // one below it on the stack, or, when that one is lower still, to the new
    // stretch the lower level opens where the closed one began.
    struct Open {
        int min;
        std::uint32_t node;
    };
    std::array<Open, 258> open;
    std::size_t depth = 0;
    open[depth++] = {-1, 0};
    const auto close_top = [&](int level) {
        Node& closed = nodes[open[depth - 1].node];
        const Open below = open[depth - 2];
        closed.parent = below.min >= level ? below.node : std::uint32_t(nodes.size());  // the one opened next
        --depth;
    };
    for (std::uint32_t r = 0; r < runs; ++r) {
        const int level = run_level[r];
        std::uint32_t a = run_begin[r];
        while (open[depth - 1].min > level) {
            a = nodes[open[depth - 1].node].a;
            nodes[open[depth - 1].node].b = run_begin[r];
            close_top(level);
        }
        if (open[depth - 1].min < level) {
            open[depth++] = {level, std::uint32_t(nodes.size())};
            nodes.push_back({a, 0, NONE, 0, level, false, false});
        }
        run_node[r] = open[depth - 1].node;
    }
    while (depth > 1) {
        nodes[open[depth - 1].node].b = std::uint32_t(count);
        close_top(-1);
    }

    // Passes at levels in [low, high] that actually run.
    auto passes = [&](int low, int high) {
        low = std::max(low, lowest_odd);
        high = std::min(high, highest);
        return high >= low ? high - low + 1 : 0;
    };
    // Each node placed after its parent: the passes at levels in (parent
    // minimum, node minimum] reverse it whole, so only their parity counts.
    // The chain of parents is at most one per level.
    std::array<std::uint32_t, 258> chain;
    for (std::uint32_t k = 1; k < nodes.size(); ++k) {
        std::size_t length = 0;
        for (std::uint32_t x = k; !nodes[x].placed; x = nodes[x].parent) chain[length++] = x;
        while (length > 0) {
            Node& node = nodes[chain[--length]];
            const Node& parent = nodes[node.parent];
            node.flipped = parent.flipped != bool(passes(parent.min + 1, node.min) & 1);
            node.start = parent.flipped ? parent.start + (parent.b - node.b) : parent.start + (node.a - parent.a);
            node.placed = true;
        }
    }
    // Every entry where its node puts it.
    const std::unique_ptr<Index[]> out(new Index[count]);
    for (std::uint32_t r = 0; r < runs; ++r) {
        const Node& node = nodes[run_node[r]];
        const std::size_t b = run_begin[r], e = run_begin[r + 1];
        if (node.flipped)
            for (std::size_t i = b; i < e; ++i) out[node.start + (node.b - 1 - i)] = order[i];
        else
            for (std::size_t i = b; i < e; ++i) out[node.start + (i - node.a)] = order[i];
    }
    std::copy(out.get(), out.get() + count, order);
}

}  // namespace scrivlet::bidi
