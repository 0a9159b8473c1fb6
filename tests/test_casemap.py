"""Case operations: lowercase with final sigma and Turkic dots, uppercase,
title case, full and simple case folding."""

import sys
import tracemalloc
import unicodedata

import pytest
import scrivlet
from hypothesis import given, settings
from hypothesis import strategies as st

lower, upper, title = scrivlet.to_lowercase, scrivlet.to_uppercase, scrivlet.to_titlecase
fold, fold_simple = scrivlet.case_fold, scrivlet.case_fold_simple


def cps(*code_points):
    return "".join(map(chr, code_points))


@pytest.mark.parametrize(
    "fn",
    [lower, upper, title, fold, fold_simple],
    ids=["lower", "upper", "title", "fold", "fold-simple"],
)
def test_empty_text_stays_empty(fn):
    assert fn("") == ""


@pytest.mark.parametrize(
    "text, expected",
    [
        ("ΟΔΟΣ", "οδο\u03c2"),
        ("Σ", "\u03c3"),  # nothing cased before
        ("ΑΣ.", "α\u03c2."),  # the full stop is passed over
        ("ΑΣ.Β", "α\u03c3.β"),  # a cased letter follows the full stop
        ("ΑΣ Β", "α\u03c2 β"),  # the space stops the forward scan
        ("'Σ", "'\u03c3"),
        ("Α\u0301Σ", "α\u0301\u03c2"),  # a mark before is passed over
        ("ΑΣ\u0345", "α\u03c3\u0345"),  # U+0345 is cased as well as ignorable
        ("ΑΣΣ", "ασ\u03c2"),  # each sigma sees the other as cased
        ("1Σ", "1\u03c3"),  # a digit blocks the backward scan
        ("\u00aaΣ", "\u00aa\u03c3"),  # U+00AA has no mapping, so it is not cased here
        ("ǅΣ", "ǆ\u03c2"),  # a titlecase letter is cased
    ],
    ids=[
        "word-end",
        "alone",
        "before-full-stop",
        "full-stop-then-letter",
        "space-stops",
        "apostrophe-only",
        "mark-before",
        "ypogegrammeni-after",
        "double-sigma",
        "digit-before",
        "uncased-letter-before",
        "titlecase-before",
    ],
)
def test_final_sigma(text, expected):
    assert lower(text) == expected
    assert lower(text, "tr") == expected  # the rule does not depend on the locale


@pytest.mark.parametrize(
    "text, locale, expected",
    [
        ("\u0130", None, "i\u0307"),
        ("\u0130", "tr", "i"),
        ("\u0130", "az", "i"),
        ("I", "tr", "\u0131"),
        ("I\u0307", "tr", "i"),
        ("I\u0301\u0307", "tr", "\u0131\u0301\u0307"),  # only the immediate neighbour counts
        ("a\u0307", "tr", "a\u0307"),  # U+0307 elsewhere stays
        ("II\u0307", "az", "\u0131i"),
        ("ISTANBUL", "tr", "\u0131stanbul"),
        ("I", None, "i"),
        ("I\u0307", None, "i\u0307"),
    ],
    ids=[
        "dotted-default",
        "dotted-tr",
        "dotted-az",
        "I-tr",
        "I-dot-tr",
        "I-mark-dot-tr",
        "other-dot-tr",
        "two-Is-az",
        "word-tr",
        "I-default",
        "I-dot-default",
    ],
)
def test_lowercase_turkic_dots(text, locale, expected):
    assert lower(text, locale) == expected


@pytest.mark.parametrize("locale", ["TR", "tr-TR", "tr_TR", "azb", "t", "", "en", "tr\x00", " tr"])
def test_only_exact_tr_and_az_are_turkic(locale):
    assert lower("I", locale) == "i"
    assert lower("\u0130", locale) == "i\u0307"
    assert upper("i", locale) == "I"


@pytest.mark.parametrize(
    "text, locale, expected",
    [
        ("i", "az", "\u0130"),
        ("i", "tr", "\u0130"),
        ("i", None, "I"),
        ("\u0131", None, "I"),
        ("\u0131", "tr", "I"),
        ("\u00df", None, "SS"),
        ("\u0149", None, "\u02bcN"),
        ("\u1f80", None, "\u1f08\u0399"),
        ("\ufb03", None, "FFI"),
        ("\u0390", "tr", "\u0399\u0308\u0301"),  # special casing still applies with tr
        ("i\u0307", None, "I\u0307"),  # the dot is never removed
        ("\ua7d3", None, "\ua7d2"),  # mapping added in 17.0
    ],
    ids=[
        "i-az",
        "i-tr",
        "i-default",
        "dotless",
        "dotless-tr",
        "sharp-s",
        "n-apostrophe",
        "greek-ypogegrammeni",
        "ffi",
        "special-with-tr",
        "dot-kept",
        "new-in-17",
    ],
)
def test_uppercase(text, locale, expected):
    assert upper(text, locale) == expected


