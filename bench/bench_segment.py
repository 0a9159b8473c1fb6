"""Grapheme cluster, word and sentence boundaries.

Peers return what their API gives: ICU offsets in UTF-16 units (PyICU, an
iterator created once and reused, as a caller would) or (start, end) pairs
(icu4py), regex and the Python packages code point indices or the clusters
themselves. scrivlet returns UTF-8 byte offsets.
"""

import corpus
import scrivlet
from cases import SKIP, Case, Peer, optional, small

regex = optional("regex")
icu = optional("icu")  # PyICU
icu4py_breakers = optional("icu4py.breakers")
icu4py_locale = optional("icu4py.locale")
ugrapheme = optional("ugrapheme")
grapheme = optional("grapheme")
pyuegc = optional("pyuegc")
uniseg_grapheme = optional("uniseg.graphemecluster")
uniseg_word = optional("uniseg.wordbreak")
uniseg_sentence = optional("uniseg.sentencebreak")

if regex:
    CLUSTER = regex.compile(r"\X")
ITERATORS = {}
if icu:
    root = icu.Locale.getRoot()
    ITERATORS = {
        "grapheme": icu.BreakIterator.createCharacterInstance(root),
        "word": icu.BreakIterator.createWordInstance(root),
        "sentence": icu.BreakIterator.createSentenceInstance(root),
    }
if icu4py_breakers and icu4py_locale:
    ROOT = icu4py_locale.Locale("en")
    BREAKERS = {
        "grapheme": icu4py_breakers.CharacterBreaker,
        "word": icu4py_breakers.WordBreaker,
        "sentence": icu4py_breakers.SentenceBreaker,
    }


def _pyicu(kind):
    iterator = ITERATORS[kind]

    def boundaries(text):
        iterator.setText(text)
        return list(iterator)

    return boundaries


def _icu4py(kind):
    breaker = BREAKERS[kind]
    return lambda text: list(breaker(text, ROOT).segments())


def _regex_clusters(text):
    return [m.start() for m in CLUSTER.finditer(text)]


def _python(module, name, text, note="pure Python"):
    """A pure-Python peer: None when not installed, SKIP on large texts."""
    fn = getattr(module, name, None) if module else None
    if fn is None:
        return None
    return Peer(lambda t: list(fn(t)), note=note) if small(text) else SKIP


def peers(kind, text):
    found = {
        "PyICU": Peer(_pyicu(kind)) if icu else None,
        "icu4py": Peer(_icu4py(kind), note="returns (start, end) pairs")
        if icu4py_breakers and icu4py_locale
        else None,
    }
    if kind == "grapheme":
        found.update({
            "regex \\X": Peer(_regex_clusters) if regex else None,
            "ugrapheme": Peer(ugrapheme.grapheme_offsets,
                              note="returns an array of code point indices, not a list")
            if ugrapheme
            else None,
            "grapheme": _python(grapheme, "graphemes", text, "pure Python; returns the clusters"),
            "pyuegc": _python(pyuegc, "EGC", text, "pure Python; returns the clusters"),
            "uniseg": _python(uniseg_grapheme, "grapheme_cluster_boundaries", text),
        })
    elif kind == "word":
        found["uniseg"] = _python(uniseg_word, "word_boundaries", text)
    else:
        found["uniseg"] = _python(uniseg_sentence, "sentence_boundaries", text)
    return {k: v for k, v in found.items() if v is not SKIP}


FUNCTIONS = {
    "grapheme": scrivlet.grapheme_boundaries,
    "word": scrivlet.word_boundaries,
    "sentence": scrivlet.sentence_boundaries,
}

CASES = [
    Case(fn.__name__, script, size, text, fn, peers=peers(kind, text))
    for kind, fn in FUNCTIONS.items()
    for _, script, size, text in corpus.inputs()
]
