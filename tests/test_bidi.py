"""bidi_resolve: the bidi data and the rules of UAX #9, one table per rule family.

Texts use the controls by name: LRE, RLE, LRO, RLO, PDF, LRI, RLI, FSI, PDI.
Levels are written as lists; X stands for a removed code point (255).
"""

import random
import re
from pathlib import Path

import pytest
import scrivlet

LRE, RLE, PDF, LRO, RLO = "\u202a", "\u202b", "\u202c", "\u202d", "\u202e"
LRI, RLI, FSI, PDI = "\u2066", "\u2067", "\u2068", "\u2069"
ALEF, BET, GIMEL = "\u05d0", "\u05d1", "\u05d2"  # R
BEH = "\u0628"  # AL
ACUTE = "\u0301"  # NSM
ZWSP = "\u200b"  # BN
PS = "\u2029"  # B
X = 255

DATA = Path(__file__).resolve().parent.parent / "src" / "data" / "bidi_class_data.h"


def levels(text):
    return list(scrivlet.bidi_resolve(text)["levels"])


def paragraph(text):
    return scrivlet.bidi_resolve(text)["paragraph_level"]


def order(text):
    return scrivlet.bidi_resolve(text)["reorder"]


# --- the generated tables ---


def table(name):
    text = DATA.read_text(encoding="utf-8")
    body = re.search(name + r"\[\d+\] = \{(.*?)\n\};", text, re.DOTALL).group(1)
    return body


def class_ranges():
    return [
        (int(a, 16), int(b, 16), c)
        for a, b, c in re.findall(
            r"\{0x([0-9A-F]+), 0x([0-9A-F]+), BidiClass::(\w+)\}", table("BIDI_CLASS_RANGES")
        )
    ]


def class_of(cp, ranges):
    for first, last, cls in ranges:
        if first <= cp <= last:
            return cls
    return "L"


CLASS_CASES = [
    (0x0000, "BN"), (0x0008, "BN"), (0x0009, "S"), (0x000A, "B"), (0x000B, "S"), (0x000C, "WS"),
    (0x000D, "B"), (0x001C, "B"), (0x001E, "B"), (0x001F, "S"), (0x0020, "WS"), (0x0085, "B"),
    (0x00A0, "CS"), (0x00AD, "BN"), (0x002B, "ES"), (0x002D, "ES"), (0x002C, "CS"), (0x002E, "CS"),
    (0x002F, "CS"), (0x003A, "CS"), (0x0023, "ET"), (0x0025, "ET"), (0x0030, "EN"), (0x0039, "EN"),
    (0x0660, "AN"), (0x06F0, "EN"), (0x2212, "ES"), (0x20AC, "ET"), (0x20C1, "ET"), (0x061C, "AL"),
    (0x200E, "L"), (0x200F, "R"), (0x2028, "WS"), (0x2029, "B"), (0x180E, "BN"), (0xFEFF, "BN"),
    (0xE0001, "BN"), (0x202A, "LRE"), (0x202B, "RLE"), (0x202C, "PDF"), (0x202D, "LRO"),
    (0x202E, "RLO"), (0x2066, "LRI"), (0x2067, "RLI"), (0x2068, "FSI"), (0x2069, "PDI"),
    (0x0590, "L"), (0x05C8, "L"), (0x05FF, "L"), (0xFDD0, "L"), (0x2065, "L"), (0xE0000, "L"),
    (0x10FFFF, "L"), (0x10940, "R"), (0x10959, "R"), (0x10ED0, "ON"), (0x10ED8, "ON"),
    (0x11B60, "NSM"), (0x10D40, "AN"), (0x10D49, "AN"), (0x05D0, "R"), (0x0628, "AL"),
]  # fmt: skip


@pytest.mark.parametrize(("cp", "cls"), CLASS_CASES, ids=[f"U+{cp:04X}" for cp, _ in CLASS_CASES])
def test_class_table_gives_the_bidi_class(cp, cls):
    assert class_of(cp, class_ranges()) == cls


