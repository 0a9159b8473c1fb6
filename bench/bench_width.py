"""Display width and truncation.

Peers: wcwidth (its C extension when it loaded one: see RESULTS.md), uwcwidth,
rich (its per-string and per-character caches cleared before each batch, and
the uncached path measured: a repeated string below 512 characters would be a
cache hit), ugrapheme and regex. Truncation keeps half the text: half its width
in cells, half its grapheme clusters.
"""

import corpus
import scrivlet
from cases import SKIP, Case, Peer, optional, small

wcwidth = optional("wcwidth")
uwcwidth = optional("uwcwidth")
rich_cells = optional("rich.cells")
ugrapheme = optional("ugrapheme")
grapheme = optional("grapheme")
regex = optional("regex")


def _rich_clear():
    rich_cells.cached_cell_len.cache_clear()
    rich_cells.get_character_cell_size.cache_clear()


def _rich_len(text):
    return rich_cells._cell_len(text, "auto")


_PREFIXES = {}


def _regex_prefix(count):
    if count not in _PREFIXES:
        _PREFIXES[count] = regex.compile(rf"\X{{0,{count}}}")
    return _PREFIXES[count]


def _regex_truncate(text, pattern):
    return pattern.match(text).group()


CASES = []
for _, script, size, text in corpus.inputs():
    CASES.append(Case("display_width", script, size, text, scrivlet.display_width, peers={
        "wcwidth": Peer(wcwidth.wcswidth) if wcwidth else None,
        "uwcwidth": Peer(uwcwidth.wcswidth) if uwcwidth else None,
        "rich": Peer(_rich_len, before_batch=_rich_clear,
                     note="pure Python; cell_len's uncached path") if rich_cells
        else None,
    }))

    width = max(1, scrivlet.display_width(text) // 2)
    peers = {
        "rich": Peer(rich_cells.set_cell_size, (width,), before_batch=_rich_clear,
                     note="pure Python") if rich_cells else None,
        "wcwidth": (Peer(wcwidth.clip, (0, width), note="pure Python") if small(text) else SKIP)
        if wcwidth and hasattr(wcwidth, "clip") else None,
    }
    CASES.append(Case("truncate_display_width", script, size, text,
                      scrivlet.truncate_display_width, (width,),
                      peers={k: v for k, v in peers.items() if v is not SKIP}))

    count = max(1, len(scrivlet.grapheme_boundaries(text)) // 2)
    peers = {
        "ugrapheme": Peer(ugrapheme.grapheme_slice, (0, count)) if ugrapheme else None,
        "regex \\X": Peer(_regex_truncate, (_regex_prefix(count),)) if regex else None,
        "grapheme": (Peer(grapheme.slice, (0, count), note="pure Python") if small(text)
                     else SKIP) if grapheme else None,
    }
    CASES.append(Case("truncate_graphemes", script, size, text, scrivlet.truncate_graphemes,
                      (count,), peers={k: v for k, v in peers.items() if v is not SKIP}))
