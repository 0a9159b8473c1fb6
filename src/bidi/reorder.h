// Rule L2 over a list of levels, shared by the bidi result and the visual cursor.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace scrivlet::bidi {

// L2: from the highest level down to the lowest odd level, reverse every
// maximal stretch of entries whose level is at least that level. levels stay
// in logical order; only order[] (same length) is permuted. One pass per
// level present (at most 126), each over runs of equal level plus the
// entries it reverses.
template <typename Index>
void reorder_by_levels(const std::uint8_t* levels, std::size_t count, Index* order) {
    if (count == 0) return;
    std::uint8_t highest = 0, lowest_odd = 0xFF;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t v = levels[i];
        highest = std::max(highest, v);
        lowest_odd = std::min<std::uint8_t>(lowest_odd, (v & 1) ? v : 0xFF);
    }
    if (lowest_odd == 0xFF || highest < lowest_odd) return;

    struct Run {
        std::size_t begin, end;
        std::uint8_t level;
    };
    std::vector<Run> runs;
    for (std::size_t i = 0; i < count;) {
        std::size_t j = i + 1;
        while (j < count && levels[j] == levels[i]) ++j;
        runs.push_back({i, j, levels[i]});
        i = j;
    }
    for (unsigned v = highest; v >= lowest_odd; --v) {
        for (std::size_t r = 0; r < runs.size();) {
            if (runs[r].level < v) {
                ++r;
                continue;
            }
            std::size_t s = r;
            while (r < runs.size() && runs[r].level >= v) ++r;
            std::reverse(order + runs[s].begin, order + runs[r - 1].end);
        }
        if (v == 0) break;
    }
}

}  // namespace scrivlet::bidi
