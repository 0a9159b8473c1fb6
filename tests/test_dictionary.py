"""Dictionary segmentation of Thai, Lao, Khmer and Myanmar runs.

The expected results are built from the word lists themselves: a reference
forward-longest-match by grapheme cluster (every candidate length that ends a
cluster of the text tried from the longest word down) applied on top of
line_break_opportunities inside the runs the test itself lays out.
"""

import functools
import random
import re
from pathlib import Path

import pytest
import scrivlet
from hypothesis import given, settings
from hypothesis import strategies as st

WORDLISTS = Path(__file__).resolve().parent.parent / "src" / "linebreak"
LANGUAGES = ["thai", "lao", "khmer", "myanmar"]

# Letters of each script with raw Line_Break class SA.
LETTERS = {
    "thai": [chr(c) for c in range(0x0E01, 0x0E2F)],
    "lao": [chr(c) for c in range(0x0E81, 0x0EB1) if chr(c).isalpha()],
    "khmer": [chr(c) for c in range(0x1780, 0x17B4)],
    "myanmar": [chr(c) for c in range(0x1000, 0x102B)],
}


# Code points of the lists whose class is not SA, so that a word holding one
# never lies inside a single run: Khmer U+17D6 (NS), the Myanmar digits used
# as letters (U+1040 for wa) and Myanmar punctuation and symbols. ZWNJ and ZWJ
# belong to a run where they stand between two of its letters.
NOT_SA = (
    {"\u17d6"}
    | {chr(c) for c in range(0x1040, 0x1050)}
    | {chr(c) for c in range(0x1090, 0x109A)}
)
JOINERS = "\u200c\u200d"


@functools.cache
def words(lang):
    """The listed words that fit inside one run."""
    text = (WORDLISTS / f"{lang}.txt").read_text(encoding="utf-8")
    return [
        w for w in text.split("\n")
        if w and not NOT_SA.intersection(w) and w[0] not in JOINERS and w[-1] not in JOINERS
    ]


@functools.cache
def word_set(lang):
    text = (WORDLISTS / f"{lang}.txt").read_text(encoding="utf-8")
    return frozenset(text.split("\n")) - {""}


@functools.cache
def longest_word(lang):
    return max(len(w) for w in word_set(lang))


def cluster_ends(text, start, end):
    """Code point indices, relative to text[start:end], where the grapheme
    clusters of text end inside it or the run itself ends."""
    starts = set(scrivlet.grapheme_boundaries(text))
    return {i - start for i in range(start + 1, end) if len(text[:i].encode()) in starts} | {
        end - start
    }


def longest_match(lang, run, pos, ends):
    """Code points of the longest listed word starting at run[pos] and ending
    at a cluster end, 0 if none."""
    known = word_set(lang)
    for length in range(min(longest_word(lang), len(run) - pos), 0, -1):
        if pos + length in ends and run[pos : pos + length] in known:
            return length
    return 0


def segments(lang, text, start, end):
    """Byte offsets, relative to the run text[start:end], where forward longest
    match cuts it."""
    run = text[start:end]
    ends = cluster_ends(text, start, end)
    cuts, pos = [], 0
    while pos < len(run):
        pos += longest_match(lang, run, pos, ends) or min(e for e in ends if e > pos) - pos
        if pos < len(run):
            cuts.append(len(run[:pos].encode()))
    return cuts


def expected(text, runs):
    """line_break_opportunities refined inside runs [(start, end, lang)] (code point indices)."""
    actions = dict(scrivlet.line_break_opportunities(text))
    for start, end, lang in runs:
        base = len(text[:start].encode())
        for i in range(start + 1, end):
            offset = len(text[:i].encode())
            if actions.get(offset) != "mandatory":
                actions.pop(offset, None)
        for cut in segments(lang, text, start, end):
            if actions.get(base + cut) != "mandatory":
                actions[base + cut] = "allowed"
    return sorted(actions.items())


