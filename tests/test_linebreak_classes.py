"""Line-break classes as the pair rules see them: the LineBreak.txt defaults, the
resolution of LB1 (AI, SG, XX to AL, CJ to NS, SA to CM or AL), the quotation
subsets, the unassigned pictographs of LB30b and the East Asian wide set.

The classes are observed through line_break_opportunities with probes whose
result differs between the candidate classes:
  "a" X   breaks for ID, not for AL, CM, NS or PR;
  "一" X  breaks for AL and ID, not for CM (LB9) or NS (LB21);
  X "一"  does not break for PR (LB23a) only.
"""

import pytest
from linebreak_notation import marks


def probe(cp: int) -> tuple[str, str, str]:
    x = chr(cp)
    return marks("a" + x), marks("一" + x), marks(x + "一")


ID = ("÷", "÷", "÷")
AL = ("×", "÷", "÷")
CM = ("×", "×", "÷")
NS = ("×", "×", "÷")
PR = ("×", "÷", "×")


def cps(*values):
    return pytest.mark.parametrize("cp", [pytest.param(v, id=f"U+{v:04X}") for v in values])


@cps(0x4DBF, 0x3400, 0x9FFF, 0xFAFF, 0x20000, 0x2FFFD, 0x30000, 0x3FFFD, 0x1F7FF, 0x1FFFD, 0x1F02C)
def test_ideographic_blocks_default_to_id(cp):
    assert probe(cp) == ID


@cps(0x2FFFE, 0x1FFFE, 0x1F80C, 0x10FFFF, 0x0378, 0xE0080, 0x3FFFE, 0x40000)
def test_unlisted_code_points_outside_the_id_blocks_are_alphabetic(cp):
    # XX resolves to AL (LB1)
    assert probe(cp) == AL


@cps(0xE000, 0xF8FF, 0xF0000, 0x10FFFD)
def test_private_use_is_alphabetic(cp):
    # XX resolves to AL (LB1)
    assert probe(cp) == AL


@cps(0x20A0, 0x20C1, 0x20C8, 0x20CF, 0x0024)
def test_currency_symbols_are_prefixes(cp):
    assert probe(cp) == PR


@cps(0x00A7, 0x2460, 0x0041, 0x25CC, 0x1F8B0)
def test_ambiguous_and_alphabetic_resolve_to_al(cp):
    # AI resolves to AL (LB1); U+25CC is an ordinary AL
    assert probe(cp) == AL


@cps(0x3041, 0x30FC, 0x3005)
def test_small_kana_resolve_to_nonstarter(cp):
    # CJ resolves to NS (LB1)
    assert probe(cp) == NS
    assert marks("a" + chr(cp) + "1") == "×÷"  # NS, not a mark of "a"


@cps(0x0E31, 0x0E33, 0x0E3A, 0x0E47, 0x0E4E, 0x0EB1, 0x0EB3, 0x0EBC, 0x0EC8, 0x0ECD,
     0x102B, 0x103E, 0x1056, 0x1059, 0x105E, 0x1060, 0x1062, 0x1067, 0x1068, 0x1071, 0x1074,
     0x1082, 0x108D, 0x108F, 0x109A, 0x109D, 0x17B4, 0x17D3, 0x17DD, 0x1A55, 0x1A5E, 0x1A62,
     0x1A65, 0x1A7C, 0xA9E5)
def test_south_east_asian_marks_are_combining(cp):
    # SA resolves to CM for the listed marks (LB1): it joins "a" and then acts as AL
    assert probe(cp) == CM
    assert marks("a" + chr(cp) + "1") == "××"


@cps(0x0E01, 0x0E30, 0x0E32, 0x0E40, 0x0ECE, 0x1000, 0x1063, 0x1064, 0x1069, 0x106D, 0x1780,
     0x1A20, 0x1A60, 0x1A61, 0x1A63, 0x1A64, 0xAA7B, 0xAA7D, 0xAAB0, 0xAAC1, 0x1171D, 0x1172B)
def test_other_south_east_asian_characters_are_alphabetic(cp):
    # SA resolves to AL outside the mark list (LB1), marks left off it included
    assert probe(cp) == AL


@pytest.mark.parametrize(
    "text, expected",
    [
        pytest.param("\u2010a", "×", id="U+2010-is-HH"),  # LB20a at the start
        pytest.param("\u2010\u05d0", "×", id="U+2010-before-hebrew"),
        pytest.param("-1", "×", id="U+002D-is-HY"),  # LB25 HY × NU
        pytest.param("\u20101", "÷", id="U+2010-is-not-HY"),
        pytest.param("(\u3000a", "×÷", id="U+3000-is-BA"),  # not SP: LB14 stops at it
        pytest.param("(\ta", "×÷", id="U+0009-is-BA"),
        pytest.param("( a", "××", id="U+0020-is-SP"),
        pytest.param("a\u000cb", "×!", id="U+000C-is-BK"),
        pytest.param("a\u0085b", "×!", id="U+0085-is-NL"),
        pytest.param("a\u0008b", "××", id="U+0008-is-CM"),
    ],
)
def test_individual_classes(text, expected):
    assert marks(text) == expected


