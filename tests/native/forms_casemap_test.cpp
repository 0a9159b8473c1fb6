// The case operations give the same result in every form of the text: UTF-8,
// or the interpreter's fixed-width Latin-1, UCS-2 and UCS-4 units, written
// into units of the text's own width or wider.

#include <optional>
#include <string_view>

#include "casemap/mod.h"
#include "rewrite_forms.h"

namespace cm = scrivlet::casemap;
using scrivlet::testing::Forms;
using scrivlet::testing::random_texts;
using scrivlet::testing::rewrite_op;
using scrivlet::testing::same_code_points;

namespace {

// Random texts of every script, and the characters the case rules single out
// next to their neighbours: final sigma, Turkic dots, expansions, narrowing.
std::vector<Forms> case_texts() {
    std::vector<Forms> texts = random_texts(2000);
    for (std::u32string t : {U"ΟΔΟΣ ΑΣ. ΑΣ.Β 'Σ ΑΣ\u0345 ΣΣ", U"\u0130I\u0307I\u0301\u0307 ii\u0307 ISTANBUL",
                             U"stra\u00dfe \u00ff \u00b5 \ufb03 \u0149 \u1f80 \u0390", U"\u01c6emal o'neil \u10d0",
                             U"\u0131\u00e9", U"\u00df", U"\U00010400\U00010428 \u1e9e", U"a\u00adb x'y \u3000c"})
        texts.emplace_back(t);
    return texts;
}

template <typename Utf8Op, typename FixedOp>
void compare_on_every_text(Utf8Op utf8_op, FixedOp fixed_op) {
    for (const Forms& t : case_texts()) t.compare(rewrite_op(utf8_op, fixed_op), same_code_points);
}

}  // namespace

TEST(lowercase_is_the_same_in_every_form) {
    for (std::optional<std::string_view> locale : {std::optional<std::string_view>(), std::optional<std::string_view>("tr")})
        compare_on_every_text([=](std::string_view t) { return cm::to_lowercase(t, locale); },
                              [=](auto t, auto& out) { return cm::to_lowercase(t, locale, out); });
}

TEST(uppercase_is_the_same_in_every_form) {
    for (std::optional<std::string_view> locale : {std::optional<std::string_view>(), std::optional<std::string_view>("az")})
        compare_on_every_text([=](std::string_view t) { return cm::to_uppercase(t, locale); },
                              [=](auto t, auto& out) { return cm::to_uppercase(t, locale, out); });
}

TEST(titlecase_is_the_same_in_every_form) {
    compare_on_every_text([](std::string_view t) { return cm::to_titlecase(t); },
                          [](auto t, auto& out) { return cm::to_titlecase(t, out); });
}

TEST(case_folding_is_the_same_in_every_form) {
    compare_on_every_text([](std::string_view t) { return cm::case_fold(t); },
                          [](auto t, auto& out) { return cm::case_fold(t, out); });
    compare_on_every_text([](std::string_view t) { return cm::case_fold_simple(t); },
                          [](auto t, auto& out) { return cm::case_fold_simple(t, out); });
}
