"""Logical caret moves and word selection, the caret in the middle of the text.

Peers match at the caret: regex's \\X and ugrapheme from the caret forwards,
wcwidth's grapheme_boundary_before backwards, ICU's iterators (PyICU) from the
caret. An editor keeps its iterator on the text until the text changes: the
PyICU peers set the text only when it is another str than last time, so cold
(a new str each call) pays for setText and warm does not.
"""

import corpus
import scrivlet
from bench_bidi import middle
from cases import SKIP, Case, Peer, optional, small

regex = optional("regex")
icu = optional("icu")
ugrapheme = optional("ugrapheme")
wcwidth = optional("wcwidth")
uniseg_word = optional("uniseg.wordbreak")

if regex:
    CLUSTER = regex.compile(r"\X")
if icu:
    _ROOT = icu.Locale.getRoot()
    _CHARACTER = icu.BreakIterator.createCharacterInstance(_ROOT)
    _WORD = icu.BreakIterator.createWordInstance(_ROOT)


def _regex_right(text, current):
    return CLUSTER.match(text, current).end()


def _ugrapheme_right(text, current):
    return current + ugrapheme.grapheme_off_at(text, 1, current)


NOTE = "keeps the text set while it is the same str"
_LAST = {}  # id of an iterator -> the str it was last given


def _on(iterator, text):
    if _LAST.get(id(iterator)) is not text:
        iterator.setText(text)
        _LAST[id(iterator)] = text
    return iterator


def _icu_right(text, current):
    return _on(_CHARACTER, text).following(current)


def _icu_left(text, current):
    return _on(_CHARACTER, text).preceding(current)


def _icu_word(text, current):
    _on(_WORD, text)
    end = _WORD.following(current)
    return _WORD.preceding(end), end


def _uniseg_word(text, current):
    start = 0
    for end in uniseg_word.word_boundaries(text):
        if end > current:
            return start, end
        start = end
    return current, current


CASES = []
for _, script, size, text in corpus.inputs():
    byte, cp, unit = middle(text)
    CASES.append(Case("move_right", script, size, text, scrivlet.move_right, (byte,), peers={
        "regex \\X": Peer(_regex_right, (cp,)) if regex else None,
        "ugrapheme": Peer(_ugrapheme_right, (cp,)) if ugrapheme else None,
        "PyICU": Peer(_icu_right, (unit,), note=NOTE, stateful=True) if icu else None,
    }))
    CASES.append(Case("move_left", script, size, text, scrivlet.move_left, (byte,), peers={
        "wcwidth": Peer(wcwidth.grapheme_boundary_before, (cp,))
        if wcwidth and hasattr(wcwidth, "grapheme_boundary_before") else None,
        "PyICU": Peer(_icu_left, (unit,), note=NOTE, stateful=True) if icu else None,
    }))
    uniseg = (Peer(_uniseg_word, (cp,), note="pure Python, scans from the start")
              if small(text) else SKIP) if uniseg_word else None
    peers = {"PyICU": Peer(_icu_word, (unit,), note=NOTE, stateful=True) if icu else None,
             "uniseg": uniseg}
    CASES.append(Case("select_word", script, size, text, scrivlet.select_word, (byte,),
                      peers={k: v for k, v in peers.items() if v is not SKIP}))
