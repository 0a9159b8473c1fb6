"""Word boundaries: every rule of the pair algorithm, the fixed Word_Break lists, and a
reference model of the rules checked against the module on random texts."""

import re
from pathlib import Path

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st
from scrivlet import word_boundaries

ROOT = Path(__file__).resolve().parent.parent
RI = "\U0001f1e6"
ZWJ = "\u200d"


def words(text):
    """The segments as strings, so expectations read as text."""
    data = text.encode()
    cuts = word_boundaries(text) + [len(data)]
    return [data[a:b].decode() for a, b in zip(cuts, cuts[1:]) if a < b]


@pytest.mark.parametrize(
    "text,expected",
    [
        ("", [0]),
        ("a", [0]),
        ("\U00010400", [0]),
        ("ab cd", [0, 2, 3]),
        ("hello, world.", [0, 5, 6, 7, 12]),
        ("3.14 a'b", [0, 4, 5]),
        ("1;2", [0, 1, 2]),
        ("a\r\nb", [0, 1, 3]),
        ("\r\n", [0]),
        ("\U00010400\U00010401", [0, 4]),
        ("\u0300a", [0, 2]),
        ("x" + RI * 4, [0, 1, 9]),
        ("\n" + RI * 2, [0, 1]),
    ],
    ids=[
        "empty",
        "one-char",
        "one-supplementary",
        "two-words",
        "punctuation",
        "number-and-quote",
        "semicolon-is-other",
        "crlf-inside",
        "crlf-alone",
        "deseret-is-other",
        "leading-mark",
        "ri-pairs-after-letter",
        "ri-after-lf",
    ],
)
def test_boundary_offsets(text, expected):
    assert word_boundaries(text) == expected


def test_locale_is_accepted_and_ignored():
    text = "İstanbul'da 3.5 km, ok."
    assert word_boundaries(text, "tr") == word_boundaries(text) == word_boundaries(text, None)


