"""Word and sentence boundaries."""

import scrivlet
from run import Case, optional
from samples import SAMPLES

uniseg_word = optional("uniseg.wordbreak")
uniseg_sentence = optional("uniseg.sentencebreak")
icu = optional("icu")

# One iterator each, reused: building one per call would only measure ICU's setup.
if icu:
    _ICU_WORD = icu.BreakIterator.createWordInstance(icu.Locale.getRoot())
    _ICU_SENTENCE = icu.BreakIterator.createSentenceInstance(icu.Locale.getRoot())


def _icu_offsets(iterator, text):
    iterator.setText(text)
    return list(iterator)


CASES = []
for name, text in SAMPLES.items():
    CASES.append(
        Case(
            "word_boundaries",
            name,
            len(text.encode()),
            lambda t=text: scrivlet.word_boundaries(t),
            {
                "uniseg": (lambda t=text: list(uniseg_word.word_boundaries(t)))
                if uniseg_word
                else None,
                "ICU (PyICU)": (lambda t=text: _icu_offsets(_ICU_WORD, t)) if icu else None,
            },
        )
    )
for name, text in SAMPLES.items():
    CASES.append(
        Case(
            "sentence_boundaries",
            name,
            len(text.encode()),
            lambda t=text: scrivlet.sentence_boundaries(t),
            {
                "uniseg": (lambda t=text: list(uniseg_sentence.sentence_boundaries(t)))
                if uniseg_sentence
                else None,
                "ICU (PyICU)": (lambda t=text: _icu_offsets(_ICU_SENTENCE, t)) if icu else None,
            },
        )
    )
