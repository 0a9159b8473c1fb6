#include "mod.h"

#include <vector>

#include "../segment/cluster_walk.h"
#include "../segment/grapheme.h"
#include "../segment/word.h"
#include "../segment/word_break.h"
#include "../utf8.h"

namespace scrivlet::cursor {

namespace {

using segment::walk::certain_cluster_start;

const unsigned char* bytes(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

std::size_t previous_code_point(std::string_view text, std::size_t p) {
    return utf8::floor_to_code_point(text, p - 1);
}

std::size_t next_code_point(std::string_view text, std::size_t p) {
    return p + utf8::sequence_length(bytes(text)[p]);
}

// The nearest certain cluster start at or before p (a code point boundary).
std::size_t certain_start_at_or_before(std::string_view text, std::size_t p) {
    while (p > 0 && !certain_cluster_start(text, p)) p = previous_code_point(text, p);
    return p;
}

using segment::WordBreak;

// Classes after which, or before which, the word rules may look further than the
// pair itself (WB4 skipping, WB6, WB7, WB7b, WB7c, WB11, WB12, WB15, WB16).
constexpr bool needs_context(WordBreak c) {
    switch (c) {
        case WordBreak::Extend:
        case WordBreak::Format:
        case WordBreak::ZWJ:
        case WordBreak::MidLetter:
        case WordBreak::MidNumLet:
        case WordBreak::Single_Quote:
        case WordBreak::MidNum:
        case WordBreak::Double_Quote:
        case WordBreak::Regional_Indicator:
            return true;
        default:
            return false;
    }
}

constexpr bool is_ahletter(WordBreak c) {
    return c == WordBreak::ALetter || c == WordBreak::Hebrew_Letter;
}

// Whether a word boundary falls at p (0 < p < size, a code point boundary) under
// every context, with the boundary scan's state after it the same as at the start
// of a text. Both neighbours are then decided by the pair alone: L1 is the
// previous character, and neither side can be reached by a look-ahead or a
// second look-back from across p.
bool certain_word_boundary(std::string_view text, std::size_t p) {
    std::size_t len;
    const WordBreak before =
        segment::word_break_class(utf8::decode(text, utf8::floor_to_code_point(text, p - 1), len));
    const WordBreak after = segment::word_break_class(utf8::decode(text, p, len));
    if (needs_context(before) || needs_context(after)) return false;
    using W = WordBreak;
    if (before == W::CR) return after != W::LF;                                      // WB3, WB3a
    if (before == W::LF || before == W::Newline) return true;                        // WB3a
    if (after == W::CR || after == W::LF || after == W::Newline) return true;        // WB3b
    if (before == W::WSegSpace) return after != W::WSegSpace;                        // WB3d
    const bool ah_num = is_ahletter(after) || after == W::Numeric;
    if ((is_ahletter(before) || before == W::Numeric) && ah_num) return false;       // WB5, WB8, WB9, WB10
    if (before == W::Katakana && after == W::Katakana) return false;                 // WB13
    if (after == W::ExtendNumLet &&
        (is_ahletter(before) || before == W::Numeric || before == W::Katakana || before == W::ExtendNumLet))
        return false;                                                                // WB13a
    if (before == W::ExtendNumLet && (ah_num || after == W::Katakana)) return false;  // WB13b
    return true;                                                                     // WB999
}

}  // namespace

std::uint64_t cursor_left(std::string_view text, std::uint64_t current) {
    const std::size_t n = text.size();
    if (n == 0 || current == 0) return 0;
    const std::size_t c = current < n ? static_cast<std::size_t>(current) : n;
    // End of the code point holding byte c - 1: no cluster starts between c and it.
    std::size_t end = c;
    while (end < n && utf8::is_continuation(bytes(text)[end])) ++end;
    const std::size_t from = certain_start_at_or_before(text, previous_code_point(text, c));
    const auto starts = segment::grapheme_cluster_starts(text.substr(from, end - from));
    return from + starts.back();
}

std::uint64_t cursor_right(std::string_view text, std::uint64_t current) {
    const std::size_t n = text.size();
    if (current >= n) return n;
    const std::size_t c = static_cast<std::size_t>(current);
    const std::size_t from = certain_start_at_or_before(text, utf8::floor_to_code_point(text, c));
    std::size_t to = next_code_point(text, utf8::floor_to_code_point(text, c));
    while (to < n && !certain_cluster_start(text, to)) to = next_code_point(text, to);
    for (std::uint64_t s : segment::grapheme_cluster_starts(text.substr(from, to - from)))
        if (from + s > current) return from + s;
    return to;
}

std::pair<std::uint64_t, std::uint64_t> word_at(std::string_view text, std::uint64_t current) {
    const std::size_t n = text.size();
    if (n == 0 || current >= n) return {current, current};  // at the end: (L, L)
    const std::size_t c = static_cast<std::size_t>(current);
    // Segment only the stretch between two certain boundaries around current.
    std::size_t from = utf8::floor_to_code_point(text, c);
    while (from > 0 && !certain_word_boundary(text, from)) from = previous_code_point(text, from);
    std::size_t to = next_code_point(text, utf8::floor_to_code_point(text, c));
    while (to < n && !certain_word_boundary(text, to)) to = next_code_point(text, to);
    std::uint64_t start = from, end = to;
    for (std::uint64_t w : segment::word_boundary_offsets(text.substr(from, to - from))) {
        if (from + w <= current)
            start = from + w;
        else {
            end = from + w;
            break;
        }
    }
    return {start, end};
}

}  // namespace scrivlet::cursor
