#!/usr/bin/env python3
"""Memory of every function, each measured in a fresh process on real mixed-script text.

    python bench/memory.py [megabytes, default 8]      (or python bench/run.py --memory)

Peak: how far the resident set of a process grows above what it holds once the
input is read, while it calls the function once (the peak is reset through
/proc/self/clear_refs), less the same for a process that calls nothing; per
input byte (UTF-8). It counts the core's working buffers and the Python result.
Kept on the caller's str: what the call left attached to the argument (its
UTF-8 form, made by the interpreter on request and freed only with the str),
from sys.getsizeof before and after, per code point.
"""

import subprocess
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent

CHILD = """
import sys
import scrivlet
with open({path!r}, encoding="utf-8") as f:
    text = f.read()
def status(key):
    with open("/proc/self/status") as f:
        return next(int(line.split()[1]) * 1024 for line in f if line.startswith(key))
with open("/proc/self/clear_refs", "w") as f:
    f.write("5")  # the peak starts again from here: reading the text is not counted
base = status("VmRSS:")
before = sys.getsizeof(text)
name = {name!r}
if name:
    args = {{"truncate_graphemes": (10**9,), "truncate_display_width": (10**9,)}}.get(name, ())
    if name in ("move_left", "move_right", "move_left_visual", "move_right_visual", "select_word"):
        args = (len(text.encode()) // 2,)
    result = getattr(scrivlet, name)(text, *args)
kept = sys.getsizeof(text) - before
print(status("VmHWM:") - base, len(text.encode()), len(text), kept)
"""


def peak(name, path):
    out = subprocess.run(
        [sys.executable, "-c", CHILD.format(name=name, path=str(path))],
        capture_output=True, text=True, check=True,
    ).stdout.split()
    return int(out[0]), int(out[1]), int(out[2]), int(out[3])


def report(mb: int = 8) -> str:
    import tempfile

    import scrivlet

    sys.path.insert(0, str(HERE))
    import corpus

    with tempfile.NamedTemporaryFile("w", encoding="utf-8", suffix=".txt") as f:
        f.write((corpus.text(corpus.MIXED, "1 MB") + " ") * mb)
        f.flush()
        return _report(mb, Path(f.name), scrivlet.__all__)


def _report(mb, path, names):
    base, size, chars, _ = peak("", path)
    rows = [
        (f"{mb} MB of the mixed-script text ({size} bytes UTF-8, {chars} code points), "
        "each function in a fresh process."),
        "",
        "| function | peak bytes per input byte | kept on the caller's str, bytes per code point |",
        "|---|---|---|",
    ]
    for name in names:
        used, _, _, kept = peak(name, path)
        rows.append(f"| {name} | {max(0, used - base) / size:.2f} | {kept / chars:.2f} |")
    return "\n".join(rows)


if __name__ == "__main__":
    print(report(int(sys.argv[1]) if len(sys.argv) > 1 else 8))