def test_class_table_is_sorted_merged_and_never_l():
    ranges = class_ranges()
    assert len(ranges) == 810
    assert ranges[0] == (0x0000, 0x0008, "BN") and ranges[-1] == (0xE0100, 0xE01EF, "NSM")
    for (a1, b1, c1), (a2, b2, c2) in zip(ranges, ranges[1:]):
        assert a1 <= b1 < a2 <= b2
        assert not (b1 + 1 == a2 and c1 == c2)
    assert all(c != "L" for _, _, c in ranges)


def pairs(name):
    return [
        (int(a, 16), int(b, 16))
        for a, b in re.findall(r"\{0x([0-9A-F]+), 0x([0-9A-F]+)\}", table(name))
    ]


def test_bracket_tables_hold_the_64_pairs_both_ways():
    opening = pairs("BIDI_BRACKET_PAIRS")
    closing = pairs("BIDI_CLOSING_TO_OPENING")
    closers = pairs("BIDI_CLOSING_BRACKETS")
    assert len(opening) == len(closing) == len(closers) == 64
    assert opening[0] == (0x28, 0x29) and opening[-1] == (0xFF62, 0xFF63)
    assert opening == sorted(opening) and closing == sorted(closing)
    assert sorted((c, o) for o, c in opening) == closing
    assert closers == [(c, c) for c, _ in closing]
    assert (0x298D, 0x2990) in opening and (0x298F, 0x298E) in opening
    assert opening.index((0x298F, 0x298E)) == opening.index((0x298D, 0x2990)) + 1
    assert dict(closing)[0x298E] == 0x298F and dict(closing)[0x2990] == 0x298D
    assert dict(closing)[0x232A] == 0x2329 and dict(opening)[0xFF3B] == 0xFF3D


# --- the class lookup, seen through the algorithm ---

REMOVED = ["\u0000", "\u0008", "\u00ad", "\u180e", "\ufeff", "\U000e0001", ZWSP, PDF]


@pytest.mark.parametrize("ch", REMOVED, ids=[f"U+{ord(c):04X}" for c in REMOVED])
def test_boundary_neutrals_are_removed(ch):
    assert levels("a" + ch + "b") == [0, X, 0]


@pytest.mark.parametrize("ch", [LRE, RLE, LRO, RLO], ids=["LRE", "RLE", "LRO", "RLO"])
def test_embedding_controls_are_removed(ch):
    assert levels("a" + ch + "b" + PDF + "c") == [0, X, 2 if ch in (LRE, LRO, RLE) else 1, X, 0]


UNASSIGNED = [
    "\u0590",
    "\u05c8",
    "\u05ff",
    "\ufdd0",
    "\u2065",
    "\U000e0000",
    "\U0010ffff",
    "\u200e",
]


@pytest.mark.parametrize("ch", UNASSIGNED, ids=[f"U+{ord(c):04X}" for c in UNASSIGNED])
def test_unassigned_code_points_are_strong_left_to_right(ch):
    # An L after a Hebrew letter rises to level 2, a neutral would stay at 1.
    assert paragraph(ch) == 0
    assert levels(ALEF + ch) == [1, 2]


RTL_LETTERS = [ALEF, "\u200f", "\U00010940", BEH, "\u061c", "\u0710"]


@pytest.mark.parametrize("ch", RTL_LETTERS, ids=[f"U+{ord(c):04X}" for c in RTL_LETTERS])
def test_right_to_left_letters_set_paragraph_level_one(ch):
    assert paragraph(ch + "abc") == 1


@pytest.mark.parametrize(
    ("ch", "percent_level"),
    [(ALEF, 2), ("\u200f", 2), (BEH, 0), ("\u061c", 0)],
    ids=["hebrew-R", "RLM-R", "beh-AL", "ALM-AL"],
)
@pytest.mark.parametrize(
    "before",
    ["a", "a" * 15 + "1 ", "a" * 15 + "1" + " " * 20],
    ids=["short", "after-a-number-at-16", "spaces-after-a-number"],
)
def test_arabic_letters_make_following_digits_arabic(ch, percent_level, before):
    # After R the digit stays EN and draws the % in (W5); after AL it is AN (W2) and the % is neutral.
    assert levels(before + ch + "1%")[len(before) + 2] == percent_level


