// Bidirectional levels and visual order (UAX #9), one paragraph per text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "../data/bidi_class.h"
#include "../text.h"

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

// The visual order as runs of logical indices, visual left to right: a run
// holds the code points first..last that are not removed, ascending, or
// descending when reversed.
struct VisualRun {
    std::uint32_t first;
    std::uint32_t last;
    bool reversed;
};

// The levels as in BidiResult, the visual order as runs.
struct BidiLayout {
    std::uint8_t paragraph_level = 0;
    std::vector<std::uint8_t> levels;
    std::vector<VisualRun> runs;
    std::size_t kept = 0;  // code points in the runs: those not removed
};

BidiLayout bidi_layout(std::string_view text);
template <typename Unit>
BidiLayout bidi_layout(text::Fixed<Unit> text);

// bidi_layout without rule L2: no runs.
BidiLayout bidi_levels(std::string_view text);
template <typename Unit>
BidiLayout bidi_levels(text::Fixed<Unit> text);

// The visual order of a layout as a list of indices.
BidiResult expand(BidiLayout layout);

// Whether every code point of text stays at level 0, in logical order: no
// right-to-left letter, no Arabic number, no explicit embedding, override or
// isolate (then P2 and P3 give level 0, and W7 turns every European number
// into L). One scan, by ranges, that stops at the first such code point.
bool stays_left_to_right(std::string_view text) noexcept;
template <typename Unit>
bool stays_left_to_right(text::Fixed<Unit> text) noexcept;

// stays_left_to_right over the stored form of a str that may still hold a lone
// surrogate, which the same pass looks for: what a caller that must reject
// such a str reads once instead of twice. With a surrogate, left_to_right is
// false whatever the text holds.
struct LeftToRightScan {
    bool left_to_right;
    bool surrogate;
};
template <typename Unit>
LeftToRightScan scan_left_to_right(text::Fixed<Unit> text) noexcept;
// The scan takes AVX2 where the processor has it; the tests turn that off to
// run the SSE2 path, which no other machine of theirs may reach.
void allow_avx2_scan(bool allow) noexcept;

// The whole algorithm over classified code points (classes[i] is the class of
// code_points[i]); the paragraph level is found by P2/P3 unless given.
BidiResult resolve_levels(const std::vector<data::BidiClass>& classes,
                          const std::vector<char32_t>& code_points,
                          std::optional<std::uint8_t> paragraph_level = std::nullopt);

}  // namespace scrivlet::bidi
