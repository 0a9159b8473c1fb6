// The public C++ interface, through its one header only: results on
// well-formed text, and ill-formed UTF-8 refused by every function.

#include <scrivlet/scrivlet.hpp>

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "check.h"

namespace {

using Offsets = std::vector<std::size_t>;

// Every public function that takes a text, called on it.
const std::vector<std::function<void(std::string_view)>>& every_function() {
    static const std::vector<std::function<void(std::string_view)>> fns = {
        [](std::string_view t) { scrivlet::grapheme_boundaries(t); },
        [](std::string_view t) { scrivlet::word_boundaries(t); },
        [](std::string_view t) { scrivlet::sentence_boundaries(t); },
        [](std::string_view t) { scrivlet::line_break_opportunities(t); },
        [](std::string_view t) { scrivlet::line_break_opportunities_with_dictionary(t); },
        [](std::string_view t) { scrivlet::bidi_resolve(t); },
        [](std::string_view t) { scrivlet::normalize_nfc(t); },
        [](std::string_view t) { scrivlet::normalize_nfd(t); },
        [](std::string_view t) { scrivlet::normalize_nfkc(t); },
        [](std::string_view t) { scrivlet::normalize_nfkd(t); },
        [](std::string_view t) { scrivlet::to_lowercase(t, "tr"); },
        [](std::string_view t) { scrivlet::to_uppercase(t); },
        [](std::string_view t) { scrivlet::to_titlecase(t); },
        [](std::string_view t) { scrivlet::case_fold(t); },
        [](std::string_view t) { scrivlet::case_fold_simple(t); },
        [](std::string_view t) { scrivlet::display_width(t); },
        [](std::string_view t) { scrivlet::truncate_graphemes(t, 1); },
        [](std::string_view t) { scrivlet::truncate_display_width(t, 1); },
        [](std::string_view t) { scrivlet::move_right(t, 1); },
        [](std::string_view t) { scrivlet::move_left(t, 1); },
        [](std::string_view t) { scrivlet::move_right_visual(t, 1); },
        [](std::string_view t) { scrivlet::move_left_visual(t, 1); },
        [](std::string_view t) { scrivlet::select_word(t, 1); },
    };
    return fns;
}

}  // namespace

TEST(public_functions_answer_on_well_formed_text) {
    CHECK(scrivlet::grapheme_boundaries("e\xCC\x81x") == (Offsets{0, 3}));
    CHECK(scrivlet::word_boundaries("Hello, world") == (Offsets{0, 5, 6, 7}));
    CHECK(scrivlet::sentence_boundaries("Hi. Bye.") == (Offsets{0, 4}));
    using scrivlet::BreakAction;
    CHECK(scrivlet::line_break_opportunities("a b\n") ==
          (std::vector<scrivlet::LineBreak>{{2, BreakAction::allowed}, {4, BreakAction::mandatory}}));
    // ภาษา ไทย ง่าย: Thai words split by the dictionary.
    CHECK(scrivlet::line_break_opportunities_with_dictionary(
              "\xE0\xB8\xA0\xE0\xB8\xB2\xE0\xB8\xA9\xE0\xB8\xB2\xE0\xB9\x84\xE0\xB8\x97\xE0\xB8\xA2"
              "\xE0\xB8\x87\xE0\xB9\x88\xE0\xB8\xB2\xE0\xB8\xA2") ==
          (std::vector<scrivlet::LineBreak>{
              {12, BreakAction::allowed}, {21, BreakAction::allowed}, {33, BreakAction::mandatory}}));
    const auto bidi = scrivlet::bidi_resolve("ab\xD7\x90\xD7\x91");
    CHECK_EQ(int(bidi.paragraph_level), 0);
    CHECK(bidi.levels == (std::vector<std::uint8_t>{0, 0, 1, 1}));
    CHECK(bidi.visual_order == (Offsets{0, 1, 3, 2}));
    CHECK_EQ(scrivlet::normalize_nfc("e\xCC\x81"), std::string("\xC3\xA9"));
    CHECK_EQ(scrivlet::normalize_nfkd("\xEF\xAC\x81"), std::string("fi"));
    CHECK_EQ(scrivlet::to_uppercase("stra\xC3\x9F" "e"), std::string("STRASSE"));
    CHECK_EQ(scrivlet::to_lowercase("\xC4\xB0", "tr"), std::string("i"));
    CHECK_EQ(scrivlet::to_lowercase("\xC4\xB0"), std::string("i\xCC\x87"));
    CHECK_EQ(scrivlet::case_fold("Stra\xC3\x9F" "e"), std::string("strasse"));
    CHECK_EQ(scrivlet::display_width("\xE6\x97\xA5\xE6\x9C\xAC"), 4u);
    CHECK_EQ(scrivlet::truncate_display_width("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", 5),
             std::string_view("\xE6\x97\xA5\xE6\x9C\xAC"));
    CHECK_EQ(scrivlet::truncate_graphemes("e\xCC\x81x", 1), std::string_view("e\xCC\x81"));
    CHECK_EQ(scrivlet::move_right("e\xCC\x81x", 0), 3u);
    CHECK_EQ(scrivlet::move_left("e\xCC\x81x", 3), 0u);
    CHECK_EQ(scrivlet::move_right_visual("ab\xD7\x90\xD7\x91", 2), 6u);
    CHECK(scrivlet::select_word("hello world", 8) == (std::pair<std::size_t, std::size_t>{6, 11}));
}

