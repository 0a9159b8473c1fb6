#!/usr/bin/env python3
"""Peak memory per input byte of every function, each measured in a fresh process.

    python bench/memory.py [megabytes, default 8]

The peak resident set of a process that builds the input and calls the function
once, less that of a process that only builds the input, divided by the input's
UTF-8 size. It counts the core's working buffers and the Python result.
"""

import subprocess
import sys

CHILD = """
import resource, sys
sys.path.insert(0, {bench!r})
from samples import LATIN, CJK, ARABIC_HEBREW, THAI, EMOJI
import scrivlet
mb = {mb}
unit = LATIN + CJK + ARABIC_HEBREW + THAI + EMOJI
text = unit * (mb * 1048576 // len(unit.encode()))
text.encode()  # the UTF-8 form is cached on the str, as the module would make it
name = {name!r}
if name:
    args = {{"truncate_graphemes": (10**9,), "truncate_display_width": (10**9,)}}.get(name, ())
    if name in ("move_left", "move_right", "move_left_visual", "move_right_visual", "select_word"):
        args = (len(text.encode()) // 2,)
    result = getattr(scrivlet, name)(text, *args)
print(resource.getrusage(resource.RUSAGE_SELF).ru_maxrss, len(text.encode()))
"""


def peak(name, mb, bench):
    out = subprocess.run([sys.executable, "-c", CHILD.format(name=name, mb=mb, bench=bench)],
                         capture_output=True, text=True, check=True).stdout.split()
    return int(out[0]) * 1024, int(out[1])


def main():
    import scrivlet
    from pathlib import Path

    mb = int(sys.argv[1]) if len(sys.argv) > 1 else 8
    bench = str(Path(__file__).resolve().parent)
    base, size = peak("", mb, bench)
    print(f"Peak memory per input byte, {mb} MB of mixed-script text ({size} bytes UTF-8):\n")
    print("| function | peak bytes per input byte |")
    print("|---|---|")
    for name in scrivlet.__all__:
        used, _ = peak(name, mb, bench)
        print(f"| {name} | {max(0, used - base) / size:.1f} |", flush=True)


if __name__ == "__main__":
    main()
