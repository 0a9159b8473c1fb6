"""The four normalization forms: decomposition, canonical ordering, composition, Hangul."""

import sys
import tracemalloc
import unicodedata

import pytest
import scrivlet
from hypothesis import given, settings
from hypothesis import strategies as st

NFC, NFD = scrivlet.normalize_nfc, scrivlet.normalize_nfd
NFKC, NFKD = scrivlet.normalize_nfkc, scrivlet.normalize_nfkd
FORMS = {"NFC": NFC, "NFD": NFD, "NFKC": NFKC, "NFKD": NFKD}


def cps(*code_points):
    return "".join(map(chr, code_points))


@pytest.mark.parametrize("form", FORMS)
def test_empty_text_stays_empty(form):
    assert FORMS[form]("") == ""


@pytest.mark.parametrize(
    "form, text, expected",
    [
        ("NFD", cps(0x00C5), cps(0x41, 0x030A)),
        ("NFC", cps(0x41, 0x030A), cps(0x00C5)),
        ("NFC", cps(0x212B), cps(0x00C5)),  # a singleton never comes back
        ("NFD", cps(0x212B), cps(0x41, 0x030A)),
        ("NFD", cps(0x1E08), cps(0x43, 0x0327, 0x0301)),  # mappings decomposed again
        ("NFC", cps(0x1E9B, 0x0323), cps(0x1E9B, 0x0323)),
        ("NFD", cps(0x1E9B, 0x0323), cps(0x017F, 0x0323, 0x0307)),
        ("NFKD", cps(0x1E9B, 0x0323), cps(0x73, 0x0323, 0x0307)),
        ("NFKC", cps(0x1E9B, 0x0323), cps(0x1E69)),
    ],
    ids=[
        "nfd-A-ring",
        "nfc-A-ring",
        "nfc-angstrom",
        "nfd-angstrom",
        "nfd-two-levels",
        "nfc-long-s-dot",
        "nfd-long-s-dot",
        "nfkd-long-s-dot",
        "nfkc-long-s-dot",
    ],
)
def test_decomposition_and_recomposition(form, text, expected):
    assert FORMS[form](text) == expected


@pytest.mark.parametrize(
    "form, text, expected",
    [
        ("NFD", cps(0x61, 0x0301, 0x0323), cps(0x61, 0x0323, 0x0301)),  # 220 before 230
        ("NFC", cps(0x61, 0x0301, 0x0323), cps(0x1EA1, 0x0301)),
        ("NFD", cps(0x61, 0x0301, 0x0300), cps(0x61, 0x0301, 0x0300)),  # equal classes keep order
        (
            "NFD",
            cps(0x61, 0x0301, 0x0062, 0x0323),
            cps(0x61, 0x0301, 0x0062, 0x0323),
        ),  # starter fences
        ("NFD", cps(0x0301, 0x0323), cps(0x0323, 0x0301)),  # a run at the very start
        (
            "NFD",
            cps(0x61, 0x0345, 0x0301, 0x0334, 0x0323, 0x05B0),
            cps(0x61, 0x0334, 0x05B0, 0x0323, 0x0301, 0x0345),
        ),  # 1, 10, 220, 230, 240
        ("NFD", cps(0x61, 0x1ACF, 0x10EFA), cps(0x61, 0x10EFA, 0x1ACF)),  # 17.0 marks
    ],
    ids=[
        "below-then-above",
        "nfc-composes-below",
        "stable-equal-class",
        "starter-blocks-move",
        "leading-run",
        "five-classes",
        "new-in-17",
    ],
)
def test_canonical_ordering_sorts_non_starter_runs_stably(form, text, expected):
    assert FORMS[form](text) == expected


def test_long_misordered_run_is_sorted_by_class():
    marks = [0x0345, 0x0301, 0x0300, 0x0323, 0x0334, 0x05B0, 0x0316] * 30
    text = "a" + cps(*marks) + "b"
    expected = "a" + "".join(sorted(cps(*marks), key=unicodedata.combining)) + "b"
    assert NFD(text) == expected
    assert NFD(text) == unicodedata.normalize("NFD", text)


@pytest.mark.parametrize(
    "text, expected",
    [
        (cps(0x61, 0x0305, 0x0301), cps(0x61, 0x0305, 0x0301)),  # blocked by an equal class
        (cps(0x0301, 0x61), cps(0x0301, 0x61)),  # a leading non-starter stays
        (cps(0x0958), cps(0x0915, 0x093C)),  # excluded composite
        (cps(0x0344), cps(0x0308, 0x0301)),  # non-starter decomposition
        (cps(0x61, 0x0323, 0x0302), cps(0x1EAD)),  # lower class passed over, then absorbed
        (cps(0x61, 0x0315, 0x0300), cps(0x00E0, 0x0315)),  # 232 sorts after 230, which composes
        (cps(0x0B47, 0x0B3E), cps(0x0B4B)),  # two starters compose
        (cps(0x0B47, 0x0301, 0x0B3E), cps(0x0B47, 0x0301, 0x0B3E)),  # starter blocked by a mark
    ],
    ids=[
        "equal-class-blocks",
        "leading-mark",
        "excluded",
        "non-starter-decomp",
        "skip-lower-class",
        "sorted-then-composed",
        "starter-pair",
        "starter-pair-blocked",
    ],
)
def test_composition_respects_blocking_and_exclusions(text, expected):
    assert NFC(text) == expected