@pytest.mark.parametrize(
    ("ch", "level"),
    [("0", 0), ("\u06f0", 0), ("\u0660", 2), ("\U00010d40", 2)],
    ids=["digit-EN", "extended-arabic-EN", "arabic-indic-AN", "garay-AN"],
)
def test_european_and_arabic_digits(ch, level):
    assert levels("a" + ch)[1] == level


@pytest.mark.parametrize(
    ("ch", "level"),
    [("+", 2), ("\u2212", 2), (",", 2), ("\u00a0", 2), ("%", 2), ("\u20c1", 2), ("!", 1)],
    ids=["plus-ES", "minus-ES", "comma-CS", "nbsp-CS", "percent-ET", "new-currency-ET", "bang-ON"],
)
def test_number_separators_and_terminators_join_digits(ch, level):
    assert levels(ALEF + "1" + ch + "2")[2] == level


@pytest.mark.parametrize(("ch", "level"), [(",", 2), ("+", 1)], ids=["comma-CS", "plus-ES"])
def test_only_common_separators_join_arabic_digits(ch, level):
    assert levels(BEH + "\u0661" + ch + "\u0662")[2] == level


@pytest.mark.parametrize(("sep", "level"), [(PS, 0), ("\u2028", 2)], ids=["U+2029-B", "U+2028-WS"])
def test_paragraph_separator_takes_paragraph_level_and_line_separator_does_not(sep, level):
    assert levels(RLE + "b" + sep + "c")[2] == level


# --- P2, P3: the paragraph level ---

PARAGRAPH_CASES = [
    ("abc", 0, "latin"),
    (ALEF + "bc", 1, "hebrew-first"),
    ("123", 0, "digits-not-strong"),
    ("", 0, "empty"),
    ("!?" + BEH, 1, "neutrals-skipped"),
    (RLI + ALEF + PDI + "abc", 0, "isolate-content-skipped"),
    (RLI + ALEF, 0, "unmatched-initiator-skips-to-end"),
    ("abc" + PS + ALEF, 0, "first-strong-before-separator"),
    (PS + ALEF, 1, "scan-crosses-separator"),
    (PDI + ALEF, 1, "stray-PDI-ignored"),
    (LRI + PDI + PDI + ALEF, 1, "depth-never-below-zero"),
    (LRI + RLI + PDI + "a" + PDI + ALEF, 1, "nested-isolates"),
    (RLE + "a", 0, "embeddings-do-not-decide"),
]


@pytest.mark.parametrize(
    ("text", "level"), [c[:2] for c in PARAGRAPH_CASES], ids=[c[2] for c in PARAGRAPH_CASES]
)
def test_first_strong_outside_isolates_sets_paragraph_level(text, level):
    assert paragraph(text) == level


# --- X1-X9: explicit embeddings, overrides and overflow ---

NESTED = "".join(LRE + "a" for _ in range(62))  # letters at 2, 4, ..., 124


def test_62_nested_embeddings_reach_level_124():
    assert [v for v in levels(NESTED) if v != X] == list(range(2, 125, 2))


EXPLICIT_CASES = [
    (NESTED + LRE + "b", 124, "63rd-LRE-overflows"),
    (NESTED + RLE + ALEF, 125, "RLE-at-124-gives-125"),
    (NESTED + RLE + "x", 126, "L-at-125-resolves-to-126"),
    (NESTED + LRE + "b" + RLE + ALEF, 125, "no-push-after-overflow"),
    (NESTED + RLE + ALEF + RLE + "b" + PDF + "c", 126, "PDF-cancels-overflow-first"),
    (NESTED + RLE + ALEF + RLE + "b" + PDF + "c" + PDF + "d", 124, "second-PDF-pops"),
    (NESTED + LRI + "b" + PDI + PDF + "c", 122, "PDI-of-overflowed-isolate-closes-nothing"),
]


@pytest.mark.parametrize(
    ("text", "last"), [c[:2] for c in EXPLICIT_CASES], ids=[c[2] for c in EXPLICIT_CASES]
)
def test_embedding_depth_limit(text, last):
    assert levels(text)[-1] == last


