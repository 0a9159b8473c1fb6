"""The installed distribution as its users' tools see it: stubs that mypy finds
and that agree with the module, and a strict client that type-checks."""

import os
import re
import subprocess
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parent.parent

# The stubs are checked by the plain run; under a sanitizer mypy itself would be
# the thing instrumented, for minutes and to no purpose.
needs_mypy = pytest.mark.skipif(
    os.environ.get("SCRIVLET_SANITIZED") == "1", reason="type checks run in the plain build"
)


def _mypy(module, *args, cwd):
    return subprocess.run(
        [sys.executable, "-m", module, *args], check=False, capture_output=True, text=True, cwd=cwd
    )


@needs_mypy
def test_stubs_agree_with_the_module(tmp_path):
    done = _mypy("mypy.stubtest", "scrivlet", cwd=tmp_path)
    assert done.returncode == 0, done.stdout + done.stderr


@needs_mypy
def test_strict_client_type_checks_but_for_its_one_misuse(tmp_path):
    client = ROOT / "tests" / "typing_client.py"
    done = _mypy(
        "mypy", "--strict", "--cache-dir", str(tmp_path / "cache"), str(client), cwd=tmp_path
    )
    errors = re.findall(r"typing_client\.py:(\d+): error: (.*)", done.stdout)
    misuse = next(
        n
        for n, line in enumerate(client.read_text().splitlines(), 1)
        if "deliberate misuse" in line
    )
    assert len(errors) == 1, done.stdout + done.stderr
    line, message = errors[0]
    assert int(line) == misuse and '"display_width"' in message and "[arg-type]" in message

