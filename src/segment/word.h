// Word boundaries (UAX #29 with this library's fixed Word_Break lists).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace scrivlet::segment {

// Ascending byte offsets starting with 0, never holding the text length;
// the empty text gives {0}.
std::vector<std::uint64_t> word_boundary_offsets(std::string_view text);

}  // namespace scrivlet::segment
