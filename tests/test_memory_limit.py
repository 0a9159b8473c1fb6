"""Memory exhaustion: under an address-space limit every function returns its
result or raises PanicException, in any thread, and never takes the process
down; results that need little memory are not refused for a long text."""

import os
import sys
from pathlib import Path

import pytest

HERE = Path(__file__).resolve().parent

pytestmark = [
    pytest.mark.skipif(not sys.platform.startswith("linux"), reason="reads /proc/self/status"),
    pytest.mark.skipif(
        os.environ.get("SCRIVLET_SANITIZED") == "1",
        reason="the sanitizers reserve more address space than any limit leaves",
    ),
]


def run(code):
    from conftest import run_python

    return run_python(code, path=os.pathsep.join([str(HERE), os.environ.get("PYTHONPATH", "")]))


def test_every_function_in_every_thread_raises_or_answers_when_memory_runs_out():
    done = run((HERE / "memory_limit_run.py").read_text())
    assert done.returncode == 0, done.stdout[-2000:] + done.stderr[-2000:]
    lines = [line.split(" ", 3) for line in done.stdout.splitlines()]
    outcomes = {outcome for *_, outcome in lines}
    assert outcomes <= {
        "ok",
        "PanicException: std::bad_alloc",
        "PanicException: Python API call failed",
    }, outcomes
    # The limits bite: in fresh threads as well as in the main thread, and in
    # the functions that build large results. A rewritten text needs no more
    # than its own str, which a limit may or may not leave room for, depending
    # on what the calls before it freed: one of them at least runs short.
    failed = {(name, where) for _, name, where, outcome in lines if outcome != "ok"}
    assert {where for _, where in failed} == {"main", "thread"}
    failed_names = {n for n, _ in failed}
    assert {"grapheme_boundaries", "bidi_resolve"} <= failed_names
    assert failed_names & {
        "to_lowercase",
        "to_uppercase",
        "to_titlecase",
        "case_fold",
        "case_fold_simple",
        "normalize_nfc",
        "normalize_nfd",
        "normalize_nfkc",
        "normalize_nfkd",
    }


def test_one_long_cluster_needs_no_memory_proportional_to_the_text():
    # A base letter and 20 million combining marks: one cluster of 40 MB.
    code = """
import resource, scrivlet
text = "a" + "\\u0301" * 20_000_000
fns = [(scrivlet.grapheme_boundaries, (), [0]), (scrivlet.move_left, (5,), 0),
       (scrivlet.move_right, (5,), len(text.encode())), (scrivlet.display_width, (), 1),
       (scrivlet.truncate_graphemes, (1,), text), (scrivlet.truncate_display_width, (1,), text)]
for fn, args, _ in fns:
    fn(text, *args)  # the UTF-8 form is made here, before the limit
vm = next(int(l.split()[1]) for l in open("/proc/self/status") if l.startswith("VmSize:"))
resource.setrlimit(resource.RLIMIT_AS, ((vm << 10) + (16 << 20), resource.RLIM_INFINITY))
for fn, args, want in fns:
    assert fn(text, *args) == want, fn.__name__
"""
    done = run(code)
    assert done.returncode == 0, done.stderr[-2000:]
