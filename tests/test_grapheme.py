"""Grapheme clusters: the pair rules, their one-character look-back, and the class data."""

import pytest

from scrivlet import grapheme_boundaries

ZWJ = "\u200d"
RI_A, RI_B, RI_C, RI_D = "\U0001F1E6", "\U0001F1E7", "\U0001F1E8", "\U0001F1E9"
VIRAMA = "\u094d"  # Devanagari Linker
KA, SSA = "\u0915", "\u0937"  # Devanagari Consonants


def clusters(text):
    """The clusters as strings, so expectations read as text."""
    data = text.encode()
    starts = grapheme_boundaries(text)
    ends = starts[1:] + [len(data)]
    return [data[a:b].decode() for a, b in zip(starts, ends)]


@pytest.mark.parametrize(
    "text,expected",
    [
        ("", []),
        ("abc", [0, 1, 2]),
        ("e\u0301x", [0, 3]),
        ("\u0301\u0301", [0]),
    ],
    ids=["empty", "ascii", "combining-mark", "leading-marks"],
)
def test_boundary_offsets(text, expected):
    assert grapheme_boundaries(text) == expected


CASES = [
    # GB3, GB4, GB5
    ("crlf-joins", "\r\n", ["\r\n"]),
    ("lfcr-breaks", "\n\r", ["\n", "\r"]),
    ("cr-then-letter", "\ra", ["\r", "a"]),
    ("cr-then-mark", "\r\u0301", ["\r", "\u0301"]),
    ("control-isolates", "a\x00b", ["a", "\x00", "b"]),
    ("control-then-mark", "\x00\u0301", ["\x00", "\u0301"]),
    ("letter-then-lf", "a\n", ["a", "\n"]),
    # GB6, GB7, GB8: Hangul
    ("L-V-T", "\u1100\u1161\u11a8", ["\u1100\u1161\u11a8"]),
    ("L-L-LV", "\u1100\u1100\uac00", ["\u1100\u1100\uac00"]),
    ("LV-T", "\uac00\u11a8", ["\uac00\u11a8"]),
    ("LV-V", "\uac00\u1161", ["\uac00\u1161"]),
    ("LVT-V-breaks", "\uac01\u1161", ["\uac01", "\u1161"]),
    ("LVT-T", "\uac01\u11a8", ["\uac01\u11a8"]),
    ("T-L-breaks", "\u11a8\u1100", ["\u11a8", "\u1100"]),
    ("V-L-breaks", "\u1161\u1100", ["\u1161", "\u1100"]),
    ("L-then-letter", "\u1100a", ["\u1100", "a"]),
    ("L-then-virama", "\u1100" + VIRAMA, ["\u1100" + VIRAMA]),
    # GB9, GB9a
    ("extend", "a\u0308", ["a\u0308"]),
    ("zwj-joins-letter", "a" + ZWJ, ["a" + ZWJ]),
    ("spacing-mark", "\u0915\u093e", ["\u0915\u093e"]),
    ("skin-tone-is-extend", "\U0001F44D\U0001F3FD", ["\U0001F44D\U0001F3FD"]),
    # GB9b
    ("prepend-joins-letter", "\u0600a", ["\u0600a"]),
    ("prepend-before-lf", "\u0600\n", ["\u0600", "\n"]),
    ("prepend-before-control", "\u0600\x00", ["\u0600", "\x00"]),
    ("prepend-joins-ascii-run", "\u0600ab", ["\u0600a", "b"]),
    # GB12, GB13: regional indicators pair from the start of a run
    ("four-ri", RI_A + RI_B + RI_C + RI_D, [RI_A + RI_B, RI_C + RI_D]),
    ("three-ri", RI_A + RI_B + RI_C, [RI_A + RI_B, RI_C]),
    ("ri-then-extend", RI_A + "\u0301" + RI_B, [RI_A + "\u0301", RI_B]),
    ("ri-then-letter", RI_A + "a", [RI_A, "a"]),
    # GB11 with one character of look-back
    ("family", "\U0001F468" + ZWJ + "\U0001F469" + ZWJ + "\U0001F467", ["\U0001F468\u200d\U0001F469\u200d\U0001F467"]),
    ("letter-zwj-emoji", "a" + ZWJ + "\U0001F600", ["a" + ZWJ, "\U0001F600"]),
    ("extend-zwj-emoji", "a\u0301" + ZWJ + "\U0001F600", ["a\u0301" + ZWJ + "\U0001F600"]),
    ("emoji-extend-zwj-emoji", "\U0001F44D\U0001F3FD" + ZWJ + "\u2640", ["\U0001F44D\U0001F3FD\u200d\u2640"]),
    ("zwj-then-letter", "\U0001F600" + ZWJ + "a", ["\U0001F600" + ZWJ, "a"]),
    ("emoji-then-emoji", "\U0001F600\U0001F600", ["\U0001F600", "\U0001F600"]),
    ("non-emoji-pictographic", "\u2605" + ZWJ + "\u2605", ["\u2605" + ZWJ, "\u2605"]),
    # GB9c with one character of look-back
    ("conjunct", KA + VIRAMA + SSA, [KA + VIRAMA + SSA]),
    ("conjunct-with-zwj", KA + VIRAMA + ZWJ + SSA, [KA + VIRAMA + ZWJ + SSA]),
    ("letter-virama-consonant", "a" + VIRAMA + KA, ["a" + VIRAMA, KA]),
    ("mark-virama-consonant", KA + "\u093c" + VIRAMA + SSA, [KA + "\u093c" + VIRAMA + SSA]),
    ("virama-virama-consonant", KA + VIRAMA + VIRAMA + SSA, [KA + VIRAMA + VIRAMA + SSA]),
    ("spacing-mark-virama-consonant", KA + "\u093e" + VIRAMA + SSA, [KA + "\u093e" + VIRAMA + SSA]),
    ("balinese-adeg-adeg", "a\u1b44\u1b13", ["a\u1b44\u1b13"]),
    ("consonant-after-zwj-after-consonant", KA + ZWJ + SSA, [KA + ZWJ + SSA]),
    ("consonant-after-zwj-after-letter", "a" + ZWJ + KA, ["a" + ZWJ, KA]),
    ("consonant-after-leading-zwj", ZWJ + KA, [ZWJ, KA]),
    ("linker-after-zwj", "a" + ZWJ + VIRAMA, ["a" + ZWJ + VIRAMA]),
    ("consonant-alone-breaks", KA + SSA, [KA, SSA]),
    ("virama-after-emoji", "\U0001F600" + VIRAMA, ["\U0001F600" + VIRAMA]),
    ("virama-after-ri", RI_A + VIRAMA, [RI_A + VIRAMA]),
    # GB999
    ("any-any", "ab", ["a", "b"]),
    ("letter-then-cjk", "a\u65e5", ["a", "\u65e5"]),
]


