"""Normalization forms NFC, NFD, NFKC and NFKD.

Peers: the standard library's unicodedata (the interpreter's Unicode version),
unicodedata2 (Unicode 17.0.0, like scrivlet) and ICU's Normalizer2 (PyICU).
Most real text is already in NFC: a peer that recognises it returns its argument.
"""

import unicodedata

import corpus
import scrivlet
from cases import Case, Peer, optional

unicodedata2 = optional("unicodedata2")
icu = optional("icu")

FORMS = {
    "NFC": scrivlet.normalize_nfc,
    "NFD": scrivlet.normalize_nfd,
    "NFKC": scrivlet.normalize_nfkc,
    "NFKD": scrivlet.normalize_nfkd,
}
if icu:
    ICU_FORMS = {
        "NFC": icu.Normalizer2.getNFCInstance(),
        "NFD": icu.Normalizer2.getNFDInstance(),
        "NFKC": icu.Normalizer2.getNFKCInstance(),
        "NFKD": icu.Normalizer2.getNFKDInstance(),
    }

CASES = []
for form, fn in FORMS.items():
    for _, script, size, text in corpus.inputs():
        CASES.append(Case(fn.__name__, script, size, text, fn, peers={
            "unicodedata": Peer(unicodedata.normalize, pre=(form,)),
            "unicodedata2": Peer(unicodedata2.normalize, pre=(form,)) if unicodedata2 else None,
            "PyICU Normalizer2": Peer(ICU_FORMS[form].normalize) if icu else None,
        }))
