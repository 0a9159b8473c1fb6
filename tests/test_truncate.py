"""Truncation by cluster count and by width: whole clusters only, a prefix of the input."""

import pytest
from hypothesis import given
from hypothesis import strategies as st
from scrivlet import display_width, grapheme_boundaries, truncate_display_width, truncate_graphemes

FAMILY = "\U0001f468\u200d\U0001f469\u200d\U0001f467"
FLAG = "\U0001f1ef\U0001f1f5"
U64_MAX = 2**64 - 1
U32_MAX = 2**32 - 1


def clusters(text):
    data = text.encode()
    cuts = grapheme_boundaries(text) + [len(data)]
    return [data[a:b].decode() for a, b in zip(cuts, cuts[1:])]


@pytest.mark.parametrize(
    "text,limit,expected",
    [
        ("", 0, ""),
        ("", 5, ""),
        ("", U64_MAX, ""),
        ("abc", 0, ""),
        ("abc", 2, "ab"),
        ("abc", 3, "abc"),
        ("abc", 10, "abc"),
        ("abc", U64_MAX, "abc"),
        ("e\u0301x", 1, "e\u0301"),
        (FLAG + FLAG, 1, FLAG),
        ("ab\u0301c", 2, "ab\u0301"),
        ("a\r\nb", 2, "a\r\n"),
        ("\u0301\u0301a", 1, "\u0301\u0301"),
        ("a" + "\u0301" * 5000 + "b", 1, "a" + "\u0301" * 5000),
        ("ab" * 5000 + "\u0301", 9999, "ab" * 4999 + "a"),
        ("ab" * 5000 + "\u0301", 10000, "ab" * 5000 + "\u0301"),
        ("\u65e5" * 3000, 2999, "\u65e5" * 2999),
    ],
    ids=[
        "empty-0",
        "empty-5",
        "empty-max",
        "zero",
        "two",
        "exact",
        "more",
        "u64-max",
        "combining",
        "flags",
        "mark-inside",
        "crlf-is-one",
        "leading-marks",
        "long-first-cluster",
        "ascii-then-mark-cut-before",
        "ascii-then-mark-keeps-mark",
        "cjk-long",
    ],
)
def test_truncate_graphemes(text, limit, expected):
    assert truncate_graphemes(text, limit) == expected


CJK3 = "\u65e5\u672c\u8a9e"


@pytest.mark.parametrize(
    "text,limit,expected",
    [
        ("", 0, ""),
        ("", 5, ""),
        (CJK3, 5, "\u65e5\u672c"),
        (CJK3, 3, "\u65e5"),
        (CJK3, 1, ""),
        (CJK3, 6, CJK3),
        ("abc", 0, ""),
        ("\u0301abc", 0, ""),
        ("\u0301abc", 1, "\u0301a"),
        ("ab\x07", 2, "ab\x07"),
        (FAMILY + "x", 5, ""),
        (FAMILY + "x", 6, FAMILY),
        (FAMILY + "x", 7, FAMILY + "x"),
        ("abc", U32_MAX, "abc"),
        (CJK3 * 100, U32_MAX, CJK3 * 100),
        ("abcdef", 3, "abc"),
        ("abc\u0301", 3, "abc\u0301"),
        ("abc\u0301d", 3, "abc\u0301"),
        ("e\u0301" * 3, 2, "e\u0301e\u0301"),
        ("a\u0301\u0301", 1, "a\u0301\u0301"),
        ("a\tb", 1, "a\t"),
        ("a" + "\u0301" * 5000 + "bc", 2, "a" + "\u0301" * 5000 + "b"),
        ("x" * 100 + "\u65e5" * 5000, 2000, "x" * 100 + "\u65e5" * 950),
    ],
    ids=[
        "empty-0",
        "empty-5",
        "cjk-5",
        "cjk-3",
        "cjk-1",
        "cjk-exact",
        "zero",
        "zero-before-mark",
        "leading-mark-kept",
        "control-width-0",
        "family-5",
        "family-6",
        "family-7",
        "u32-max",
        "u32-max-cjk",
        "ascii-cut",
        "trailing-mark-kept",
        "mark-then-over",
        "clusters-not-split",
        "marks-stay-with-base",
        "tab-counts-0",
        "long-first-cluster",
        "beyond-first-guess",
    ],
)
def test_truncate_display_width(text, limit, expected):
    assert truncate_display_width(text, limit) == expected


PIECES = [
    "a",
    "b",
    " ",
    "\u0301",
    "\u200d",
    "\U0001f468",
    "\U0001f1e6",
    "\r",
    "\n",
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
    "\x07",
    "\u3000",
]
texts = st.lists(st.sampled_from(PIECES), max_size=60).map("".join)


@given(texts, st.integers(min_value=0, max_value=70))
def test_graphemes_keeps_the_first_clusters(text, limit):
    assert truncate_graphemes(text, limit) == "".join(clusters(text)[:limit])


@given(texts, st.integers(min_value=0, max_value=80))
def test_width_keeps_the_longest_fitting_run_of_clusters(text, limit):
    kept, total = "", 0
    if limit:
        for cluster in clusters(text):
            total += display_width(cluster)
            if total > limit:
                break
            kept += cluster
    assert truncate_display_width(text, limit) == kept


@given(texts.map(lambda t: t * 40), st.integers(min_value=0, max_value=3000))
def test_long_texts_match_the_cluster_list(text, limit):
    assert truncate_graphemes(text, limit) == "".join(clusters(text)[:limit])
    result = truncate_display_width(text, limit)
    assert text.startswith(result) and display_width(result) <= limit
    rest = clusters(text[len(result) :])
    assert not rest or display_width(result + rest[0]) > limit or limit == 0


from cluster_classes import CLASS_CHARS  # noqa: E402


def test_truncation_agrees_with_clusters_on_every_short_class_sequence():
    texts = [a + b + c for a in CLASS_CHARS for b in CLASS_CHARS for c in [""] + CLASS_CHARS]
    wrong = []
    for text in texts:
        parts = clusters(text)
        for limit in range(len(parts) + 1):
            if truncate_graphemes(text, limit) != "".join(parts[:limit]):
                wrong.append((text, "clusters", limit))
        kept, total = [], 0
        for limit in range(display_width(text) + 1):
            while len(kept) < len(parts) and total + display_width(parts[len(kept)]) <= limit:
                total += display_width(parts[len(kept)])
                kept.append(parts[len(kept)])
            expected = "".join(kept) if limit else ""
            if truncate_display_width(text, limit) != expected:
                wrong.append((text, "width", limit))
    assert wrong == []