def joined_pairs(lang, count=4):
    """Pairs of listed words (two or more code points each) where, written
    together, no listed word longer than the first starts at the first."""
    rng = random.Random(lang)
    pool = [w for w in words(lang) if len(w) >= 2]
    known = word_set(lang)
    pairs = []
    while len(pairs) < count:
        first, second = rng.choice(pool), rng.choice(pool)
        both = first + second
        if not any(both[:k] in known for k in range(len(first) + 1, len(both) + 1)):
            pairs.append((first, second))
    return pairs


def unknown_letters(lang):
    """Letters that start no listed word: a run of them matches nothing anywhere."""
    starts = {w[0] for w in word_set(lang)}
    return [c for c in LETTERS[lang] if c not in starts]


PAIRS = [
    pytest.param(lang, first, second, id=f"{lang}-{i}")
    for lang in LANGUAGES
    for i, (first, second) in enumerate(joined_pairs(lang))
]


@pytest.mark.parametrize("lang, first, second", PAIRS)
def test_two_listed_words_written_together_break_once_between_them(lang, first, second):
    text = first + second
    split = len(first.encode())
    assert scrivlet.line_break_opportunities_with_dictionary(text) == [
        (split, "allowed"),
        (len(text.encode()), "mandatory"),
    ]


def longer_over_prefix(lang):
    """A listed word whose proper prefix is listed too, then a second word, such
    that no listed word longer than the first starts at the first."""
    known = word_set(lang)
    rng = random.Random(lang + "-prefix")
    pool = [w for w in words(lang) if len(w) >= 2]
    for word in rng.sample(pool, len(pool)):
        prefixes = [word[:k] for k in range(1, len(word)) if word[:k] in known]
        if not prefixes:
            continue
        second = rng.choice(pool)
        both = word + second
        if not any(both[:k] in known for k in range(len(word) + 1, len(both) + 1)):
            return prefixes[-1], word, second
    raise AssertionError("no listed word with a listed prefix")


@pytest.mark.parametrize("lang", LANGUAGES)
def test_the_longest_listed_word_wins_over_its_listed_prefix(lang):
    prefix, word, second = longer_over_prefix(lang)
    text = word + second
    got = scrivlet.line_break_opportunities_with_dictionary(text)
    assert got == [(len(word.encode()), "allowed"), (len(text.encode()), "mandatory")]
    assert (len(prefix.encode()), "allowed") not in got


@pytest.mark.parametrize("lang, first, second", PAIRS)
def test_words_between_latin_text_keep_the_breaks_around_the_run(lang, first, second):
    text = "see " + first + second + ", then (" + first + second + ")"

    def at(index):
        return len(text[:index].encode())

    one = len("see ")
    two = text.index("(") + 1
    # ÷ after each space (LB18); × before "," (LB13), after "(" (LB14), before ")" (LB13).
    assert scrivlet.line_break_opportunities_with_dictionary(text) == [
        (at(one), "allowed"),
        (at(one + len(first)), "allowed"),
        (at(text.index("then")), "allowed"),
        (at(two - 1), "allowed"),
        (at(two + len(first)), "allowed"),
        (at(len(text)), "mandatory"),
    ]


@pytest.mark.parametrize("lang", LANGUAGES)
def test_unknown_text_breaks_after_every_code_point(lang):
    letters = unknown_letters(lang)
    assert len(letters) >= 2, "the script has letters that start no word"
    text = "".join(letters[i % len(letters)] for i in range(7))
    ends = [len(text[:i].encode()) for i in range(1, len(text))]
    assert scrivlet.line_break_opportunities_with_dictionary(text) == [
        (e, "allowed") for e in ends
    ] + [(len(text.encode()), "mandatory")]


