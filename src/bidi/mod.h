// Bidirectional levels and visual order (UAX #9), one paragraph per text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace scrivlet::bidi {

inline constexpr std::uint8_t REMOVED_LEVEL = 255;

struct BidiResult {
    std::uint8_t paragraph_level = 0;
    std::vector<std::uint8_t> levels;       // one per code point; REMOVED_LEVEL for X9 removals
    std::vector<std::size_t> visual_order;  // code point indices, visual left to right
};

BidiResult resolve_bidi(std::string_view text);

}  // namespace scrivlet::bidi