@pytest.mark.parametrize(
    "text, expected",
    [
        ("hello world", "Hello World"),
        ("HELLO", "Hello"),
        ("o'neil", "O'neil"),
        ("'hello", "'Hello"),
        ("1st place", "1St Place"),
        ("hello-world", "Hello-world"),
        ("\u01c6emal", "\u01c5emal"),
        ("\u00dfa", "Ssa"),
        ("\ufb01ne", "Fine"),
        ("\u10d0", "\u10d0"),
        ("\u00aaBC", "\u00aaBc"),  # U+00AA does not start the word
        ("a\tb\u3000c\u00a0d", "A\tB\u3000C\u00a0D"),
        ("a\u200bb", "A\u200bb"),  # U+200B is not White_Space
        ("x\u0130", "Xi"),  # inside a word only one-to-one lowercase
    ],
    ids=[
        "two-words",
        "all-caps",
        "apostrophe",
        "leading-apostrophe",
        "digit-first",
        "hyphen",
        "digraph",
        "sharp-s",
        "fi-ligature",
        "georgian",
        "uncased-letter",
        "white-space",
        "zwsp",
        "simple-lower-inside",
    ],
)
def test_titlecase(text, expected):
    assert title(text) == expected


@pytest.mark.parametrize(
    "text, expected",
    [
        ("ΟΔΟΣ", "Οδο\u03c2"),
        ("ΑΣ.", "Α\u03c2."),  # the full stop is passed over
        ("ΑΣ.Β", "Α\u03c3.β"),  # a cased letter follows within the word
        ("ΟΔΟΣ ΟΔΟΣ", "Οδο\u03c2 Οδο\u03c2"),
        ("Σ", "Σ"),  # at a word start the capital stays
        ("ΣΣ", "Σ\u03c2"),
        ("1Σ", "1Σ"),  # the digit does not start the word: the sigma does
        ("ΑΣ\u0345", "Α\u03c3\u0345"),
    ],
    ids=[
        "word-end",
        "before-full-stop",
        "letter-follows",
        "two-words",
        "alone",
        "pair",
        "digit-first",
        "ypogegrammeni-after",
    ],
)
def test_titlecase_final_sigma_inside_a_word(text, expected):
    assert title(text) == expected


@pytest.mark.parametrize(
    "fn, text, expected",
    [
        (fold, "\u00df", "ss"),
        (fold, "\u1e9e", "ss"),
        (fold, "\u0130", "i\u0307"),
        (fold, "I", "i"),  # no Turkic folding
        (fold, "\u00b5", "\u03bc"),
        (fold, "\u03c2", "\u03c3"),
        (fold, "\u1f80", "\u1f00\u03b9"),
        (fold_simple, "\u00df", "\u00df"),
        (fold_simple, "\u1e9e", "\u00df"),
        (fold_simple, "\u0130", "\u0130"),
        (fold_simple, "\u0345", "\u03b9"),
        (fold_simple, "ABC xyz", "abc xyz"),
    ],
    ids=[
        "sharp-s",
        "capital-sharp-s",
        "dotted-I",
        "I",
        "micro",
        "final-sigma",
        "full-greek",
        "simple-sharp-s",
        "simple-capital-sharp-s",
        "simple-dotted-I",
        "simple-ypogegrammeni",
        "simple-ascii",
    ],
)
def test_case_folding(fn, text, expected):
    assert fn(text) == expected


@pytest.mark.parametrize("tail", ["", "é"], ids=["ascii-str", "latin1-str"])
def test_ascii_runs_of_every_length_map_byte_for_byte(tail):
    for n in range(40):
        for start in (0x20, 0x41, 0x61):
            text = "".join(chr(0x20 + (start - 0x20 + i * 7) % 95) for i in range(n)) + tail
            assert lower(text) == lower(text, None) == lower(text, "en") == text.lower()
            assert upper(text) == upper(text, None) == upper(text, "en") == text.upper()
            assert fold(text) == text.casefold()
            assert fold_simple(text) == text.casefold()


known = st.characters(blacklist_categories=("Cs",)).filter(
    lambda c: unicodedata.category(c) != "Cn"
)


def known_to_stdlib(mapped):
    # The interpreter's tables may predate mappings to characters added later.
    return all(unicodedata.category(c) != "Cn" for c in mapped)


@settings(max_examples=300)
@given(st.text(alphabet=known, max_size=30))
def test_uppercase_and_folding_agree_with_str_methods(text):
    if known_to_stdlib(upper(text)):
        assert upper(text) == text.upper()
    assert fold(text) == text.casefold()


