"""Cost growth: every operation is linear (or n log n) on its worst inputs.

Each check times an operation on an adversarial input of size n and 10n and
asserts that the cost grew by a factor near 10, never near 100.
"""

import time

import pytest

import scrivlet

# Linear growth gives about 10; n log n about 12; quadratic 100. Allow noise.
MAX_RATIO = 25


def cost(fn, arg, repeat=3):
    """Best CPU time of the calls: time other processes take is not counted."""
    best = float("inf")
    for _ in range(repeat):
        start = time.process_time()
        fn(arg)
        best = min(best, time.process_time() - start)
    return best


def growth(fn, make, n=100_000):
    """Cost ratio of fn on make(10 n) over make(n), measured again (up to twice)
    while a busy machine, or a large input leaving the caches, pushes it over
    the limit; a quadratic cost stays near 100 however often it is measured."""
    small, large = make(n), make(10 * n)
    fn(small)  # warm up (tables, lazily built dictionaries)
    ratio = cost(fn, large) / max(cost(fn, small), 1e-6)
    for _ in range(2):
        if ratio < MAX_RATIO:
            break
        ratio = min(ratio, cost(fn, large) / max(cost(fn, small), 1e-6))
    return ratio


# --- grapheme clusters ---

def test_grapheme_boundaries_linear_on_regional_indicators():
    assert growth(scrivlet.grapheme_boundaries, lambda n: "\U0001F1E6" * n) < MAX_RATIO


def test_grapheme_boundaries_linear_on_combining_marks():
    assert growth(scrivlet.grapheme_boundaries, lambda n: "a" + "\u0301" * n) < MAX_RATIO


# --- width, truncation, words, sentences, cursor ---


def test_sentence_boundaries_linear_after_full_stop_and_spaces():
    # SB8 looks ahead from every space for a lowercase letter that never comes.
    assert growth(scrivlet.sentence_boundaries, lambda n: "A." + " " * n) < MAX_RATIO


def test_sentence_boundaries_linear_after_full_stop_and_closing_brackets():
    assert growth(scrivlet.sentence_boundaries, lambda n: "A." + ")" * n) < MAX_RATIO


def test_sentence_boundaries_linear_after_full_stop_and_digits():
    assert growth(scrivlet.sentence_boundaries, lambda n: "A." + "1" * n) < MAX_RATIO
    assert growth(scrivlet.sentence_boundaries, lambda n: "A. " + "1" * n) < MAX_RATIO
    assert growth(scrivlet.sentence_boundaries, lambda n: "A.)" + "#" * n + "B") < MAX_RATIO


