"""Line-break opportunities: the pair rules LB4..LB31, one table per rule family.

Texts are written as class names (see linebreak_notation.CHAR) and results as one
mark per inner boundary: × no break, ÷ allowed, ! mandatory. Every rule appears
with a case where it forbids (or forces) the break and one where it does not.
"""

import pytest
import scrivlet
from linebreak_notation import marks, marks_of, text_of


def table(*cases):
    return pytest.mark.parametrize(
        "names, expected", [pytest.param(n, e, id=n.replace(" ", "-")) for n, e in cases]
    )


# --- results and their shape ---


@pytest.mark.parametrize(
    "text, expected",
    [
        pytest.param("", [(0, "mandatory")], id="empty"),
        pytest.param("a", [(1, "mandatory")], id="one-ascii"),
        pytest.param("一", [(3, "mandatory")], id="one-cjk"),
        pytest.param("ab cd", [(3, "allowed"), (5, "mandatory")], id="two-words"),
        pytest.param("$(", [(1, "allowed"), (2, "mandatory")], id="prefix-open"),
        pytest.param("a\nb", [(2, "mandatory"), (3, "mandatory")], id="line-feed"),
        pytest.param("一二", [(3, "allowed"), (6, "mandatory")], id="cjk-offsets-in-bytes"),
    ],
)
def test_result_lists_offsets_and_actions(text, expected):
    assert scrivlet.line_break_opportunities(text) == expected


@pytest.mark.parametrize(
    "text",
    [
        pytest.param("The quick (brown) fox—jumps over 1,234.5 “lazy” dogs!\n", id="english"),
        pytest.param("日本語のテキスト、中文文本。한국어 띄어쓰기\r\n", id="cjk"),
        pytest.param("\u200b \u200d\u0300\U0001f1e6\U0001f1e6\U0001f1e6 $(1) \u25cc\u1b05", id="odd"),
    ],
)
def test_results_are_ascending_code_point_boundaries_never_prohibited(text):
    result = scrivlet.line_break_opportunities(text)
    data = text.encode()
    offsets = [offset for offset, _ in result]
    assert offsets == sorted(set(offsets))
    assert {action for _, action in result} <= {"allowed", "mandatory"}
    assert result[-1] == (len(data), "mandatory")
    assert offsets[0] > 0
    assert all(o == len(data) or (data[o] & 0xC0) != 0x80 for o in offsets)


def test_prohibited_is_never_reported():
    # Built only from pairs where a rule forbids the break.
    result = scrivlet.line_break_opportunities(text_of("OP SP SP AL AL CM NU IS NU CL"))
    assert result == [(len(text_of("OP SP SP AL AL CM NU IS NU CL").encode()), "mandatory")]


# --- LB4..LB6: hard line breaks ---


@table(
    ("AL BK AL", "×!"),
    ("AL CR LF AL", "××!"),
    ("AL CR AL", "×!"),
    ("AL LF AL", "×!"),
    ("AL NL AL", "×!"),
    ("LF LF", "!"),
    ("CR CR", "!"),
    ("SP BK", "×"),
    ("ZW LF", "×"),
    ("OP CR", "×"),
)
def test_hard_breaks_after_line_ends_and_never_before(names, expected):
    assert marks_of(names) == expected


# --- LB7, LB8, LB8a: spaces, zero width space and ZWJ ---


@table(
    ("AL SP AL", "×÷"),
    ("AL SP SP AL", "××÷"),
    ("AL ZW AL", "×÷"),
    ("ZW SP SP AL", "××÷"),
    ("ZW SP CL", "×÷"),
    ("ZW CL", "÷"),
    ("ZW CM", "÷"),
    ("ZW SP AL SP CL", "×÷××"),
    ("AL SP SP CL", "×××"),
    ("AL ZWJ ID", "××"),
    ("AL CM ID", "×÷"),
    ("ZWJ ID", "×"),
)
def test_spaces_zero_width_space_and_zwj(names, expected):
    assert marks_of(names) == expected


# --- LB9, LB10: combining marks ---


