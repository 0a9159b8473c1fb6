// Display width in terminal cells, and truncation that never splits a cluster.
#pragma once

#include "../text.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace scrivlet::truncate {

// Cells taken by one code point: 0, 1 or 2, from the code point alone.
std::uint8_t code_point_width(char32_t cp) noexcept;

// Sum of the code point widths, accumulated in 64 bits so long texts get
// their true total.
std::uint64_t text_width(std::string_view text);
template <typename Unit>
std::uint64_t text_width(text::Fixed<Unit> text) noexcept;

// The longest prefix of whole clusters within the limit (a view into text).
std::string_view truncate_to_clusters(std::string_view text, std::uint64_t max_graphemes);
std::string_view truncate_to_width(std::string_view text, std::uint32_t max_width);
// The same for the fixed-width forms, as the number of code points kept.
template <typename Unit>
std::size_t truncate_to_clusters(text::Fixed<Unit> text, std::uint64_t max_graphemes);
template <typename Unit>
std::size_t truncate_to_width(text::Fixed<Unit> text, std::uint32_t max_width);

}  // namespace scrivlet::truncate
