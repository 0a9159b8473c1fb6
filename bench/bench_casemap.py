"""Case operations: lowercase, uppercase, title case and case folding."""

import scrivlet
from run import Case
from samples import ENGLISH, MIXED

LATIN = "Grüße aus Köln: naïve Café, Señor Müller, ÆRØSKØBING, Dvořák, Łódź, Françoise. "
GREEK = "Η ΓΡΗΓΟΡΗ καφέ αλεπού ΠΗΔΆΕΙ πάνω από τον τεμπέλη σκύλο ΟΔΟΣ. "
CYRILLIC = "Съешь же ещё ЭТИХ мягких французских булок, да выпей ЧАЮ. "

SHORT = {
    "ASCII": "Hello World, How Are You?",
    "Latin": LATIN[:40],
    "Greek": GREEK[:40],
    "Cyrillic": CYRILLIC[:40],
    "mixed": MIXED[:60],
}
MB = 1 << 20


def _long(text):
    return text * (MB // len(text.encode()))


LONG = {
    name: _long(text)
    for name, text in {
        "ASCII": ENGLISH,
        "Latin": LATIN,
        "Greek": GREEK,
        "Cyrillic": CYRILLIC,
        "mixed": MIXED,
    }.items()
}

OPERATIONS = [
    ("to_lowercase", scrivlet.to_lowercase, "str.lower", str.lower),
    ("to_uppercase", scrivlet.to_uppercase, "str.upper", str.upper),
    ("to_titlecase", scrivlet.to_titlecase, "str.title", str.title),
    ("case_fold", scrivlet.case_fold, "str.casefold", str.casefold),
    ("case_fold_simple", scrivlet.case_fold_simple, "str.casefold", str.casefold),
]

CASES = []
for size, inputs in (("short", SHORT), ("1 MB", LONG)):
    for group, fn, peer_name, peer in OPERATIONS:
        for name, text in inputs.items():
            label = f"{name}, {len(text)} chars" if size == "short" else f"{name}, 1 MB"
            CASES.append(
                Case(
                    group,
                    label,
                    len(text.encode()),
                    lambda fn=fn, t=text: fn(t),
                    {peer_name: lambda peer=peer, t=text: peer(t)},
                    note="no simple-folding peer: str.casefold folds fully"
                    if group == "case_fold_simple"
                    else "",
                )
            )
