// Caret movement by grapheme cluster (logical and visual order) and word selection.
// A caret is a byte offset into the UTF-8 form, whichever form the text comes in.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>

#include "../segment/units.h"
#include "../text.h"

namespace scrivlet::cursor {

std::uint64_t cursor_left(std::string_view text, std::uint64_t current);
std::uint64_t cursor_right(std::string_view text, std::uint64_t current);
std::pair<std::uint64_t, std::uint64_t> word_at(std::string_view text, std::uint64_t current);

std::uint64_t move_left_visual(std::string_view text, std::uint64_t current);
std::uint64_t move_right_visual(std::string_view text, std::uint64_t current);

template <typename Unit>
std::uint64_t cursor_left(text::Fixed<Unit> text, std::uint64_t current);
template <typename Unit>
std::uint64_t cursor_right(text::Fixed<Unit> text, std::uint64_t current);
template <typename Unit>
std::pair<std::uint64_t, std::uint64_t> word_at(text::Fixed<Unit> text, std::uint64_t current);
template <typename Unit>
std::uint64_t move_left_visual(text::Fixed<Unit> text, std::uint64_t current);
template <typename Unit>
std::uint64_t move_right_visual(text::Fixed<Unit> text, std::uint64_t current);

// The same with the caret located already, by segment::locate_offset (or its
// checking form) over the same text: a caller that must read the text up to the
// caret for its own reasons saves the second read.
template <typename Unit>
std::uint64_t cursor_left(text::Fixed<Unit> text, std::uint64_t current, segment::Located at);
template <typename Unit>
std::uint64_t cursor_right(text::Fixed<Unit> text, std::uint64_t current, segment::Located at);
template <typename Unit>
std::pair<std::uint64_t, std::uint64_t> word_at(text::Fixed<Unit> text, std::uint64_t current,
                                                segment::Located at);

// The visual moves for a caller that has asked bidi::stays_left_to_right of
// the text already (the binding does, in its pass looking for surrogates):
// then a move reads no further than a logical one. The text may be another
// form of the one scanned, its UTF-8 form for example.
std::uint64_t move_left_visual(std::string_view text, std::uint64_t current, bool left_to_right);
std::uint64_t move_right_visual(std::string_view text, std::uint64_t current, bool left_to_right);
template <typename Unit>
std::uint64_t move_left_visual(text::Fixed<Unit> text, std::uint64_t current, bool left_to_right);
template <typename Unit>
std::uint64_t move_right_visual(text::Fixed<Unit> text, std::uint64_t current, bool left_to_right);

}  // namespace scrivlet::cursor
