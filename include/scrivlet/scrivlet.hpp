// scrivlet: correct Unicode text handling for every script, for C++.
//
// Grapheme clusters, words and sentences (UAX #29), line-break opportunities
// (UAX #14) with dictionary segmentation of Thai, Lao, Khmer and Myanmar, bidi
// levels and visual order (UAX #9), the four normalization forms (UAX #15),
// case mapping, display width in terminal cells, truncation that never splits
// a cluster, and caret movement. Character data: Unicode 17.0.0, compiled in;
// nothing is read at run time.
//
// Texts are UTF-8, and positions are byte offsets into them (except in
// bidi_resolve, which indexes code points). Every function is pure and may be
// called from any thread at once. A text that is not well-formed UTF-8
// (a truncated or overlong sequence, a surrogate, a value above U+10FFFF, a
// stray continuation byte) is refused with std::invalid_argument, whose
// message gives the byte offset of the first bad sequence; is_valid_utf8
// tells beforehand. Memory exhaustion throws std::bad_alloc. The cost of
// every function is linear in the text's length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#if defined(_WIN32) && defined(SCRIVLET_SHARED)
#if defined(SCRIVLET_BUILDING)
#define SCRIVLET_API __declspec(dllexport)
#else
#define SCRIVLET_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define SCRIVLET_API __attribute__((visibility("default")))
#else
#define SCRIVLET_API
#endif

namespace scrivlet {

// ---- Text -------------------------------------------------------------------

// Whether text is well-formed UTF-8, the only input the other functions take.
// One pass, no allocation.
SCRIVLET_API bool is_valid_utf8(std::string_view text) noexcept;

// ---- Segmentation -----------------------------------------------------------

// Byte offsets where each extended grapheme cluster starts, ascending: 0 first
// for a non-empty text, never the text's length; empty for the empty text.
// GB9c and GB11 decide from one character of look-back.
SCRIVLET_API std::vector<std::size_t> grapheme_boundaries(std::string_view text);

// Byte offsets where each word segment starts (words, runs of spaces,
// punctuation...), ascending from 0, never the text's length; {0} for the
// empty text.
SCRIVLET_API std::vector<std::size_t> word_boundaries(std::string_view text);

// Byte offsets where each sentence starts, ascending from 0, never the text's
// length; {0} for the empty text.
SCRIVLET_API std::vector<std::size_t> sentence_boundaries(std::string_view text);

// ---- Line breaking ----------------------------------------------------------

enum class BreakAction : std::uint8_t { mandatory = 0, allowed = 1 };

struct LineBreak {
    std::size_t offset;  // a break may be made before this byte (the end: the text's length)
    BreakAction action;
    friend bool operator==(const LineBreak&, const LineBreak&) = default;
};

// The offsets where a line may (allowed) or must (mandatory) break, ascending;
// the text's length is always the last, mandatory. {0, mandatory} for the
// empty text.
SCRIVLET_API std::vector<LineBreak> line_break_opportunities(std::string_view text);

// As line_break_opportunities, with Thai, Lao, Khmer and Myanmar runs split
// into words by the built-in dictionaries (forward longest match by grapheme
// cluster; no break ever falls inside a cluster). The dictionaries are
// compiled in: the first call costs no more than later ones.
SCRIVLET_API std::vector<LineBreak> line_break_opportunities_with_dictionary(std::string_view text);

// ---- Bidirectional text -----------------------------------------------------

struct BidiResult {
    static constexpr std::uint8_t removed = 255;  // level of a code point removed by X9
    std::uint8_t paragraph_level = 0;             // 0 left-to-right, 1 right-to-left
    std::vector<std::uint8_t> levels;             // one per code point, in text order
    std::vector<std::size_t> visual_order;        // code point indices, visual left to right
};

// Levels and visual order of the text as one paragraph and one line, the
// paragraph level found from its first strong character. Indexed by code
// point, not by byte; removed code points (embeddings, BN) have level
// BidiResult::removed and no place in the visual order.
SCRIVLET_API BidiResult bidi_resolve(std::string_view text);

// ---- Normalization ----------------------------------------------------------

// The four normalization forms. A text already in the form comes back equal.
SCRIVLET_API std::string normalize_nfc(std::string_view text);
SCRIVLET_API std::string normalize_nfd(std::string_view text);
SCRIVLET_API std::string normalize_nfkc(std::string_view text);
SCRIVLET_API std::string normalize_nfkd(std::string_view text);

// ---- Case -------------------------------------------------------------------

// Full case mapping. locale "tr" or "az" (exactly) applies the Turkic dotted
// and dotless i rules; any other locale is the default.
SCRIVLET_API std::string to_lowercase(std::string_view text, std::string_view locale = {});
SCRIVLET_API std::string to_uppercase(std::string_view text, std::string_view locale = {});

// Title case: a word starts at the start of the text or after White_Space;
// inside a word, one-to-one lowercasing with the final-sigma rule.
SCRIVLET_API std::string to_titlecase(std::string_view text);

// Case folding for caseless matching: full (may lengthen the text) and simple
// (one code point for one).
SCRIVLET_API std::string case_fold(std::string_view text);
SCRIVLET_API std::string case_fold_simple(std::string_view text);

// ---- Width and truncation ---------------------------------------------------

// Terminal cells: East Asian wide and fullwidth characters 2, marks, joiners
// and control characters 0, everything else 1, summed over the code points.
SCRIVLET_API std::uint64_t display_width(std::string_view text);

// The longest prefix of at most max_graphemes whole clusters: a view into text.
SCRIVLET_API std::string_view truncate_graphemes(std::string_view text, std::uint64_t max_graphemes);

// The longest prefix of whole clusters whose display width is at most
// max_width: a view into text. Nothing for a limit of 0.
SCRIVLET_API std::string_view truncate_display_width(std::string_view text,
                                                     std::uint32_t max_width);

// ---- Caret movement ---------------------------------------------------------

// The caret one cluster right or left of the byte offset current, in logical
// order: always a cluster boundary. Any current is accepted: one inside a
// cluster moves to that cluster's edge, one beyond the end counts as the end.
SCRIVLET_API std::size_t move_right(std::string_view text, std::size_t current);
SCRIVLET_API std::size_t move_left(std::string_view text, std::size_t current);

// The same on screen, in the visual order of the bidi algorithm (the caret
// may jump at a change of direction). Costs a logical move and one scan on
// text without right-to-left characters, a bidi resolution otherwise.
SCRIVLET_API std::size_t move_right_visual(std::string_view text, std::size_t current);
SCRIVLET_API std::size_t move_left_visual(std::string_view text, std::size_t current);

// The word segment around the byte offset current, as a double click selects
// it: (start, end) byte offsets; (current, current) at or beyond the end.
SCRIVLET_API std::pair<std::size_t, std::size_t> select_word(std::string_view text,
                                                            std::size_t current);

}  // namespace scrivlet
