// Bidirectional levels and visual order (UAX #9), one paragraph per text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "../data/bidi_class.h"

namespace scrivlet::bidi {

inline constexpr std::uint8_t REMOVED_LEVEL = 255;

struct BidiResult {
    std::uint8_t paragraph_level = 0;
    std::vector<std::uint8_t> levels;       // one per code point; REMOVED_LEVEL for X9 removals
    std::vector<std::size_t> visual_order;  // code point indices, visual left to right
};

BidiResult resolve_bidi(std::string_view text);

// resolve_bidi without rule L2: the visual order is left empty.
BidiResult resolve_bidi_levels(std::string_view text);

// The whole algorithm over classified code points (classes[i] is the class of
// code_points[i]); the paragraph level is found by P2/P3 unless given.
BidiResult resolve_levels(const std::vector<data::BidiClass>& classes,
                          const std::vector<char32_t>& code_points,
                          std::optional<std::uint8_t> paragraph_level = std::nullopt);

}  // namespace scrivlet::bidi
