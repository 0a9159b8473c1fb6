"""Logical cursor moves and word selection."""

import scrivlet
from run import Case, optional
from samples import SAMPLES, SHORT

regex = optional("regex")
uniseg_word = optional("uniseg.wordbreak")
icu = optional("icu")
if icu:
    _ICU_WORD = icu.BreakIterator.createWordInstance(icu.Locale.getRoot())


# The usual approach without a cluster index: scan clusters from the start.
def _regex_right(text, current):
    for m in regex.finditer(r"\X", text):
        if m.start() > current:
            return m.start()
    return len(text)


def _regex_left(text, current):
    last = 0
    for m in regex.finditer(r"\X", text):
        if m.start() >= current:
            break
        last = m.start()
    return last


def _icu_word(text, current):
    _ICU_WORD.setText(text)
    end = _ICU_WORD.following(current)
    return _ICU_WORD.preceding(end), end


def _uniseg_word(text, current):
    start = 0
    for end in uniseg_word.word_boundaries(text):
        if end > current:
            return start, end
        start = end
    return current, current


CASES = []
for name, text in SAMPLES.items():
    size = len(text.encode())
    # The caret in the middle of the text (a code point index for the peers,
    # a byte offset for scrivlet: the same place).
    mid_cp = len(text) // 2
    mid = len(text[:mid_cp].encode())
    CASES.append(
        Case(
            "move_right",
            f"{name}, middle",
            size,
            lambda t=text, c=mid: scrivlet.move_right(t, c),
            {"regex \\X scan": (lambda t=text, c=mid_cp: _regex_right(t, c)) if regex else None},
        )
    )
    CASES.append(
        Case(
            "move_left",
            f"{name}, middle",
            size,
            lambda t=text, c=mid: scrivlet.move_left(t, c),
            {"regex \\X scan": (lambda t=text, c=mid_cp: _regex_left(t, c)) if regex else None},
        )
    )
    CASES.append(
        Case(
            "select_word",
            f"{name}, middle",
            size,
            lambda t=text, c=mid: scrivlet.select_word(t, c),
            {
                "ICU (PyICU)": (lambda t=text, c=mid_cp: _icu_word(t, c)) if icu else None,
                # pure Python, seconds per call on the long texts: short ones only
                "uniseg": (lambda t=text, c=mid_cp: _uniseg_word(t, c))
                if uniseg_word and name in SHORT
                else None,
            },
        )
    )
