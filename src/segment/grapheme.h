// Extended grapheme clusters, with GB9c and GB11 decided from one character of look-back.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace scrivlet::segment {

// Byte offsets of every cluster start: begins with 0 for a non-empty text,
// never holds the text length, empty for the empty text.
std::vector<std::uint64_t> grapheme_cluster_starts(std::string_view text);

}  // namespace scrivlet::segment
