"""Cost growth: every operation is linear (or n log n) on its worst inputs.

Each check times an operation on an adversarial input of size n and 10n and
asserts that the cost grew by a factor near 10, never near 100.
"""

import time

import scrivlet

# Linear growth gives about 10; n log n about 12; quadratic 100. Allow noise.
MAX_RATIO = 25


def cost(fn, arg, repeat=3):
    best = float("inf")
    for _ in range(repeat):
        start = time.perf_counter()
        fn(arg)
        best = min(best, time.perf_counter() - start)
    return best


def growth(fn, make, n=100_000):
    """Cost ratio of fn on make(10 n) over make(n)."""
    small, large = make(n), make(10 * n)
    fn(small)  # warm up (tables, lazily built dictionaries)
    return cost(fn, large) / max(cost(fn, small), 1e-6)


# --- grapheme clusters ---

def test_grapheme_boundaries_linear_on_regional_indicators():
    assert growth(scrivlet.grapheme_boundaries, lambda n: "\U0001F1E6" * n) < MAX_RATIO


def test_grapheme_boundaries_linear_on_combining_marks():
    assert growth(scrivlet.grapheme_boundaries, lambda n: "a" + "\u0301" * n) < MAX_RATIO


# --- width, truncation, words, sentences, cursor ---


def settled_growth(fn, make):
    """growth(), measured again (up to twice) while a busy machine pushes it over
    the limit; a quadratic cost stays near 100 however often it is measured."""
    ratio = growth(fn, make)
    for _ in range(2):
        if ratio < MAX_RATIO:
            break
        ratio = min(ratio, growth(fn, make))
    return ratio


def test_sentence_boundaries_linear_after_full_stop_and_spaces():
    # SB8 looks ahead from every space for a lowercase letter that never comes.
    assert settled_growth(scrivlet.sentence_boundaries, lambda n: "A." + " " * n) < MAX_RATIO


def test_sentence_boundaries_linear_after_full_stop_and_closing_brackets():
    assert settled_growth(scrivlet.sentence_boundaries, lambda n: "A." + ")" * n) < MAX_RATIO


def test_sentence_boundaries_linear_after_full_stop_and_digits():
    assert settled_growth(scrivlet.sentence_boundaries, lambda n: "A." + "1" * n) < MAX_RATIO
    assert settled_growth(scrivlet.sentence_boundaries, lambda n: "A. " + "1" * n) < MAX_RATIO
    assert settled_growth(scrivlet.sentence_boundaries, lambda n: "A.)" + "#" * n + "B") < MAX_RATIO


def test_sentence_boundaries_linear_on_repeated_terminators():
    assert settled_growth(scrivlet.sentence_boundaries, lambda n: "a. , " * (n // 5)) < MAX_RATIO


def test_word_boundaries_linear_on_ignorables():
    # WB4: each pair looks past the marks to the characters around them.
    assert settled_growth(scrivlet.word_boundaries, lambda n: "a" + "\u0301" * n + "b") < MAX_RATIO
    assert settled_growth(scrivlet.word_boundaries, lambda n: "a:" + "\u00ad" * n + "b") < MAX_RATIO
    assert (
        settled_growth(scrivlet.word_boundaries, lambda n: ("1," + "\u200d" * 50) * (n // 50))
        < MAX_RATIO
    )


def test_word_boundaries_linear_on_regional_indicators():
    assert settled_growth(scrivlet.word_boundaries, lambda n: "\U0001f1e6" * n) < MAX_RATIO
    assert settled_growth(scrivlet.word_boundaries, lambda n: "\U0001f1e6\u0301" * n) < MAX_RATIO


def test_cursor_moves_linear_on_one_long_cluster_and_regional_indicators():
    assert (
        settled_growth(lambda t: scrivlet.move_left(t, len(t) * 4), lambda n: "\U0001f1e6" * n)
        < MAX_RATIO
    )
    assert (
        settled_growth(lambda t: scrivlet.move_right(t, 1), lambda n: "a" + "\u0301" * n)
        < MAX_RATIO
    )
    assert (
        settled_growth(lambda t: scrivlet.move_left(t, 2 * len(t)), lambda n: "a" + "\u0301" * n)
        < MAX_RATIO
    )
    assert (
        settled_growth(lambda t: scrivlet.move_right(t, 4 * (len(t) // 2)), lambda n: "\u0600" * n)
        < MAX_RATIO
    )


def test_select_word_linear():
    assert (
        settled_growth(lambda t: scrivlet.select_word(t, len(t) // 2), lambda n: " " * n)
        < MAX_RATIO
    )
    assert (
        settled_growth(lambda t: scrivlet.select_word(t, 2 * len(t)), lambda n: "a:" + "\u0301" * n)
        < MAX_RATIO
    )


def test_truncation_linear():
    def one_cluster(n):
        return "a" + "\u0301" * n + "b"

    assert settled_growth(lambda t: scrivlet.truncate_display_width(t, 1), one_cluster) < MAX_RATIO
    assert settled_growth(lambda t: scrivlet.truncate_graphemes(t, 1), one_cluster) < MAX_RATIO
    assert (
        settled_growth(
            lambda t: scrivlet.truncate_graphemes(t, len(t) // 2), lambda n: "\U0001f1e6" * n
        )
        < MAX_RATIO
    )
    assert (
        settled_growth(lambda t: scrivlet.truncate_display_width(t, len(t)), lambda n: "\u65e5" * n)
        < MAX_RATIO
    )


def test_display_width_linear():
    assert settled_growth(scrivlet.display_width, lambda n: "\u65e5a\u0301" * n) < MAX_RATIO


# --- normalization and case ---


# --- line breaking ---


# --- dictionary segmentation ---


# --- bidi and the visual cursor ---
