"""Bidi resolution and visual caret movement.

bidi_resolve's peers: PyICU's Bidi (levels and the visual map, the same job),
python-bidi and pyfribidi (the reordered string). A visual move's peers: the
logical move of the same caret (the cost a text with no right-to-left character
should approach) and PyICU's Bidi asked for the caret's visual neighbour.
"""

import corpus
import scrivlet
from cases import Case, Peer, optional

icu = optional("icu")  # PyICU
python_bidi = optional("bidi")
pyfribidi = optional("pyfribidi")

if icu:
    _BIDI = icu.Bidi()
    _RESOLVE = icu.Bidi()


def _pyicu_resolve(text):
    _RESOLVE.setPara(icu.UnicodeString(text), icu.Bidi.DEFAULT_LTR)
    return _RESOLVE.getLevels(), _RESOLVE.getVisualMap()


_LAST = [None, None]  # the str last resolved by the caret peer, and its UnicodeString


def _pyicu_neighbour(text, current, step):
    # The caret's code unit, its visual position, and the code unit shown beside
    # it; the paragraph is resolved again only for another str, as an editor would.
    if _LAST[0] is not text:
        _LAST[:] = [text, icu.UnicodeString(text)]
        _BIDI.setPara(_LAST[1], icu.Bidi.DEFAULT_LTR)
    visual = _BIDI.getVisualIndex(current) + step
    return _BIDI.getLogicalIndex(min(max(visual, 0), _BIDI.getProcessedLength() - 1))


def middle(text):
    """A caret in the middle, on a cluster boundary: (byte offset, code point index,
    UTF-16 index)."""
    bounds = scrivlet.grapheme_boundaries(text)
    byte = bounds[len(bounds) // 2]
    cp = len(text.encode()[:byte].decode())
    return byte, cp, len(text[:cp].encode("utf-16-le")) // 2


CASES = []
for _, script, size, text in corpus.inputs():
    CASES.append(Case(
        "bidi_resolve", script, size, text, scrivlet.bidi_resolve,
        peers={
            "PyICU Bidi": Peer(_pyicu_resolve, note="levels and visual map, in UTF-16 units")
            if icu else None,
            "python-bidi": Peer(python_bidi.get_display, note="returns the reordered string")
            if python_bidi else None,
            "pyfribidi": Peer(pyfribidi.log2vis, (pyfribidi.ON,),
                              note="returns the reordered string")
            if pyfribidi else None,
        },
    ))
    byte, cp, unit = middle(text)
    for group, fn, logical, step in (
        ("move_right_visual", scrivlet.move_right_visual, scrivlet.move_right, 1),
        ("move_left_visual", scrivlet.move_left_visual, scrivlet.move_left, -1),
    ):
        CASES.append(Case(
            group, script, size, text, fn, (byte,),
            peers={
                "logical move": Peer(logical, (byte,), note="scrivlet's logical move, "
                                     "the reference for text with no right-to-left character"),
                "PyICU Bidi": Peer(_pyicu_neighbour, (unit, step),
                                   note="resolves a new str once, then one code unit over",
                                   stateful=True)
                if icu else None,
            },
        ))