RULES = [
    # WB3, WB3a, WB3b
    ("WB3-crlf", "a\r\nb", ["a", "\r\n", "b"]),
    ("WB3a-after-cr", "\ra", ["\r", "a"]),
    ("WB3a-after-lf", "\n\u0301", ["\n", "\u0301"]),
    ("WB3a-after-newline", "\x0ba", ["\x0b", "a"]),
    ("WB3a-lf-lf", "\n\n", ["\n", "\n"]),
    ("WB3b-before-newline", "a\u2028", ["a", "\u2028"]),
    ("WB3b-mark-then-lf", "a\u0301\n", ["a\u0301", "\n"]),
    # WB3c
    ("WB3c-zwj-emoji", "\U0001f468" + ZWJ + "\U0001f469", ["\U0001f468" + ZWJ + "\U0001f469"]),
    ("WB3c-zwj-coarse-set", "a" + ZWJ + "\u2600", ["a" + ZWJ + "\u2600"]),
    ("WB3c-zwj-letter-breaks", "!" + ZWJ + "a", ["!" + ZWJ, "a"]),
    ("WB3c-zwj-letter-by-context", "a" + ZWJ + "b", ["a" + ZWJ + "b"]),
    ("WB3c-zwj-not-pictographic", ZWJ + "\u2701", [ZWJ, "\u2701"]),
    ("WB3c-zwj-after-2700", ZWJ + "\u2700", [ZWJ + "\u2700"]),
    ("WB3c-zwj-then-ri", ZWJ + RI, [ZWJ, RI]),
    # WB3d
    ("WB3d-spaces", "a  b", ["a", "  ", "b"]),
    ("WB3d-tabs", "a\t\tb", ["a", "\t\t", "b"]),
    ("WB3d-nbsp", "a\u00a0\u00a0b", ["a", "\u00a0\u00a0", "b"]),
    ("WB3d-mixed-spaces", " \u3000\u200b", [" \u3000\u200b"]),
    ("WB3d-space-mark", " \u0301a", [" \u0301", "a"]),
    # WB4
    ("WB4-mark-inside-word", "a\u0301b", ["a\u0301b"]),
    ("WB4-format-inside-word", "a\u00adb", ["a\u00adb"]),
    ("WB4-skipped-in-midletter", "a\u0301:\u00adb", ["a\u0301:\u00adb"]),
    ("WB4-ignorables-at-start", "\u0301\u00ad" + ZWJ + "a", ["\u0301\u00ad" + ZWJ, "a"]),
    ("WB4-mark-after-punct", "!\u0301!", ["!\u0301", "!"]),
    # WB5 to WB7c
    ("WB5-letters", "abc", ["abc"]),
    ("WB5-hebrew-latin", "\u05d0a", ["\u05d0a"]),
    ("WB6-WB7-midletter", "a:b", ["a:b"]),
    ("WB6-needs-letter-after", "a:", ["a", ":"]),
    ("WB6-needs-letter-after-1", "a:1", ["a", ":", "1"]),
    ("WB7-needs-letter-before", "1:a", ["1", ":", "a"]),
    ("WB6-WB7-midnumlet", "a.b", ["a.b"]),
    ("WB6-WB7-single-quote", "can't", ["can't"]),
    ("WB6-WB7-right-quote", "can\u2019t", ["can\u2019t"]),
    ("WB6-two-mids", "a::b", ["a", ":", ":", "b"]),
    ("WB6-midnum-no", "a,b", ["a", ",", "b"]),
    ("WB7a-hebrew-quote", "\u05d0'", ["\u05d0'"]),
    ("WB7a-latin-quote", "a'", ["a", "'"]),
    ("WB7b-WB7c-gershayim", '\u05d0"\u05d1', ['\u05d0"\u05d1']),
    ("WB7b-needs-hebrew-after", '\u05d0"a', ["\u05d0", '"', "a"]),
    ("WB7c-latin-breaks", 'a"b', ["a", '"', "b"]),
    # WB8 to WB12
    ("WB8-digits", "123", ["123"]),
    ("WB9-letter-digit", "a1", ["a1"]),
    ("WB10-digit-letter", "1a", ["1a"]),
    ("WB11-WB12-comma", "1,234", ["1,234"]),
    ("WB11-WB12-point", "3.14", ["3.14"]),
    ("WB11-WB12-quote", "1'2", ["1'2"]),
    ("WB12-needs-digit-after", "1,a", ["1", ",", "a"]),
    ("WB11-needs-digit-before", "a,1", ["a", ",", "1"]),
    ("WB11-midletter-not", "1:2", ["1", ":", "2"]),
    ("WB12-trailing", "1.", ["1", "."]),
    # WB13 to WB13b
    ("WB13-katakana", "\u30a2\u30a4", ["\u30a2\u30a4"]),
    ("WB13-hiragana-katakana", "\u3072\u30ab", ["\u3072\u30ab"]),
    ("WB13-katakana-letter", "\u30a2a", ["\u30a2", "a"]),
    ("WB13a-letter-underscore", "a_", ["a_"]),
    ("WB13a-katakana-underscore", "\u30a2_", ["\u30a2_"]),
    ("WB13a-underscores", "__", ["__"]),
    ("WB13b-underscore-all", "_a_1_\u30a2", ["_a_1_\u30a2"]),
    ("WB13a-other-underscore", "!_", ["!", "_"]),
    # WB15, WB16
    ("WB15-one-pair", RI * 2, [RI * 2]),
    ("WB16-three", RI * 3, [RI * 2, RI]),
    ("WB16-five", RI * 5, [RI * 2, RI * 2, RI]),
    ("WB16-mark-between", RI + "\u0301" + RI + RI, [RI + "\u0301" + RI, RI]),
    ("WB16-after-letter", "a" + RI * 3, ["a", RI * 2, RI]),
    ("WB16-after-crlf", RI + "\r\n" + RI * 2, [RI, "\r\n", RI * 2]),
    # WB999
    ("WB999-punct", "!?", ["!", "?"]),
    ("WB999-cjk-then-kana", "\u65e5\u30a2", ["\u65e5", "\u30a2"]),
]


@pytest.mark.parametrize("text,expected", [c[1:] for c in RULES], ids=[c[0] for c in RULES])
def test_pair_rules(text, expected):
    assert words(text) == expected


