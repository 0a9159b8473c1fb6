"""Shared fixtures: a CMake build of the test-only targets (the hook module,
the C++ core tests and the C++ library), made once per session in a temporary
directory while the tests that do not need it run."""

import os
import shutil
import subprocess
import sys
import tempfile
import threading
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


class _NativeBuild:
    """The test-only targets, configured and built by a thread of their own in
    a temporary directory, so that the compiler works while other tests run."""

    def __init__(self, cmake):
        self.path = Path(tempfile.mkdtemp(prefix="scrivlet-native-"))
        self.error = None
        self._process = None
        self._stopped = False
        self._lock = threading.Lock()
        self._thread = threading.Thread(target=self._run, args=(cmake,), daemon=True)
        self._thread.start()

    def _step(self, command, env):
        with self._lock:
            if self._stopped:
                return False
            self._process = subprocess.Popen(
                command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, env=env
            )
        output, _ = self._process.communicate()
        if self._process.returncode != 0:
            self.error = output[-8000:] or f"exit status {self._process.returncode}"
            return False
        return True

    def _run(self, cmake):
        # The compilers must not inherit a sanitizer preload meant for the interpreter.
        env = {k: v for k, v in os.environ.items() if k not in ("LD_PRELOAD", "PYTHONMALLOC")}
        generator = ["-G", "Ninja"] if shutil.which("ninja") else []
        configure = cmake + [
            "-S", str(ROOT), "-B", str(self.path), *generator,
            f"-DPython_EXECUTABLE={sys.executable}",
            "-DSCRIVLET_BUILD_MODULE=ON", "-DSCRIVLET_TEST_HOOKS=ON", "-DSCRIVLET_BUILD_TESTS=ON",
        ]
        # The shipped module is the installed one: build only the test-only
        # copy, the core tests and the C++ library.
        targets = ["scrivlet_testhooks", "scrivlet_core_tests", "scrivlet"]
        # Every core, at a lower priority than the tests: the compilers take
        # what the tests leave, and all of it once they are done. nice(1), as
        # a threaded interpreter cannot safely lower it in the child itself.
        jobs = str(os.cpu_count() or 2)
        build = cmake + ["--build", str(self.path), "--parallel", jobs, "--target", *targets]
        if shutil.which("nice"):
            build = ["nice", "-n", "10", *build]
        try:
            if self._step(configure, env):
                self._step(build, env)
        except OSError as e:
            self.error = repr(e)

    def result(self):
        self._thread.join()
        assert self.error is None, self.error
        return self.path

    def stop(self):
        with self._lock:
            self._stopped = True
            if self._process is not None and self._process.poll() is None:
                self._process.kill()
        self._thread.join()
        shutil.rmtree(self.path, ignore_errors=True)


_native = None  # the build under way, once a collected test asks for it


def _can_build_native():
    """None, or why the test-only targets cannot be built here."""
    if os.name != "posix":
        return "the C++ test binary runs each test in a forked process: POSIX only"
    if _cmake() is None or shutil.which(os.environ.get("CXX", "c++")) is None:
        return "cmake and a C++ compiler are needed to build the test-only targets"
    return None


def pytest_collection_modifyitems(config, items):
    """The tests of the native build go last, and the build starts now."""
    global _native
    needing = [item for item in items if "native_build" in getattr(item, "fixturenames", ())]
    if not needing or _can_build_native() is not None:
        return
    others = [item for item in items if "native_build" not in getattr(item, "fixturenames", ())]
    items[:] = others + needing
    if _native is None:
        _native = _NativeBuild(_cmake())


def pytest_unconfigure(config):
    if _native is not None:
        _native.stop()


@pytest.fixture(scope="session")
def native_build():
    """Build directory holding testhooks/scrivlet*.so, scrivlet_core_tests and the C++ library."""
    global _native
    reason = _can_build_native()
    if reason is not None:
        pytest.skip(reason)
    if _native is None:
        _native = _NativeBuild(_cmake())
    return _native.result()


def run_python(code, path=None):
    """Run code in a fresh interpreter; path, if given, goes first on sys.path."""
    env = dict(os.environ)
    if path is not None:
        env["PYTHONPATH"] = str(path)
    return subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, env=env)
