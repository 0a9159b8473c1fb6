#include "mod.h"

#include <vector>

#include "../data/grapheme_break.h"
#include "../segment/grapheme.h"
#include "../segment/word.h"
#include "../utf8.h"

namespace scrivlet::cursor {

namespace {

using G = data::GraphemeBreakClass;

const unsigned char* bytes(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

G class_at(std::string_view text, std::size_t pos) {
    std::size_t len;
    return data::grapheme_break_class(utf8::decode(text, pos, len));
}

// Whether a cluster starts at p (0 < p < size, a code point boundary) whatever
// came before the previous character: the pair of classes around p breaks under
// every state of the scan, and the scan state is fresh after it. A scan started
// at such a position finds the same cluster starts as one started at 0.
bool certain_cluster_start(std::string_view text, std::size_t p) {
    const auto* s = bytes(text);
    const unsigned char a = s[p - 1];
    const unsigned char b = s[p];
    G before;
    if (a < 0x80) {
        if (a == '\r') return b != '\n';                      // GB3, GB4
        if (a < 0x20 || a == 0x7F) return true;               // GB4: LF and Control
        if (b < 0x80) return true;                            // printable ASCII pair: GB999
        before = G::Any;
    } else {
        before = class_at(text, utf8::floor_to_code_point(text, p - 1));
        if (before == G::LF || before == G::Control) return true;  // GB4
        // Classes that join a following character only when it is a mark or joiner.
        if (before != G::Any && before != G::Extend && before != G::SpacingMark &&
            before != G::Consonant && before != G::ExtPict)
            return false;
        if (b < 0x80) return true;
    }
    const G after = class_at(text, p);
    // GB9, GB9a, and a Linker joins as an Extend character
    return after != G::Extend && after != G::ZWJ && after != G::SpacingMark && after != G::Linker;
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

// Whether a word boundary falls at p (0 < p < size) under every context, with
// the boundary scan's state after it the same as at the start of a text: after
// a line break (WB3a), or between a space and an ASCII letter or digit (WB999).
bool certain_word_boundary(std::string_view text, std::size_t p) {
    const auto* s = bytes(text);
    const unsigned char a = s[p - 1];
    const unsigned char b = s[p];
    if (a == '\n' || a == '\v' || a == '\f') return true;
    if (a == '\r') return b != '\n';
    if (a != ' ') return false;
    return (b >= '0' && b <= '9') || ((b | 0x20) >= 'a' && (b | 0x20) <= 'z');
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
    std::size_t from = c;
    while (from > 0 && !certain_word_boundary(text, from)) --from;
    std::size_t to = c + 1;
    while (to < n && !certain_word_boundary(text, to)) ++to;
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