@pytest.mark.parametrize(
    "text, expected",
    [
        # ฃ starts no Thai word: unknown text is cut between clusters only.
        ("\u0e03\u0e48\u0e03\u0e34", [(6, "allowed"), (12, "mandatory")]),
        # อัน ตั้ง อยู่: the tone marks stay with their letters.
        ("อันตั้งอยู่", [(9, "allowed"), (21, "allowed"), (33, "mandatory")]),
        # ราก is listed but ends before the vowel of กิ๋: it is not taken.
        ("รากิ๋ว", [(6, "allowed"), (18, "mandatory")]),
        # A Myanmar run that begins with a virama: its cluster began with the
        # Thai mark before the run, and takes the consonant after it.
        ("\u0e31\u1039\u1000", [(9, "mandatory")]),
    ],
    ids=["unknown-letters-with-marks", "tone-marks", "word-ending-before-a-mark",
         "virama-whose-cluster-began-before-the-run"],
)
def test_breaks_never_separate_a_letter_from_its_marks(text, expected):
    assert scrivlet.line_break_opportunities_with_dictionary(text) == expected


@pytest.mark.parametrize(
    "lang, text",
    [
        # Khmer coeng: ក្ស and ស្រ are stacks of one cluster each.
        ("khmer", "\u1780\u17d2\u179f\u179f\u17d2\u179a\u17b8"),
        # Myanmar virama stacking: က္က.
        ("myanmar", "\u1000\u1039\u1000\u1038\u1000\u1039\u1001"),
    ],
    ids=["khmer-coeng", "myanmar-virama"],
)
def test_stacked_consonants_are_never_split(lang, text):
    got = scrivlet.line_break_opportunities_with_dictionary(text)
    starts = set(scrivlet.grapheme_boundaries(text))
    assert all(offset in starts for offset, _ in got[:-1])
    assert got == expected(text, [(0, len(text), lang)])


def joined_words(lang):
    """The listed words with a joiner between two of their letters."""
    return [w for w in words(lang) if JOINERS[0] in w or JOINERS[1] in w]


@pytest.mark.parametrize(
    "lang, count", [("khmer", 25), ("myanmar", 2)], ids=["khmer", "myanmar"]
)
def test_words_with_a_joiner_inside_are_found_whole(lang, count):
    joined = joined_words(lang)
    assert len(joined) == count
    for word in joined:
        size = len(word.encode())
        assert scrivlet.line_break_opportunities_with_dictionary(word) == [(size, "mandatory")]
        # A joiner at the edge of a run stays out of it.
        text = word + JOINERS[1] + "a"
        assert scrivlet.line_break_opportunities_with_dictionary(text) == expected(
            text, [(0, len(word), lang)]
        ), ascii(word)


@pytest.mark.parametrize("lang", LANGUAGES)
def test_unknown_text_between_words_is_cut_per_code_point(lang):
    (first, second), *_ = joined_pairs(lang, 1)
    junk = "".join(unknown_letters(lang)[:3])
    text = first + junk + second
    n = len(first)
    cuts = [len(text[:i].encode()) for i in range(n, n + len(junk) + 1)]
    assert scrivlet.line_break_opportunities_with_dictionary(text) == [
        (c, "allowed") for c in cuts
    ] + [(len(text.encode()), "mandatory")]


@pytest.mark.parametrize(
    "first, second",
    [
        pytest.param("thai", "lao", id="thai-lao"),
        pytest.param("lao", "thai", id="lao-thai"),
        pytest.param("khmer", "myanmar", id="khmer-myanmar"),
        pytest.param("myanmar", "thai", id="myanmar-thai"),
    ],
)
def test_a_script_change_ends_the_run(first, second):
    (a1, a2), *_ = joined_pairs(first, 1)
    (b1, b2), *_ = joined_pairs(second, 1)
    text = a1 + a2 + b1 + b2
    k = len(a1 + a2)
    # Each half is segmented with its own list; where the scripts meet, two
    # letters (AL × AL, LB28) keep the line-break algorithm's no-break.
    assert scrivlet.line_break_opportunities_with_dictionary(text) == [
        (len(a1.encode()), "allowed"),
        (len((a1 + a2 + b1).encode()), "allowed"),
        (len(text.encode()), "mandatory"),
    ]
    assert expected(text, [(0, k, first), (k, len(text), second)]) == (
        scrivlet.line_break_opportunities_with_dictionary(text)
    )


