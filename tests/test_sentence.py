"""Sentence boundaries: the rules SB3 to SB11, the fixed Sentence_Break ranges with their
parity ranges, and a reference model of the scan checked against the module."""

import re
from pathlib import Path

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st
from scrivlet import sentence_boundaries

ROOT = Path(__file__).resolve().parent.parent


def sentences(text):
    data = text.encode()
    cuts = sentence_boundaries(text) + [len(data)]
    return [data[a:b].decode() for a, b in zip(cuts, cuts[1:])]


@pytest.mark.parametrize(
    "text,expected",
    [
        ("", [0]),
        ("Hello!", [0]),
        ("x", [0]),
        ("Hello. World", [0, 7]),
        ("Hi! there", [0, 4]),
        ("Mr. smith", [0]),
        ("Hello. 2nd", [0]),
        ("3.14", [0]),
        ("U.S.A", [0]),
        ("a.B", [0]),
        (".B", [0, 1]),
        ("1.B", [0, 2]),
        ("a.)B", [0, 3]),
        ("A.\u00adB", [0]),
        ("(He left.) She", [0, 11]),
        ("Hello.\nWorld", [0, 7]),
        ("a\r\nb", [0, 3]),
        ("a\u2029b", [0, 4]),
        ("Hi!, there", [0]),
        ("A. B. C.", [0, 3, 6]),
        ("Wait... What?", [0, 8]),
        ("a\n\u0301b", [0, 2]),
        ("A.\u000bB", [0, 2]),
        ("a. \U00010428", [0, 3]),
    ],
    ids=[
        "empty",
        "no-end-offset",
        "one-char",
        "two-sentences",
        "sterm-space-lower",
        "SB8-lower",
        "SB8-past-digit",
        "SB6",
        "SB7-upper",
        "SB7-lower",
        "no-letter-before",
        "digit-before",
        "SB7-not-across-close",
        "format-transparent",
        "close-stays",
        "lf",
        "crlf",
        "paragraph-sep",
        "SB8a",
        "three",
        "ellipsis",
        "extend-after-lf",
        "vt-is-other",
        "deseret-is-other",
    ],
)
def test_boundary_offsets(text, expected):
    assert sentence_boundaries(text) == expected


def test_locale_is_accepted_and_ignored():
    text = "Dr. Who? Yes. i. e. no."
    assert (
        sentence_boundaries(text, "en")
        == sentence_boundaries(text)
        == sentence_boundaries(text, None)
    )


RULES = [
    # SB3, SB4
    ("SB3-crlf-one-break", "a.\r\nb", ["a.\r\n", "b"]),
    ("SB4-cr", "a\rb", ["a\r", "b"]),
    ("SB4-lf-lf", "\n\n", ["\n", "\n"]),
    ("SB4-nel", "a\x85b", ["a\x85", "b"]),
    ("SB4-term-after-lf", "\n.b", ["\n", ".b"]),
    ("SB4-sterm-after-lf", "\n!B", ["\n", "!", "B"]),
    # SB5
    ("SB5-extend-after-term", "A.\u0301 B", ["A.\u0301 ", "B"]),
    ("SB5-format-in-spaces", "A. \u00ad B", ["A. \u00ad ", "B"]),
    ("SB5-extend-before-upper", "a.\u0301B", ["a.\u0301B"]),
    # SB6, SB7
    ("SB6-not-after-space", "1. 5", ["1. ", "5"]),
    ("SB6-not-after-close", "x.)5", ["x.)", "5"]),
    ("SB6-sterm-breaks", "a!5", ["a!", "5"]),
    ("SB7-sterm-breaks", "a!B", ["a!", "B"]),
    ("SB7-before-other", "#.B", ["#.", "B"]),
    ("SB7-chain", "A.B.C", ["A.B.C"]),
    ("SB7-through-format", "a\u00ad.B", ["a\u00ad.B"]),
    # SB8
    ("SB8-close-space-lower", "etc.) and", ["etc.) and"]),
    ("SB8-past-other", "a. #b", ["a. #b"]),
    ("SB8-past-close-numeric", 'a. "(1 b', ['a. "(1 b']),
    ("SB8-stops-at-upper", "a. #B b", ["a. ", "#B b"]),
    ("SB8-stops-at-oletter", "a. #\u3042b", ["a. ", "#\u3042b"]),
    ("SB8-stops-at-term", "a. #. b", ["a. ", "#. b"]),
    ("SB8-stops-at-lf", "a. #\nb", ["a. ", "#\n", "b"]),
    ("SB8-end-of-text", "a. #", ["a. ", "#"]),
    ("SB8-not-after-sterm", "a! #b", ["a! ", "#b"]),
    ("SB8-numeric-after-close", "a.)1 b", ["a.)1 b"]),
    ("SB8-numeric-after-close-upper", "a.)1 B", ["a.)", "1 B"]),
    # SB8a
    ("SB8a-comma", "a. , B", ["a. , B"]),
    ("SB8a-sterm-colon", "Hi!: B", ["Hi!: B"]),
    ("SB8a-dash", "No.- B", ["No.- B"]),
    ("SB8a-term-term", "Hi?! B", ["Hi?! ", "B"]),
    # SB9, SB10, SB11
    ("SB9-closes", 'He said "Hi!") B', ['He said "Hi!") ', "B"]),
    ("SB10-spaces", "Hi!   B", ["Hi!   ", "B"]),
    ("SB11-close-after-space", "Hi! (B", ["Hi! ", "(B"]),
    ("SB11-close-after-space-aterm", "x. (B", ["x. ", "(B"]),
    ("SB11-paragraph-after-space", "Hi! \nB", ["Hi! \n", "B"]),
    ("SB11-break-before-letter", "Stop!Go", ["Stop!", "Go"]),
    ("SB11-break-before-oletter", "x.\u3042", ["x.", "\u3042"]),
    ("SB11-break-before-other", "Hi!#", ["Hi!", "#"]),
    # SB998
    ("SB998-inside", "one two, three", ["one two, three"]),
    ("SB998-ideographic", "\u65e5\u672c\u3002\u65e5", ["\u65e5\u672c\u3002", "\u65e5"]),
]


