// Sentence boundaries (UAX #29 with this library's fixed Sentence_Break ranges).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "../text.h"
#include "offsets.h"

namespace scrivlet::segment {

// Ascending byte offsets starting with 0, never holding the text length;
// the empty text gives {0}.
std::vector<std::uint64_t> sentence_boundaries(std::string_view text);
// The same from the fixed-width forms; the offsets are those of the UTF-8 form.
template <typename Unit>
std::vector<std::uint64_t> sentence_boundaries(text::Fixed<Unit> text);
// The same offsets handed to a sink.
void sentence_boundaries(std::string_view text, OffsetSink& sink);
template <typename Unit>
void sentence_boundaries(text::Fixed<Unit> text, OffsetSink& sink);

// The fixed-width scans take AVX2 where the processor has it; the tests turn
// that off to run the SSE2 path, which no other machine of theirs may reach.
void allow_avx2_sentence_scan(bool allow) noexcept;

}  // namespace scrivlet::segment
