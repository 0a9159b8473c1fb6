#!/usr/bin/env python3
"""scrivlet's benchmark runner: scrivlet and the libraries people use today, side by side.

    python bench/run.py                 run every group, print the tables
    python bench/run.py --only width    run the groups whose name contains "width"
    python bench/run.py --write         also rewrite bench/RESULTS.md

Each bench/bench_*.py module defines CASES: a list of Case. A case is one
input for one operation: scrivlet's callable and each peer's callable on the
same input. A peer whose package is missing is reported as "n/a".
"""

from __future__ import annotations

import argparse
import datetime
import importlib
import os
import platform
import sys
import timeit
from dataclasses import dataclass, field
from pathlib import Path
from typing import Callable

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))


@dataclass
class Case:
    group: str  # the operation, e.g. "display_width"
    input: str  # a short name of the input, e.g. "ASCII, 12 chars"
    text_bytes: int  # UTF-8 size of the input, for throughput
    scrivlet: Callable[[], object]
    peers: dict[str, Callable[[], object] | None] = field(default_factory=dict)
    note: str = ""


def optional(module: str):
    """The module, or None when it is not installed."""
    try:
        return importlib.import_module(module)
    except Exception:
        return None


def time_per_call(fn: Callable[[], object], budget: float) -> float:
    timer = timeit.Timer(fn)
    number, elapsed = timer.autorange()
    reps = max(1, min(5, int(budget / max(elapsed, 1e-9))))
    best = min([elapsed] + timer.repeat(repeat=reps, number=number))
    return best / number


def fmt_time(seconds: float) -> str:
    if seconds < 1e-6:
        return f"{seconds * 1e9:.0f} ns"
    if seconds < 1e-3:
        return f"{seconds * 1e6:.2f} µs"
    return f"{seconds * 1e3:.2f} ms"


def run(only: str | None, budget: float) -> list[str]:
    modules = sorted(HERE.glob("bench_*.py"))
    out: list[str] = []
    for path in modules:
        module = importlib.import_module(path.stem)
        cases: list[Case] = [c for c in module.CASES if not only or only in c.group]
        if not cases:
            continue
        peer_names = sorted({p for c in cases for p in c.peers})
        out.append(f"### {module.__doc__.strip().splitlines()[0]}")
        out.append("")
        head = "| operation | input | scrivlet | " + " | ".join(
            f"{p} | ratio" for p in peer_names
        )
        out.append(head + " |")
        out.append("|" + "---|" * (3 + 2 * len(peer_names)))
        for case in cases:
            mine = time_per_call(case.scrivlet, budget)
            cells = [case.group, case.input, fmt_time(mine)]
            for p in peer_names:
                fn = case.peers.get(p)
                if fn is None:
                    cells += ["n/a", ""]
                    continue
                try:
                    theirs = time_per_call(fn, budget)
                except Exception as e:  # a peer that cannot handle the input
                    cells += [f"fails ({type(e).__name__})", ""]
                    continue
                cells += [fmt_time(theirs), f"{theirs / mine:.1f}×"]
            out.append("| " + " | ".join(cells) + " |")
            print(out[-1], flush=True)
        out.append("")
    return out


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--only")
    parser.add_argument("--write", action="store_true")
    parser.add_argument("--budget", type=float, default=0.2, help="seconds per measurement")
    args = parser.parse_args()
    lines = run(args.only, args.budget)
    text = "\n".join(lines)
    print(text)
    if args.write:
        stamp = datetime.date.today().isoformat()
        machine = f"{platform.machine()}, {os.cpu_count()} cores, Python {platform.python_version()}"
        (HERE / "RESULTS.md").write_text(
            "# Benchmark results\n\n"
            f"Run on {stamp}, {machine}, with `python bench/run.py --write`.\n"
            "Times are per call (best of several repeats); a ratio above 1 means scrivlet is faster.\n\n"
            + text + "\n",
            encoding="utf-8",
        )
    return 0


if __name__ == "__main__":
    sys.exit(main())
