"""What a benchmark module declares: one Case per (function, input), each peer a Peer."""

from __future__ import annotations

import importlib
from dataclasses import dataclass, field
from typing import Callable


@dataclass
class Peer:
    """A library doing the same job: called as fn(*pre, text, *args)."""

    fn: Callable
    args: tuple = ()
    pre: tuple = ()
    before_batch: Callable[[], object] | None = None  # e.g. clear its cache
    # keeps state about the last text it was given: a warm batch starts with
    # one untimed call on the text, since the cold batch before it moved the state
    stateful: bool = False
    note: str = ""  # how its job or result differs, shown in the summary


@dataclass
class Case:
    group: str  # the scrivlet function
    script: str
    size: str  # "short", "1 KB" or "1 MB"
    text: str
    scrivlet: Callable  # called as scrivlet(text, *args)
    args: tuple = ()
    peers: dict[str, Peer | None] = field(default_factory=dict)
    floor: bool = True  # measure the cost of building scrivlet's result objects

    @property
    def input(self) -> str:
        return f"{self.script}, {self.size}"


def optional(module: str):
    """The module, or None when it is not installed."""
    try:
        return importlib.import_module(module)
    except Exception:  # noqa: BLE001  (a peer that fails to load counts as absent)
        return None


SKIP = object()  # a peer left out on this input (see small)
SMALL = 2048  # pure-Python peers take seconds on a megabyte: they run up to ~1 KB


def small(text: str) -> bool:
    return len(text.encode()) <= SMALL