@table(
    ("AL CM AL", "××"),
    ("ID CM ID", "×÷"),
    ("SP CM OP", "÷×"),
    ("CM NU", "×"),
    ("CM ID", "÷"),
    ("LF CM NU", "!×"),
    ("ZW CM NU", "÷×"),
    ("OP CM SP AL", "×××"),
    ("RI ZWJ CM RI", "×××"),
)
def test_marks_take_their_base_class_or_become_alphabetic(names, expected):
    assert marks_of(names) == expected


# --- LB11, LB12, LB12a: glue ---


@table(
    ("ID WJ ID", "××"),
    ("SP WJ", "×"),
    ("GL ID", "×"),
    ("ID GL", "×"),
    ("AL SP GL", "×÷"),
    ("AL BA GL", "×÷"),
    ("AL HY GL", "×÷"),
    ("AL HH GL", "×÷"),
    ("ID ID", "÷"),
)
def test_word_joiner_and_glue_bind(names, expected):
    assert marks_of(names) == expected


# --- LB13..LB17: closing punctuation, opening punctuation, quotations ---


@table(
    ("ID CL", "×"),
    ("ID CP", "×"),
    ("ID EX", "×"),
    ("ID SY", "×"),
    ("AL SP EX", "××"),
    ("CL ID", "÷"),
)
def test_no_break_before_closing_punctuation(names, expected):
    assert marks_of(names) == expected


@table(
    ("OP ID", "×"),
    ("OP SP SP ID", "×××"),
    ("OP CM SP ID", "×××"),
    ("CP SP ID", "×÷"),
    ("ID OP", "÷"),
)
def test_no_break_after_opening_punctuation_and_spaces(names, expected):
    assert marks_of(names) == expected


@table(
    ("SP Pi SP ID", "÷××"),
    ("Pi SP ID", "××"),
    ("OP Pi SP ID", "×××"),
    ("Pi Pi SP ID", "×××"),
    ("SP Pi CM SP ID", "÷×××"),
    ("ID Pi SP ID", "××÷"),
    ("SP QU SP ID", "÷×÷"),
)
def test_opening_quotation_binds_what_follows(names, expected):
    # LB15a
    assert marks_of(names) == expected


@table(
    ("ID SP Pf SP", "×××"),
    ("ID SP Pf", "××"),
    ("ID SP Pf CL", "×××"),
    ("ID SP Pf ID", "×÷×"),
    ("AL Pf SP AL", "××÷"),
)
def test_closing_quotation_binds_what_precedes(names, expected):
    # LB15b
    assert marks_of(names) == expected


@table(
    ("AL SP IS NU", "×÷×"),
    ("AL SP IS AL", "×××"),
    ("AL SP IS", "××"),
    ("NU IS NU", "××"),
    ("AL IS", "×"),
)
def test_infix_separator_after_space_breaks_only_before_digits(names, expected):
    # LB15c, LB15d
    assert marks_of(names) == expected


@table(
    ("CL NS", "×"),
    ("CP SP SP NS", "×××"),
    ("CL SP NSw", "××"),
    ("AL SP NS", "×÷"),
)
def test_no_break_before_nonstarter_after_closing_punctuation(names, expected):
    # LB16
    assert marks_of(names) == expected


@table(
    ("B2 B2", "×"),
    ("B2 SP SP B2", "×××"),
    ("AL SP B2", "×÷"),
    ("B2 AL", "÷"),
)
def test_em_dashes_stay_together(names, expected):
    # LB17
    assert marks_of(names) == expected


# --- LB18, LB19, LB19a: spaces and quotation marks ---


@table(
    ("AL QU AL", "××"),
    ("ID QU ID", "××"),
    ("ID Pi ID", "÷×"),
    ("AL Pi ID", "××"),
    ("ID Pi AL", "××"),
    ("ID Pi", "×"),
    ("ID Pf ID", "×÷"),
    ("ID Pf AL", "××"),
    ("AL Pf ID", "××"),
    ("Pf ID", "×"),
    ("ID Pf NSw", "××"),
    ("ID Pf BAw", "××"),
    ("ID Pf INw", "××"),
    ("ID Pf OPw", "×÷"),
    ("ID Pf Pf ID", "×××"),
    ("SP Pf SP", "××"),
)
def test_quotation_marks_bind_except_between_east_asian_text(names, expected):
    # LB19, LB19a
    assert marks_of(names) == expected