@pytest.mark.parametrize(
    "lang, digits",
    [
        pytest.param("thai", "\u0e51\u0e52\u0e53", id="thai"),
        pytest.param("lao", "\u0ed1\u0ed2", id="lao"),
        pytest.param("khmer", "\u17e1\u17e2", id="khmer"),
        pytest.param("myanmar", "\u1041\u1042", id="myanmar"),
        pytest.param("thai", "42", id="ascii"),
    ],
)
def test_digits_end_the_run(lang, digits):
    (a1, a2), (b1, b2) = joined_pairs(lang, 2)
    text = a1 + a2 + digits + b1 + b2
    k = len(a1 + a2)
    got = scrivlet.line_break_opportunities_with_dictionary(text)
    # Inside the digits no break appears (they would be cut one by one inside
    # a run); the letters on either side hold to them (LB23).
    assert got == [
        (len(a1.encode()), "allowed"),
        (len((a1 + a2 + digits + b1).encode()), "allowed"),
        (len(text.encode()), "mandatory"),
    ]
    assert got == expected(text, [(0, k, lang), (k + len(digits), len(text), lang)])


@pytest.mark.parametrize(
    "text",
    [
        pytest.param("\u1a20\u1a61\u1a36\u1a62\u1a3e\u1a60\u1a45\u1a5e", id="tai-tham"),
        pytest.param("\uaa80\uaab2\uaa95\uaac1\uaa8d\uaab1\uaaa3", id="tai-viet"),
        pytest.param("\u1950\u1951\u1952 \u1953\u1954", id="tai-le"),
        pytest.param("\u1980\u19b0\u1981\u19b1", id="new-tai-lue"),
        pytest.param("\U00011700\U0001171d\U00011701\U00011720", id="ahom"),
        pytest.param("\ua9e0\ua9e1\ua9e5\ua9e2", id="myanmar-ext-b"),
    ],
)
def test_sa_scripts_without_a_list_keep_the_line_break_result(text):
    assert scrivlet.line_break_opportunities_with_dictionary(text) == (
        scrivlet.line_break_opportunities(text)
    )


def test_tai_tham_beside_thai_is_left_alone_while_thai_is_segmented():
    (first, second), *_ = joined_pairs("thai", 1)
    tai_tham = "\u1a20\u1a61\u1a36\u1a62"
    text = tai_tham + first + second + tai_tham
    start = len(tai_tham)
    got = scrivlet.line_break_opportunities_with_dictionary(text)
    assert got == expected(text, [(start, start + len(first + second), "thai")])
    assert (len((tai_tham + first).encode()), "allowed") in got


@pytest.mark.parametrize(
    "text",
    [
        pytest.param("", id="empty"),
        pytest.param("a", id="one-char"),
        pytest.param("The quick brown fox, (jumps) over 1,234 dogs!", id="english"),
        pytest.param("日本語のテキスト。中文文本。", id="cjk"),
        pytest.param("a\nb\r\nc\u2028d\u0085e", id="newlines"),
        pytest.param("\U0001f1e6\U0001f1e8\U0001f1e6\U0001f466\U0001f3fb", id="emoji"),
        pytest.param("\u0e50\u0e51 \u0e3f100", id="thai-digits-baht"),
        pytest.param("\u17d4\u17d5 \u104a\u104b", id="khmer-myanmar-punct"),
    ],
)
def test_text_without_sa_letters_matches_line_break_opportunities(text):
    assert scrivlet.line_break_opportunities_with_dictionary(text) == (
        scrivlet.line_break_opportunities(text)
    )


@pytest.mark.parametrize(
    "text",
    [
        pytest.param("a \u0e01 b", id="thai-letter-alone"),
        pytest.param("(\u0e81)", id="lao-in-brackets"),
        pytest.param("\u1780\n\u1000", id="khmer-lf-myanmar"),
    ],
)
def test_a_run_of_one_code_point_is_left_alone(text):
    assert scrivlet.line_break_opportunities_with_dictionary(text) == (
        scrivlet.line_break_opportunities(text)
    )


