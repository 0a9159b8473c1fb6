"""The C++ library, installed: a separate CMake project finds it with
find_package and uses it; pkg-config gives the flags that build the same
program; the install holds the public header and nothing internal."""

import os
import shutil
import subprocess

import pytest
from conftest import ROOT, _cmake

CONSUMER = ROOT / "tests" / "cpp_consumer"


@pytest.fixture(scope="module")
def installed(native_build, tmp_path_factory):
    prefix = tmp_path_factory.mktemp("prefix")
    subprocess.run(
        _cmake() + ["--install", str(native_build), "--prefix", str(prefix)],
        check=True, capture_output=True,
    )
    return prefix


def run(command, **kwargs):
    done = subprocess.run(command, capture_output=True, text=True, **kwargs)
    assert done.returncode == 0, done.stdout[-3000:] + done.stderr[-3000:]
    return done.stdout


def test_install_holds_the_public_header_library_and_package_files(installed):
    files = sorted(str(p.relative_to(installed)) for p in installed.rglob("*") if p.is_file())
    assert [f for f in files if f.startswith("include/")] == ["include/scrivlet/scrivlet.hpp"]
    names = {os.path.basename(f) for f in files}
    assert {"libscrivlet.a", "scrivletConfig.cmake", "scrivletConfigVersion.cmake",
            "scrivletTargets.cmake", "scrivlet.pc"} <= names
    assert not any(f.endswith(".so") or "python" in f for f in files)


def test_a_separate_cmake_project_finds_and_uses_the_library(installed, tmp_path):
    generator = ["-G", "Ninja"] if shutil.which("ninja") else []
    build = tmp_path / "consumer"
    run(_cmake() + ["-S", str(CONSUMER), "-B", str(build), *generator,
                    f"-DCMAKE_PREFIX_PATH={installed}"])
    run(_cmake() + ["--build", str(build)])
    assert run([str(build / "consumer")]).strip() == "consumer: ok"


def test_pkg_config_flags_build_the_same_program(installed, tmp_path):
    if shutil.which("pkg-config") is None:
        pytest.skip("pkg-config is not installed")
    (pc_dir,) = {p.parent for p in installed.rglob("scrivlet.pc")}
    env = dict(os.environ, PKG_CONFIG_PATH=str(pc_dir))
    flags = run(["pkg-config", "--cflags", "--libs", "scrivlet"], env=env).split()
    binary = tmp_path / "consumer"
    cxx = os.environ.get("CXX", "c++")
    run([cxx, "-std=c++20", str(CONSUMER / "main.cpp"), "-o", str(binary), *flags])
    assert run([str(binary)]).strip() == "consumer: ok"
