// Sorted, disjoint (first, last, value) range tables and their binary search.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

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

// A code point's sequence of code points, stored as a slice of a shared pool;
// tables of these are sorted by code point.
struct PoolEntry {
    std::uint32_t code_point;
    std::uint16_t offset;
    std::uint8_t length;
};

// The sequence for cp, or an empty view when the table has no entry for it.
template <std::size_t N, std::size_t P>
constexpr std::u32string_view pool_lookup(const PoolEntry (&table)[N], const char32_t (&pool)[P],
                                          char32_t cp) noexcept {
    std::size_t lo = 0, hi = N;
    while (lo < hi) {
        std::size_t mid = (lo + hi) / 2;
        if (table[mid].code_point < cp)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo == N || table[lo].code_point != cp) return {};
    return std::u32string_view(pool + table[lo].offset, table[lo].length);
}

}  // namespace scrivlet::data
