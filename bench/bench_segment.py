"""Word and sentence boundaries."""

import scrivlet
from run import Case, optional
from samples import SAMPLES, SHORT

uniseg_word = optional("uniseg.wordbreak")
uniseg_sentence = optional("uniseg.sentencebreak")
icu = optional("icu")  # PyICU
icu4py_breakers = optional("icu4py.breakers")
icu4py_locale = optional("icu4py.locale")

# One iterator each, reused: building one per call would only measure ICU's setup.
if icu:
    _ICU_WORD = icu.BreakIterator.createWordInstance(icu.Locale.getRoot())
    _ICU_SENTENCE = icu.BreakIterator.createSentenceInstance(icu.Locale.getRoot())
if icu4py_locale:
    _ICU4PY_ROOT = icu4py_locale.Locale("en")


def _icu_offsets(iterator, text):
    iterator.setText(text)
    return list(iterator)


def peers(text, kind):
    uniseg = uniseg_word if kind == "word" else uniseg_sentence
    uniseg_fn = (
        uniseg.word_boundaries if kind == "word" else getattr(uniseg, "sentence_boundaries", None)
    )
    iterator = (_ICU_WORD if kind == "word" else _ICU_SENTENCE) if icu else None
    breaker = None
    if icu4py_breakers and icu4py_locale:
        breaker = icu4py_breakers.WordBreaker if kind == "word" else icu4py_breakers.SentenceBreaker
    return {
        # uniseg is pure Python: seconds per call on the long texts, so short ones only.
        "uniseg": (lambda: list(uniseg_fn(text))) if uniseg and text in SHORT.values() else None,
        "ICU (PyICU)": (lambda: _icu_offsets(iterator, text)) if iterator else None,
        "ICU (icu4py)": (lambda: list(breaker(text, _ICU4PY_ROOT))) if breaker else None,
    }


CASES = [
    Case(
        "word_boundaries",
        name,
        len(text.encode()),
        lambda t=text: scrivlet.word_boundaries(t),
        peers(text, "word"),
    )
    for name, text in SAMPLES.items()
] + [
    Case(
        "sentence_boundaries",
        name,
        len(text.encode()),
        lambda t=text: scrivlet.sentence_boundaries(t),
        peers(text, "sentence"),
    )
    for name, text in SAMPLES.items()
]