SCRIPTS = [
    ("hiragana", "\u3072\u3089\u304c\u306a", [0]),
    ("cjk-is-aletter", "\u65e5\u672c\u8a9e", [0]),
    ("thai-is-aletter", "\u0e20\u0e32\u0e29\u0e32\u0e44\u0e17\u0e22", [0]),
    ("hangul", "\ud55c\uad6d\uc5b4", [0]),
    ("devanagari-avagraha-is-extend", "\u0915\u093d\u0915", [0]),
    ("skin-tone", "\U0001f44d\U0001f3fd", [0]),
]


@pytest.mark.parametrize("text,expected", [c[1:] for c in SCRIPTS], ids=[c[0] for c in SCRIPTS])
def test_scripts(text, expected):
    assert word_boundaries(text) == expected


# --- the class of a single code point, read from the boundaries around it ---


def _n(ch):
    return len(ch.encode())


def is_ignorable(ch):
    return (
        word_boundaries("a" + ch) == [0]
        and word_boundaries(ch + "a") == [0, _n(ch)]
        and word_boundaries(" " + ch) == [0]
    )


def is_aletter(ch):
    n = _n(ch)
    return (
        word_boundaries("a" + ch) == [0]
        and word_boundaries(" " + ch) == [0, 1]
        and word_boundaries(ch + ",1") == [0, n, n + 1]
        and word_boundaries("\u30a2" + ch) == [0, 3]
        and word_boundaries(ch + "'") == [0, n]
    )


def is_numeric(ch):
    return (
        word_boundaries("1" + ch) == [0]
        and word_boundaries(ch + ",1") == [0]
        and word_boundaries(" " + ch) == [0, 1]
    )


def is_katakana(ch):
    return word_boundaries("\u30a2" + ch) == [0] and word_boundaries("a" + ch) == [0, 1]


def is_other(ch):
    n = _n(ch)
    return (
        word_boundaries("a" + ch + "a") == [0, 1, 1 + n]
        and word_boundaries(" " + ch) == [0, 1]
        and word_boundaries(ch + ch) == [0, n]
        and word_boundaries("\u05d0" + ch + "\u05d0") == [0, 2, 2 + n]
    )


def is_space(ch):
    return word_boundaries(ch + " ") == [0] and word_boundaries("a" + ch) == [0, 1]


def is_newline(ch):
    return word_boundaries("a" + ch + "a") == [0, 1, 1 + _n(ch)] and word_boundaries(
        ch + "\u0301"
    ) == [0, _n(ch)]


CLASS_SPOTS = [
    (
        is_ignorable,
        (
            "0300 036F 093D FB1E FE00 FE2F FF9E FF9F 1F3FB 1F3FF E0100 E01EF 200C 200D "
            "00AD 0600 0605 200E 2066 206F FEFF ABEC 1DFF"
        ),
    ),
    (
        is_aletter,
        (
            "0041 007A 00F8 02AF 0903 070F 3005 3400 4DB5 4E00 9FEF F900 FAD9 AC00 D7A3 A000 0E01 "
            "0E33 0E81 1000 1780 31F0 31FF FF66 FF9D A7C2 A7C6 31BA 2160 24B6 FFDC"
        ),
    ),
    (is_numeric, "0030 0039 0660 06DD 0F20 0F33 1A80 1A99 FF10 FF19"),
    (is_katakana, "3031 3035 3041 3096 30A1 30FA 30FC 30FE"),
    (
        is_other,
        (
            "00AA 02C2 30A0 30FB 4DB6 9FF0 A7C7 31BB 061C 180E FFF9 FFFB 309B 309C 32D0 32FE 3300 "
            "3357 003B FE14 FE54 FF1B 066C 10400 104A0 1D7CE 20000 1F600 FF61 0021"
        ),
    ),
    (is_space, "0009 0020 00A0 1680 2007 200B 202F 205F 3000"),
    (is_newline, "000B 000C 0085 2028 2029"),
]


@pytest.mark.parametrize(
    "probe,cp",
    [(p, c) for p, cps in CLASS_SPOTS for c in cps.split()],
    ids=[f"{p.__name__}-{c}" for p, cps in CLASS_SPOTS for c in cps.split()],
)
def test_word_break_class_spot_checks(probe, cp):
    assert probe(chr(int(cp, 16)))


