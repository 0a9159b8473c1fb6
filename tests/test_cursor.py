"""Logical cursor moves by grapheme cluster and double-click word selection."""

import ctypes

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st
from scrivlet import grapheme_boundaries, move_left, move_right, select_word, word_boundaries

U64_MAX = 2**64 - 1
FLAGS = "\U0001f1ef\U0001f1f5\U0001f1fa\U0001f1f8"


@pytest.mark.parametrize("current", [0, 1, 5, U64_MAX], ids=["0", "1", "5", "max"])
def test_empty_text(current):
    assert move_left("", current) == 0
    assert move_right("", current) == 0
    assert select_word("", current) == (current, current)


MOVES = [
    ("abc", move_left, 0, 0),
    ("abc", move_left, 1, 0),
    ("abc", move_left, 3, 2),
    ("abc", move_left, 100, 2),
    ("abc", move_left, U64_MAX, 2),
    ("abc", move_right, 0, 1),
    ("abc", move_right, 2, 3),
    ("abc", move_right, 3, 3),
    ("abc", move_right, 100, 3),
    ("abc", move_right, U64_MAX, 3),
    ("e\u0301x", move_right, 0, 3),
    ("e\u0301x", move_right, 1, 3),
    ("e\u0301x", move_right, 2, 3),
    ("e\u0301x", move_left, 3, 0),
    ("e\u0301x", move_left, 2, 0),
    ("e\u0301x", move_left, 4, 3),
    (FLAGS, move_right, 0, 8),
    (FLAGS, move_left, 16, 8),
    (FLAGS, move_left, 12, 8),
    (FLAGS, move_right, 9, 16),
    ("a\r\nb", move_right, 1, 3),
    ("a\r\nb", move_left, 3, 1),
    ("a\r\nb", move_left, 2, 1),
    ("\u65e5\u672c", move_right, 1, 3),
    ("\u65e5\u672c", move_left, 5, 3),
    ("\u65e5\u672c", move_left, 6, 3),
    ("\u0600a", move_right, 0, 3),
    ("ab\u0600cd", move_left, 5, 2),
    ("x\U0001f468\u200d\U0001f469y", move_right, 1, 12),
    ("x\U0001f468\u200d\U0001f469y", move_left, 12, 1),
    ("a" + "\u0301" * 1000 + "b", move_left, 2001, 0),
    ("a" + "\u0301" * 1000 + "b", move_right, 5, 2001),
]


@pytest.mark.parametrize(
    "text,move,current,expected",
    MOVES,
    ids=[f"{m.__name__}-{t.encode()[:6].hex()}-{c}" for t, m, c, _ in MOVES],
)
def test_moves(text, move, current, expected):
    assert move(text, current) == expected


SELECTIONS = [
    ("hello world", 0, (0, 5)),
    ("hello world", 2, (0, 5)),
    ("hello world", 5, (5, 6)),
    ("hello world", 6, (6, 11)),
    ("hello world", 10, (6, 11)),
    ("hello world", 11, (11, 11)),
    ("hello world", 12, (12, 12)),
    ("hello world", U64_MAX, (U64_MAX, U64_MAX)),
    ("a  b", 2, (1, 3)),
    ("a, b", 1, (1, 2)),
    ("can't stop", 3, (0, 5)),
    ("x \u65e5\u672c y", 3, (2, 8)),
    ("\u65e5\u672c", 1, (0, 6)),
    ("a\r\nb", 2, (1, 3)),
    ("one\ntwo three", 5, (4, 7)),
    ("one\ntwo three", 3, (3, 4)),
    ("x 3.14 y", 4, (2, 6)),
    ("x a:b y", 4, (2, 5)),
]


@pytest.mark.parametrize(
    "text,current,expected", SELECTIONS, ids=[f"{t[:8]!r}-{c}" for t, c, _ in SELECTIONS]
)
def test_select_word(text, current, expected):
    assert select_word(text, current) == expected


