"""Bidi resolution and visual caret movement."""

import scrivlet
from run import Case, optional
from samples import SAMPLES

python_bidi = optional("bidi")
pyfribidi = optional("pyfribidi")
regex = optional("regex")

HEBREW = (
    "הספרייה החדשה נפתחה ב-2024 ומכילה יותר מ-12,500 ספרים. "
    'המנהלת, ד"ר כהן, אמרה: "אנחנו משתמשים ב-Python וב-C++ לניהול הקטלוג" (ראו עמוד 7). '
)
ARABIC = (
    "افتتحت المكتبة الجديدة في عام 2024 وتضم أكثر من ١٢٬٥٠٠ كتاب. "
    "قالت المديرة: «نستخدم Python و C++ لإدارة الفهرس» (انظر الصفحة 7). "
)


def _fill(text, size=16384):
    return text * max(1, size // len(text.encode()))


INPUTS = {
    "Hebrew + Latin + numbers, 1 MB": _fill(HEBREW, 1 << 20),
    "Arabic + Latin + numbers, 1 MB": _fill(ARABIC, 1 << 20),
    "Latin (all LTR), 1 MB": SAMPLES["Latin, 1 MB"],
    "Hebrew + Latin + numbers, 16 KB": _fill(HEBREW),
    "ASCII, 12 chars": SAMPLES["ASCII, 12 chars"],
    "Hebrew, 12 chars": "שלום, world!",
    "Arabic, 14 chars": "مرحبا 123 abc",
}


def _fribidi(text):
    return pyfribidi.log2vis(text, pyfribidi.ON)


CASES = []
for name, text in INPUTS.items():
    CASES.append(
        Case(
            "bidi_resolve",
            name,
            len(text.encode()),
            lambda t=text: scrivlet.bidi_resolve(t),
            {
                "python-bidi": (lambda t=text: python_bidi.get_display(t)) if python_bidi else None,
                "pyfribidi": (lambda t=text: _fribidi(t)) if pyfribidi else None,
            },
            note="peers return the reordered string; scrivlet returns levels and the visual order",
        )
    )


def _logical_right(text, current):
    try:
        return scrivlet.move_right(text, current)
    except NotImplementedError:
        return None


_LOGICAL_BUILT = _logical_right("ab", 0) is not None


def _regex_clusters(text):
    return [m.start() for m in regex.finditer(r"\X", text)]


for name in (
    "Hebrew + Latin + numbers, 16 KB",
    "Latin (all LTR), 1 MB",
    "Hebrew, 12 chars",
    "ASCII, 12 chars",
):
    text = INPUTS[name]
    middle = len(text.encode()) // 2
    for group, fn in (
        ("move_right_visual", scrivlet.move_right_visual),
        ("move_left_visual", scrivlet.move_left_visual),
    ):
        logical = scrivlet.move_right if group == "move_right_visual" else scrivlet.move_left
        CASES.append(
            Case(
                group,
                name,
                len(text.encode()),
                lambda t=text, f=fn, c=middle: f(t, c),
                {
                    "logical move": (lambda t=text, f=logical, c=middle: f(t, c))
                    if _LOGICAL_BUILT
                    else None,
                    "regex \\X scan": (lambda t=text: _regex_clusters(t)) if regex else None,
                },
                note="a visual move lays out the whole line; a logical one looks at one cluster",
            )
        )
