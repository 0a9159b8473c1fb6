// Caret movement by grapheme cluster (logical and visual order) and word selection.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>

namespace scrivlet::cursor {

std::uint64_t cursor_left(std::string_view text, std::uint64_t current);
std::uint64_t cursor_right(std::string_view text, std::uint64_t current);
std::pair<std::uint64_t, std::uint64_t> word_at(std::string_view text, std::uint64_t current);

std::uint64_t move_left_visual(std::string_view text, std::uint64_t current);
std::uint64_t move_right_visual(std::string_view text, std::uint64_t current);

}  // namespace scrivlet::cursor