@pytest.mark.parametrize("lang", LANGUAGES)
@pytest.mark.parametrize(
    "newline", ["\n", "\r\n", "\u2028", "\u0085", "\x0b"], ids=["lf", "crlf", "ls", "nel", "vt"]
)
def test_mandatory_breaks_are_never_changed(lang, newline):
    (a1, a2), (b1, b2) = joined_pairs(lang, 2)
    text = a1 + a2 + newline + b1 + b2 + newline
    plain = [p for p in scrivlet.line_break_opportunities(text) if p[1] == "mandatory"]
    got = scrivlet.line_break_opportunities_with_dictionary(text)
    assert [p for p in got if p[1] == "mandatory"] == plain
    k = len(a1 + a2 + newline)
    assert got == expected(text, [(0, len(a1 + a2), lang), (k, k + len(b1 + b2), lang)])


def test_first_code_point_of_a_run_keeps_its_action():
    (first, second), *_ = joined_pairs("thai", 1)
    # After "(" no break (LB14), after a space one (LB18), after ZW one (LB8).
    for prefix, action in [("(", None), (" ", "allowed"), ("\u200b", "allowed")]:
        text = prefix + first + second
        got = dict(scrivlet.line_break_opportunities_with_dictionary(text))
        assert got.get(len(prefix.encode())) == action, repr(prefix)


def run_token(lang):
    """A piece of one run: a listed word, a cut word, or letters that may match nothing."""
    return st.one_of(
        st.sampled_from(words(lang)),
        st.tuples(st.sampled_from(words(lang)), st.integers(1, 8)).map(lambda t: t[0][: t[1]]),
        st.text(alphabet=LETTERS[lang], min_size=1, max_size=4),
    ).map(lambda s: (lang, s))


SEPARATORS = [
    " ",
    "\u200c",
    "\u200d",
    "  ",
    "abc",
    "42",
    "\n",
    "\r\n",
    "(",
    ")",
    "—",
    "。",
    "、",
    "\u0e51",
    "\u1a20\u1a61",
]
RUN_TOKEN = st.one_of(*[run_token(lang) for lang in LANGUAGES])
TOKENS = st.lists(
    st.one_of(st.sampled_from(SEPARATORS).map(lambda s: (None, s)), RUN_TOKEN),
    max_size=12,
)


def runs_of(tokens):
    """The runs [(start, end, lang)] (code point indices) of the joined tokens."""
    text = "".join(piece for _, piece in tokens)
    langs = [lang for lang, piece in tokens for _ in piece]
    # A joiner belongs to the run of the letters on both its sides.
    for i, c in enumerate(text):
        if c in JOINERS:
            between = 0 < i < len(text) - 1 and not set(text[i - 1] + text[i + 1]) & set(JOINERS)
            same = between and langs[i - 1] == langs[i + 1]
            langs[i] = langs[i - 1] if same else None
    runs = []
    for i, lang in enumerate(langs):
        if lang is None:
            continue
        if runs and runs[-1][2] == lang and runs[-1][1] == i:
            runs[-1] = (runs[-1][0], i + 1, lang)
        else:
            runs.append((i, i + 1, lang))
    return runs


@settings(max_examples=300, deadline=None)
@given(TOKENS)
def test_agrees_with_longest_match_over_the_line_break_result(tokens):
    text = "".join(piece for _, piece in tokens)
    got = scrivlet.line_break_opportunities_with_dictionary(text)
    assert got == expected(text, runs_of(tokens))


# What may stand between two runs: spaces, ZW, joiners, marks, glue, quotes,
# brackets, hyphens, numbers and their affixes, wide text, aksaras, emoji,
# regional indicators, line ends.
GAP_CHARACTERS = (
    " \u200b\u200c\u200d\u0301\u00a0\u2060()[]\u00ab\u00bb\u201c\u201d'\"-\u2010\u00ad"
    "%$1.,/:!?a\u3002\u4e00\u17d4\u17d6\u0e51\u1b05\u1b44\u25cc\u2014\t\n"
    "\U0001f600\U0001f3fb\U0001f1e6"
)