@pytest.mark.parametrize(
    "text, expected",
    [
        pytest.param(" “ 一", "÷××", id="quote-after-space"),
        pytest.param("一“ 一", "××÷", id="quote-after-ideograph"),
        pytest.param("一“一", "÷×", id="initial-between-ideographs"),
        pytest.param("一”一", "×÷", id="final-between-ideographs"),
        pytest.param('一"一', "××", id="neutral-between-ideographs"),
        pytest.param("「一」", "××", id="corner-brackets"),
    ],
)
def test_quotation_examples(text, expected):
    assert marks(text) == expected


# --- LB20, LB20a, LB21, LB21a, LB21b, LB22 ---


@table(
    ("AL CB AL", "÷÷"),
    ("CB NS", "÷"),
    ("NS CB", "÷"),
    ("QU CB", "×"),
)
def test_contingent_break_opportunity_breaks_both_sides(names, expected):
    # LB20 (QU × beats it: LB19 comes first)
    assert marks_of(names) == expected


@table(
    ("HY AL", "×"),
    ("SP HY AL", "÷×"),
    ("OP HY AL", "××"),
    ("QU HY AL", "××"),
    ("CB HY HL", "÷×"),
    ("SP HH HL", "÷×"),
    ("SP HY CM AL", "÷××"),
    ("ID HY AL", "×÷"),
    ("SP HY ID", "÷÷"),
)
def test_word_initial_hyphen_binds_to_the_letter(names, expected):
    # LB20a
    assert marks_of(names) == expected


@table(
    ("AL BA AL", "×÷"),
    ("AL HY ID", "×÷"),
    ("ID NS", "×"),
    ("ID HH", "×"),
    ("BB AL", "×"),
    ("BB SP AL", "×÷"),
    ("AL HH AL", "×÷"),
)
def test_break_after_not_before_hyphens_and_dashes(names, expected):
    # LB21
    assert marks_of(names) == expected


@table(
    ("HL HY AL", "××"),
    ("HL HH ID", "××"),
    ("HL CM HY AL", "×××"),
    ("HL HY HL", "×÷"),
    ("AL HY AL", "×÷"),
    ("HL HY CB", "×÷"),
    ("AL HL HH CB", "××÷"),
)
def test_hebrew_letter_hyphen_binds(names, expected):
    # LB21a (LB20 breaks before CB first)
    assert marks_of(names) == expected


@pytest.mark.parametrize(
    "text, expected",
    [
        pytest.param("-a", "×", id="hyphen-at-start"),
        pytest.param("(-a", "××", id="hyphen-after-open"),
        pytest.param('"-a', "××", id="hyphen-after-quote"),
        pytest.param("一-a", "×÷", id="hyphen-after-ideograph"),
        pytest.param("א-a", "××", id="hyphen-after-hebrew"),
        pytest.param("א-א", "×÷", id="hebrew-hyphen-hebrew"),
    ],
)
def test_hyphen_examples(text, expected):
    assert marks(text) == expected


@table(
    ("SY HL", "×"),
    ("SY AL", "÷"),
    ("AL IN", "×"),
    ("ID IN", "×"),
    ("SP IN", "÷"),
    ("IN ID", "÷"),
)
def test_solidus_before_hebrew_and_inseparables(names, expected):
    # LB21b, LB22
    assert marks_of(names) == expected


# --- LB23..LB25: letters, numbers, prefixes and postfixes ---


@table(
    ("AL NU", "×"),
    ("HL NU", "×"),
    ("NU AL", "×"),
    ("NU HL", "×"),
    ("NU ID", "÷"),
    ("ID NU", "÷"),
)
def test_letters_and_digits_bind(names, expected):
    # LB23
    assert marks_of(names) == expected


