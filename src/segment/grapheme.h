// Extended grapheme clusters, with GB9c and GB11 decided from one character of look-back.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "../text.h"
#include "offsets.h"

namespace scrivlet::segment {

// Byte offsets of every cluster start: begins with 0 for a non-empty text,
// never holds the text length, empty for the empty text.
std::vector<std::uint64_t> grapheme_cluster_starts(std::string_view text);
// The same from the fixed-width forms; the offsets are those of the UTF-8 form.
template <typename Unit>
std::vector<std::uint64_t> grapheme_cluster_starts(text::Fixed<Unit> text);
// The same offsets handed to a sink.
void grapheme_cluster_starts(std::string_view text, OffsetSink& sink);
template <typename Unit>
void grapheme_cluster_starts(text::Fixed<Unit> text, OffsetSink& sink);

// Sets flags[s] for every cluster start s (flags has text.size() entries);
// leaves the other flags as they are.
void mark_cluster_starts(std::string_view text, std::uint8_t* flags) noexcept;

// Whether the clusters of text start one at byte p (0 < p < text.size(), the
// start of a code point), decided from at most the two code points before p;
// nullopt between two regional indicators, where the whole run of them decides.
std::optional<bool> local_cluster_start(std::string_view text, std::size_t p) noexcept;

}  // namespace scrivlet::segment
