"""Compile and load bench/floor.c: the C loop that builds a result's objects again.

Compiled on first use with the interpreter's own compiler and flags (sysconfig),
cached in bench/.build/ under a name that changes with the source and the
interpreter. Not part of the package.
"""

from __future__ import annotations

import hashlib
import importlib.util
import shlex
import subprocess
import sys
import sysconfig
from pathlib import Path

HERE = Path(__file__).resolve().parent
SOURCE = HERE / "floor.c"
BUILD = HERE / ".build"


def _compile(target: Path) -> None:
    cfg = sysconfig.get_config_var
    cc = shlex.split(cfg("CC") or "cc")
    flags = shlex.split(cfg("CFLAGS") or "") + shlex.split(cfg("CCSHARED") or "-fPIC")
    ldshared = shlex.split(cfg("LDSHARED") or "cc -shared")
    include = sysconfig.get_paths()["include"]
    target.parent.mkdir(exist_ok=True)
    obj = target.with_suffix(".o")
    subprocess.run([*cc, *flags, f"-I{include}", "-c", str(SOURCE), "-o", str(obj)],
                   check=True)
    subprocess.run([*ldshared, str(obj), "-o", str(target)], check=True)
    obj.unlink()


def load():
    """The compiled module (prepare, build), or None when no C compiler works."""
    key = hashlib.sha256(SOURCE.read_bytes() + sys.version.encode()).hexdigest()[:12]
    target = BUILD / f"_floor_{key}{sysconfig.get_config_var('EXT_SUFFIX')}"
    if not target.exists():
        try:
            _compile(target)
        except (OSError, subprocess.CalledProcessError) as e:
            print(f"floor: cannot compile {SOURCE.name} ({e}); floors skipped", file=sys.stderr)
            return None
    spec = importlib.util.spec_from_file_location("_floor", target)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module