EMBEDDING_CASES = [
    ("a" + LRO + ALEF + BET, [0, X, 2, 2], "LRO-makes-hebrew-L"),
    ("a" + RLO + "bc", [0, X, 1, 1], "RLO-makes-latin-R"),
    (ALEF + LRO + "(" + BET + ")" + PDF, [1, X, 2, 2, 2, X], "override-brackets-are-L"),
    ("a" + RLE + "bc" + PDF + "d", [0, X, 2, 2, X, 0], "RLE-content-at-1-resolves-to-2"),
    (PDF + "a", [X, 0], "PDF-with-nothing-open"),
    (PDI + "a", [0, 0], "PDI-with-nothing-open"),
    (RLE + "abc" + PS + "def", [X, 2, 2, 2, 0, 2, 2, 2], "separator-does-not-close-embedding"),
    (RLO + LRI + "a" + PDI + "b", [X, 1, 2, 1, 1], "isolate-in-override-starts-afresh"),
    (RLE + LRI + "a" + PDF + "b" + PDI + "c", [X, 1, 2, X, 2, 1, 2], "PDF-inside-isolate-ignored"),
    (LRI + RLE + "a" + PDI + "b", [0, X, 4, 0, 0], "PDI-closes-embeddings-inside"),
]


@pytest.mark.parametrize(
    ("text", "want"), [c[:2] for c in EMBEDDING_CASES], ids=[c[2] for c in EMBEDDING_CASES]
)
def test_explicit_embeddings_and_overrides(text, want):
    assert levels(text) == want


# --- isolates: BD9, BD13, X5a-X5c, X6a, X10 ---

ISOLATE_CASES = [
    ("a" + RLI + "!" + PDI + "c", [0, 0, 1, 0, 0], "content-gets-sos-and-eos-R"),
    ("a" + RLI + "b" + PDI + "c", [0, 0, 2, 0, 0], "latin-inside-RLI"),
    (ALEF + RLI + "b" + PDI + "!" + BET, [1, 1, 4, 1, 1, 1], "initiator-and-PDI-join-one-sequence"),
    ("a" + FSI + ALEF + "b" + PDI + "c", [0, 0, 1, 2, 0, 0], "FSI-first-strong-R"),
    ("a" + FSI + "b" + ALEF + PDI + "c", [0, 0, 2, 3, 0, 0], "FSI-first-strong-L"),
    (FSI + LRI + ALEF + PDI + "b" + PDI, [0, 2, 5, 2, 2, 0], "FSI-skips-nested-isolate"),
    (FSI + "!" + PDI + ALEF, [1, 2, 1, 1], "FSI-look-ahead-stops-at-its-PDI"),
    (FSI + "!" + ALEF, [0, 1, 1], "unmatched-FSI-looks-to-the-end"),
    (FSI + "!" + PDI + "a" + FSI + ALEF, [0, 2, 0, 0, 0, 1], "each-FSI-decides-alone"),
    (FSI + FSI + ALEF + PDI + "!" + PDI + "b", [0, 2, 3, 2, 2, 0, 0], "nested-FSI-with-no-strong"),
    (RLI + "a" + PDI + PDI + "b", [0, 2, 0, 0, 0], "second-PDI-unmatched"),
    ("a" + RLI + ACUTE + PDI + "c", [0, 0, 1, 0, 0], "mark-at-isolate-start-takes-sos"),
    (ALEF + LRI + "a" + PDI + ACUTE + "b", [1, 1, 2, 1, 1, 2], "mark-after-PDI-is-neutral"),
]


@pytest.mark.parametrize(
    ("text", "want"), [c[:2] for c in ISOLATE_CASES], ids=[c[2] for c in ISOLATE_CASES]
)
def test_isolates(text, want):
    assert levels(text) == want


def test_overflowed_isolate_is_a_neutral_of_its_run():
    # The RLI overflows: it stays at 124 between two Hebrew letters and resolves R.
    text = NESTED[:-2] + LRE + LRI + "a" + ALEF + RLI + ALEF
    assert levels(text)[-5:] == [124, 124, 125, 125, 125]


def test_matched_pdi_of_overflowed_isolate_after_separator_forms_own_sequence():
    # The separator drops to level 0 inside the overflowed isolate, so the LRI's
    # run ends at the letter; its matched PDI starts a run that forms a
    # sequence alone, with sos and eos L from level 124: the PDI and the
    # neutral after it stay at 124 next to the Hebrew letter.
    text = NESTED[:-2] + LRE + LRI + "a" + PS + PDI + "!" + ALEF
    assert levels(text)[-6:] == [124, 124, 0, 124, 124, 125]