@pytest.mark.parametrize("text,expected", [c[1:] for c in CASES], ids=[c[0] for c in CASES])
def test_pair_rules(text, expected):
    assert clusters(text) == expected


def test_offsets_are_byte_offsets():
    assert grapheme_boundaries(RI_A * 4) == [0, 8]
    assert grapheme_boundaries(RI_A * 3) == [0, 8]
    assert grapheme_boundaries("\u00e9a\U0001F600b") == [0, 2, 3, 7]


@pytest.mark.parametrize(
    "cp,in_set",
    [
        (0x00A9, True), (0x00AE, True), (0x203C, True), (0x2122, True), (0x2194, True),
        (0x2199, True), (0x2600, True), (0x2604, True), (0x1F004, True),
        (0x2605, False), (0x2388, False), (0x1F000, False), (0x1F003, False),
        (0x1F10D, False), (0x1F10F, False),
        (0x1F0F6, True), (0x1F1AE, True), (0x1FC00, True), (0x1FFFD, True),
        (0x1F777, False), (0x1F8D0, False), (0x1FA54, False),
    ],
    ids=lambda v: f"{v:04X}" if isinstance(v, int) else str(v),
)
def test_emoji_pictographic_membership(cp, in_set):
    # A pictographic code point after ZWJ after an emoji joins; anything else breaks.
    text = "\U0001F600" + ZWJ + chr(cp)
    assert (len(grapheme_boundaries(text)) == 1) is in_set


@pytest.mark.parametrize(
    "cp,cls",
    [
        (0x11B60, "Extend"), (0x11B61, "SpacingMark"), (0x1E6E3, "Extend"), (0x1E6EF, "Extend"),
        (0x1E6F5, "Extend"), (0x16D63, "V"), (0x16D6A, "V"), (0x113D0, "Linker"),
        (0x0E0080, "Control"), (0xE0100, "Extend"), (0xE0FFF, "Control"),
    ],
    ids=lambda v: f"{v:04X}" if isinstance(v, int) else str(v),
)
def test_recent_additions_have_their_classes(cp, cls):
    c = chr(cp)
    if cls in ("Extend", "SpacingMark"):
        assert clusters("a" + c) == ["a" + c]
    elif cls == "Linker":
        assert clusters(KA + c + SSA) == [KA + c + SSA]
    elif cls == "V":
        # Kirat Rai vowel signs are V: they join after an L, not after a letter.
        assert clusters("\u1100" + c) == ["\u1100" + c]
        assert clusters("a" + c) == ["a", c]
    elif cls == "Control":
        assert clusters("a" + c + "b") == ["a", c, "b"]


def test_long_text_matches_piecewise_segmentation():
    # Clusters never depend on text before the cluster start: segmenting the
    # concatenation of whole clusters gives the concatenated boundaries.
    parts = ["e\u0301", "\U0001F468\u200d\U0001F469", RI_A + RI_B, KA + VIRAMA + SSA, "\r\n", "x"]
    text = "".join(parts) * 50
    assert clusters(text) == parts * 50
