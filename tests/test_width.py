"""Display width: the per-code-point rules in their order, and the plain sum over a text."""

from pathlib import Path

import pytest
from hypothesis import given
from hypothesis import strategies as st
from scrivlet import display_width

FAMILY = "\U0001f468\u200d\U0001f469\u200d\U0001f467"


@pytest.mark.parametrize(
    "text,width",
    [
        ("", 0),
        ("abc", 3),
        ("\u65e5\u672c", 4),
        ("e\u0301", 1),
        ("a\tb", 2),
        ("\r\n", 0),
        ("\U0001f44d\U0001f3fd", 2),
        ("\U0001f1ef\U0001f1f5", 2),
        (FAMILY, 6),
        ("\u263a\ufe0f", 1),
        ("Gr\u00fc\u00dfe \u6771\u4eac \U0001f44d\U0001f3fd!", 14),
    ],
    ids=[
        "empty",
        "ascii",
        "cjk",
        "combining",
        "tab",
        "crlf",
        "skin-tone",
        "flag-is-sum",
        "zwj-family-is-sum",
        "text-presentation",
        "mixed",
    ],
)
def test_text_width(text, width):
    assert display_width(text) == width


CODE_POINTS = [
    # rule 1: backspace, line feed, carriage return
    ("backspace", 0x0008, 0),
    ("lf", 0x000A, 0),
    ("cr", 0x000D, 0),
    # rule 2: marks and joiners, before the wide test
    ("extend", 0x0301, 0),
    ("zwj", 0x200D, 0),
    ("zwnj", 0x200C, 0),
    ("spacing-mark", 0x0903, 0),
    ("linker", 0x094D, 0),
    ("variation-selector", 0xFE0F, 0),
    ("skin-tone-in-wide", 0x1F3FB, 0),
    ("skin-tone-last", 0x1F3FF, 0),
    ("ideographic-tone-mark", 0x302A, 0),
    ("tone-mark-last", 0x302D, 0),
    ("kana-voicing", 0x3099, 0),
    ("kana-semi-voicing", 0x309A, 0),
    ("tag", 0xE0020, 0),
    ("supplementary-selector", 0xE0100, 0),
    # rule 3: C0 and C1 controls
    ("nul", 0x0000, 0),
    ("tab", 0x0009, 0),
    ("unit-separator", 0x001F, 0),
    ("del", 0x007F, 0),
    ("nel", 0x0085, 0),
    ("c1-last", 0x009F, 0),
    # rule 4: the wide ranges
    ("hangul-jamo-first", 0x1100, 2),
    ("hangul-jamo-last-wide", 0x115F, 2),
    ("watch", 0x231A, 2),
    ("ideographic-space", 0x3000, 2),
    ("cjk-symbols-last", 0x303E, 2),
    ("merged-run-start", 0x3250, 2),
    ("yi-end-of-run", 0xA48C, 2),
    ("hangul-syllable-first", 0xAC00, 2),
    ("hangul-syllable-last", 0xD7A3, 2),
    ("fullwidth-a", 0xFF21, 2),
    ("fullwidth-first", 0xFF01, 2),
    ("fullwidth-last", 0xFF60, 2),
    ("fullwidth-sign", 0xFFE6, 2),
    ("cyclone", 0x1F300, 2),
    ("unassigned-wide-block", 0x3400, 2),
    ("ext-a-end", 0x4DBF, 2),
    ("plane-2-start", 0x20000, 2),
    ("plane-2-last", 0x2FFFD, 2),
    ("plane-3-last", 0x3FFFD, 2),
    ("new-in-17-a", 0x16FF2, 2),
    ("new-in-17-b", 0x18D80, 2),
    ("new-in-17-c", 0x1F6D8, 2),
    ("new-in-17-d", 0x1FA8A, 2),
    ("new-in-17-e", 0x1FAEF, 2),
    ("new-in-17-f", 0x1FAF8, 2),
    ("new-in-17-g", 0x1FACD, 2),
    # rule 5: everything else
    ("halfwidth-stop", 0xFF61, 1),
    ("soft-hyphen", 0x00AD, 1),
    ("zwsp", 0x200B, 1),
    ("lrm", 0x200E, 1),
    ("line-separator", 0x2028, 1),
    ("bom", 0xFEFF, 1),
    ("language-tag", 0xE0001, 1),
    ("prepend", 0x0600, 1),
    ("jungseong-filler", 0x1160, 1),
    ("jongseong", 0x11A8, 1),
    ("regional-indicator", 0x1F1E6, 1),
    ("smiley-not-wide", 0x263A, 1),
    ("after-cjk-symbols", 0x303F, 1),
    ("unassigned", 0x0378, 1),
    ("plane-2-noncharacter", 0x2FFFE, 1),
    ("plane-4", 0x40000, 1),
    ("last-code-point", 0x10FFFF, 1),
    ("nbsp", 0x00A0, 1),
    ("latin-1", 0x00E9, 1),
    ("before-combining", 0x02FF, 1),
    ("emoji-1f000", 0x1F000, 1),
]


@pytest.mark.parametrize("cp,width", [c[1:] for c in CODE_POINTS], ids=[c[0] for c in CODE_POINTS])
def test_code_point_width(cp, width):
    assert display_width(chr(cp)) == width
    assert display_width(chr(cp) * 3) == 3 * width


@given(st.text(), st.text())
def test_width_is_a_plain_sum(a, b):
    assert display_width(a + b) == display_width(a) + display_width(b)
    assert display_width(a) == sum(display_width(c) for c in a)


def test_long_text_width():
    assert display_width("\u65e5a\u0301" * 1_000_000) == 3_000_000


UCD = Path(__file__).resolve().parent.parent.parent / "shared" / "ucd" / "17.0.0"


def _ucd_values(path):
    """(first, last, value) for each data line of a UCD property file."""
    for line in path.read_text(encoding="utf-8").splitlines():
        data = line.split("#", 1)[0].strip()
        if not data:
            continue
        cps, value = (part.strip() for part in data.split(";")[:2])
        first, _, last = cps.partition("..")
        yield int(first, 16), int(last or first, 16), value


@pytest.mark.skipif(
    not UCD.is_dir(), reason="needs ../shared/ucd/17.0.0, the UCD files, which are not part of the project"
)
def test_every_code_point_follows_the_rules_over_the_ucd():
    wide = bytearray(0x110000)
    for first, last, value in _ucd_values(UCD / "EastAsianWidth.txt"):
        if value in ("W", "F"):
            wide[first : last + 1] = b"\x01" * (last - first + 1)
    zero = bytearray(0x110000)
    for first, last, value in _ucd_values(UCD / "auxiliary" / "GraphemeBreakProperty.txt"):
        if value in ("Extend", "ZWJ", "SpacingMark"):
            zero[first : last + 1] = b"\x01" * (last - first + 1)
    for cp in [*range(0x20), *range(0x7F, 0xA0)]:
        zero[cp] = 1
    wrong = []
    for cp in range(0x110000):
        if 0xD800 <= cp <= 0xDFFF:
            continue
        expected = 0 if zero[cp] else 2 if wide[cp] else 1
        if display_width(chr(cp)) != expected:
            wrong.append(hex(cp))
    assert wrong == []
    assert sum(wide) == 182876