# --- W1-W7: weak types ---

WEAK_CASES = [
    (ALEF + "1,2", [1, 2, 2, 2], "W4-comma-joins-digits"),
    (ALEF + "1,2,3", [1, 2, 2, 2, 2, 2], "W4-sees-resolved-digit"),
    (ALEF + "1+2", [1, 2, 2, 2], "W4-plus-joins-european-digits"),
    (ALEF + "1+ 2", [1, 2, 1, 1, 2], "W4-needs-both-neighbours"),
    (ALEF + "1,,2", [1, 2, 1, 1, 2], "W4-single-separator-only"),
    (BEH + "12", [1, 2, 2], "W2-digits-after-arabic-are-AN"),
    (BEH + "1%", [1, 2, 1], "W2-AN-does-not-draw-ET"),
    (ALEF + "1%", [1, 2, 2], "W5-ET-after-EN"),
    (ALEF + "%%1", [1, 2, 2, 2], "W5-ET-run-before-EN"),
    (ALEF + "%" + ZWSP + "1", [1, 2, X, 2], "W5-across-removed"),
    (ALEF + "%!", [1, 1, 1], "W6-lone-ET-is-neutral"),
    ("a" + ALEF + "1", [0, 1, 2], "W7-EN-after-R-stays"),
    ("a" + ALEF + "b1", [0, 1, 0, 0], "W7-EN-after-L-is-L"),
    (ALEF + ACUTE, [1, 1], "W1-mark-takes-R"),
    (ACUTE + ALEF, [1, 1], "W1-mark-takes-sos"),
    ("a" + ALEF + "1" + ACUTE, [0, 1, 2, 2], "W1-mark-after-digit-is-EN"),
    (BEH + ACUTE + "1", [1, 1, 2], "W1-mark-takes-AL-then-W2"),
    (BEH + BEH + ACUTE + "1", [1, 1, 1, 2], "W1-mark-within-a-word-takes-AL-then-W2"),
    (ALEF + LRI + "b" + PDI + ACUTE + BET, [1, 1, 2, 1, 1, 1], "W1-mark-after-PDI-is-ON"),
    (RLE + ACUTE + PDF + "a", [X, 1, X, 0], "W1-sos-of-embedding"),
]


@pytest.mark.parametrize(
    ("text", "want"), [c[:2] for c in WEAK_CASES], ids=[c[2] for c in WEAK_CASES]
)
def test_weak_types(text, want):
    assert levels(text) == want


# --- BD16, N0: paired brackets ---

