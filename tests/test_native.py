"""The C++ test binary of the core (tests/native), for what Python cannot see:
word lists loaded once per language and only for the scripts met, concurrent
first use from several threads, the list loader's line handling.

The binary comes from the session's fresh CMake build (the native_build
fixture); the test runs it and expects every case to pass.
"""

import os
import subprocess


def test_core_test_binary_passes(native_build):
    binary = native_build / "scrivlet_core_tests"
    assert binary.exists(), "scrivlet_core_tests was not built"
    # A sanitizer preload meant for the interpreter has no business here.
    env = {k: v for k, v in os.environ.items() if k not in ("LD_PRELOAD", "PYTHONMALLOC")}
    done = subprocess.run(
        [str(binary)], check=False, capture_output=True, text=True, timeout=600, env=env
    )
    report = done.stdout + done.stderr
    assert done.returncode == 0, report
    assert " 0 failed" in done.stdout, report
