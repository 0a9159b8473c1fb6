#!/usr/bin/env python3
"""scrivlet's benchmark runner: scrivlet and the libraries people use today, side by side.

    python bench/run.py                       every function, every script, every size
    python bench/run.py --only word,line      the functions whose name holds one of these
    python bench/run.py --sizes short,1KB     only some sizes (short, 1KB, 1MB)
    python bench/run.py --scripts Thai,Lao    only some scripts (see bench/corpus.py)
    python bench/run.py --first-call          dictionaries' first call in fresh processes
    python bench/run.py --memory              peak memory and memory kept on the caller's str
    python bench/run.py --write               a full run, all of the above, into RESULTS.md
    python bench/run.py --summary             RESULTS.md again from the last run's numbers

Each bench/bench_*.py module defines CASES (see bench/cases.py): one input for
one function, scrivlet's callable and each peer's on the same text. Every
callable is timed on a fresh str (cold: made just before the batch, untimed, so
nothing is cached on it) and on a str it has seen before (warm: the row's own
copy of the input, so that what other rows did to the shared one, such as a
UTF-8 form made and kept on it, does not reach it), interleaved
round by round with the others of its row, best round kept, as CPU time of this
thread; a batch of one or two calls (a long text) after one untimed call of its
own, with the interpreter's arenas held mapped. The floor is the cost of
building scrivlet's result objects again from their values in C
(bench/floor.c). Ratios are peer time ÷ scrivlet time: above 1, scrivlet is
faster.
"""

from __future__ import annotations

import argparse
import datetime
import gc
import importlib
import json
import math
import os
import platform
import subprocess
import sys
import time
from dataclasses import dataclass
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import corpus
import floors
from cases import Case

RAW = corpus.CACHE / "results.json"  # the last --write run, for --summary
GOAL_FLOOR = 1.3
FLOOR_GROUPS = (
    "grapheme_boundaries",
    "word_boundaries",
    "sentence_boundaries",
    "line_break_opportunities",
    "bidi_resolve",
)
PEERS = (
    "PyICU", "icu4py", "unicodedata2", "regex", "wcwidth", "uwcwidth", "rich", "ugrapheme",
    "grapheme", "pyuegc", "uniseg", "python-bidi", "pyfribidi", "pythainlp", "babel", "laonlp",
    "emoji",
)


def fresh(text: str) -> str:
    """An equal str that nothing has seen: no UTF-8 form or other cache attached."""
    return text[:-1] + text[-1:]


@dataclass
class Entry:
    name: str
    mode: str
    fn: object
    args: tuple
    before: object = None
    pre: tuple = ()
    stateful: bool = False
    single: float = 0.0
    number: int = 1
    rounds: int = 1
    best: float = math.inf
    error: str | None = None


def _batch(entry: Entry, text: str, warm: str) -> list[str]:
    if entry.mode == "warm":
        return [warm] * entry.number
    return [fresh(text) for _ in range(entry.number)]


def _timed(entry: Entry, batch: list[str]) -> float:
    fn, args, pre = entry.fn, entry.args, entry.pre
    if entry.stateful and entry.mode == "warm":
        fn(*pre, batch[0], *args)
    if entry.before:
        entry.before()
    gc.disable()
    try:
        start = time.thread_time()
        if len(pre) == 1:
            (p,) = pre
            for s in batch:
                fn(p, s)
        elif pre:
            for s in batch:
                fn(*pre, s)
        elif len(args) == 1:
            (a,) = args
            for s in batch:
                fn(s, a)
        elif len(args) == 2:
            a, b = args
            for s in batch:
                fn(s, a, b)
        elif args:
            for s in batch:
                fn(s, *args)
        else:
            for s in batch:
                fn(s)
        return time.thread_time() - start
    finally:
        gc.enable()


# A batch of this few calls (a long text) starts after one untimed call of its
# own, on another str of its kind: the interpreter's allocator then stands as
# it does between two calls of the same function, whatever ran before. After
# a call that freed other objects, the arenas a long result needs are mapped
# anew, a page fault per 4 KiB of its ints, and which callable followed which
# decided who paid for them.
SETTLE_BELOW = 2