PIECES = [
    "a",
    "b",
    "1",
    " ",
    ".",
    "'",
    ",",
    ":",
    "_",
    "\u0301",
    "\u200d",
    "\U0001f468",
    "\U0001f1e6",
    "\r",
    "\n",
    "\x0b",
    "\u1100",
    "\u1161",
    "\uac01",
    "\u1b44",
    "\u1b13",
    "\u0308",
    "\uac00",
    "\u11a8",
    "\u0600",
    "\u0915",
    "\u094d",
    "\u65e5",
    "\u30a2",
    "\u05d0",
    '"',
    "\x07",
    "\u00ad",
    "\u0903",
]
texts = st.lists(st.sampled_from(PIECES), max_size=40).map("".join)


def _current(text):
    n = len(text.encode())
    return st.integers(min_value=0, max_value=n + 2) | st.just(U64_MAX)


@settings(max_examples=1500)
@given(st.data())
def test_moves_follow_the_cluster_starts(data):
    text = data.draw(texts)
    current = data.draw(_current(text))
    n = len(text.encode())
    starts = grapheme_boundaries(text)
    assert move_left(text, current) == max([s for s in starts if s < current], default=0)
    assert move_right(text, current) == (
        n if current >= n else min([s for s in starts if s > current], default=n)
    )


@settings(max_examples=1500)
@given(st.data())
def test_select_word_returns_the_segment_around_current(data):
    text = data.draw(texts)
    current = data.draw(_current(text))
    n = len(text.encode())
    if n == 0 or current >= n:
        assert select_word(text, current) == (current, current)
        return
    cuts = word_boundaries(text) + [n]
    expected = next((a, b) for a, b in zip(cuts, cuts[1:]) if a <= current < b)
    assert select_word(text, current) == expected


# One character of each cluster class (and the Balinese Linker, which joins any
# consonant): every text of up to four of them, so that each pair of classes is
# met after every context the cluster rules can look back at.
from cluster_classes import CLASS_CHARS  # noqa: E402


def _texts_of(length):
    texts = [""]
    for _ in range(length):
        texts = [t + c for t in texts for c in CLASS_CHARS]
    return texts


def test_moves_agree_with_cluster_starts_on_every_short_class_sequence():
    wrong = []
    for length in (1, 2, 3, 4):
        for text in _texts_of(length):
            n = len(text.encode())
            starts = grapheme_boundaries(text)
            # On four characters, only around the last pair (the others were seen before).
            offsets = range(n + 1) if length < 4 else (starts[-1], n)
            for current in offsets:
                left = max([s for s in starts if s < current], default=0)
                right = n if current >= n else min([s for s in starts if s > current], default=n)
                if move_left(text, current) != left or move_right(text, current) != right:
                    wrong.append((text, current))
    assert wrong == []


# A long str in 16 or 32-bit units is located in the read that checks it for
# surrogates; one whose UTF-8 form the interpreter holds is read there instead.
_as_utf8 = ctypes.pythonapi.PyUnicode_AsUTF8AndSize
_as_utf8.argtypes = [ctypes.py_object, ctypes.c_void_p]
_as_utf8.restype = ctypes.c_void_p
LONG_TEXTS = [
    ("\u1ec7 a\u0301b\u3001\u0e01\u0e33 " * 40, "ucs2"),
    ("\U0001f600\u200d\U0001f600 x\u0301\U0001f1ef\U0001f1f5\u05d0. " * 30, "ucs4"),
]


@pytest.mark.parametrize("text", [t for t, _ in LONG_TEXTS], ids=[i for _, i in LONG_TEXTS])
def test_long_texts_move_alike_with_and_without_their_utf8_form(text):
    fresh, encoded = (text + ".")[:-1], (text + ".")[:-1]
    assert _as_utf8(encoded, None)
    n = len(text.encode())
    starts = grapheme_boundaries(text)
    cuts = word_boundaries(text) + [n]
    for current in [*range(0, n + 3, 5), U64_MAX]:
        left = max([s for s in starts if s < current], default=0)
        right = n if current >= n else min([s for s in starts if s > current], default=n)
        word = (
            (current, current)
            if current >= n
            else next((a, b) for a, b in zip(cuts, cuts[1:]) if a <= current < b)
        )
        for t in (fresh, encoded):
            assert (move_left(t, current), move_right(t, current), select_word(t, current)) == (
                left,
                right,
                word,
            )