# --- the fixed lists as written in the source, and the module built from them ---


def _ranges(name):
    source = (ROOT / "src" / "segment" / "word_break.h").read_text()
    body = re.search(name + r"\[\d*\] = \{(.*?)\};", source, re.DOTALL).group(1)
    return [
        (int(a, 16), int(b, 16)) for a, b in re.findall(r"\{0x([0-9A-F]+), 0x([0-9A-F]+)\}", body)
    ]


@pytest.mark.parametrize(
    "name,count,first,last",
    [
        ("WORD_EXTEND_RANGES", 143, (0x0300, 0x036F), (0xFF9E, 0xFF9F)),
        ("WORD_ALETTER_RANGES", 362, (0x0041, 0x005A), (0xFFDA, 0xFFDC)),
        ("WORD_NUMERIC_RANGES", 34, (0x0030, 0x0039), (0xFF10, 0xFF19)),
    ],
    ids=["extend", "aletter", "numeric"],
)
def test_fixed_lists_have_their_counts(name, count, first, last):
    ranges = _ranges(name)
    assert len(ranges) == count
    assert ranges[0] == first and ranges[-1] == last
    assert all(a <= b < c for (a, b), (c, _) in zip(ranges, ranges[1:]))
    assert all(b <= 0xFFFF for _, b in ranges)


def _earlier_steps():
    """Code points that a step before ALetter classifies."""
    taken = set()
    for name in (
        "WORD_EXTEND_RANGES",
        "WORD_NUMERIC_RANGES",
        "WORD_FORMAT_RANGES",
        "WORD_WSEGSPACE_RANGES",
        "WORD_HEBREW_LETTER_RANGES",
        "WORD_KATAKANA_RANGES",
        "WORD_MIDNUM_RANGES",
        "WORD_MIDNUMLET_RANGES",
        "WORD_MIDLETTER_RANGES",
    ):
        for a, b in _ranges(name):
            taken.update(range(a, b + 1))
    return taken | {
        0x0D,
        0x0A,
        0x0B,
        0x0C,
        0x85,
        0x2028,
        0x2029,
        0x22,
        0x27,
        0x5F,
        0x06DD,
        0x200C,
        0x200D,
    }


def test_every_listed_letter_is_aletter():
    taken = _earlier_steps()
    missing = [
        hex(cp)
        for a, b in _ranges("WORD_ALETTER_RANGES")
        for cp in range(a, b + 1)
        if cp not in taken and not (0xD800 <= cp <= 0xDFFF) and not is_aletter(chr(cp))
    ]
    assert missing == []


def test_every_listed_mark_is_ignorable_and_digit_numeric():
    marks = [
        hex(cp)
        for a, b in _ranges("WORD_EXTEND_RANGES")
        for cp in range(a, b + 1)
        if not is_ignorable(chr(cp))
    ]
    digits = [
        hex(cp)
        for a, b in _ranges("WORD_NUMERIC_RANGES")
        for cp in range(a, b + 1)
        if not is_numeric(chr(cp))
    ]
    assert marks == [] and digits == []


# --- a reference model of the rules, on texts drawn from one character per class ---

REPRESENTATIVES = {
    "CR": "\r",
    "LF": "\n",
    "Newline": "\u2028",
    "Extend": "\u0301",
    "Format": "\u00ad",
    "ZWJ": ZWJ,
    "ALetter": "a",
    "Hebrew_Letter": "\u05d0",
    "Numeric": "1",
    "Katakana": "\u30a2",
    "Single_Quote": "'",
    "Double_Quote": '"',
    "MidLetter": ":",
    "MidNumLet": ".",
    "MidNum": ",",
    "ExtendNumLet": "_",
    "WSegSpace": " ",
    "Regional_Indicator": RI,
    "Other": "!",
}
CLASS_OF = {ch: name for name, ch in REPRESENTATIVES.items()}
# a pictograph is Other or, like U+2139, ALetter; U+1F3FB is a supplementary Extend
PICTOGRAPHIC = {"\u2600": "Other", "\U0001f600": "Other", "\u2139": "ALetter"}
CLASS_OF.update(PICTOGRAPHIC)
CLASS_OF["\U0001f3fb"] = "Extend"
IGNORABLE = {"Extend", "Format", "ZWJ"}
AH = {"ALetter", "Hebrew_Letter"}
MIDNUMLETQ = {"MidNumLet", "Single_Quote"}