# The settling call does not do it all: the interpreter hands an arena of
# small objects back to the system once it holds none, and whether the
# arenas of a long result were still mapped when its callable ran depended
# on what the rows before had left alive. In one full run the floor of
# line breaking with dictionaries on mixed text was 8.45 ms where a run of
# that row alone gives 4.1, and grapheme segmentation of Arabic stood at
# 1.32 times its floor (10.3 ms against 7.8) where, measured in one state,
# it is 1.0. Before measuring, the runner fills this many bytes of arenas
# and keeps one object in every 96 KiB of them, so that every
# callable builds its result in pages already mapped, as in a long-running
# program that has used that much memory before.
HOLD_ARENAS_BYTES = 256 << 20
_held: list = []


def hold_arenas(total: int = HOLD_ARENAS_BYTES) -> None:
    gc.disable()
    try:
        filler = [(i, i) for i in range(total // 96)]  # a tuple and an int: 96 bytes
        _held.extend(filler[::1024])  # one in every 96 KiB: arenas are 256 KiB or 1 MiB
        del filler
    finally:
        gc.enable()


# A cold batch holds a fresh copy of the text for each of its calls: a peer
# that answers at once on a megabyte (it takes a code point index and reads
# only around it) would otherwise ask for 20,000 copies, tens of gigabytes.
COLD_BATCH_BYTES = 256 << 20


def measure(case: Case, floor_module, target: float, repeats: int, budget: float) -> dict:
    # The row's own warm str, seen by its callables alone: what other rows did
    # with the shared input (a UTF-8 form made and kept on it) cannot reach it.
    warm = fresh(case.text)
    entries = [Entry("scrivlet", m, case.scrivlet, case.args) for m in ("cold", "warm")]
    if floor_module is not None:
        entries.append(Entry("scan", "warm", floor_module.scanner(), case.args))
    if case.floor and floor_module is not None:
        try:
            plan = floor_module.prepare(case.scrivlet(case.text, *case.args))
            entries.append(Entry("floor", "warm", plan, case.args))
        except Exception:  # noqa: BLE001, S110  (no result to rebuild: the row shows why)
            pass
    for name, peer in case.peers.items():
        if peer is not None:
            entries += [Entry(name, m, peer.fn, peer.args, peer.before_batch, peer.pre,
                              peer.stateful) for m in ("cold", "warm")]
    for e in entries:  # one call each: the warm str's first sight, and the batch size
        try:
            for count in (1, 20):
                batch = [warm if e.mode == "warm" else fresh(case.text)
                         for _ in range(count)]
                e.number = count
                e.single = _timed(e, batch) / count
                if e.single * count > 1e-4:
                    break
        except Exception as exc:  # noqa: BLE001  (a peer that cannot handle the input)
            e.error = f"fails ({type(exc).__name__})"
    live = [e for e in entries if e.error is None]
    for e in live:
        e.number = max(1, min(20000, math.ceil(target / max(e.single, 1e-8))))
        if e.mode == "cold":
            e.number = max(1, min(e.number, COLD_BATCH_BYTES // sys.getsizeof(case.text)))
        e.rounds = max(2, min(repeats, int(budget / max(e.single * e.number, 1e-9))))
    for r in range(max((e.rounds for e in live), default=0)):
        for e in live:
            if r < e.rounds:
                if e.number <= SETTLE_BELOW:
                    _timed(e, _batch(e, case.text, warm)[:1])
                batch = _batch(e, case.text, warm)
                e.best = min(e.best, _timed(e, batch) / e.number)
                del batch
    row = {
        "group": case.group,
        "script": case.script,
        "size": case.size,
        "bytes": len(case.text.encode()),
        "peers": {},
        "notes": {n: p.note for n, p in case.peers.items() if p is not None and p.note},
        "absent": [n for n, p in case.peers.items() if p is None],
    }
    for e in entries:
        value = e.error or e.best
        if e.name == "scrivlet":
            row.setdefault("scrivlet", {})[e.mode] = value
        elif e.name in ("floor", "scan"):
            row[e.name] = value
        else:
            row["peers"].setdefault(e.name, {})[e.mode] = value
    return row


# --- formatting -------------------------------------------------------------


def fmt_time(seconds) -> str:
    if isinstance(seconds, str):
        return seconds
    if seconds < 1e-6:
        return f"{seconds * 1e9:.0f} ns"
    if seconds < 1e-3:
        return f"{seconds * 1e6:.2f} µs"
    return f"{seconds * 1e3:.2f} ms"


def _ratio(a, b) -> str:
    if isinstance(a, str) or isinstance(b, str) or not b:
        return "–"
    return f"{a / b:.2f}"


def _pair(values: dict, fmt=fmt_time) -> str:
    return f"{fmt(values['cold'])} / {fmt(values['warm'])}"


def table(rows: list[dict]) -> list[str]:
    peers: list[str] = []
    for row in rows:
        for name in list(row["peers"]) + row["absent"]:
            if name not in peers:
                peers.append(name)
    has_floor = any("floor" in row for row in rows)
    has_scan = any("scan" in row for row in rows)
    head = ["input", "scrivlet cold / warm"]
    if has_floor:
        head += ["floor", "× floor cold / warm"]
    if has_scan:
        head += ["scan"]
    for p in peers:
        head += [f"{p} cold / warm", "ratio"]
    out = ["| " + " | ".join(head) + " |", "|" + "---|" * len(head)]
    for row in rows:
        mine = row["scrivlet"]
        cells = [f"{row['script']}, {row['size']}", _pair(mine)]
        if has_floor:
            floor = row.get("floor")
            if floor is None:
                cells += ["–", "–"]
            else:
                cells += [fmt_time(floor),
                          f"{_ratio(mine['cold'], floor)} / {_ratio(mine['warm'], floor)}"]
        if has_scan:
            cells.append(fmt_time(row["scan"]) if "scan" in row else "–")
        for p in peers:
            theirs = row["peers"].get(p)
            if theirs is None:
                cells += ["n/a" if p in row["absent"] else "–", ""]
            else:
                cells += [_pair(theirs), (f"{_ratio(theirs['cold'], mine['cold'])} / "
                                         f"{_ratio(theirs['warm'], mine['warm'])}")]
        out.append("| " + " | ".join(cells) + " |")
    return out


def below_one(rows: list[dict]) -> list[str]:
    """Every (function, peer) with a cell where the peer is faster, with all its cells."""
    found: dict[tuple[str, str], list[str]] = {}
    notes: dict[tuple[str, str], str] = {}
    counts: dict[tuple[str, str], int] = {}
    for row in rows:
        for peer, theirs in row["peers"].items():
            key = (row["group"], peer)
            for mode in ("cold", "warm"):
                a, b = theirs.get(mode), row["scrivlet"].get(mode)
                if isinstance(a, str) or isinstance(b, str):
                    continue
                counts[key] = counts.get(key, 0) + 1
                if a < b:
                    found.setdefault(key, []).append(
                        f"{row['script']} {row['size']} {mode} {a / b:.2f}")
                    if peer in row["notes"]:
                        notes[key] = row["notes"][peer]
    out = [
        ("| function | peer | cells below 1.0 | where (script, size, cold or warm, ratio) "
        "| how the peer's job differs |"),
        "|---|---|---|---|---|",
    ]
    for (group, peer), cells in sorted(found.items()):
        out.append(f"| {group} | {peer} | {len(cells)} of {counts[(group, peer)]} "
                   f"| {'; '.join(cells)} | {notes.get((group, peer), '')} |")
    total = sum(len(c) for c in found.values())
    out.insert(0, f"{total} cells of {sum(counts.values())} have a peer faster than scrivlet.\n")
    return out


def over_floor(rows: list[dict]) -> list[str]:
    out = [(f"| function | cells of 1 MB above {GOAL_FLOOR}× the floor "
           "(script, cold or warm, multiple) |"), "|---|---|"]
    for group in FLOOR_GROUPS:
        cells = []
        for row in rows:
            floor = row.get("floor")
            if row["group"] != group or row["size"] != "1 MB" or not floor:
                continue
            for mode in ("cold", "warm"):
                mine = row["scrivlet"][mode]
                if not isinstance(mine, str) and mine > GOAL_FLOOR * floor:
                    cells.append(f"{row['script']} {mode} {mine / floor:.2f}")
        out.append(f"| {group} | {'; '.join(cells) or 'none'} |")
    return out


def _versions() -> str:
    from importlib import metadata

    found = []
    for name in PEERS:
        try:
            found.append(f"{name} {metadata.version(name)}")
        except metadata.PackageNotFoundError:
            found.append(f"{name} (not installed)")
    return ", ".join(found)


def _minutes(minutes: float) -> str:
    n = max(1, round(minutes))
    return f"{n} minute" if n == 1 else f"{n} minutes"


def _environment() -> list[str]:
    cpu = platform.machine()
    try:
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    import scrivlet

    lines = [
        (f"- machine: {cpu}, {os.cpu_count()} cores (shared), {platform.system()} "
        f"{platform.release()}; Python {platform.python_version()}"),
        f"- scrivlet: `{scrivlet.__file__}`; bench/ at commit {_commit()}",
        f"- peers: {_versions()}",
    ]
    icu = _optional("icu")
    if icu:
        lines.append(f"- ICU (PyICU) {icu.ICU_VERSION}, Unicode {icu.UNICODE_VERSION}")
    wcwidth = _optional("wcwidth")
    if wcwidth:
        impl = "its C extension" if getattr(wcwidth, "HAS_C_EXTENSION", False) else "pure Python"
        lines.append(f"- wcwidth loaded {impl} (`wcswidth` from `{wcwidth.wcswidth.__module__}`)")
    return lines


def _optional(name):
    try:
        return importlib.import_module(name)
    except ImportError:
        return None


def _commit() -> str:
    done = subprocess.run(["git", "-C", str(HERE), "log", "-1", "--format=%h %cs"],
                          capture_output=True, text=True, check=False)
    return done.stdout.strip() or "unknown"


def report(rows: list[dict], meta: dict, extras: dict[str, str]) -> str:
    parts = [
        "# Benchmark results",
        "",
        "Run on " + "; then ".join(
            f"{r['date']} with `{r['command']}` ({_minutes(r['minutes'])})" for r in meta["runs"]
        ) + ".",
        "",
        *meta["environment"],
        "",
        ("Times are per call, the best of several interleaved rounds, in CPU time of the "
        "benchmarking thread (the machine is shared); a batch of one or two calls (a long "
        "text) follows one untimed call of the same callable, so that each is timed as it "
        "stands between two calls of its own, whatever ran before it. *Cold*: on a fresh `str`, made before "
        "the batch and not timed, so nothing is cached on it; *warm*: on a `str` the same "
        "library has seen before, a copy of the input made for its row, which no other row "
        "touches. Cold batches of a long text hold at most 256 MiB of copies. Before the "
        "first row, the runner fills 256 MiB of the interpreter's arenas and keeps an object "
        "in each, so that every result is built in pages already mapped, whatever the rows "
        "before it freed. *Floor*: "
        "building scrivlet's result objects again from "
        "their values in a C loop (`bench/floor.c`; for a `str` result, one copy of its "
        "code units; for an int, the bare call; (int, str) pairs untracked by the cyclic "
        "collector, as scrivlet's are), so *× floor* is scrivlet's time as a "
        "multiple of what returning its result costs. *Scan*: one pass of a C loop "
        "reading every code unit of the `str` (what *at memory speed* means for that "
        "text), called like the function. *Ratio*: peer time ÷ scrivlet time, "
        "cold / warm; above 1, scrivlet is faster. `–`: the peer does not run on that input "
        "(a pure-Python peer on large texts); n/a: not installed. Every time includes the "
        "call from Python and the loop, about 20 ns."),
        "",
        "## Inputs",
        "",
        ("Real text that nobody here wrote, gathered at bench time from installed packages "
        "(see `bench/corpus.py` for the sources and their licences). ~1 MB joins distinct "
        "strings; where a script has less than that, the pool is reshuffled and joined again."),
        "",
        meta["corpus"],
        "",
    ]
    order = {s: i for i, s in enumerate(corpus.SIZES)}
    scripts = {s: i for i, s in enumerate(corpus.NAMES)}
    rows = sorted(rows, key=lambda r: (r["group"], order.get(r["size"], 9),
                                       scripts.get(r["script"], 99)))
    groups: dict[str, list[dict]] = {}
    for row in rows:
        groups.setdefault(row["group"], []).append(row)
    for group, group_rows in groups.items():
        parts += [f"## {group}", "", *table(group_rows), ""]
        notes = {}
        for row in group_rows:
            notes.update(row["notes"])
        parts += [f"- {peer}: {note}" for peer, note in notes.items()]
        if notes:
            parts.append("")
    for title, body in extras.items():
        parts += [f"## {title}", "", body, ""]
    parts += [
        "## Summary",
        "",
        "### Cells below 1.0 (a peer faster than scrivlet)",
        "",
        *below_one(rows),
        "",
        f"### Results still above {GOAL_FLOOR}× their floor on 1 MB",
        "",
        *over_floor(rows),
        "",
    ]
    return "\n".join(parts)


# --- running ----------------------------------------------------------------


def load_cases(only, scripts, sizes) -> list[Case]:
    cases: list[Case] = []
    for path in sorted(HERE.glob("bench_*.py")):
        try:
            module = importlib.import_module(path.stem)
        except Exception as exc:  # noqa: BLE001  (the other groups still run)
            print(f"{path.name}: cannot load ({type(exc).__name__}: {exc}); skipped",
                  file=sys.stderr)
            continue
        for case in module.CASES:
            if only and not any(o in case.group for o in only):
                continue
            if scripts and case.script not in scripts:
                continue
            if sizes and case.size not in sizes:
                continue
            cases.append(case)
    order = {s: i for i, s in enumerate(corpus.SIZES)}
    cases.sort(key=lambda c: (c.group, order.get(c.size, 9)))
    return cases


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--only", help="comma-separated parts of function names")
    parser.add_argument("--scripts", help="comma-separated script names")
    parser.add_argument("--sizes", help="comma-separated: short, 1KB, 1MB")
    parser.add_argument("--repeat", type=int, default=5, help="rounds per measurement")
    parser.add_argument("--target", type=float, default=0.004, help="seconds per batch")
    parser.add_argument("--budget", type=float, default=0.3,
                        help="seconds per measurement at most (2 rounds at least)")
    parser.add_argument("--first-call", action="store_true")
    parser.add_argument("--memory", action="store_true")
    parser.add_argument("--write", action="store_true", help="also rewrite bench/RESULTS.md")
    parser.add_argument("--summary", action="store_true",
                        help="rewrite RESULTS.md from bench/results.json, measuring nothing")
    args = parser.parse_args()
    sys.stdout.reconfigure(encoding="utf-8")

    if args.summary:
        saved = json.loads(RAW.read_text(encoding="utf-8"))
        text = report(saved["rows"], saved["meta"], saved["extras"])
        (HERE / "RESULTS.md").write_text(text + "\n", encoding="utf-8")
        print(text)
        return 0

    started = time.time()
    only = [o for o in (args.only or "").split(",") if o]
    scripts = [s for s in (args.scripts or "").split(",") if s]
    sizes = [s.replace("KB", " KB").replace("MB", " MB") for s in (args.sizes or "").split(",")
             if s]
    full = not (only or scripts or sizes)
    extras: dict[str, str] = {}
    rows: list[dict] = []
    if not (args.first_call or args.memory) or not full:
        floor_module = floors.load()
        hold_arenas()
        group = None
        for case in load_cases(only, scripts, sizes):
            if case.group != group:
                group = case.group
                print(f"\n## {group}", flush=True)
            row = measure(case, floor_module, args.target, args.repeat, args.budget)
            rows.append(row)
            print(table([row])[-1], flush=True)
    if args.first_call or (args.write and full):
        import bench_dictionary

        extras["Dictionaries: first call in a fresh process"] = bench_dictionary.report()
        print(extras["Dictionaries: first call in a fresh process"], flush=True)
    if args.memory or (args.write and full):
        import memory

        extras["Memory"] = memory.report()
        print(extras["Memory"], flush=True)
    if args.write:
        run = {
            "date": datetime.date.today().isoformat(),
            "command": ("python bench/run.py " + " ".join(sys.argv[1:])).strip(),
            "minutes": (time.time() - started) / 60,
        }
        meta = {"runs": [run], "environment": _environment(), "corpus": corpus.describe()}
        if not full and RAW.exists():
            # a partial run replaces its own rows and tables in the last full one
            saved = json.loads(RAW.read_text(encoding="utf-8"))
            fresh_keys = {(r["group"], r["script"], r["size"]) for r in rows}
            rows = [r for r in saved["rows"]
                    if (r["group"], r["script"], r["size"]) not in fresh_keys] + rows
            extras = {**saved["extras"], **extras}
            meta["runs"] = saved["meta"]["runs"] + [run]
        RAW.parent.mkdir(exist_ok=True)
        RAW.write_text(json.dumps({"rows": rows, "meta": meta, "extras": extras},
                                  ensure_ascii=False), encoding="utf-8")
        text = report(rows, meta, extras)
        (HERE / "RESULTS.md").write_text(text + "\n", encoding="utf-8")
        print("\n".join(text.split("## Summary", 1)[-1:]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
