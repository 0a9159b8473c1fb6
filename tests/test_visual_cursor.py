"""move_left_visual and move_right_visual: caret stops in visual order over grapheme clusters."""

import random

import pytest
import scrivlet

ALEF, BET = "\u05d0", "\u05d1"
SHEVA = "\u05b0"  # a Hebrew point: joins the letter's cluster
RLE, PDF = "\u202b", "\u202c"


def right(text, current):
    return scrivlet.move_right_visual(text, current)


def left(text, current):
    return scrivlet.move_left_visual(text, current)


# The text a b U+05D0 U+05D1: stops [0, 1, 2, 6, 4, 2].
WORKED = "ab" + ALEF + BET

WORKED_CASES = [
    (0, 1, 0, "left-end"),
    (1, 2, 0, "inside-latin"),
    (2, 6, 1, "direction-change-first-occurrence"),
    (6, 4, 2, "text-end-at-run-edge"),
    (4, 2, 6, "inside-hebrew"),
    (3, 4, 2, "inside-a-character"),
    (100, 2, 4, "beyond-the-end"),
]


@pytest.mark.parametrize(
    ("current", "to_right", "to_left"),
    [c[:3] for c in WORKED_CASES],
    ids=[c[3] for c in WORKED_CASES],
)
def test_worked_example(current, to_right, to_left):
    assert right(WORKED, current) == to_right
    assert left(WORKED, current) == to_left


def test_offset_alone_cannot_tell_the_two_places_apart():
    # Right from 4 lands on 2 at the right end; right from there goes back to 6.
    assert right(WORKED, right(WORKED, 4)) == 6


SIMPLE_CASES = [
    (ALEF + BET, 4, 2, 4, "rtl-paragraph-left-end"),
    (ALEF + BET, 0, 0, 2, "rtl-paragraph-right-end"),
    (ALEF + BET, 2, 0, 4, "rtl-paragraph-middle"),
    ("a", 0, 1, 0, "single-letter-start"),
    ("a", 1, 1, 0, "single-letter-end"),
    ("abc", 1, 2, 0, "latin"),
    ("", 0, 0, 0, "empty"),
    ("", 57, 0, 0, "empty-any-offset"),
]


@pytest.mark.parametrize(
    ("text", "current", "to_right", "to_left"),
    [c[:4] for c in SIMPLE_CASES],
    ids=[c[4] for c in SIMPLE_CASES],
)
def test_simple_lines(text, current, to_right, to_left):
    assert right(text, current) == to_right
    assert left(text, current) == to_left


# a U+05D0 U+05B0 U+05D1: clusters a, U+05D0+point (bytes 1..5), U+05D1 (5..7);
# stops [0, 1, 7, 5, 1].
POINTED = "a" + ALEF + SHEVA + BET

POINTED_CASES = [
    (0, 1, 0, "start"),
    (1, 7, 0, "entering-rtl-run"),
    (3, 5, 1, "inside-cluster"),
    (7, 5, 1, "end-of-text"),
    (5, 1, 7, "between-hebrew-clusters"),
]


@pytest.mark.parametrize(
    ("current", "to_right", "to_left"),
    [c[:3] for c in POINTED_CASES],
    ids=[c[3] for c in POINTED_CASES],
)
def test_clusters_move_as_one(current, to_right, to_left):
    assert right(POINTED, current) == to_right
    assert left(POINTED, current) == to_left


def test_latin_inside_rtl_paragraph():
    # U+05D0 a b, paragraph level 1: visually a b U+05D0, stops [2, 3, 4, 0].
    text = ALEF + "ab"
    assert [right(text, c) for c in (2, 3, 4, 0)] == [3, 4, 0, 0]
    assert [left(text, c) for c in (2, 3, 4, 0)] == [2, 2, 3, 4]


def test_removed_characters_take_the_paragraph_level():
    # The RLE and PDF are clusters of their own at level 0; the letter inside is at 2.
    text = "a" + RLE + "b" + PDF + "c"
    assert [right(text, c) for c in (0, 1, 4, 5, 8, 9)] == [1, 4, 5, 8, 9, 9]
    assert [left(text, c) for c in (0, 1, 4, 5, 8, 9)] == [0, 0, 1, 4, 5, 8]


# --- against the steps written out in Python ---


def reference_stops(text):
    data = text.encode()
    if not data:
        return [], []
    bidi = scrivlet.bidi_resolve(text)
    bounds = scrivlet.grapheme_boundaries(text)
    if not bounds or bounds[0] != 0:
        bounds = [0] + bounds
    if bounds[-1] != len(data):
        bounds = bounds + [len(data)]
    index_of = {}
    i = 0
    for k, ch in enumerate(text):
        index_of[i] = k
        i += len(ch.encode())
    spans = []
    for s, t in zip(bounds, bounds[1:]):
        k = index_of.get(s, len(bidi["levels"]))
        level = bidi["levels"][k] if k < len(bidi["levels"]) else 255
        spans.append((s, t, bidi["paragraph_level"] if level == 255 else level))
    order = list(range(len(spans)))
    lv = [sp[2] for sp in spans]
    odd = [v for v in lv if v % 2]
    for v in range(max(lv), min(odd, default=255) - 1, -1):
        i = 0
        while i < len(lv):
            j = i
            while j < len(lv) and lv[j] >= v:
                j += 1
            order[i:j] = order[i:j][::-1]
            i = j + 1

    def edges(sp):
        return (sp[1], sp[0]) if sp[2] % 2 else (sp[0], sp[1])

    stops = [edges(spans[order[0]])[0]]
    for n, k in enumerate(order):
        r = edges(spans[k])[1]
        if r != stops[-1]:
            stops.append(r)
        if n + 1 < len(order):
            nxt = spans[order[n + 1]]
            q = edges(nxt)[0]
            if r != q and nxt[2] > spans[k][2]:
                stops.append(q)
    return spans, stops