@pytest.mark.parametrize(
    "form, text, expected",
    [
        ("NFC", cps(0x1100, 0x1161, 0x11A8), cps(0xAC01)),
        ("NFC", cps(0xAC00, 0x11A8), cps(0xAC01)),
        ("NFD", cps(0xAC01), cps(0x1100, 0x1161, 0x11A8)),
        ("NFD", cps(0xAC00), cps(0x1100, 0x1161)),
        ("NFD", cps(0xD7A3), cps(0x1112, 0x1175, 0x11C2)),
        ("NFC", cps(0x1100, 0x0301, 0x1161), cps(0x1100, 0x0301, 0x1161)),
        ("NFC", cps(0xAC00, 0x0301, 0x11A8), cps(0xAC00, 0x0301, 0x11A8)),
        ("NFC", cps(0xAC01, 0x11A8), cps(0xAC01, 0x11A8)),  # an LVT takes no second T
        ("NFC", cps(0xAC00, 0x11A7), cps(0xAC00, 0x11A7)),  # TBase is not a trailing consonant
        ("NFKC", cps(0x3131, 0x314F), cps(0xAC00)),  # compatibility jamo become conjoining
    ],
    ids=[
        "L-V-T",
        "LV-T",
        "nfd-LVT",
        "nfd-LV",
        "nfd-last",
        "L-mark-V",
        "LV-mark-T",
        "LVT-T",
        "LV-TBase",
        "nfkc-compat-jamo",
    ],
)
def test_hangul_is_arithmetic(form, text, expected):
    assert FORMS[form](text) == expected


@pytest.mark.parametrize(
    "form, text, expected",
    [
        ("NFKC", cps(0xFB01), "fi"),
        ("NFKD", cps(0x2474), "(1)"),
        ("NFKC", cps(0x00A0), " "),
        ("NFKD", cps(0x00C5), cps(0x41, 0x030A)),  # the canonical mapping wins
        ("NFC", cps(0xFB01), cps(0xFB01)),  # canonical forms keep compatibility characters
        ("NFKD", cps(0xA7F1), "S"),
    ],
    ids=[
        "fi-ligature",
        "parenthesized-1",
        "nbsp",
        "canonical-first",
        "nfc-keeps-ligature",
        "new-in-17",
    ],
)
def test_compatibility_mappings(form, text, expected):
    assert FORMS[form](text) == expected


@pytest.mark.parametrize(
    "form, text, expected",
    [
        ("NFD", "\uac01\u0301\u0323", "\u1100\u1161\u11a8\u0323\u0301"),
        ("NFD", "\u0301\u0323\uac00", "\u0323\u0301\u1100\u1161"),
        ("NFC", "\u1100\u1161\uac00\u11a8", "\uac00\uac01"),
        ("NFD", "\u00e9\u0323x\u0301\u0323", "e\u0323\u0301x\u0323\u0301"),
        ("NFC", "A\u030a\u0301 \u212b", "\u01fa \u00c5"),
        ("NFKC", "\u314f\u1100\u314f", "\u1161\uac00"),
    ],
    ids=[
        "syllable-then-marks",
        "marks-then-syllable",
        "jamo-then-syllable",
        "two-chunks",
        "compose-twice",
        "compat-vowel-joins-leading",
    ],
)
def test_changes_next_to_unchanged_text(form, text, expected):
    assert FORMS[form](text) == expected


def test_nfkc_of_the_arabic_ligature_yields_18_code_points():
    assert len(NFKC(cps(0xFDFA))) == 18


def test_unchanged_stretches_around_a_change_are_kept():
    text = "Grüße, " * 50 + "e\u0301" + " 東京 " * 50 + "\u212b"
    assert NFC(text) == "Grüße, " * 50 + "\u00e9" + " 東京 " * 50 + "\u00c5"
    assert NFD(NFC(text)) == unicodedata.normalize("NFD", text)


# Characters that exercise every stage: marks of many classes, decomposables,
# singletons, Hangul syllables and jamo, compatibility characters, ASCII.
INTERESTING = (
    "aeiouAEIOUcnsz \u00c5\u212b\u00e9\u1e9b\u1e69\u1ea1\u0958\u0344\u0f73\u0f75\u0f81"
    "\u0300\u0301\u0302\u0305\u0307\u0308\u030a\u0315\u0316\u0323\u0327\u0334\u0345\u05b0\u093c"
    "\u0915\u0b47\u0b3e\u0dd9\u0dcf\u0dca\u1100\u1112\u1161\u1175\u11a7\u11a8\u11c2\uac00\uac01"
    "\ud7a3\u3131\u314f\ufb01\u2474\ufdfa\u00a0\u1e08\u00c7\u0390\u1f80\u1fb7\u0345\u3099\u304b"
    "\u1acf\u1ae0\U00010efa\U0001e6e3\ua7f1"
)
any_text = st.text(
    alphabet=st.one_of(st.sampled_from(INTERESTING), st.characters(blacklist_categories=("Cs",))),
    max_size=40,
)