@pytest.mark.parametrize("text,expected", [c[1:] for c in RULES], ids=[c[0] for c in RULES])
def test_rules(text, expected):
    assert sentences(text) == expected


# --- classes read from the boundaries around a code point ---


def is_upper(ch):
    return sentence_boundaries("1." + ch) == [0, 2] and sentence_boundaries("a." + ch) == [0]


def is_lower(ch):
    n = len(ch.encode())
    return (
        sentence_boundaries("A. " + ch + "A") == [0]
        and sentence_boundaries("A!" + ch + "B") == [0, 2]
        and n > 0
    )


def is_other(ch):
    # After "1." a lowercase letter follows: the look-ahead passes Other and finds it.
    return (
        sentence_boundaries("1." + ch + "a") == [0]
        and sentence_boundaries("1." + ch) == [0, 2]
        and sentence_boundaries("a!" + ch) == [0, 2]
    )


def is_transparent(ch):
    return sentence_boundaries("a." + ch + "B") == [0] and sentence_boundaries("1." + ch + "B") == [
        0,
        2 + len(ch.encode()),
    ]


SPOTS = [
    # parity ranges: even Upper, odd Lower
    (
        is_upper,
        "0041 005A 00C0 00DE 0100 0136 0178 014A 0182 0186 01F2 0232 1E00 1EFE 1F59 1F5F 0400 042F FF21 2102",
    ),
    (
        is_lower,
        "0061 00B5 00DF 00FF 0101 0137 0138 0139 0179 0183 0187 01F3 0233 1E01 1EFF A641 A723 0430 FF41 0250",
    ),
    # between the odd Upper code points U+1F59..U+1F5F, and outside both lists
    (is_other, "1F5A 1F5C 0023 0026 003B 000B 000C 10428 1D400 20000 FF65 00AA"),
    (is_transparent, "0300 0903 093D 0B4D 200C 200D 00AD 200B FEFF FFF9 1F3FB E0100"),
]


@pytest.mark.parametrize(
    "probe,cp",
    [(p, c) for p, cps in SPOTS for c in cps.split()],
    ids=[f"{p.__name__}-{c}" for p, cps in SPOTS for c in cps.split()],
)
def test_sentence_break_spot_checks(probe, cp):
    assert probe(chr(int(cp, 16)))


def _lists():
    source = (ROOT / "src" / "segment" / "sentence_break.h").read_text()
    out = {}
    for name, body in re.findall(r"SB_(\w+)_RANGES\[\d+\] = \{(.*?)\};", source, re.DOTALL):
        out[name] = [
            (int(a, 16), int(b, 16), p or "All")
            for a, b, p in re.findall(r"\{0x([0-9A-F]+), 0x([0-9A-F]+)(?:, (Even|Odd))?\}", body)
        ]
    return out


def test_parity_ranges_hold_only_their_parity():
    lists = _lists()
    parity = [r for name in ("UPPER", "LOWER") for r in lists[name] if r[2] != "All"]
    assert len(parity) == 31
    for first, last, p in parity:
        assert first % 2 == last % 2 == (0 if p == "Even" else 1)
    upper = {cp for a, b, p in lists["UPPER"] for cp in range(a, b + 1, 1 if p == "All" else 2)}
    lower = {cp for a, b, p in lists["LOWER"] for cp in range(a, b + 1, 1 if p == "All" else 2)}
    assert not upper & lower
    # Every listed letter behaves as its class, parity gaps included.
    assert [hex(c) for c in sorted(upper) if not is_upper(chr(c))] == []
    assert [hex(c) for c in sorted(lower) if not is_lower(chr(c))] == []