def reference_move(text, current, step):
    spans, stops = reference_stops(text)
    if not stops:
        return 0
    hits = [i for i, s in enumerate(stops) if s == current]
    if len(hits) == 1:
        at = hits[0]
    elif hits:
        before = [sp for sp in spans if sp[1] <= current]
        d = before[-1][2] if before else 0
        f = next((sp[2] for sp in spans if sp[0] == current), 0)
        at = hits[0] if d <= f else hits[-1]
    else:
        at = next((i for i, s in enumerate(stops) if s >= current), len(stops) - 1)
    return stops[min(max(at + step, 0), len(stops) - 1)]


POOL = ["a", "b", "1", "2", " ", ",", "(", ")", ALEF, BET, "\u0628", "\u0661", SHEVA, "\u0301", "\u200b",
        RLE, PDF, "\u2067", "\u2069", "\u2068", "\U0001f600", "\r\n"]  # fmt: skip


# Nothing here leaves level 0: clusters of every kind, removed characters,
# numbers and multi-byte characters (offsets inside them).
LEFT_TO_RIGHT_POOL = ["a", "1", " ", "%", "\u00e9", "\u0301", "\u200d", "\u200b", "\u00ad", "\r", "\n",
                      "\u1100", "\u1161", "\uac00", "\u0915\u094d", "\U0001f1e6", "\U0001f468",
                      "\U0001f3fb", "\u4e00", "\u0e01\u0e31"]  # fmt: skip


def random_texts(pool=POOL):
    rng = random.Random(4242)
    return ["".join(rng.choice(pool) for _ in range(rng.randint(1, 14))) for _ in range(400)]


@pytest.mark.parametrize(
    "pool", [POOL, LEFT_TO_RIGHT_POOL], ids=["mixed-directions", "left-to-right"]
)
def test_moves_follow_the_caret_stops_on_random_texts(pool):
    for text in random_texts(pool):
        size = len(text.encode())
        for current in range(size + 2):
            assert right(text, current) == reference_move(text, current, 1), (text, current)
            assert left(text, current) == reference_move(text, current, -1), (text, current)


def test_duplicate_stop_after_higher_level_takes_last_occurrence():
    # Find, among the random texts, offsets that occur twice with the span before
    # deeper than the span after, and check the last occurrence is the one taken.
    found = 0
    for text in random_texts():
        spans, stops = reference_stops(text)
        for current in set(stops):
            hits = [i for i, s in enumerate(stops) if s == current]
            if len(hits) < 2:
                continue
            before = [sp for sp in spans if sp[1] <= current]
            after = [sp for sp in spans if sp[0] == current]
            if before and after and before[-1][2] > after[0][2]:
                found += 1
                want = stops[min(hits[-1] + 1, len(stops) - 1)]
                assert right(text, current) == want
    assert found > 0


def test_every_stop_is_a_cluster_boundary_and_every_boundary_a_stop():
    for text in random_texts():
        bounds = set(scrivlet.grapheme_boundaries(text)) | {len(text.encode())}
        _, stops = reference_stops(text)
        assert set(stops) == bounds, text
        for current in range(len(text.encode()) + 1):
            assert right(text, current) in bounds
            assert left(text, current) in bounds


@pytest.mark.parametrize("bad", [-1, "1", None], ids=["negative", "str", "none"])
def test_current_must_be_a_non_negative_integer(bad):
    with pytest.raises((TypeError, OverflowError, ValueError)):
        scrivlet.move_right_visual("abc", bad)


# A lone surrogate anywhere in a long text, before or after what leaves level
# 0, before or after the caret, in both wide forms: the interpreter's own
# error, before the caret is read.
SURROGATE_TEXTS = [
    ("\u1ec7" * 300 + "\ud800" + "\u1ec7" * 300, "ucs2-middle"),
    ("\u201c" * 64 + "\udfff", "ucs2-last"),
    ("a" * 100 + ALEF + "b" * 100 + "\udc00" + "c" * 5, "after-right-to-left"),
    ("\udbff" + ALEF * 200, "before-right-to-left"),
    ("\U0001f600" * 100 + "\ud83d" + "\U0001f600" * 100, "ucs4"),
    ("\U0001f600" * 700 + "\udc00" + "\U0001f600" * 700, "ucs4-long"),
]
CARET_MOVES = [right, left, scrivlet.move_right, scrivlet.move_left, scrivlet.select_word]


@pytest.mark.parametrize(
    "move", CARET_MOVES, ids=["right", "left", "logical-right", "logical-left", "word"]
)
@pytest.mark.parametrize(
    "text", [t for t, _ in SURROGATE_TEXTS], ids=[i for _, i in SURROGATE_TEXTS]
)
def test_lone_surrogate_fails_as_encoding_does_before_the_caret_is_read(move, text):
    with pytest.raises(UnicodeEncodeError) as expected:
        text.encode()
    for current in (0, 1500, 10**9, -1, "not a caret"):
        with pytest.raises(UnicodeEncodeError) as info:
            move(text, current)
        assert str(info.value) == str(expected.value)