BRACKET_CASES = [
    ("a(b)" + ALEF, [0, 0, 0, 0, 1], "same-direction-inside"),
    (ALEF + "(a)" + BET, [1, 1, 2, 1, 1], "opposite-inside-context-e"),
    ("a" + ALEF + "(" + BET + ")b", [0, 1, 1, 1, 1, 0], "opposite-inside-context-opposite"),
    ("a" + ALEF + "(" + BET + "]b", [0, 1, 1, 1, 0, 0], "mismatched-brackets-unpaired"),
    ("a" + ALEF + "\u2329" + BET + "\u3009b", [0, 1, 1, 1, 1, 0], "U+2329-pairs-with-U+3009"),
    ("a" + ALEF + "\u3008" + BET + "\u232ab", [0, 1, 1, 1, 1, 0], "U+3008-pairs-with-U+232A"),
    ("a" + ALEF + "\u2329" + BET + "\u232ab", [0, 1, 1, 1, 1, 0], "U+2329-pairs-with-U+232A"),
    ("a" + ALEF + "\uff08" + BET + ")b", [0, 1, 1, 1, 0, 0], "fullwidth-is-not-canonical"),
    ("a" + ALEF + "\u298d" + BET + "\u2990b", [0, 1, 1, 1, 1, 0], "irregular-pair"),
    ("a" + ALEF + "\u298f" + BET + "\u298eb", [0, 1, 1, 1, 1, 0], "irregular-pair-crossed"),
    ("a" + ALEF + "\u298d" + BET + "\u298eb", [0, 1, 1, 1, 0, 0], "irregular-not-by-shape"),
    ("a" + ALEF + "\uff3b" + BET + "\uff3db", [0, 1, 1, 1, 1, 0], "fullwidth-square"),
    (
        "a" + ALEF + "(" + BET + ")" + ACUTE + "b",
        [0, 1, 1, 1, 1, 1, 0],
        "mark-after-bracket-follows",
    ),
    (
        "a" + ALEF + "(" + BET + ")" + ACUTE + ACUTE + "b",
        [0, 1, 1, 1, 1, 1, 1, 0],
        "marks-after-bracket-follow",
    ),
    ("a" + ALEF + "(!)b", [0, 1, 0, 0, 0, 0], "nothing-strong-inside"),
    ("a" + ALEF + "(" + ZWSP + BET + ")b", [0, 1, 1, X, 1, 1, 0], "pair-across-removed"),
    (
        "a" + ALEF + "(" + BET + ")" + ZWSP + ACUTE + "b",
        [0, 1, 1, 1, 1, X, 1, 0],
        "mark-after-removed-after-bracket-follows",
    ),
    (ALEF + ")" + BET, [1, 1, 1], "unmatched-closer-N1"),
    ("a)" + ALEF, [0, 0, 1], "unmatched-closer-N2"),
    ("a" + ALEF + "([" + BET + ")]b", [0, 1, 1, 1, 1, 1, 0, 0], "closer-drops-inner-openers"),
    ("a" + ALEF + "((" + BET + ")b)", [0, 1, 0, 0, 1, 0, 0, 0], "outer-pair-is-context-of-inner"),
    (ALEF + "(a(" + BET + ")b)", [1, 1, 2, 1, 1, 1, 2, 1], "outer-L-inner-R"),
    ("a" + ALEF + "(1)b", [0, 1, 1, 2, 1, 0], "number-inside-counts-as-R"),
    (BEH + "(1)a", [1, 1, 2, 1, 2], "arabic-number-inside"),
    ("(" + ALEF + ")a" + ALEF, [1, 1, 1, 2, 1], "sos-as-context"),
    ("a" + RLE + "(b)" + PDF, [0, X, 1, 2, 1, X], "look-back-stops-at-sos"),
    ("a" + ALEF + "(" + BET + ")" + ACUTE + "!b", [0, 1, 1, 1, 1, 1, 0, 0], "marks-only-follow"),
    ("(" + BEH + "B;" + ACUTE + ")\u4e2d", [1, 1, 2, 1, 1, 1, 2], "closer-after-neutral-mark"),
    (
        # the second mark was R by override before W1, so it is not a mark N0 carries
        "a" + RLE + "c" + ACUTE + "(b)" + PDF + RLO + ACUTE + PDF,
        [0, X, 2, 2, 2, 2, 2, X, X, 1, X],
        "overridden-mark-after-bracket-stays",
    ),
]


@pytest.mark.parametrize(
    ("text", "want"), [c[:2] for c in BRACKET_CASES], ids=[c[2] for c in BRACKET_CASES]
)
def test_bracket_pairs(text, want):
    assert levels(text) == want


@pytest.mark.parametrize(
    ("fill", "paired"), [(61, True), (62, False)], ids=["63-entries", "64th-opener"]
)
def test_bracket_stack_holds_63_openers(fill, paired):
    pair = "a" + ALEF + "(" + BET + ")b"
    text = pair + "[" * fill + "{" + pair
    got = levels(text)
    assert got[4] == 1  # the first pair was found before the stack filled
    assert got[-2] == (1 if paired else 0)


def test_many_pairs_resolve_independently():
    # Pairs far apart, each with its own context.
    text = ("a" + ALEF + "(" + BET + ")b") * 30
    assert levels(text) == [0, 1, 1, 1, 1, 0] * 30


# --- N1, N2: neutrals ---

