"""A client of scrivlet as a type checker sees it, checked by test_packaging.py
with mypy --strict. It reaches every function through the star import (so the
stubs' __all__ must list them all) and pins each result to its precise type.
Exactly one line is wrong, on purpose: the check must report it and nothing else."""

from __future__ import annotations

from typing import Literal

from scrivlet import *

locale: str | None = None
text = "ab\u05d0\u05d1"

offsets: list[int] = grapheme_boundaries(text)
offsets = word_boundaries(text, locale)
offsets = sentence_boundaries(text, locale=locale)

normalized: str = normalize_nfc(text)
normalized = normalize_nfd(text)
normalized = normalize_nfkc(text)
normalized = normalize_nfkd(text)

resolved = bidi_resolve(text)
paragraph_level: int = resolved["paragraph_level"]
levels: bytes = resolved["levels"]
reorder: list[int] = resolved["reorder"]

breaks: list[tuple[int, Literal["mandatory", "allowed"]]] = line_break_opportunities(text)
breaks = line_break_opportunities_with_dictionary(text)

cased: str = to_lowercase(text, "tr")
cased = to_uppercase(text)
cased = to_titlecase(text)
cased = case_fold(text)
cased = case_fold_simple(text)

width: int = display_width(text)
shortened: str = truncate_graphemes(text, max_graphemes=2)
shortened = truncate_display_width(text, 3)

caret: int = move_right(text, 0)
caret = move_left(text, current=caret)
caret = move_right_visual(text, caret)
caret = move_left_visual(text, caret)
selection: tuple[int, int] = select_word(text, caret)

width = display_width(42)  # the deliberate misuse: text must be a str