@settings(max_examples=300)
@given(any_text)
def test_every_form_is_idempotent(text):
    for form in FORMS.values():
        once = form(text)
        assert form(once) == once


@settings(max_examples=300)
@given(any_text)
def test_composed_forms_do_not_depend_on_prior_decomposition(text):
    assert NFC(NFD(text)) == NFC(text)
    assert NFKC(NFKD(text)) == NFKC(text)
    assert NFD(NFC(text)) == NFD(text)


# Normalization data of an assigned character never changes between Unicode
# versions, so on characters that the interpreter's own tables know the
# results must agree.
known_to_stdlib = st.text(
    alphabet=st.one_of(
        st.sampled_from(INTERESTING), st.characters(blacklist_categories=("Cs",))
    ).filter(lambda c: unicodedata.category(c) != "Cn"),
    max_size=40,
)


@settings(max_examples=500)
@given(known_to_stdlib)
def test_agrees_with_the_standard_library_on_characters_it_knows(text):
    for name, form in FORMS.items():
        assert form(text) == unicodedata.normalize(name, text), name


@settings(max_examples=300)
@given(st.text(alphabet=st.sampled_from(INTERESTING), max_size=30))
def test_agrees_with_unicodedata2_on_text_with_17_0_characters(text):
    unicodedata2 = pytest.importorskip("unicodedata2")
    for name, form in FORMS.items():
        assert form(text) == unicodedata2.normalize(name, text), name


@pytest.mark.parametrize("name", FORMS)
def test_agrees_with_unicodedata2_on_every_single_character(name):
    unicodedata2 = pytest.importorskip("unicodedata2")
    form = FORMS[name]
    mismatches = [
        hex(cp)
        for cp in range(0x110000)
        if not 0xD800 <= cp <= 0xDFFF
        and unicodedata.category(chr(cp)) != "Cn"
        and form(chr(cp)) != unicodedata2.normalize(name, chr(cp))
    ]
    assert mismatches == []


# Texts already in the form, in every stored form of a str (ASCII, Latin-1,
# UCS-2, UCS-4), some with code points that the quick check cannot pass alone.
UNCHANGED = [
    ("NFC", "plain ascii " * 80),
    ("NFC", "grüße, café " * 80),
    ("NFD", "grusse, cafe\u0301 " * 80),
    ("NFKC", "東京 한국어 नमस्ते " * 80),
    ("NFKD", "привет ภาษาไทย " * 80),
    ("NFC", "x\u0301 \u0915\u093c " * 80),  # Maybe in the quick check, unchanged
    ("NFKC", "😀 emoji 👍🏽 " * 80),
]


@pytest.mark.parametrize("form, text", UNCHANGED, ids=[f"{f}-{t[:6]}" for f, t in UNCHANGED])
def test_text_in_the_form_is_returned_as_is_without_allocating(form, text):
    FORMS[form](text)
    text = (text + "x")[:-1]  # a fresh str, which has no UTF-8 form attached
    tracemalloc.start()
    try:
        before, _ = tracemalloc.get_traced_memory()
        tracemalloc.reset_peak()
        result = FORMS[form](text)
        _, peak = tracemalloc.get_traced_memory()
    finally:
        tracemalloc.stop()
    assert result is text
    assert peak - before < 200  # a copy or a UTF-8 form of the text takes over 1000 bytes


@pytest.mark.parametrize(
    "form, text, expected",
    [
        ("NFD", "é" * 1000, "e\u0301" * 1000),  # Latin-1 to UCS-2
        ("NFKD", "ª²", "a2"),  # Latin-1 to ASCII
        ("NFKC", "\ufb01", "fi"),  # UCS-2 to ASCII
        ("NFKC", "\U0001d400é", "Aé"),  # UCS-4 to Latin-1
        ("NFKC", "\U0001d400" * 1000, "A" * 1000),  # UCS-4 to ASCII
        ("NFC", "\u212b\U0001f600", "\u00c5\U0001f600"),  # stays UCS-4
        ("NFD", "\uac00", "\u1100\u1161"),
    ],
    ids=[
        "latin1-ucs2",
        "latin1-ascii",
        "ucs2-ascii",
        "ucs4-latin1",
        "ucs4-ascii",
        "ucs4",
        "hangul",
    ],
)
def test_result_is_stored_in_the_narrowest_form(form, text, expected):
    result = FORMS[form](text)
    assert result == expected
    assert sys.getsizeof(result) == sys.getsizeof(expected)
    assert hash(result) == hash(expected)