NEUTRAL_CASES = [
    (ALEF + " " + BET, [1, 1, 1], "N1-between-R"),
    ("a b", [0, 0, 0], "N1-between-L"),
    (ALEF + " 1", [1, 1, 2], "N1-EN-counts-as-R"),
    (ALEF + "!\u0661", [1, 1, 2], "N1-AN-counts-as-R"),
    ("a " + ALEF, [0, 0, 1], "N2-embedding-direction-L"),
    (ALEF + " a", [1, 1, 2], "N2-embedding-direction-R"),
    ("!" + ALEF, [1, 1], "N1-sos"),
    ("a" + ALEF + "!", [0, 1, 0], "N2-eos-L"),
    ("a" + RLE + "b!" + PDF + "c", [0, X, 2, 1, X, 0], "N2-eos-R-at-embedding-end"),
    (ALEF + " " + ZWSP + " " + BET, [1, 1, X, 1, 1], "removed-inside-neutral-run"),
    (ALEF + RLI + PDI + BET, [1, 1, 1, 1], "isolate-controls-are-neutral"),
    (ALEF + "\t" + BET, [1, 1, 1], "segment-separator-neutral"),
]


@pytest.mark.parametrize(
    ("text", "want"), [c[:2] for c in NEUTRAL_CASES], ids=[c[2] for c in NEUTRAL_CASES]
)
def test_neutrals(text, want):
    assert levels(text) == want


# --- L1, L2 and the result ---

LINE_CASES = [
    ("abc", 0, [0, 0, 0], [0, 1, 2], "latin"),
    (ALEF + BET + GIMEL, 1, [1, 1, 1], [2, 1, 0], "hebrew"),
    ("ab" + ALEF + BET, 0, [0, 0, 1, 1], [0, 1, 3, 2], "latin-then-hebrew"),
    (ALEF + " 12", 1, [1, 1, 2, 2], [2, 3, 1, 0], "digits-inside-rtl"),
    (ALEF + LRE + "a ", 1, [1, X, 2, 1], [3, 2, 0], "trailing-space-to-paragraph-level"),
    ("a" + ZWSP + "b", 0, [0, X, 0], [0, 2], "removed-left-out"),
    (ALEF + PS + "a", 1, [1, 1, 2], [2, 1, 0], "separator-inside"),
    (ZWSP + ZWSP, 0, [X, X], [], "only-removed"),
    ("", 0, [], [], "empty"),
    ("a" + ALEF + "12" + BET, 0, [0, 1, 2, 2, 1], [0, 4, 2, 3, 1], "three-levels"),
    ("a" + RLE + ALEF + "  ", 0, [0, X, 1, 0, 0], [0, 2, 3, 4], "trailing-spaces"),
    (
        "a" + RLE + ALEF + " \t" + BET,
        0,
        [0, X, 1, 0, 0, 1],
        [0, 2, 3, 4, 5],
        "whitespace-before-tab",
    ),
    ("a" + RLE + ALEF + LRI, 0, [0, X, 1, 0], [0, 2, 3], "trailing-isolate-control"),
    (
        "a" + RLE + ALEF + " " + ZWSP + " ",
        0,
        [0, X, 1, 0, X, 0],
        [0, 2, 3, 5],
        "removed-inside-trailing-run",
    ),
    ("a" + RLE + ALEF + " " + BET, 0, [0, X, 1, 1, 1], [0, 4, 3, 2], "inner-space-kept"),
    (RLE + "a\n" + ALEF, 0, [X, 2, 0, 1], [1, 2, 3], "line-feed-resets"),
]


@pytest.mark.parametrize(
    ("text", "para", "want_levels", "want_order"),
    [c[:4] for c in LINE_CASES],
    ids=[c[4] for c in LINE_CASES],
)
def test_line_rules_and_visual_order(text, para, want_levels, want_order):
    got = scrivlet.bidi_resolve(text)
    assert got["paragraph_level"] == para
    assert list(got["levels"]) == want_levels
    assert got["reorder"] == want_order


def reference_order(levels):
    """L2 as written: reverse every stretch at or above each level, highest first."""
    kept = [(i, v) for i, v in enumerate(levels) if v != X]
    idx = [i for i, _ in kept]
    lv = [v for _, v in kept]
    odd = [v for v in lv if v % 2]
    for v in range(max(lv, default=0), min(odd, default=X) - 1, -1):
        i = 0
        while i < len(lv):
            j = i
            while j < len(lv) and lv[j] >= v:
                j += 1
            idx[i:j] = idx[i:j][::-1]
            i = j + 1
    return idx