INITIAL = [0x00AB, 0x2018, 0x201B, 0x201C, 0x201F, 0x2039, 0x2E02, 0x2E04, 0x2E09, 0x2E0C,
           0x2E1C, 0x2E20]
FINAL = [0x00BB, 0x2019, 0x201D, 0x203A, 0x2E03, 0x2E05, 0x2E0A, 0x2E0D, 0x2E1D, 0x2E21]


@cps(*INITIAL)
def test_initial_quotes_open_between_ideographs(cp):
    # LB19a: Pi binds forward only
    assert marks("一" + chr(cp) + "一") == "÷×"


@cps(*FINAL)
def test_final_quotes_close_between_ideographs(cp):
    # LB19a: Pf binds backward only
    assert marks("一" + chr(cp) + "一") == "×÷"


@cps(0x0022, 0x0027, 0x275B, 0x275E, 0x2E0B, 0x1F676)
def test_other_quotes_bind_both_sides(cp):
    # LB19: neither Pi nor Pf
    assert marks("一" + chr(cp) + "一") == "××"


UNASSIGNED_PICTOGRAPHIC = [
    (0x1F02C, 0x1F02F), (0x1F094, 0x1F09F), (0x1F0AF, 0x1F0B0), (0x1F0C0, 0x1F0C0),
    (0x1F0D0, 0x1F0D0), (0x1F0F6, 0x1F0FF), (0x1F6D9, 0x1F6DB), (0x1F6ED, 0x1F6EF),
    (0x1F6FD, 0x1F6FF), (0x1F7DA, 0x1F7DF), (0x1F7EC, 0x1F7EF), (0x1F7F1, 0x1F7FF),
    (0x1F80C, 0x1F80F), (0x1F848, 0x1F84F), (0x1F85A, 0x1F85F), (0x1F888, 0x1F88F),
    (0x1F8AE, 0x1F8FF), (0x1FA58, 0x1FA5F), (0x1FA6E, 0x1FA6F), (0x1FA7D, 0x1FA7F),
    (0x1FA8B, 0x1FA8D), (0x1FAC7, 0x1FAC7), (0x1FAC9, 0x1FACC), (0x1FADD, 0x1FADE),
    (0x1FAEB, 0x1FAEE), (0x1FAF9, 0x1FAFF), (0x1FC00, 0x1FFFD),
]
EDGES = sorted({cp for first, last in UNASSIGNED_PICTOGRAPHIC for cp in (first, last)})
NEIGHBOURS = sorted(
    {cp for first, last in UNASSIGNED_PICTOGRAPHIC for cp in (first - 1, last + 1)}
    - {cp for first, last in UNASSIGNED_PICTOGRAPHIC for cp in range(first, last + 1)}
    - {0x1F3FB, 0x1F3FC, 0x1F3FD, 0x1F3FE, 0x1F3FF, 0x1FAF8}  # EM itself, an EB
)


@cps(*EDGES, 0x1F8B0, 0x1F8BB, 0x1F8C0, 0x1F8C1)
def test_unassigned_pictographs_take_emoji_modifiers(cp):
    # LB30b: ExtPict ∩ Cn × EM, with the list as it stands
    assert marks(chr(cp) + "\U0001f3fb") == "×"


@cps(*NEIGHBOURS, 0x1F1AE, 0x1F2FF, 0x1F600)
def test_other_pictographs_break_before_emoji_modifiers(cp):
    assert marks(chr(cp) + "\U0001f3fb") == "÷"


@pytest.mark.parametrize(
    "cp, wide",
    [
        pytest.param(0x10FF, False, id="U+10FF"),
        pytest.param(0x1100, True, id="U+1100"),
        pytest.param(0x3008, True, id="U+3008"),
        pytest.param(0xFF08, True, id="U+FF08"),
        pytest.param(0xFF5F, True, id="U+FF5F"),
        pytest.param(0x0028, False, id="U+0028"),
        pytest.param(0x005B, False, id="U+005B"),
        pytest.param(0x2329, True, id="U+2329"),
        pytest.param(0x27E6, False, id="U+27E6"),
    ],
)
def test_east_asian_opening_brackets_break_after_letters(cp, wide):
    # LB30: (AL | HL | NU) × OP only for OP that is not East Asian wide
    text = "a" + chr(cp)
    if cp == 0x1100:  # JL: AL ÷ JL, JL × JL either way; probe with a Pf instead
        text = "\u1100\u201d\u1100"
        assert marks(text) == ("×÷" if wide else "××")
        return
    assert marks(text) == ("÷" if wide else "×")


def test_lone_surrogate_cannot_be_passed():
    with pytest.raises(UnicodeEncodeError):
        marks("a\ud800")
