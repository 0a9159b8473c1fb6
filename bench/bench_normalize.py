"""Normalization forms NFC, NFD, NFKC and NFKD."""

import unicodedata

import scrivlet
from run import Case, optional
from samples import ENGLISH, MIXED

unicodedata2 = optional("unicodedata2")

LATIN = "Grüße aus Köln: naïve café, señor Müller, Ærøskøbing, Dvořák, Łódź, Françoise. "
VIETNAMESE = "Tiếng Việt là ngôn ngữ chính thức của Việt Nam, có sáu thanh điệu khác nhau. "
HANGUL = "대한민국의 수도는 서울이며 한글은 세종대왕이 창제한 문자이다. "

SHORT = {
    "ASCII": "Hello world, how are you?",
    "Latin NFC": LATIN[:40],
    "Latin NFD": unicodedata.normalize("NFD", LATIN[:40]),
    "Vietnamese": VIETNAMESE[:40],
    "Hangul": HANGUL[:30],
    "Hangul jamo": unicodedata.normalize("NFD", HANGUL[:30]),
    "mixed": MIXED[:60],
}
MB = 1 << 20


def _long(text):
    return text * (MB // len(text.encode()))


LONG = {
    "ASCII": _long(ENGLISH),
    "Latin NFC": _long(LATIN),
    "Latin NFD": unicodedata.normalize("NFD", _long(LATIN)),
    "Vietnamese": _long(VIETNAMESE),
    "Hangul": _long(HANGUL),
    "Hangul jamo": unicodedata.normalize("NFD", _long(HANGUL)),
    "mixed": _long(MIXED),
}

FUNCTIONS = {
    "NFC": scrivlet.normalize_nfc,
    "NFD": scrivlet.normalize_nfd,
    "NFKC": scrivlet.normalize_nfkc,
    "NFKD": scrivlet.normalize_nfkd,
}

CASES = []
for size, inputs in (("short", SHORT), ("1 MB", LONG)):
    for form, fn in FUNCTIONS.items():
        for name, text in inputs.items():
            label = f"{name}, {len(text)} chars" if size == "short" else f"{name}, 1 MB"
            CASES.append(
                Case(
                    f"normalize_{form.lower()}",
                    label,
                    len(text.encode()),
                    lambda fn=fn, t=text: fn(t),
                    {
                        "unicodedata": lambda f=form, t=text: unicodedata.normalize(f, t),
                        "unicodedata2": (lambda f=form, t=text: unicodedata2.normalize(f, t))
                        if unicodedata2
                        else None,
                    },
                )
            )