def reference_word_boundaries(text):
    """The rules as a plain, quadratic transcription."""
    cps = list(text)
    cls = [CLASS_OF[c] for c in cps]
    offsets, pos = [], 0
    for c in cps:
        offsets.append(pos)
        pos += len(c.encode())
    out = [0]
    if len(cps) <= 1:
        return out
    ri = 1 if cls[0] == "Regional_Indicator" else 0

    def left(k):
        j = k - 1
        while j >= 0 and cls[j] in IGNORABLE:
            j -= 1
        return j

    for k in range(1, len(cps)):
        prev, cur = cls[k - 1], cls[k]
        boundary = None
        if prev in ("LF", "Newline") or (prev == "CR" and cur != "LF"):
            boundary = True
        elif prev == "CR":
            continue
        elif cur in ("CR", "LF", "Newline"):
            boundary = True
        elif prev == "ZWJ":
            if cps[k] in PICTOGRAPHIC or cur in IGNORABLE:
                continue  # WB3c, WB4; otherwise on to the context rules
        elif cur in IGNORABLE or (prev == "WSegSpace" and cur == "WSegSpace"):
            continue  # WB3d, WB4
        if boundary is None:
            j1 = left(k)
            l1 = cls[j1] if j1 >= 0 else None
            j2 = left(j1) if j1 >= 0 else -1
            l2 = cls[j2] if j2 >= 0 else None
            r = k + 1
            while r < len(cps) and cls[r] in IGNORABLE:
                r += 1
            r1 = cls[r] if r < len(cps) else None
            if l1 is None:
                boundary = True
            else:
                joins = (
                    (l1 in AH and cur in AH)
                    or (l1 in AH and (cur == "MidLetter" or cur in MIDNUMLETQ) and r1 in AH)
                    or (l2 in AH and (l1 == "MidLetter" or l1 in MIDNUMLETQ) and cur in AH)
                    or (l1 == "Hebrew_Letter" and cur == "Single_Quote")
                    or (l1 == "Hebrew_Letter" and cur == "Double_Quote" and r1 == "Hebrew_Letter")
                    or (l2 == "Hebrew_Letter" and l1 == "Double_Quote" and cur == "Hebrew_Letter")
                    or (l1 == "Numeric" and cur == "Numeric")
                    or (l1 in AH and cur == "Numeric")
                    or (l1 == "Numeric" and cur in AH)
                    or (
                        l2 == "Numeric"
                        and (l1 == "MidNum" or l1 in MIDNUMLETQ)
                        and cur == "Numeric"
                    )
                    or (
                        l1 == "Numeric"
                        and (cur == "MidNum" or cur in MIDNUMLETQ)
                        and r1 == "Numeric"
                    )
                    or (l1 == "Katakana" and cur == "Katakana")
                    or (
                        l1 in AH | {"Numeric", "Katakana", "ExtendNumLet"} and cur == "ExtendNumLet"
                    )
                    or (l1 == "ExtendNumLet" and cur in AH | {"Numeric", "Katakana"})
                    or (l1 == "Regional_Indicator" and cur == "Regional_Indicator" and ri % 2 == 1)
                )
                if joins:
                    ri = ri + 1 if cur == "Regional_Indicator" else 0
                    continue
                boundary = True
        out.append(offsets[k])
        ri = 1 if cur == "Regional_Indicator" else 0
    return out


@settings(max_examples=3000, deadline=None)
@given(st.text(alphabet=st.sampled_from(sorted(CLASS_OF)), max_size=14))
def test_matches_reference_model(text):
    assert word_boundaries(text) == reference_word_boundaries(text)


@given(st.text(max_size=40))
def test_offsets_are_ascending_code_point_starts(text):
    offsets = word_boundaries(text)
    data = text.encode()
    assert offsets[0] == 0
    assert all(a < b for a, b in zip(offsets, offsets[1:]))
    assert all(o < len(data) and (data[o] & 0xC0) != 0x80 for o in offsets[1:])
