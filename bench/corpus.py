#!/usr/bin/env python3
"""Real text for the benchmarks, gathered at bench time from installed packages.

    python bench/corpus.py      print where each script's text comes from, and its sizes

Nobody here wrote any of it. Every script gets a pool of distinct strings from:

- translated program messages: the gettext catalogs (`.mo`) that Debian packages
  install under /usr/share/locale (apt, dpkg, coreutils, glib, gtk, iso-codes, ...;
  GPL/LGPL, read in place, never copied into the repository); their English
  originals (the msgids) are the English text;
- CLDR locale data through Babel (`babel`, BSD-3-Clause; the CLDR data under the
  Unicode License v3): names of languages, territories, scripts, currencies, units,
  months and days, as each locale writes them;
- Thai: titles of Thai Wikipedia pages shipped in `pythainlp` (CC-BY-SA-4.0);
- Lao: the Lao words of the Lao-English dictionary shipped in `laonlp` (MIT);
- emoji: every fully qualified sequence listed by the `emoji` package (BSD-3-Clause),
  ZWJ sequences, flags, keycaps and skin tones included.

Strings are kept when most of their letters are in the script; whitespace runs
become one space, and strings holding another control character are left out. A script's pool is shuffled the same way every run. A short
input is one string of 16 to 64 code points, ~1 KB is the first strings of the
pool joined by spaces, and ~1 MB the whole pool, then the pool reshuffled again
as often as needed: `distinct` in the table says how much of it differs.
The pools are cached in bench/.cache/ (delete it to rebuild).
"""

from __future__ import annotations

import csv
import gettext
import hashlib
import importlib.util
import json
import random
import sys
from dataclasses import dataclass, field
from pathlib import Path

HERE = Path(__file__).resolve().parent
CACHE = HERE / ".cache"
LOCALE_DIRS = [Path("/usr/share/locale"), Path("/usr/share/locale-langpack")]
KB = 1 << 10
MB = 1 << 20
SIZES = ("short", "1 KB", "1 MB")


def _ranges(*pairs):
    return tuple(pairs)


@dataclass(frozen=True)
class Script:
    name: str
    catalogs: tuple[str, ...] = ()  # gettext language folders
    cldr: tuple[str, ...] = ()  # Babel locales
    ranges: tuple[tuple[int, int], ...] = ()  # code point ranges of the script's letters
    extra: tuple[str, ...] = ()  # names of extra sources below
    latin_needs: str = ""  # for Latin-script languages: letters one string must hold


LATIN = _ranges((0x41, 0x5A), (0x61, 0x7A), (0xC0, 0x24F), (0x1E00, 0x1EFF))
SCRIPTS = [
    Script("English", cldr=("en",), ranges=_ranges((0x41, 0x5A), (0x61, 0x7A)),
           extra=("msgids",)),
    Script("French", ("fr",), ("fr",), LATIN, latin_needs="éèàçêôùâîœ"),
    Script("Vietnamese", ("vi",), ("vi",), LATIN, latin_needs="ăâđêôơưạảấầẩẫậắằẳẵặẹẻẽếềểễệ"),
    Script("Greek", ("el",), ("el",), _ranges((0x370, 0x3FF), (0x1F00, 0x1FFF))),
    Script("Cyrillic (Russian)", ("ru",), ("ru",), _ranges((0x400, 0x52F))),
    Script("Georgian", ("ka",), ("ka",), _ranges((0x10A0, 0x10FF), (0x1C90, 0x1CBF),
                                               (0x2D00, 0x2D2F))),
    Script("Hebrew", ("he",), ("he",), _ranges((0x590, 0x5FF), (0xFB1D, 0xFB4F))),
    Script("Arabic", ("ar",), ("ar",), _ranges((0x600, 0x6FF), (0x750, 0x77F), (0x8A0, 0x8FF),
                                             (0xFB50, 0xFDFF), (0xFE70, 0xFEFF))),
    Script("Devanagari (Hindi)", ("hi",), ("hi",), _ranges((0x900, 0x97F), (0xA8E0, 0xA8FF))),
    Script("Bengali", ("bn", "bn_IN"), ("bn",), _ranges((0x980, 0x9FF))),
    Script("Thai", ("th",), ("th",), _ranges((0xE00, 0xE7F)), extra=("pythainlp",)),
    Script("Lao", ("lo",), ("lo",), _ranges((0xE80, 0xEFF)), extra=("laonlp",)),
    Script("Khmer", ("km",), ("km",), _ranges((0x1780, 0x17FF), (0x19E0, 0x19FF))),
    Script("Myanmar", ("my",), ("my",), _ranges((0x1000, 0x109F), (0xA9E0, 0xA9FF),
                                               (0xAA60, 0xAA7F))),
    Script("Chinese", ("zh_CN", "zh_TW"), ("zh", "zh_Hant"),
           _ranges((0x3400, 0x4DBF), (0x4E00, 0x9FFF), (0x20000, 0x3FFFF))),
    Script("Japanese", ("ja",), ("ja",), _ranges((0x3040, 0x30FF), (0x3400, 0x4DBF),
                                               (0x4E00, 0x9FFF))),
    Script("Korean", ("ko",), ("ko",), _ranges((0xAC00, 0xD7AF), (0x1100, 0x11FF),
                                             (0x3130, 0x318F))),
    Script("emoji", extra=("emoji",)),
]
MIXED = "mixed"
NAMES = [s.name for s in SCRIPTS] + [MIXED]