@settings(max_examples=300)
@given(st.text(alphabet=known.filter(lambda c: c != "\u03a3"), max_size=30))
def test_lowercase_without_sigma_agrees_with_str_lower(text):
    assert lower(text) == text.lower()


@settings(max_examples=300)
@given(st.text(alphabet=st.characters(blacklist_categories=("Cs",)), max_size=30))
def test_simple_folding_keeps_the_code_point_count(text):
    assert len(fold_simple(text)) == len(text)


@settings(max_examples=200)
@given(st.text(alphabet=st.sampled_from("ΣΑσ.' \u0301\u0345Iİi\u0307a1"), max_size=20))
def test_sigma_lowercases_to_one_of_the_two_sigmas(text):
    out = lower(text)
    assert "\u03a3" not in out
    assert out.count("\u03c2") + out.count("\u03c3") == text.count("Σ") + text.count("σ")


# Texts that each function leaves as they are, in every stored form of a str:
# ASCII, Latin-1, UCS-2 and UCS-4.
UNCHANGED = [
    (lower, "hello, world " * 80),
    (lower, "grüße aus köln " * 80),
    (lower, "привет, мир " * 80),
    (lower, "東京の天気 😀 " * 80),
    (upper, "HELLO, WORLD " * 80),
    (upper, "ÉCOLE ÀÇ " * 80),
    (upper, "ПРИВЕТ नमस्ते " * 80),
    (title, "Hello World " * 80),
    (title, "Ünë Çà " * 80),
    (title, "日本語 ภาษาไทย " * 80),
    (fold, "àéîõü " * 80),
    (fold, "𐐨𐐩 ok " * 80),
    (fold_simple, "straße " * 80),
    (fold_simple, "ﬃ ǆ " * 80),
]


@pytest.mark.parametrize(
    "fn, text", UNCHANGED, ids=[f"{fn.__name__}-{t[:6]}" for fn, t in UNCHANGED]
)
def test_unchanged_text_is_returned_as_is_without_allocating(fn, text):
    fn(text)
    text = (text + "x")[:-1]  # a fresh str, which has no UTF-8 form attached
    tracemalloc.start()
    try:
        before, _ = tracemalloc.get_traced_memory()
        tracemalloc.reset_peak()
        result = fn(text)
        _, peak = tracemalloc.get_traced_memory()
    finally:
        tracemalloc.stop()
    assert result is text
    assert peak - before < 200  # a copy or a UTF-8 form of the text takes over 1000 bytes


def test_a_str_subclass_comes_back_as_an_exact_str():
    class Sub(str):
        pass

    for fn in (lower, upper, title, fold, fold_simple):
        for text in ("abc", "ABC"):
            result = fn(Sub(text))
            assert type(result) is str and result == fn(text)


# Results stored in another form than the text: narrower (which the
# interpreter requires of every str: a str stored wider than it needs compares
# unequal to the same text), or wider than the text's own units.
CHANGED_FORM = [
    (upper, "straße", "STRASSE"),  # Latin-1 to ASCII
    (upper, "ı", "I"),  # UCS-2 to ASCII
    (upper, "ıé", "IÉ"),  # UCS-2 to Latin-1
    (upper, "x" * 1000 + "ÿ", "X" * 1000 + "Ÿ"),  # Latin-1 to UCS-2
    (upper, "µ", "Μ"),
    (lambda t: lower(t, "tr"), "I" * 1000, "ı" * 1000),  # ASCII to UCS-2
    (lambda t: upper(t, "az"), "i", "İ"),
    (fold, "µ" * 3, "μ" * 3),
    (fold, "ẞ", "ss"),  # UCS-2 to ASCII
    (fold_simple, "Ａ𐐀", "ａ𐐨"),  # stays UCS-4
    (title, "ǆemal", "ǅemal"),
    (lower, "ΑΣ " + "a" * 1000, "ας " + "a" * 1000),
]


@pytest.mark.parametrize(
    "fn, text, expected",
    CHANGED_FORM,
    ids=[
        "latin1-ascii",
        "ucs2-ascii",
        "ucs2-latin1",
        "latin1-ucs2",
        "micro",
        "ascii-ucs2",
        "ascii-ucs2-upper",
        "fold-micro",
        "fold-ucs2-ascii",
        "ucs4",
        "title-ucs2",
        "sigma",
    ],
)
def test_result_is_stored_in_the_narrowest_form(fn, text, expected):
    result = fn(text)
    assert result == expected
    assert sys.getsizeof(result) == sys.getsizeof(expected)
    assert hash(result) == hash(expected)
