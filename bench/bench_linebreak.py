"""Line-break opportunities.

ICU (through PyICU, one iterator reused, and icu4py) returns every break
position without its kind, in UTF-16 units or as (start, end) pairs; for Thai,
Lao, Khmer and Myanmar it also looks words up in its dictionaries, which
scrivlet does only in line_break_opportunities_with_dictionary (bench_dictionary.py).
"""

import corpus
import scrivlet
from cases import SKIP, Case, Peer, optional, small

icu = optional("icu")  # PyICU
icu4py_breakers = optional("icu4py.breakers")
icu4py_locale = optional("icu4py.locale")
uniseg_linebreak = optional("uniseg.linebreak")

if icu:
    _PYICU = icu.BreakIterator.createLineInstance(icu.Locale.getRoot())


def _pyicu(text):
    _PYICU.setText(text)
    return list(_PYICU)


if icu4py_breakers and icu4py_locale:
    _EN = icu4py_locale.Locale("en")


def _icu4py(text):
    return list(icu4py_breakers.LineBreaker(text, _EN).segments())


def peers(script, text):
    note = ("returns the positions without their kinds (ints, not pairs); in Thai, Lao, Khmer and "
            "Myanmar, finds words in its dictionaries")
    found = {
        "PyICU": Peer(_pyicu, note=note) if icu else None,
        "icu4py": Peer(_icu4py, note="returns (start, end) pairs")
        if icu4py_breakers and icu4py_locale
        else None,
        "uniseg": (Peer(lambda t: list(uniseg_linebreak.line_break_boundaries(t)),
                        note="pure Python") if small(text) else SKIP)
        if uniseg_linebreak
        else None,
    }
    return {k: v for k, v in found.items() if v is not SKIP}


CASES = [
    Case("line_break_opportunities", script, size, text, scrivlet.line_break_opportunities,
         peers=peers(script, text))
    for _, script, size, text in corpus.inputs()
]
