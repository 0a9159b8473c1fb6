#!/usr/bin/env python3
"""Generate scrivlet's character tables in src/data/ from the Unicode Character Database.

    python tools/gen_tables.py UCD_DIR           write the tables
    python tools/gen_tables.py UCD_DIR --check   fail if the committed tables differ

Each module of tools/ucdgen/ (other than common) contributes one group of
tables through its generate(ucd) function, which returns {file name: text}
for files under src/data/ and asserts every count it knows.
"""

from __future__ import annotations

import argparse
import importlib
import pkgutil
import sys
from pathlib import Path

TOOLS = Path(__file__).resolve().parent
ROOT = TOOLS.parent
DATA = ROOT / "src" / "data"
sys.path.insert(0, str(TOOLS))

from ucdgen.common import Ucd  # noqa: E402


def table_modules():
    import ucdgen

    for info in sorted(pkgutil.iter_modules(ucdgen.__path__), key=lambda m: m.name):
        if info.name != "common":
            yield importlib.import_module(f"ucdgen.{info.name}")


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("ucd", type=Path, help="the UCD directory (version 17.0.0)")
    parser.add_argument("--check", action="store_true", help="compare instead of writing")
    args = parser.parse_args(argv)

    ucd = Ucd(args.ucd)
    outputs: dict[str, str] = {}
    for module in table_modules():
        for name, text in module.generate(ucd).items():
            assert name not in outputs, f"{name} is generated twice"
            outputs[name] = text

    stale = []
    for name, text in sorted(outputs.items()):
        path = DATA / name
        if args.check:
            if not path.exists() or path.read_text(encoding="utf-8") != text:
                stale.append(name)
        else:
            path.write_text(text, encoding="utf-8")
            print(f"wrote src/data/{name}")
    if stale:
        print("tables differ from what the generator writes: " + ", ".join(stale), file=sys.stderr)
        return 1
    if args.check:
        print(f"{len(outputs)} generated files are up to date")
    return 0


if __name__ == "__main__":
    sys.exit(main())