@table(
    ("PR ID", "×"),
    ("PR EB", "×"),
    ("PR EM", "×"),
    ("ID PO", "×"),
    ("EB PO", "×"),
    ("ID PR", "÷"),
    ("PO ID", "÷"),
    ("PR AL", "×"),
    ("PO HL", "×"),
    ("AL PO", "×"),
    ("HL PR", "×"),
    ("PR OP", "÷"),
)
def test_prefixes_and_postfixes_bind_to_letters_and_ideographs(names, expected):
    # LB23a, LB24
    assert marks_of(names) == expected


@pytest.mark.parametrize(
    "text, expected",
    [
        pytest.param("$(1", "××", id="prefix-open-digit"),
        pytest.param("$-1", "××", id="prefix-hyphen-digit"),
        pytest.param("1,2", "××", id="digit-comma-digit"),
        pytest.param("1/2", "××", id="digit-solidus-digit"),
        pytest.param("1)%", "××", id="digit-close-postfix"),
        pytest.param("$.5", "××", id="prefix-point-digit"),
        pytest.param("-.5", "××", id="hyphen-point-digit"),
        pytest.param("$(", "÷", id="prefix-open-alone"),
        pytest.param("$(,1", "÷××", id="prefix-open-comma-digit"),
        pytest.param("$( 1", "×××", id="prefix-open-space-digit"),
        pytest.param("%(  1", "××××", id="postfix-open-spaces-digit"),
        pytest.param("$( a", "÷××", id="prefix-open-space-letter"),
        pytest.param("$-a", "×÷", id="prefix-hyphen-letter"),
        pytest.param("1/,.2", "××××", id="digit-separators-digit"),
        pytest.param("1/,)%", "××××", id="separators-close-postfix"),
        pytest.param("1/,]$", "××××", id="separators-bracket-prefix"),
        pytest.param("1).%", "××÷", id="close-then-separator-postfix"),
        pytest.param("1)1", "××", id="close-digit"),
        pytest.param(")%", "÷", id="close-postfix-without-digit"),
        pytest.param("1 %", "×÷", id="space-postfix"),
        pytest.param("(1", "×", id="open-digit"),
        pytest.param("-1", "×", id="hyphen-digit"),
        pytest.param("\u20101", "÷", id="hyphen-u2010-digit"),
    ],
)
def test_numbers_do_not_break(text, expected):
    # LB25
    assert marks(text) == expected


@pytest.mark.parametrize(
    "text, expected",
    [
        pytest.param("word", "×××", id="letters"),
        pytest.param("words1", "×××××", id="letters-digit"),
        pytest.param("words(", "×××××", id="letters-open"),
        pytest.param("words\uff08", "××××÷", id="letters-wide-open"),
        pytest.param("words\u4e00", "××××÷", id="letters-ideograph"),
        pytest.param("words\u0300\u4e00", "×××××÷", id="letters-mark-ideograph"),
        pytest.param("words-less", "×××××÷×××", id="hyphenated"),
        pytest.param("abc\u25cc\u1b05", "×××÷", id="letters-dotted-circle"),
        pytest.param("ab\u1b05\u1bf2", "×÷×", id="letters-aksara"),
        pytest.param("1/abc/2", "×÷×××÷", id="letters-between-solidi"),
        pytest.param("abc%", "×××", id="letters-postfix"),
        pytest.param("Zz\u201d\u4e00", "×××", id="letters-final-quote"),
    ],
)
def test_words_of_letters(text, expected):
    # LB28 inside the words, and whatever follows them
    assert marks(text) == expected


# --- LB26, LB27: Korean syllables ---


@table(
    ("JL JL", "×"), ("JL JV", "×"), ("JL H2", "×"), ("JL H3", "×"),
    ("JV JV", "×"), ("JV JT", "×"), ("H2 JV", "×"), ("H2 JT", "×"),
    ("JT JT", "×"), ("H3 JT", "×"),
    ("JV JL", "÷"), ("JT JV", "÷"), ("H3 JV", "÷"), ("H2 H2", "÷"), ("JT H2", "÷"),
)
def test_korean_syllable_blocks_hold_together(names, expected):
    # LB26
    assert marks_of(names) == expected


