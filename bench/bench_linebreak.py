"""Line-break opportunities (UAX #14)."""

from run import Case, optional
from samples import SAMPLES

import scrivlet

icu = optional("icu")  # PyICU
icu4py_breakers = optional("icu4py.breakers")
icu4py_locale = optional("icu4py.locale")
uniseg_linebreak = optional("uniseg.linebreak")

NUMBERS = (
    "Prices rose 3.5% to $1,234.56 (from $1,190.00) on 2024-05-01; see §4.2/§4.3 — "
    "“really?” [sic] 12:30, ½ cup, -7.25 °C, ¥10,000 or €9.99! "
)
INPUTS = dict(SAMPLES)
INPUTS["numbers and punctuation, 16 KB"] = NUMBERS * (16384 // len(NUMBERS.encode()))

if icu:
    _pyicu = icu.BreakIterator.createLineInstance(icu.Locale.getRoot())

    def _pyicu_boundaries(text):
        _pyicu.setText(text)
        return list(_pyicu)


if icu4py_breakers and icu4py_locale:
    _icu4py_locale = icu4py_locale.Locale("en")

    def _icu4py_segments(text):
        return list(icu4py_breakers.LineBreaker(text, _icu4py_locale))


CASES = []
for name, text in INPUTS.items():
    CASES.append(
        Case(
            "line_break_opportunities",
            name,
            len(text.encode()),
            lambda t=text: scrivlet.line_break_opportunities(t),
            {
                "PyICU": (lambda t=text: _pyicu_boundaries(t)) if icu else None,
                "icu4py": (lambda t=text: _icu4py_segments(t))
                if icu4py_breakers and icu4py_locale
                else None,
                # pure Python, minutes a call on 1 MB: short strings only
                "uniseg": (lambda t=text: list(uniseg_linebreak.line_break_boundaries(t)))
                if uniseg_linebreak and len(text) < 1000
                else None,
            },
        )
    )