TEST(every_function_refuses_ill_formed_utf8_with_its_offset) {
    const std::pair<std::string_view, std::size_t> bad[] = {
        {"\x80", 0},                  // stray continuation byte
        {"ab\xBF", 2},                //
        {"a\xC3", 1},                 // truncated two-byte sequence
        {"\xE0\xB8", 0},              // truncated three-byte sequence
        {"xy\xF0\x9F\x98", 2},        // truncated four-byte sequence
        {"\xC0\x80", 0},              // overlong NUL
        {"\xC1\xBF", 0},              // overlong two-byte
        {"a\xE0\x80\xAF", 1},         // overlong three-byte
        {"\xF0\x80\x80\x80", 0},      // overlong four-byte
        {"\xED\xA0\x80", 0},          // surrogate U+D800
        {"ok \xED\xBF\xBF", 3},       // surrogate U+DFFF
        {"\xF4\x90\x80\x80", 0},      // U+110000
        {"\xF5\x80\x80\x80", 0},      // beyond any plane
        {"\xFF", 0},                  //
        {"e\xCC\x81\xE2\x82", 3},     // a good cluster, then a truncated sequence
    };
    for (const auto& [text, offset] : bad) {
        CHECK(!scrivlet::is_valid_utf8(text));
        for (const auto& fn : every_function()) {
            bool refused = false;
            try {
                fn(text);
            } catch (const std::invalid_argument& e) {
                refused = std::string(e.what()).ends_with("byte offset " + std::to_string(offset));
            }
            CHECK(refused);
        }
    }
}

TEST(the_edges_of_well_formed_utf8_are_accepted) {
    const std::string_view good[] = {
        "",
        "\x7F",
        "\xC2\x80",
        "\xDF\xBF",
        "\xE0\xA0\x80",
        "\xED\x9F\xBF",      // U+D7FF, just below the surrogates
        "\xEE\x80\x80",      // U+E000, just above them
        "\xEF\xBF\xBF",      // U+FFFF
        "\xF0\x90\x80\x80",  // U+10000
        "\xF4\x8F\xBF\xBF",  // U+10FFFF
        std::string_view("a\0b", 3),
    };
    for (std::string_view text : good) {
        CHECK(scrivlet::is_valid_utf8(text));
        for (const auto& fn : every_function()) fn(text);  // would throw if refused
    }
}
