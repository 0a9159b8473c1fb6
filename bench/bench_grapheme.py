"""Grapheme cluster boundaries."""

from run import Case, optional
from samples import SAMPLES

import scrivlet

regex = optional("regex")
ugrapheme = optional("ugrapheme")
uniseg_graphemecluster = optional("uniseg.graphemecluster")


def _regex_starts(text):
    return [m.start() for m in regex.finditer(r"\X", text)]


CASES = []
for name, text in SAMPLES.items():
    CASES.append(
        Case(
            "grapheme_boundaries",
            name,
            len(text.encode()),
            lambda t=text: scrivlet.grapheme_boundaries(t),
            {
                "regex \\X": (lambda t=text: _regex_starts(t)) if regex else None,
                "ugrapheme": (lambda t=text: ugrapheme.graphemes(t)) if ugrapheme else None,
                "uniseg": (lambda t=text: list(uniseg_graphemecluster.grapheme_cluster_boundaries(t)))
                if uniseg_graphemecluster
                else None,
            },
        )
    )
