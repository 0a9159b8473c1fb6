#include "mod.h"

#include "../segment/cluster_walk.h"
#include "../segment/units.h"
#include "../segment/word_scan.h"
#include "logical.h"

namespace scrivlet::cursor {

namespace {

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
template <typename Units>
bool certain_word_boundary(const Units& u, std::size_t p) {
    const WordBreak before = segment::word_break_class(u.at(u.previous(p)));
    const WordBreak after = segment::word_break_class(u.at(p));
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

template <typename Units>
std::pair<std::uint64_t, std::uint64_t> word_around(const Units& u, std::uint64_t current, const Caret& at) {
    const std::size_t n = u.size();
    if (n == 0) return {current, current};
    if (at.pos == n) return {current, current};  // at the end: (L, L)
    // Segment only the stretch between two certain boundaries around current.
    std::size_t from = at.pos;
    while (from > 0 && !certain_word_boundary(u, from)) from = u.previous(from);
    std::size_t to = u.next(at.pos);
    while (to < n && !certain_word_boundary(u, to)) to = u.next(to);
    const std::uint64_t base = at.offset_of(u, from);
    std::uint64_t start = base, end = at.offset_of(u, to);
    bool found = false;
    segment::scan_word_boundaries(u, from, to, [&](std::size_t, std::uint64_t offset) {
        if (found) return;
        if (base + offset <= current) {
            start = base + offset;
        } else {
            end = base + offset;
            found = true;
        }
    });
    return {start, end};
}

}  // namespace

std::uint64_t cursor_left(std::string_view text, std::uint64_t current) {
    return left(segment::units(text), current);
}

std::uint64_t cursor_right(std::string_view text, std::uint64_t current) {
    return right(segment::units(text), current);
}

std::pair<std::uint64_t, std::uint64_t> word_at(std::string_view text, std::uint64_t current) {
    const auto u = segment::units(text);
    return word_around(u, current, locate(u, current));
}

template <typename Unit>
std::uint64_t cursor_left(text::Fixed<Unit> text, std::uint64_t current) {
    return left(segment::units(text), current);
}

template <typename Unit>
std::uint64_t cursor_right(text::Fixed<Unit> text, std::uint64_t current) {
    return right(segment::units(text), current);
}

template <typename Unit>
std::pair<std::uint64_t, std::uint64_t> word_at(text::Fixed<Unit> text, std::uint64_t current) {
    const auto u = segment::units(text);
    return word_around(u, current, locate(u, current));
}

template <typename Unit>
std::uint64_t cursor_left(text::Fixed<Unit> text, std::uint64_t current, segment::Located at) {
    return left(segment::units(text), current, Caret{at.index, at.start});
}

template <typename Unit>
std::uint64_t cursor_right(text::Fixed<Unit> text, std::uint64_t, segment::Located at) {
    return right(segment::units(text), Caret{at.index, at.start});
}

template <typename Unit>
std::pair<std::uint64_t, std::uint64_t> word_at(text::Fixed<Unit> text, std::uint64_t current,
                                                segment::Located at) {
    return word_around(segment::units(text), current, Caret{at.index, at.start});
}

#define SCRIVLET_CURSOR_FORMS(Form)                                                         \
    template std::uint64_t cursor_left(Form, std::uint64_t);                                \
    template std::uint64_t cursor_right(Form, std::uint64_t);                               \
    template std::pair<std::uint64_t, std::uint64_t> word_at(Form, std::uint64_t);          \
    template std::uint64_t cursor_left(Form, std::uint64_t, segment::Located);              \
    template std::uint64_t cursor_right(Form, std::uint64_t, segment::Located);             \
    template std::pair<std::uint64_t, std::uint64_t> word_at(Form, std::uint64_t, segment::Located);
SCRIVLET_CURSOR_FORMS(text::Latin1)
SCRIVLET_CURSOR_FORMS(text::Ucs2)
SCRIVLET_CURSOR_FORMS(text::Ucs4)
#undef SCRIVLET_CURSOR_FORMS

}  // namespace scrivlet::cursor
