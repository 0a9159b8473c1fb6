"""Grapheme cluster boundaries: offsets of every cluster start."""

from run import Case, optional
from samples import SAMPLES, SHORT

import scrivlet

regex = optional("regex")
ugrapheme = optional("ugrapheme")
grapheme = optional("grapheme")
uniseg_graphemecluster = optional("uniseg.graphemecluster")
pyuegc = optional("pyuegc")

if regex:
    CLUSTER = regex.compile(r"\X")


def peers(text):
    return {
        "regex \\X": (lambda: [m.start() for m in CLUSTER.finditer(text)]) if regex else None,
        "ugrapheme": (lambda: ugrapheme.grapheme_offsets(text)) if ugrapheme else None,
        "grapheme": (lambda: list(grapheme.graphemes(text))) if grapheme else None,
        # pure Python, seconds a call on 1 MB: short strings only
        "uniseg": (lambda: list(uniseg_graphemecluster.grapheme_cluster_boundaries(text)))
        if uniseg_graphemecluster and text in SHORT.values()
        else None,
        "pyuegc": (lambda: pyuegc.EGC(text)) if pyuegc else None,
    }


CASES = [
    Case("grapheme_boundaries", name, len(text.encode()),
         lambda t=text: scrivlet.grapheme_boundaries(t), peers(text))
    for name, text in SAMPLES.items()
]
