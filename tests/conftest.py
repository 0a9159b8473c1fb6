"""Shared fixtures: a CMake build of the test-only targets (the hook module and
the C++ core tests), configured once per session in a temporary directory."""

import os
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parent.parent


def _cmake():
    found = shutil.which("cmake")
    if found:
        return [found]
    try:
        import cmake  # noqa: F401  (the PyPI package ships the binary)
    except ImportError:
        return None
    return [sys.executable, "-m", "cmake"]


@pytest.fixture(scope="session")
def native_build(tmp_path_factory):
    """Build directory holding testhooks/scrivlet*.so, scrivlet_core_tests and the C++ library."""
    if os.name != "posix":
        pytest.skip("the C++ test binary runs each test in a forked process: POSIX only")
    cmake = _cmake()
    if cmake is None or shutil.which(os.environ.get("CXX", "c++")) is None:
        pytest.skip("cmake and a C++ compiler are needed to build the test-only targets")
    build = tmp_path_factory.mktemp("native")
    # The compilers must not inherit a sanitizer preload meant for the interpreter.
    env = {k: v for k, v in os.environ.items() if k not in ("LD_PRELOAD", "PYTHONMALLOC")}
    generator = ["-G", "Ninja"] if shutil.which("ninja") else []
    subprocess.run(
        cmake
        + ["-S", str(ROOT), "-B", str(build), *generator,
           f"-DPython_EXECUTABLE={sys.executable}",
           "-DSCRIVLET_BUILD_MODULE=ON", "-DSCRIVLET_TEST_HOOKS=ON", "-DSCRIVLET_BUILD_TESTS=ON"],
        check=True, capture_output=True, env=env,
    )
    # The shipped module is the installed one: build only the test-only copy,
    # the core tests and the C++ library.
    targets = ["scrivlet_testhooks", "scrivlet_core_tests", "scrivlet"]
    done = subprocess.run(
        cmake + ["--build", str(build), "--target", *targets], capture_output=True, text=True, env=env
    )
    assert done.returncode == 0, done.stdout[-4000:] + done.stderr[-4000:]
    return build


def run_python(code, path=None):
    """Run code in a fresh interpreter; path, if given, goes first on sys.path."""
    env = dict(os.environ)
    if path is not None:
        env["PYTHONPATH"] = str(path)
    return subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, env=env)
