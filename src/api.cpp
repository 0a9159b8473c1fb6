// The public C++ interface: the operations behind the Python functions, over
// UTF-8 that is checked first, since a C++ caller may hand over any bytes.
#define SCRIVLET_BUILDING
#include <scrivlet/scrivlet.hpp>

#include <stdexcept>
#include <string>
#include <type_traits>

#include "bidi/mod.h"
#include "casemap/mod.h"
#include "cursor/mod.h"
#include "linebreak/mod.h"
#include "normalize/mod.h"
#include "segment/grapheme.h"
#include "segment/sentence.h"
#include "segment/word.h"
#include "truncate/mod.h"
#include "utf8.h"

namespace scrivlet {

namespace {

// The core reads only well-formed UTF-8.
void require_utf8(std::string_view text) {
    std::size_t bad = utf8::first_invalid(text);
    if (bad == std::string_view::npos) return;
    // The offset's digits written here: std::to_string would bring a table of
    // the standard library's among the shared library's exports.
    char digits[24];
    char* p = digits + sizeof digits;
    do {
        *--p = static_cast<char>('0' + bad % 10);
        bad /= 10;
    } while (bad != 0);
    throw std::invalid_argument("scrivlet: invalid UTF-8 at byte offset " +
                                std::string(p, digits + sizeof digits));
}

template <typename T>
std::vector<std::size_t> to_sizes(std::vector<T>&& offsets) {
    if constexpr (std::is_same_v<T, std::size_t>)
        return std::move(offsets);
    else
        return std::vector<std::size_t>(offsets.begin(), offsets.end());
}

std::vector<LineBreak> to_breaks(const std::vector<linebreak::Opportunity>& ops) {
    std::vector<LineBreak> out;
    out.reserve(ops.size());
    for (const auto& [offset, action] : ops)
        out.push_back({static_cast<std::size_t>(offset),
                       action == linebreak::BreakAction::Mandatory ? BreakAction::mandatory
                                                                   : BreakAction::allowed});
    return out;
}

std::optional<std::string_view> locale_of(std::string_view locale) {
    return locale.empty() ? std::nullopt : std::optional<std::string_view>(locale);
}

}  // namespace

bool is_valid_utf8(std::string_view text) noexcept {
    return utf8::first_invalid(text) == std::string_view::npos;
}

std::vector<std::size_t> grapheme_boundaries(std::string_view text) {
    require_utf8(text);
    return to_sizes(segment::grapheme_cluster_starts(text));
}

std::vector<std::size_t> word_boundaries(std::string_view text) {
    require_utf8(text);
    return to_sizes(segment::word_boundary_offsets(text));
}

std::vector<std::size_t> sentence_boundaries(std::string_view text) {
    require_utf8(text);
    return to_sizes(segment::sentence_boundaries(text));
}

std::vector<LineBreak> line_break_opportunities(std::string_view text) {
    require_utf8(text);
    return to_breaks(linebreak::line_break_opportunities(text));
}

std::vector<LineBreak> line_break_opportunities_with_dictionary(std::string_view text) {
    require_utf8(text);
    return to_breaks(linebreak::line_break_opportunities_with_dictionary(text));
}

BidiResult bidi_resolve(std::string_view text) {
    require_utf8(text);
    bidi::BidiResult r = bidi::resolve_bidi(text);
    BidiResult out;
    out.paragraph_level = r.paragraph_level;
    out.levels = std::move(r.levels);
    out.visual_order = to_sizes(std::move(r.visual_order));
    return out;
}

std::string normalize_nfc(std::string_view text) {
    require_utf8(text);
    return normalize::normalize_nfc(text);
}

std::string normalize_nfd(std::string_view text) {
    require_utf8(text);
    return normalize::normalize_nfd(text);
}

std::string normalize_nfkc(std::string_view text) {
    require_utf8(text);
    return normalize::normalize_nfkc(text);
}

std::string normalize_nfkd(std::string_view text) {
    require_utf8(text);
    return normalize::normalize_nfkd(text);
}

std::string to_lowercase(std::string_view text, std::string_view locale) {
    require_utf8(text);
    return casemap::to_lowercase(text, locale_of(locale));
}

std::string to_uppercase(std::string_view text, std::string_view locale) {
    require_utf8(text);
    return casemap::to_uppercase(text, locale_of(locale));
}

std::string to_titlecase(std::string_view text) {
    require_utf8(text);
    return casemap::to_titlecase(text);
}

std::string case_fold(std::string_view text) {
    require_utf8(text);
    return casemap::case_fold(text);
}

std::string case_fold_simple(std::string_view text) {
    require_utf8(text);
    return casemap::case_fold_simple(text);
}

std::uint64_t display_width(std::string_view text) {
    require_utf8(text);
    return truncate::text_width(text);
}

std::string_view truncate_graphemes(std::string_view text, std::uint64_t max_graphemes) {
    require_utf8(text);
    return truncate::truncate_to_clusters(text, max_graphemes);
}

std::string_view truncate_display_width(std::string_view text, std::uint32_t max_width) {
    require_utf8(text);
    return truncate::truncate_to_width(text, max_width);
}

std::size_t move_right(std::string_view text, std::size_t current) {
    require_utf8(text);
    return static_cast<std::size_t>(cursor::cursor_right(text, current));
}

std::size_t move_left(std::string_view text, std::size_t current) {
    require_utf8(text);
    return static_cast<std::size_t>(cursor::cursor_left(text, current));
}

std::size_t move_right_visual(std::string_view text, std::size_t current) {
    require_utf8(text);
    return static_cast<std::size_t>(cursor::move_right_visual(text, current));
}

std::size_t move_left_visual(std::string_view text, std::size_t current) {
    require_utf8(text);
    return static_cast<std::size_t>(cursor::move_left_visual(text, current));
}

std::pair<std::size_t, std::size_t> select_word(std::string_view text, std::size_t current) {
    require_utf8(text);
    const auto [start, end] = cursor::word_at(text, current);
    return {static_cast<std::size_t>(start), static_cast<std::size_t>(end)};
}

}  // namespace scrivlet