def _clean(text: str) -> str:
    """Whitespace runs become one space; a string holding another control
    character (a bell in a terminal message) is dropped: wcwidth's answer for
    it is -1 at the first one, which would no longer be the same job."""
    if any(c < " " and not c.isspace() or c == "\x7f" for c in text):
        return ""
    return " ".join(text.split())


def _in_script(text: str, script: Script) -> bool:
    letters = [c for c in text if c.isalpha()]
    if len(letters) < 2:
        return False
    inside = sum(any(lo <= ord(c) <= hi for lo, hi in script.ranges) for c in letters)
    if inside * 10 < len(letters) * 7:
        return False
    return not script.latin_needs or any(c in script.latin_needs for c in text.lower())


def _catalogs(language: str):
    for root in LOCALE_DIRS:
        folder = root / language / "LC_MESSAGES"
        if folder.is_dir():
            yield from sorted(folder.glob("*.mo"))


def _read_catalog(path: Path) -> dict:
    try:
        with path.open("rb") as f:
            return gettext.GNUTranslations(f)._catalog
    except Exception:  # noqa: BLE001  (a catalog in a legacy charset or a damaged one: skipped)
        return {}


def _cldr_strings(locale: str) -> list[str]:
    try:
        from babel import Locale
    except ImportError:
        return []
    out: list[str] = []

    def walk(value):
        if isinstance(value, str):
            out.append(value)
        elif hasattr(value, "items"):
            for v in value.values():
                walk(v)
        elif isinstance(value, (list, tuple)):
            for v in value:
                walk(v)

    walk(Locale.parse(locale)._data)
    return out


def _package_file(package: str, *parts: str) -> Path | None:
    spec = importlib.util.find_spec(package)
    if spec is None or not spec.submodule_search_locations:
        return None
    path = Path(next(iter(spec.submodule_search_locations)), *parts)
    return path if path.exists() else None


def _extra(name: str) -> list[str]:
    if name == "msgids":
        seen: set[str] = set()
        for lang in ("fr", "de"):
            for path in _catalogs(lang):
                for key in _read_catalog(path):
                    seen.add(key[0] if isinstance(key, tuple) else key)
        return sorted(seen)
    if name == "pythainlp":
        path = _package_file("pythainlp", "corpus", "wikipedia_titles_th.txt")
        if not path:
            return []
        lines = path.read_text(encoding="utf-8").splitlines()
        # a deterministic sample: enough titles for a megabyte of distinct text
        return [s for s in lines[1::20] if s and not s.startswith("#")]
    if name == "laonlp":
        path = _package_file("laonlp", "corpus", "lao-eng-dictionary.csv")
        if not path:
            return []
        with path.open(encoding="utf-8") as f:
            return [row["LaoWord"] for row in csv.DictReader(f) if row.get("LaoWord")]
    if name == "emoji":
        try:
            import emoji
        except ImportError:
            return []
        sequences = [e for e, d in emoji.EMOJI_DATA.items() if d.get("status") == 2]
        # chat-like runs of one to four emoji
        rng = random.Random("emoji")
        out, i = [], 0
        while i < len(sequences):
            n = rng.randint(1, 4)
            out.append("".join(sequences[i : i + n]))
            i += n
        return out
    raise ValueError(name)


@dataclass
class Pool:
    name: str
    strings: list[str]
    sources: dict[str, int] = field(default_factory=dict)  # source -> strings kept


