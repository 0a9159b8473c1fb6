"""The C++ test binary of the core (tests/native), for what Python cannot see:
dictionary loading per language, concurrent first use, internal failures.

Configures a fresh CMake build of the core alone, builds scrivlet_core_tests
and runs it.
"""

import os
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parent.parent


def _tool(name):
    found = shutil.which(name)
    if found:
        return found
    # The cmake and ninja wheels put their launchers beside the interpreter.
    beside = Path(sys.executable).parent / name
    return str(beside) if beside.exists() else None


def _have_cxx():
    return any(shutil.which(c) for c in (os.environ.get("CXX", ""), "c++", "g++", "clang++") if c)


@pytest.fixture(scope="module")
def core_tests(tmp_path_factory):
    cmake = _tool("cmake")
    if cmake is None or not _have_cxx():
        pytest.skip("cmake or a C++ compiler is not installed")
    build = tmp_path_factory.mktemp("native-build")
    configure = [
        cmake,
        "-S",
        str(ROOT),
        "-B",
        str(build),
        "-DCMAKE_BUILD_TYPE=Release",
        "-DSCRIVLET_BUILD_TESTS=ON",
        "-DSCRIVLET_BUILD_MODULE=OFF",
    ]
    ninja = _tool("ninja")
    if ninja:
        configure += ["-G", "Ninja", f"-DCMAKE_MAKE_PROGRAM={ninja}"]
    for step in (
        configure,
        [cmake, "--build", str(build), "--target", "scrivlet_core_tests", "--parallel", "2"],
    ):
        done = subprocess.run(step, check=False, capture_output=True, text=True)
        assert done.returncode == 0, f"{' '.join(step)}\n{done.stdout}\n{done.stderr}"
    return build / "scrivlet_core_tests"


def test_core_test_binary_passes(core_tests):
    done = subprocess.run(
        [str(core_tests)], check=False, capture_output=True, text=True, timeout=600
    )
    report = done.stdout + done.stderr
    assert done.returncode == 0, report
    assert "PASS" in done.stdout and "FAIL" not in done.stdout, report
