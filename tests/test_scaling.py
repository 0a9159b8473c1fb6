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


# --- dictionary segmentation ---


# --- bidi and the visual cursor ---