def _gather(script: Script) -> Pool:
    kept: dict[str, str] = {}  # string -> its source

    def add(source: str, strings, check=True):
        for s in strings:
            s = _clean(s)
            if s and s not in kept and (not check or _in_script(s, script)):
                kept[s] = source

    for lang in script.catalogs:
        for path in _catalogs(lang):
            strings = []
            for key, value in _read_catalog(path).items():
                msgid = key[0] if isinstance(key, tuple) else key
                if msgid and value and value != msgid:
                    strings.append(value)
            add(f"gettext {path.stem}", strings)
    for locale in script.cldr:
        add("CLDR (Babel)", _cldr_strings(locale))
    for name in script.extra:
        add(name, _extra(name), check=name != "emoji")
    strings = sorted(kept)
    random.Random(script.name).shuffle(strings)
    sources: dict[str, int] = {}
    for s in strings:
        label = kept[s]
        label = "gettext catalogs" if label.startswith("gettext") else label
        sources[label] = sources.get(label, 0) + 1
    return Pool(script.name, strings, sources)


def _fingerprint() -> str:
    h = hashlib.sha256(Path(__file__).read_bytes())
    for script in SCRIPTS:
        for lang in script.catalogs:
            for path in _catalogs(lang):
                h.update(f"{path}:{path.stat().st_size}".encode())
    for package in ("babel", "pythainlp", "laonlp", "emoji"):
        spec = importlib.util.find_spec(package)
        h.update(f"{package}:{spec.origin if spec else None}".encode())
    return h.hexdigest()[:16]


_POOLS: dict[str, Pool] | None = None


def pools() -> dict[str, Pool]:
    """Every script's pool, from the cache when the sources have not changed."""
    global _POOLS
    if _POOLS is not None:
        return _POOLS
    cache = CACHE / f"corpus-{_fingerprint()}.json"
    if cache.exists():
        data = json.loads(cache.read_text(encoding="utf-8"))
        _POOLS = {k: Pool(k, v["strings"], v["sources"]) for k, v in data.items()}
        return _POOLS
    found = {script.name: _gather(script) for script in SCRIPTS}
    # the mixed text: one string of every script in turn
    mixed: list[str] = []
    longest = max(len(p.strings) for p in found.values())
    for i in range(longest):
        for p in found.values():
            if i < len(p.strings):
                mixed.append(p.strings[i])
    found[MIXED] = Pool(MIXED, mixed, {"one string of every script in turn": len(mixed)})
    CACHE.mkdir(exist_ok=True)
    for old in CACHE.glob("corpus-*.json"):
        old.unlink()
    cache.write_text(
        json.dumps({k: {"strings": p.strings, "sources": p.sources} for k, p in found.items()},
                   ensure_ascii=False),
        encoding="utf-8",
    )
    _POOLS = found
    return found


def _joined(strings: list[str], size: int, seed: str) -> str:
    parts, total, rng, order = [], 0, random.Random(seed), list(strings)
    while total < size:
        for s in order:
            parts.append(s)
            total += len(s.encode()) + 1
            if total >= size:
                break
        rng.shuffle(order)
    return " ".join(parts)


_TEXTS: dict[tuple[str, str], str] = {}


def text(script: str, size: str) -> str | None:
    """The input of that script and size ("short", "1 KB" or "1 MB"), or None
    when no installed source has text in that script."""
    key = (script, size)
    if key not in _TEXTS:
        pool = pools()[script].strings
        if not pool:
            return None
        if size == "short" and script == MIXED:
            # short strings of several scripts in a row
            picked, total = [], 0
            for s in (s for s in pool if len(s) <= 16):
                picked.append(s)
                total += len(s) + 1
                if total >= 40:
                    break
            _TEXTS[key] = " ".join(picked)
        elif size == "short":
            _TEXTS[key] = next((s for s in pool if 16 <= len(s) <= 64), pool[0])
        else:
            _TEXTS[key] = _joined(pool, KB if size == "1 KB" else MB, script)
    return _TEXTS[key]


def inputs(sizes=SIZES, scripts=None):
    """(label, script, size, text) for every script and size that has text."""
    for size in sizes:
        for name in scripts or NAMES:
            t = text(name, size)
            if t is not None:
                yield f"{name}, {size}", name, size, t


def describe() -> str:
    rows = [
        "| script | strings | distinct text | sources (strings kept) | short input |",
        "|---|---|---|---|---|",
    ]
    for name, pool in pools().items():
        distinct = sum(len(s.encode()) + 1 for s in pool.strings)
        sources = ", ".join(f"{k} {v}" for k, v in pool.sources.items()) or "none installed"
        short = text(name, "short") or ""
        rows.append(
            f"| {name} | {len(pool.strings)} | {distinct / KB:.0f} KB | {sources} "
            f"| {short.replace('|', '¦')} |"
        )
    return "\n".join(rows)


if __name__ == "__main__":
    sys.stdout.reconfigure(encoding="utf-8")
    print(describe())
