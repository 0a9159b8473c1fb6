"""Display width and truncation."""

import scrivlet
from run import Case, optional
from samples import SAMPLES

wcwidth = optional("wcwidth")
rich_cells = optional("rich.cells")
ugrapheme = optional("ugrapheme")
regex = optional("regex")

SHORT = {
    "status line, 40 chars": "main ✓ 3 files changed, 12 insertions(+)",
    "table cell, 6 chars": "東京 42",
}
INPUTS = {**SHORT, **SAMPLES}


def _regex_truncate(text, limit):
    return "".join(regex.findall(r"\X", text)[:limit])


CASES = []
for name, text in INPUTS.items():
    CASES.append(
        Case(
            "display_width",
            name,
            len(text.encode()),
            lambda t=text: scrivlet.display_width(t),
            {
                "wcwidth.wcswidth": (lambda t=text: wcwidth.wcswidth(t)) if wcwidth else None,
                "rich cell_len": (lambda t=text: rich_cells.cell_len(t)) if rich_cells else None,
            },
        )
    )

for name, text in INPUTS.items():
    # Crop to a terminal line (or a bit less than a short text).
    width = min(80, max(1, scrivlet.display_width(text) - 2))
    CASES.append(
        Case(
            "truncate_display_width",
            f"{name}, to {width} cells",
            len(text.encode()),
            lambda t=text, w=width: scrivlet.truncate_display_width(t, w),
            {
                "rich set_cell_size": (lambda t=text, w=width: rich_cells.set_cell_size(t, w))
                if rich_cells
                else None,
            },
        )
    )

for name, text in INPUTS.items():
    count = min(80, max(1, len(text) - 2))
    CASES.append(
        Case(
            "truncate_graphemes",
            f"{name}, to {count} clusters",
            len(text.encode()),
            lambda t=text, k=count: scrivlet.truncate_graphemes(t, k),
            {
                "ugrapheme slice": (lambda t=text, k=count: ugrapheme.grapheme_slice(t, 0, k))
                if ugrapheme
                else None,
                "regex \\X": (lambda t=text, k=count: _regex_truncate(t, k)) if regex else None,
            },
        )
    )
