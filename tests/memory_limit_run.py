"""Run by test_memory_limit.py in a fresh interpreter: every function under
address-space limits tight enough to fail inside it, in the main thread and in
fresh threads. Prints one line per call with its outcome: "ok" for the right
result, otherwise the exception's type and message; the process must survive
all of them."""

import ctypes
import resource
import sys
import threading

# glibc raises its mmap threshold after a large block is freed and then serves
# later large blocks from the freed heap, so whether a limit bites would depend
# on the calls made before: a fixed threshold keeps every large block mapped
# on its own, and the limits bite the same way whatever ran first.
M_MMAP_THRESHOLD = -3
try:
    ctypes.CDLL(None).mallopt(M_MMAP_THRESHOLD, 128 * 1024)
except (AttributeError, OSError):
    pass

import scrivlet
from calls import success_calls

UNIT = "ab Grüße 東京 👍🏽 שלום ภาษาไทยง่าย e\u0301 "
TEXT = UNIT * ((1 << 20) // len(UNIT.encode()))
CALLS = [
    (
        name,
        (TEXT,) + args[1:]
        if len(args) == 1 or isinstance(args[1], str)
        else (TEXT, len(TEXT.encode()) // 2),
    )
    for name, args, _ in success_calls()
]
EXPECTED = {name: getattr(scrivlet, name)(*args) for name, args in CALLS}


def address_space():
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith("VmSize:"):
                return int(line.split()[1]) * 1024
    raise RuntimeError("no VmSize")


def outcome(name, args):
    try:
        result = getattr(scrivlet, name)(*args)
    except BaseException as e:  # noqa: BLE001 - the type is what is being checked
        return f"{type(e).__qualname__}: {e}"
    return "ok" if result == EXPECTED[name] else f"wrong result: {result!r:.60}"


def release_free_heap():
    """Returns the allocator's free memory to the system (glibc), so that the
    room a limit leaves does not depend on what earlier calls freed."""
    try:
        ctypes.CDLL(None).malloc_trim(0)
    except (OSError, AttributeError):
        pass


def limited(margin, run, *args):
    release_free_heap()
    resource.setrlimit(resource.RLIMIT_AS, (address_space() + margin, resource.RLIM_INFINITY))
    try:
        return run(*args)
    finally:
        resource.setrlimit(resource.RLIMIT_AS, (resource.RLIM_INFINITY, resource.RLIM_INFINITY))


def in_fresh_thread(name, args):
    box = []
    thread = threading.Thread(target=lambda: box.append(outcome(name, args)))
    thread.start()
    thread.join()
    return box[0] if box else "the thread did not report"


# Room for the call's own memory; a fresh thread gets 8 MB more for its stack.
for margin_mb in (1, 3, 6):
    for name, args in CALLS:
        for where in ("main", "thread"):
            try:
                if where == "main":
                    got = limited(margin_mb << 20, outcome, name, args)
                else:
                    got = limited((margin_mb + 8) << 20, in_fresh_thread, name, args)
            except RuntimeError:  # the thread itself could not start under this limit
                continue
            print(margin_mb, name, where, got, flush=True)
sys.exit(0)