@settings(max_examples=150, deadline=None)
@given(st.data())
def test_a_gap_repeated_between_runs_is_decided_as_the_first_time(data):
    # The same few gaps between many runs whose edge letters and marks differ,
    # more of them than the first few gaps, which are always decided afresh.
    # Short gaps, so that several of one length differ in one place.
    gap = st.text(GAP_CHARACTERS, min_size=1, max_size=4)
    gaps = data.draw(st.lists(gap, min_size=1, max_size=4))
    tokens = []
    for run in data.draw(st.lists(RUN_TOKEN, min_size=12, max_size=28)):
        tokens += [run, (None, data.draw(st.sampled_from(gaps)))]
    text = "".join(piece for _, piece in tokens)
    got = scrivlet.line_break_opportunities_with_dictionary(text)
    assert got == expected(text, runs_of(tokens))


@pytest.mark.parametrize(
    "kept, asked",
    [
        pytest.param("\U0001f600", "\uf600", id="astral-kept-then-bmp"),
        pytest.param("\uf600", "\U0001f600", id="bmp-kept-then-astral"),
        # Units that differ from bit 20 up only: alike to a hash of their low bits.
        pytest.param("\u00a0\U00100020", "\u00a0 ", id="plane-16-then-space"),
    ],
)
def test_a_repeated_gap_is_told_from_one_that_differs_above_u_ffff(kept, asked):
    # The same low 16 bits: a gap is never read back for one that differs
    # only in a code point above U+FFFF.
    tokens = []
    for k in range(24):
        tokens += [("thai", "\u0e01\u0e32\u0e23"), (None, kept if k < 16 else asked)]
    text = "".join(piece for _, piece in tokens)
    got = scrivlet.line_break_opportunities_with_dictionary(text)
    assert got == expected(text, runs_of(tokens))


# --- the build's word-list compiler --------------------------------------------


@functools.cache
def compiler():
    import importlib.util

    path = Path(__file__).resolve().parent.parent / "tools" / "compile_dictionary.py"
    spec = importlib.util.spec_from_file_location("compile_dictionary", path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def test_compiler_reads_words_as_line_breaking_knows_them():
    # CRLF, leading tab, trailing NBSP and ideographic space, a blank and a
    # white-space-only line, a duplicate, a final line without a line feed.
    listed = "abc\r\n\tdef\n\n  \r\nxyz\u00a0\u3000\nabc\nlongest-word\nqr".encode()
    assert compiler().read_words(listed) == {"abc", "def", "xyz", "longest-word", "qr"}
    assert compiler().read_words(b"") == compiler().read_words(b" \r\n\t\n") == set()


SMALL_LIST = {"ab", "abc", "abd", "b", "bcd", "\u0e01\u0e02", "x\u200dy"}


@pytest.mark.parametrize(
    "damage",
    [
        pytest.param(lambda v: v ^ 1 << 8, id="word-flag-flipped"),
        pytest.param(lambda v: v & 0x1FF, id="leads-back-to-the-start"),
        pytest.param(lambda v: 0xFF, id="transition-dropped"),
    ],
)
def test_compiler_rejects_an_automaton_that_differs_from_the_list(damage):
    c = compiler()
    text = c.render("SMALL", "small.txt", SMALL_LIST)
    c.verify(text, SMALL_LIST)  # the compiled automaton holds exactly the list
    assert c.read_back(text)["root"] == 0
    slots = c.read_back(text)["SLOTS"]
    with pytest.raises(c.CompileError):
        c.verify(text, SMALL_LIST | {"abcd"})
    for i, v in enumerate(slots):
        if v != c.EMPTY:
            damaged = list(slots)
            damaged[i] = damage(v)
            body = ", ".join(map(str, damaged))
            broken = re.sub(r"SLOTS\[\] = \{.*?\};", f"SLOTS[] = {{{body}}};", text, flags=re.DOTALL)
            with pytest.raises(c.CompileError):
                c.verify(broken, SMALL_LIST)