# --- a reference model of the scan, on texts drawn from one character per class ---

REPRESENTATIVES = {
    "\r": "CR",
    "\n": "LF",
    "\u2029": "Sep",
    "\u0301": "Extend",
    "\u00ad": "Format",
    " ": "Sp",
    "a": "Lower",
    "A": "Upper",
    "\u3042": "OLetter",
    "1": "Numeric",
    ".": "ATerm",
    "!": "STerm",
    ")": "Close",
    ",": "SContinue",
    "#": "Other",
}
PARA = {"CR", "LF", "Sep"}
SATERM = {"ATerm", "STerm"}


def reference_sentence_boundaries(text):
    cls = [REPRESENTATIVES[c] for c in text]
    offsets, pos = [], 0
    for c in text:
        offsets.append(pos)
        pos += len(c.encode())
    out = [0]
    n = len(cls)
    if n <= 1:
        return out

    def lookahead(i):
        for c in cls[i + 1 :]:
            if c == "Lower":
                return True
            if c in PARA | {"Upper", "OLetter"} | SATERM:
                return False
        return False

    def t1(c):
        return c in PARA | {"Sp", "Close", "SContinue"} | SATERM

    def t2(c):
        return c in PARA | {"Sp", "SContinue"} | SATERM

    c0 = cls[0]
    st = {
        "phase": "AfterTerm" if c0 in SATERM else "Normal",
        "term": c0,
        "close": False,
        "prev": None if c0 in ("Extend", "Format") else c0,
        "before": None,
    }
    for i in range(1, n):
        c, prev = cls[i], cls[i - 1]
        if prev == "CR" and c == "LF":
            continue
        if prev in PARA:
            out.append(offsets[i])
            st["phase"] = "Normal"
            if c in ("Extend", "Format"):
                st["prev"] = None
            elif c in SATERM:
                st.update(before=None, prev=c, close=False, phase="AfterTerm", term=c)
            else:
                st["prev"] = c
            continue
        if c in ("Extend", "Format"):
            continue
        brk, done = False, False
        if st["phase"] == "AfterTerm":
            if st["term"] == "STerm":
                brk = not t1(c)
            elif not st["close"]:
                if c == "Numeric":
                    st.update(phase="Normal", prev=c)
                    done = True
                elif c == "Upper":
                    if st["before"] in ("Upper", "Lower"):
                        st.update(phase="Normal", prev=c)
                        done = True
                    else:
                        brk = True
                elif c == "Lower":
                    st.update(phase="Normal", prev=c)
                    done = True
                elif c in PARA | {"OLetter"} | SATERM:
                    brk = not t1(c)
                else:
                    brk = not lookahead(i) and not t1(c)
            else:
                if c in PARA | {"Upper", "OLetter"} | SATERM:
                    brk = not t1(c)
                elif c == "Lower":
                    st.update(phase="Normal", prev=c)
                    done = True
                else:
                    brk = not lookahead(i) and not t1(c)
        elif st["phase"] == "AfterTermSpace":
            if st["term"] == "STerm" or c in PARA | {"Upper", "OLetter"} | SATERM:
                brk = not t2(c)
            elif c == "Lower":
                st.update(phase="Normal", prev=c)
                done = True
            else:
                brk = not lookahead(i) and not t2(c)
        if brk:
            out.append(offsets[i])
        if done:
            continue
        if c == "Sp":
            if st["phase"] == "AfterTerm" and not brk:
                st["phase"] = "AfterTermSpace"
            elif not (st["phase"] == "AfterTermSpace" and not brk):
                st["phase"] = "Normal"
            st["prev"] = c
        elif c in SATERM:
            st.update(before=st["prev"], prev=c, phase="AfterTerm", term=c, close=False)
        elif c == "Close":
            if st["phase"] == "AfterTerm" and not brk:
                st["close"] = True
            else:
                st["phase"] = "Normal"
            st["prev"] = c
        else:
            st.update(phase="Normal", prev=c)
    return out


@settings(max_examples=4000, deadline=None)
@given(st.text(alphabet=st.sampled_from(sorted(REPRESENTATIVES)), max_size=16))
def test_matches_reference_model(text):
    assert sentence_boundaries(text) == reference_sentence_boundaries(text)


@given(st.text(max_size=40))
def test_offsets_are_ascending_code_point_starts(text):
    offsets = sentence_boundaries(text)
    data = text.encode()
    assert offsets[0] == 0
    assert all(a < b for a, b in zip(offsets, offsets[1:]))
    assert all(o < len(data) and (data[o] & 0xC0) != 0x80 for o in offsets[1:])
