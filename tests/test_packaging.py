"""The installed distribution as its users' tools see it: stubs that mypy finds
and that agree with the module, a strict client that type-checks, and metadata
that agrees with the build and the README."""

import importlib.machinery
import importlib.metadata
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


def test_distribution_metadata_and_layout():
    try:
        dist = importlib.metadata.distribution("scrivlet")
    except importlib.metadata.PackageNotFoundError:
        pytest.skip("scrivlet is not installed as a distribution")
    cmake = (ROOT / "CMakeLists.txt").read_text()
    assert dist.version == re.search(r"project\(scrivlet VERSION (\S+)", cmake).group(1)
    # The README states the same license as the metadata.
    assert f"`{dist.metadata['License-Expression']}`" in (ROOT / "README.md").read_text()
    files = {f.as_posix() for f in dist.files}
    assert "scrivlet-stubs/__init__.pyi" in files
    # Nothing loose at the top of site-packages but the extension module itself.
    top = [f for f in files if "/" not in f]
    assert len(top) == 1 and top[0].startswith("scrivlet."), top
    assert any(top[0].endswith(suffix) for suffix in importlib.machinery.EXTENSION_SUFFIXES)
    licenses = sorted(f.split("/licenses/", 1)[1] for f in files if "/licenses/" in f)
    assert licenses == ["LICENSE", "NOTICE", "src/linebreak/LICENSE"]
