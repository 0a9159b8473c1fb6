// The normalization forms give the same result in every form of the text:
// UTF-8, or the interpreter's fixed-width Latin-1, UCS-2 and UCS-4 units,
// written into units of the text's own width or wider.

#include "normalize/mod.h"
#include "rewrite_forms.h"

namespace nm = scrivlet::normalize;
using scrivlet::testing::Forms;
using scrivlet::testing::random_texts;
using scrivlet::testing::rewrite_op;
using scrivlet::testing::same_code_points;

namespace {

// Random texts of every script, and chunks next to unchanged text: misordered
// marks, compositions, Hangul both ways, expansions, text that a chunk leaves
// as it was.
std::vector<Forms> normalization_texts() {
    std::vector<Forms> texts = random_texts(2000);
    for (std::u32string t : {U"Gru\u0308\u00dfe e\u0301\u0323 \u212b x\u0301", U"\uac01\u0301\u0323 \u1100\u1161\u11a8 \uac00\u11a8",
                             U"\ufdfa \ufb01 \u2474 \u00a0\u00bc", U"\U0001d400\U0001d401", U"\u0b47\u0b3e \u0928\u093c",
                             U"\u00e9\u00e8\u00ea", U"\u0301\u0323a"})
        texts.emplace_back(t);
    return texts;
}

template <typename Utf8Op, typename FixedOp>
void compare_on_every_text(Utf8Op utf8_op, FixedOp fixed_op) {
    for (const Forms& t : normalization_texts()) t.compare(rewrite_op(utf8_op, fixed_op), same_code_points);
}

}  // namespace

TEST(nfc_is_the_same_in_every_form) {
    compare_on_every_text([](std::string_view t) { return nm::normalize_nfc(t); },
                          [](auto t, auto& out) { return nm::normalize_nfc(t, out); });
}

TEST(nfd_is_the_same_in_every_form) {
    compare_on_every_text([](std::string_view t) { return nm::normalize_nfd(t); },
                          [](auto t, auto& out) { return nm::normalize_nfd(t, out); });
}

TEST(nfkc_is_the_same_in_every_form) {
    compare_on_every_text([](std::string_view t) { return nm::normalize_nfkc(t); },
                          [](auto t, auto& out) { return nm::normalize_nfkc(t, out); });
}

TEST(nfkd_is_the_same_in_every_form) {
    compare_on_every_text([](std::string_view t) { return nm::normalize_nfkd(t); },
                          [](auto t, auto& out) { return nm::normalize_nfkd(t, out); });
}