@table(
    ("JL PO", "×"), ("JV PO", "×"), ("JT PO", "×"), ("H2 PO", "×"), ("H3 PO", "×"),
    ("PR JL", "×"), ("PR JV", "×"), ("PR JT", "×"), ("PR H2", "×"), ("PR H3", "×"),
    ("PO H2", "÷"), ("H3 PR", "÷"),
)
def test_korean_syllables_bind_prefixes_and_postfixes(names, expected):
    # LB27
    assert marks_of(names) == expected


# --- LB28, LB28a, LB29, LB30 ---


@table(
    ("AL AL", "×"),
    ("AL HL", "×"),
    ("HL AL", "×"),
    ("AL ID", "÷"),
    ("IS AL", "×"),
    ("IS HL", "×"),
    ("IS ID", "÷"),
)
def test_letters_and_infix_punctuation_bind(names, expected):
    # LB28, LB29
    assert marks_of(names) == expected


@table(
    ("AK VI AS", "××"),
    ("AK VI AK", "××"),
    ("AS VI DC", "××"),
    ("DC VI AK", "××"),
    ("AK VI VF", "××"),
    ("AK CM VI AK", "×××"),
    ("AL VI AK", "÷÷"),
    ("AL VI VF", "÷÷"),
    ("AP AK", "×"),
    ("AP DC", "×"),
    ("AP AS", "×"),
    ("AP ID", "÷"),
    ("DC AK", "÷"),
    ("AK AK", "÷"),
    ("AK AK VF", "××"),
    ("AK AS CM VF", "×××"),
    ("DC CM AK VF", "×××"),
    ("AK AK ID", "÷÷"),
    ("AK VF", "×"),
    ("DC VI", "×"),
    ("AS VF", "×"),
    ("ID VF", "÷"),
)
def test_aksaras_hold_together(names, expected):
    # LB28a
    assert marks_of(names) == expected


@pytest.mark.parametrize(
    "text, expected",
    [
        pytest.param("\U00011005\U00011046\U00011350", "××", id="brahmi-virama-grantha"),
        pytest.param("\u25cc\u1b05", "÷", id="dotted-circle-balinese"),
        pytest.param("\u1b05\u1b05\u1bf2", "××", id="balinese-batak-vowel"),
    ],
)
def test_aksara_examples(text, expected):
    assert marks(text) == expected


@table(
    ("AL OP", "×"),
    ("HL OP", "×"),
    ("NU OP", "×"),
    ("AL OPw", "÷"),
    ("ID OP", "÷"),
    ("CP AL", "×"),
    ("CP HL", "×"),
    ("CP NU", "×"),
    ("CP ID", "÷"),
    ("CLw NU", "÷"),
)
def test_parentheses_bind_to_letters_and_digits(names, expected):
    # LB30
    assert marks_of(names) == expected


# --- LB30a, LB30b, LB31 ---


@table(
    ("RI RI", "×"),
    ("RI RI RI", "×÷"),
    ("RI RI RI RI", "×÷×"),
    ("RI RI RI RI RI", "×÷×÷"),
    ("RI RI LF RI RI", "××!×"),
    ("RI LF RI RI RI", "×!×÷"),
    ("RI CM RI RI", "××÷"),
    ("RI RI CM RI RI", "××÷×"),
    ("AL RI RI", "÷×"),
)
def test_regional_indicators_pair_up(names, expected):
    # LB30a
    assert marks_of(names) == expected


@table(
    ("EB EM", "×"),
    ("UP EM", "×"),
    ("PIC EM", "÷"),
    ("AL EM", "÷"),
    ("EB CM EM", "××"),
)
def test_emoji_modifiers_bind_to_emoji_bases(names, expected):
    # LB30b
    assert marks_of(names) == expected


@table(
    ("ID ID", "÷"),
    ("EX ID", "÷"),
    ("CL AL", "÷"),
    ("AL SY", "×"),
    ("BA ID", "÷"),
)
def test_otherwise_break_everywhere(names, expected):
    # LB31
    assert marks_of(names) == expected