def test_sentence_boundaries_linear_on_marks_before_terminators():
    # The class before a terminator is read back from it over the marks.
    make = lambda n: ("a" + "\u0301" * 500 + ". ") * (n // 503)
    assert growth(scrivlet.sentence_boundaries, make) < MAX_RATIO


def test_sentence_boundaries_linear_on_repeated_terminators():
    assert growth(scrivlet.sentence_boundaries, lambda n: "a. , " * (n // 5)) < MAX_RATIO


# Letters of ten blocks in turn, so that the scan between terminators meets a
# new gap between them in every block; caseless words with zero width spaces
# after a full stop, which the look-ahead passes over to the end.
MANY_GAPS = "a\u05d0\u0915\u0e81\u10d0\u1780\u4e00\uac00\u2019\uff10"


@pytest.mark.parametrize(
    "make",
    [
        lambda n: MANY_GAPS * (n // len(MANY_GAPS)),
        lambda n: (MANY_GAPS + "\U0001f600") * (n // 11),
        lambda n: "A. " + "\u0e81\u200b" * (n // 2),
    ],
    ids=["many-gaps", "many-gaps-wide", "caseless-look-ahead"],
)
def test_sentence_boundaries_linear_on_scans_between_terminators(make):
    assert growth(scrivlet.sentence_boundaries, make) < MAX_RATIO


def test_word_boundaries_linear_on_ignorables():
    # WB4: each pair looks past the marks to the characters around them.
    assert growth(scrivlet.word_boundaries, lambda n: "a" + "\u0301" * n + "b") < MAX_RATIO
    assert growth(scrivlet.word_boundaries, lambda n: "a:" + "\u00ad" * n + "b") < MAX_RATIO
    assert (
        growth(scrivlet.word_boundaries, lambda n: ("1," + "\u200d" * 50) * (n // 50))
        < MAX_RATIO
    )


@pytest.mark.parametrize(
    "piece",
    [
        "\u0e01" * 40 + " ",  # long runs of letters, passed over a chunk at a time
        " \u0e34" + "\u0e48" * 30 + "\u0e01",  # runs that open with marks: steps up to the letter
        "\u0e01\u0e81a\u0430\u4e00 ",  # scripts taking turns: the letter ranges keep changing
        "\u05d0" * 20 + "a" * 20 + "' ",  # Hebrew runs beside others: a run starts at each change
    ],
    ids=["letters", "marks-first", "mixed-scripts", "hebrew-beside-latin"],
)
def test_word_boundaries_linear_on_runs_of_letters(piece):
    assert growth(scrivlet.word_boundaries, lambda n: piece * (n // len(piece))) < MAX_RATIO


def test_word_boundaries_linear_when_the_rate_of_boundaries_changes():
    # the list is sized from the rate so far: none, then one per code point, then none
    def make(n):
        return "a" * (n // 3) + "." * (n // 3) + "\u0e01" * (n // 3)

    assert growth(scrivlet.word_boundaries, make) < MAX_RATIO


def test_word_boundaries_linear_on_regional_indicators():
    assert growth(scrivlet.word_boundaries, lambda n: "\U0001f1e6" * n) < MAX_RATIO
    assert growth(scrivlet.word_boundaries, lambda n: "\U0001f1e6\u0301" * n) < MAX_RATIO


def test_cursor_moves_linear_on_one_long_cluster_and_regional_indicators():
    assert (
        growth(lambda t: scrivlet.move_left(t, len(t) * 4), lambda n: "\U0001f1e6" * n)
        < MAX_RATIO
    )
    assert (
        growth(lambda t: scrivlet.move_right(t, 1), lambda n: "a" + "\u0301" * n)
        < MAX_RATIO
    )
    assert (
        growth(lambda t: scrivlet.move_left(t, 2 * len(t)), lambda n: "a" + "\u0301" * n)
        < MAX_RATIO
    )
    assert (
        growth(lambda t: scrivlet.move_right(t, 4 * (len(t) // 2)), lambda n: "\u0600" * n)
        < MAX_RATIO
    )


def test_select_word_linear():
    assert (
        growth(lambda t: scrivlet.select_word(t, len(t) // 2), lambda n: " " * n)
        < MAX_RATIO
    )
    assert (
        growth(lambda t: scrivlet.select_word(t, 2 * len(t)), lambda n: "a:" + "\u0301" * n)
        < MAX_RATIO
    )


def test_truncation_linear():
    def one_cluster(n):
        return "a" + "\u0301" * n + "b"

    assert growth(lambda t: scrivlet.truncate_display_width(t, 1), one_cluster) < MAX_RATIO
    assert growth(lambda t: scrivlet.truncate_graphemes(t, 1), one_cluster) < MAX_RATIO
    assert (
        growth(
            lambda t: scrivlet.truncate_graphemes(t, len(t) // 2), lambda n: "\U0001f1e6" * n
        )
        < MAX_RATIO
    )
    assert (
        growth(lambda t: scrivlet.truncate_display_width(t, len(t)), lambda n: "\u65e5" * n)
        < MAX_RATIO
    )


def test_display_width_linear():
    assert growth(scrivlet.display_width, lambda n: "\u65e5a\u0301" * n) < MAX_RATIO


# --- normalization and case ---

def _descending_marks(n):
    # every class-220 mark must move past all the class-230 ones
    return "a" + "\u0301" * (n // 2) + "\u0323" * (n // 2)


def test_nfd_ordering_grows_n_log_n_on_descending_marks():
    assert growth(scrivlet.normalize_nfd, _descending_marks) < MAX_RATIO


def test_nfc_grows_n_log_n_on_descending_marks():
    assert growth(scrivlet.normalize_nfc, _descending_marks) < MAX_RATIO


def test_lowercase_linear_on_sigmas_between_long_ignorable_runs():
    run = "\u0301.'" * 300
    assert growth(scrivlet.to_lowercase, lambda n: ("\u03a3" + run) * (n // 901)) < MAX_RATIO


def test_lowercase_linear_on_sigmas_amid_one_ignorable_stretch():
    # half the text passed over by the backward scans, half by the forward ones
    def make(n):
        return "\u03a3" * (n // 4) + "'" * (n // 2) + "\u03a3" * (n // 4)

    assert growth(scrivlet.to_lowercase, make) < MAX_RATIO



# --- line breaking ---

LINE_BREAK_WORST_CASES = {
    # LB30a counts back over the regional indicators
    "regional-indicators": lambda n: "\U0001F1E6" * n,
    "regional-indicators-with-marks": lambda n: "\U0001F1E6\u0300" * (n // 2),
    # LB14 and LB15a look back over spaces
    "open-then-spaces": lambda n: "(" + " " * n + "a",
    "opening-quote-then-spaces": lambda n: " \u201c" + " " * n + "\u4e00",
    "open-and-spaces-repeated": lambda n: "( " * (n // 2),
    # LB16 and LB17 look back over spaces before NS and B2
    "close-spaces-nonstarter": lambda n: ")" + " " * n + "\u3005",
    "dash-spaces-dash": lambda n: "\u2014" + " " * n + "\u2014",
    # LB25 looks back over SY and IS, and ahead over spaces after PR OP
    "digits-then-separators": lambda n: "1" + "/," * (n // 2) + "1",
    "separators-then-postfix": lambda n: "1" + "/," * (n // 2) + ")%",
    "prefix-open-spaces-digit": lambda n: "$(" + " " * n + "1",
    # LB9 marks, LB28a looks ahead over marks, LB8 over spaces after ZW
    "combining-marks": lambda n: "a" + "\u0300" * n,
    "aksara-marks-vowel": lambda n: "\u1b05\u1b05" + "\u0300" * n + "\u1bf2",
    "zero-width-space-then-spaces": lambda n: "\u200b" + " " * n + "a",
    # the lane's own steps: one-letter words, ideographs and syllables, ZW between letters
    "one-letter-words": lambda n: "a " * (n // 2),
    "ideographs-and-syllables": lambda n: "\u4e00\uac00" * (n // 2),
    "letters-between-zero-width-spaces": lambda n: "\u1780\u200b" * (n // 2),
    "words-of-letters-and-marks": lambda n: "\u0416\u0e01\u0e31 " * (n // 4),
    "joined-emoji-with-skin-tones": lambda n: "\U0001f469\U0001f3fd\u200d\U0001f4bb" * (n // 4),
    # the rules' tables: marks walked back over where they stop, ZW and spaces after a space
    "letter-marks-then-quote": lambda n: " \u0e01" + "\u0e31" * n + "\u201c\u0e01",
    "pictograph-marks-then-exit": lambda n: " \U0001f600" + "\ufe0f" * n + "\u25cc\U0001f600",
    "space-then-letters-and-zero-width-spaces": lambda n: " " + "\u1780\u17b6\u200b" * (n // 3),
}


@pytest.mark.parametrize("make", LINE_BREAK_WORST_CASES.values(), ids=LINE_BREAK_WORST_CASES.keys())
def test_line_break_opportunities_linear(make):
    # The best of three growths: a busy machine inflates one, a quadratic pass all.
    ratios = [growth(scrivlet.line_break_opportunities, make) for _ in range(3)]
    assert min(ratios) < MAX_RATIO, ratios


# --- dictionary segmentation ---


def _thai_words():
    from pathlib import Path

    path = Path(__file__).resolve().parent.parent / "src" / "linebreak" / "thai.txt"
    return path.read_text(encoding="utf-8").split()


def _thai_run(n):
    """One unbroken Thai run of n code points: the longest listed word without its
    last letter (a deep scan that may end in no word), letters that start no
    word (cut one by one), and ordinary words."""
    words = _thai_words()
    longest = max(words, key=len)
    piece = longest[:-1] + "ฃฅฃ" + "".join(words[::2000])
    return (piece * (n // len(piece) + 1))[:n]


def test_dictionary_segmentation_linear_on_one_long_thai_run():
    assert growth(scrivlet.line_break_opportunities_with_dictionary, _thai_run) < MAX_RATIO


def test_dictionary_segmentation_linear_on_unknown_thai_text():
    make = lambda n: ("ฃฅ" * n)[:n]  # letters that start no word
    assert growth(scrivlet.line_break_opportunities_with_dictionary, make) < MAX_RATIO


@pytest.mark.parametrize(
    "make",
    [
        # one cluster: a letter and n marks, which the run's scan steps over
        # once and the pair rules walk back over to find the base
        lambda n: "\u0e01" + "\u0e31" * n,
        lambda n: "\u1780" + ("\u17d2\u1780" * n)[:n],  # coeng stacks
    ],
    ids=["thai-marks", "khmer-coeng-stacks"],
)
def test_dictionary_segmentation_linear_on_long_clusters(make):
    assert growth(scrivlet.line_break_opportunities_with_dictionary, make) < MAX_RATIO


@pytest.mark.parametrize(
    "piece",
    ["\u0e01\u0e34(", "(\u0e34\u0e01", "\u0e01\u0e02 ", "\u1780\u17d2\u1780\u200b"],
    ids=["letter-mark-bracket", "bracket-mark-letter", "space", "zwsp"],
)
def test_dictionary_line_breaking_linear_on_many_short_runs(piece):
    # The pair rules start again from a letter of the run before each gap,
    # never from further back.
    make = lambda n: (piece * (n // len(piece) + 1))[:n]
    assert growth(scrivlet.line_break_opportunities_with_dictionary, make) < MAX_RATIO


@pytest.mark.parametrize(
    "gap",
    [lambda i: f" {i} ", lambda i: " " * (i % 40 + 1)],
    ids=["distinct-numbers", "spaces-of-every-length"],
)
def test_dictionary_line_breaking_linear_when_gaps_between_runs_differ(gap):
    # Gaps that are never seen twice, or too long to keep, all go to the rules.
    make = lambda n: "".join(f"\u0e01\u0e02{gap(i)}" for i in range(n))[:n]
    assert growth(scrivlet.line_break_opportunities_with_dictionary, make) < MAX_RATIO


# --- bidi and the visual cursor ---

ALEF, BET = "\u05d0", "\u05d1"
LRE, RLE, PDF = "\u202a", "\u202b", "\u202c"
RLI, FSI, PDI = "\u2067", "\u2068", "\u2069"


def _repeat(unit, n):
    return unit * max(1, n // len(unit))


def test_bidi_linear_on_nested_fsis():
    # Every FSI looks ahead to its matching PDI for its first strong character.
    make = lambda n: FSI * (n // 2) + ALEF + PDI * (n // 2)
    assert growth(scrivlet.bidi_resolve, make) < MAX_RATIO


def test_bidi_linear_on_unmatched_fsis():
    make = lambda n: FSI * n + "a"
    assert growth(scrivlet.bidi_resolve, make) < MAX_RATIO


def test_bidi_linear_on_bracket_pairs():
    # Pairs with the opposite direction inside look back for their context.
    make = lambda n: _repeat("a" + ALEF + "(" + BET + ")! ", n)
    assert growth(scrivlet.bidi_resolve, make) < MAX_RATIO


def test_bidi_linear_on_unmatched_closers_against_a_full_stack():
    make = lambda n: "(" * 63 + _repeat("]" + ALEF, n)
    assert growth(scrivlet.bidi_resolve, make) < MAX_RATIO


def test_bidi_linear_on_nested_pairs():
    make = lambda n: _repeat("(" * 60 + ALEF + ")" * 60 + "a", n)
    assert growth(scrivlet.bidi_resolve, make) < MAX_RATIO


def test_bidi_linear_on_deep_embeddings():
    # Levels up to 125 and overflow: up to 126 reordering passes, each linear.
    make = lambda n: _repeat(RLE + "a" + LRE + ALEF, n)
    assert growth(scrivlet.bidi_resolve, make) < MAX_RATIO


def test_bidi_linear_on_many_deep_runs():
    # Level 0 and level 125 alternate: many runs in every reordering pass.
    deep = (RLE + LRE) * 62 + RLE + "x" + PDF * 125 + "y"
    make = lambda n: _repeat(deep, n)
    assert growth(scrivlet.bidi_resolve, make) < MAX_RATIO


def test_bidi_linear_on_removed_code_points_among_brackets_and_marks():
    # One sequence in many pieces, whose brackets and marks are found from them.
    make = lambda n: _repeat("a" + ALEF + "(" + "\u200b" + BET + ")" + "\u200b" + "\u0301 ", n)
    assert growth(scrivlet.bidi_resolve, make) < MAX_RATIO


def test_bidi_linear_on_many_isolating_run_sequences():
    make = lambda n: _repeat("a" + RLI + "b" + PDI + ALEF + FSI + "1" + PDI, n)
    assert growth(scrivlet.bidi_resolve, make) < MAX_RATIO


@pytest.mark.parametrize(
    "make",
    [
        # each pair looks back over neutrals to the previous pair's opening
        lambda n: "a" + _repeat("(" + ALEF + ")" + "!" * 8, n),
        # neutrals between letters of the other direction, walked back from each
        lambda n: ALEF + _repeat("a" + " !" * 8, n),
        # runs of ET held open until the class after them is known
        lambda n: _repeat("$" * 9 + ALEF + "$" * 9 + "1", n),
    ],
    ids=["bracket-look-back", "neutral-runs", "terminator-runs"],
)
def test_bidi_linear_on_look_backs(make):
    assert growth(scrivlet.bidi_resolve, make) < MAX_RATIO


def test_visual_moves_linear_on_left_to_right_text():
    # No reordering: a scan of the text for right-to-left classes and a logical
    # move, which crosses one long cluster from inside it.
    one_cluster = lambda n: "a" + "\u0301" * n + "b"
    assert growth(lambda t: scrivlet.move_right_visual(t, len(t)), one_cluster) < MAX_RATIO
    assert growth(lambda t: scrivlet.move_left_visual(t, len(t)), one_cluster) < MAX_RATIO
    marks = lambda n: _repeat("a\u0301\u200d\u4e00 ", n)
    assert growth(lambda t: scrivlet.move_right_visual(t, len(t) * 2), marks) < MAX_RATIO


def test_visual_moves_linear_on_long_mixed_text():
    make = lambda n: _repeat("abc " + ALEF + BET + " 12, (x) \u0628\u0661 ", n)
    # len(t) counts code points: a byte offset somewhere inside the text.
    assert growth(lambda t: scrivlet.move_right_visual(t, len(t)), make) < MAX_RATIO
    assert growth(lambda t: scrivlet.move_left_visual(t, len(t) // 2), make) < MAX_RATIO


# --- every other function on its worst input ---
# The sections above cover the boundaries, width, truncation, cursor moves,
# NFC, NFD, lowercasing, line breaking, dictionary segmentation and bidi; these
# are the worst inputs of the remaining functions.

OTHER_WORST_CASES = {
    # canonical ordering behind compatibility decompositions
    "nfkd-descending-marks": (scrivlet.normalize_nfkd, lambda n: "\u2460" + "\u0301" * (n // 2) + "\u0323" * (n // 2)),
    "nfkc-descending-marks": (scrivlet.normalize_nfkc, lambda n: "\ufb01" + "\u0301" * (n // 2) + "\u0323" * (n // 2)),
    # the longest compatibility expansion, eighteen code points each
    "nfkd-expansions": (scrivlet.normalize_nfkd, lambda n: "\ufdfa" * n),
    "nfkc-expansions": (scrivlet.normalize_nfkc, lambda n: "\ufdfa" * n),
    # Hangul syllables composed back from jamo
    "nfkc-jamo": (scrivlet.normalize_nfkc, lambda n: "\u1100\u1161\u11a8" * (n // 3)),
    # multi-character uppercase and the Turkic tailoring
    "uppercase-expansions": (scrivlet.to_uppercase, lambda n: "\u0390\u00df\u0149" * (n // 3)),
    "uppercase-turkic": (lambda t: scrivlet.to_uppercase(t, "tr"), lambda n: "i\u0307" * (n // 2)),
    # title casing after long runs of case-ignorable code points
    "titlecase-ignorables": (scrivlet.to_titlecase, lambda n: "a" + "\u00ad" * n + "b"),
    "titlecase-words": (scrivlet.to_titlecase, lambda n: "x'" * (n // 2)),
    "titlecase-sigmas": (scrivlet.to_titlecase, lambda n: ("\u03a3" + "'" * 300) * (n // 301)),
    # full folding expands, the simple fold never does
    "case-fold-expansions": (scrivlet.case_fold, lambda n: "\u00df\u0130\ufb03" * (n // 3)),
    "case-fold-simple-mixed": (scrivlet.case_fold_simple, lambda n: "A\u00df\u03a3\u0130" * (n // 4)),
    # results that outgrow the str they are written into, or its units
    "uppercase-latin1-expansions": (scrivlet.to_uppercase, lambda n: "\u00df" * n),
    "uppercase-beyond-latin1": (scrivlet.to_uppercase, lambda n: "\u00ff" * n),
    "nfd-latin1-accents": (scrivlet.normalize_nfd, lambda n: "\u00e9" * n),
    # quick-check chunks whose result is the text they came from
    "nfc-unchanged-chunks": (scrivlet.normalize_nfc, lambda n: "x\u0301" * (n // 2)),
}


@pytest.mark.parametrize("fn,make", OTHER_WORST_CASES.values(), ids=OTHER_WORST_CASES.keys())
def test_remaining_functions_linear_on_their_worst_inputs(fn, make):
    ratios = [growth(fn, make) for _ in range(2)]
    assert min(ratios) < MAX_RATIO, ratios
