"""Calls every function on a small input set, for a run under valgrind memcheck
(`valgrind python tests/memcheck.py`): success paths and error paths."""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from calls import SAMPLE, call, error_calls, success_calls  # noqa: E402

for text in (SAMPLE, "", "a", "\u05d0", "\r\n", "ก" * 50):
    for job in success_calls(text):
        call(*job)
for name, args, kwargs, error in error_calls("ab"):
    try:
        call(name, args, kwargs)
    except error:
        pass
print("memcheck inputs done")
