// Sorted, disjoint (first, last, value) range tables and their binary search.
#pragma once

#include <cstddef>
#include <cstdint>

namespace scrivlet::data {

template <typename V>
struct RangeEntry {
    std::uint32_t first;
    std::uint32_t last;
    V value;
};

struct Range {
    std::uint32_t first;
    std::uint32_t last;
};

// Value of the entry covering cp, or fallback when none does.
template <typename V, std::size_t N>
constexpr V range_lookup(const RangeEntry<V> (&table)[N], char32_t cp, V fallback) noexcept {
    std::size_t lo = 0, hi = N;
    while (lo < hi) {
        std::size_t mid = (lo + hi) / 2;
        if (table[mid].last < cp)
            lo = mid + 1;
        else
            hi = mid;
    }
    return (lo < N && table[lo].first <= cp) ? table[lo].value : fallback;
}

template <std::size_t N>
constexpr bool range_contains(const Range (&table)[N], char32_t cp) noexcept {
    std::size_t lo = 0, hi = N;
    while (lo < hi) {
        std::size_t mid = (lo + hi) / 2;
        if (table[mid].last < cp)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo < N && table[lo].first <= cp;
}

}  // namespace scrivlet::data