DEEP_TEXTS = {
    "embeddings-up-and-down": NESTED + "".join(PDF + "b" for _ in range(62)),
    "alternating-to-125": "".join(RLE + "a" + LRE + ALEF for _ in range(62)),
    "isolates-to-124": "".join(RLI + "a" + LRI + ALEF + "1" for _ in range(40)) + PDI * 80 + ALEF,
    "mixed-paragraph": ("a" + ALEF + "12 (" + BET + ") " + BEH + "\u0661\u0662 x") * 20,
}


@pytest.mark.parametrize("text", DEEP_TEXTS.values(), ids=DEEP_TEXTS.keys())
def test_visual_order_reverses_from_highest_to_lowest_odd_level(text):
    got = scrivlet.bidi_resolve(text)
    assert got["reorder"] == reference_order(got["levels"])


def test_visual_order_on_random_deep_texts():
    rng = random.Random(1207)
    pieces = [
        LRE,
        RLE,
        LRO,
        RLO,
        PDF,
        LRI,
        RLI,
        FSI,
        PDI,
        "a",
        ALEF,
        BEH,
        "1",
        "\u0661",
        " ",
        "(",
        ")",
    ]
    weights = [4, 4, 2, 2, 3, 3, 3, 2, 3, 4, 4, 2, 2, 2, 2, 1, 1]
    for _ in range(300):
        text = "".join(rng.choices(pieces, weights, k=rng.randint(1, 300)))
        got = scrivlet.bidi_resolve(text)
        assert got["reorder"] == reference_order(got["levels"]), text


@pytest.mark.parametrize("letter", ["a", ALEF], ids=["left-to-right", "right-to-left"])
def test_visual_order_of_long_runs_with_scattered_removals(letter):
    # Runs of several hundred code points with removed ones (ZWJ, soft
    # hyphen) at irregular places, both directions in one paragraph.
    rng = random.Random(len(letter) + ord(letter))
    text = "".join(rng.choice([letter, letter, letter, "\u200d", "\u00ad"]) for _ in range(1500))
    text = "1 " + text + " " + BET + text[:777]
    got = scrivlet.bidi_resolve(text)
    assert X in got["levels"]
    assert got["reorder"] == reference_order(got["levels"])


def test_highest_levels_are_reached():
    got = levels(DEEP_TEXTS["alternating-to-125"])
    assert max(v for v in got if v != X) == 125


def test_result_is_a_dict_with_keys_in_order():
    got = scrivlet.bidi_resolve(ALEF + "a")
    assert list(got) == ["paragraph_level", "levels", "reorder"]
    assert type(got["paragraph_level"]) is int
    assert type(got["levels"]) is bytes
    assert type(got["reorder"]) is list


@pytest.mark.parametrize(
    "text",
    [
        "plain latin text, with digits 123 and (brackets)!",
        "tab\tseparated\u00adsoft",
        "ascii \x01controls\x7f\x1c and separators\x1f\r\n",
        "x" * 1000,
    ],
    ids=["latin", "controls", "ascii-controls", "long"],
)
def test_left_to_right_text_stays_at_level_zero(text):
    got = scrivlet.bidi_resolve(text)
    assert got["paragraph_level"] == 0
    assert all(v in (0, X) for v in got["levels"])
    assert got["reorder"] == [i for i, v in enumerate(got["levels"]) if v != X]


@pytest.mark.parametrize(
    "text",
    [
        "a" + ALEF + "1,2 (" + BET + ") " + BEH + "\u0661",
        RLI + "x" + PDI + FSI + ALEF,
        RLO + "abc" + PDF,
    ],
    ids=["mixed", "isolates", "override"],
)
def test_visual_order_is_a_permutation_of_kept_code_points(text):
    got = scrivlet.bidi_resolve(text)
    kept = [i for i, v in enumerate(got["levels"]) if v != X]
    assert sorted(got["reorder"]) == kept


def test_non_str_argument_is_rejected():
    with pytest.raises(TypeError):
        scrivlet.bidi_resolve(b"abc")
