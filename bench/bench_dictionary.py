"""Line breaking with dictionary segmentation (Thai, Lao, Khmer, Myanmar).

Steady state: CASES, timed by run.py with every dictionary already loaded, on
real text of each script (bench/corpus.py). First call (the word list load) and
the memory a loaded dictionary costs are measured in fresh interpreters by
`python bench/run.py --first-call`, or by running this file directly.

Peers: ICU's line break iterator through PyICU (the iterator is created once
per language and reused, as a caller would) and through icu4py; ICU segments
these scripts with dictionaries of the same kind. For Thai also pythainlp's
default word tokenizer (newmm).
"""

from __future__ import annotations

import subprocess
import sys

import corpus
import scrivlet
from cases import SKIP, Case, Peer, optional, small

icu = optional("icu")  # PyICU
icu4py_breakers = optional("icu4py.breakers")
icu4py_locale = optional("icu4py.locale")
pythainlp_tokenize = optional("pythainlp.tokenize")

LOCALE = {"Thai": "th", "Lao": "lo", "Khmer": "km", "Myanmar": "my"}
# A first call: one real string of the script (the short input).
SENTENCES = {}


def _sentence(script):
    if script not in SENTENCES:
        SENTENCES[script] = corpus.text(script, "short")
    return SENTENCES[script]


def _pyicu_breaks(script):
    if icu is None:
        return None
    bi = icu.BreakIterator.createLineInstance(icu.Locale(LOCALE.get(script, "en")))

    def breaks(text):
        bi.setText(text)
        return list(bi)

    return Peer(breaks, note="returns the positions without their kinds (ints, not pairs)")


def _icu4py_segments(script):
    if icu4py_breakers is None or icu4py_locale is None:
        return None
    locale = icu4py_locale.Locale(LOCALE.get(script, "en"))
    return Peer(lambda text: list(icu4py_breakers.LineBreaker(text, locale).segments()),
                note="returns (start, end) pairs")


def peers(script, text):
    found = {"PyICU": _pyicu_breaks(script), "icu4py": _icu4py_segments(script)}
    if script == "Thai":
        found["pythainlp"] = (
            Peer(pythainlp_tokenize.word_tokenize, note="pure Python (newmm); returns the words")
            if small(text) else SKIP) if pythainlp_tokenize else None
    return {k: v for k, v in found.items() if v is not SKIP}


CASES = [
    Case("line_break_opportunities_with_dictionary", script, size, text,
         scrivlet.line_break_opportunities_with_dictionary, peers=peers(script, text))
    for _, script, size, text in corpus.inputs(scripts=list(LOCALE) + [corpus.MIXED])
    if script in LOCALE or size != "short"
]


# --- first call and memory, each in a fresh interpreter ---------------------

_PROBE = r"""
import sys, time
def rss():
    # Anonymous (heap) and file-backed resident memory, in bytes.
    with open("/proc/self/status") as f:
        kb = {k: int(v.split()[0]) for k, v in (line.split(":", 1) for line in f)
              if k in ("RssAnon", "RssFile")}
    return (kb["RssAnon"] * 1024, kb["RssFile"] * 1024)
text = sys.argv[2]
{setup}
warm()  # what any first call costs (code pages, shared tables), apart from the dictionary
before = rss()
# CPU time of this thread (user and system, page faults included): what the
# call costs, whatever else the machine is doing.
start = time.thread_time()
first()
first_time = time.thread_time() - start
after = rss()
start = time.thread_time()
first()
second_time = time.thread_time() - start
print(first_time, second_time, after[0] - before[0], after[1] - before[1])
"""

_SETUPS = {
    "scrivlet": "import scrivlet\n"
    "def warm(): scrivlet.line_break_opportunities_with_dictionary('warm up, (1)')\n"
    "def first(): scrivlet.line_break_opportunities_with_dictionary(text)",
    "icu4py": "import icu4py.breakers as b, icu4py.locale as l\n"
    "def warm(): list(b.LineBreaker('warm up, (1)', l.Locale('en')))\n"
    "def first(): list(b.LineBreaker(text, l.Locale(sys.argv[1])))",
    "PyICU": "import icu\n"
    "def warm():\n"
    "    bi = icu.BreakIterator.createLineInstance(icu.Locale('en'))\n"
    "    bi.setText('warm up, (1)'); list(bi)\n"
    "def first():\n"
    "    bi = icu.BreakIterator.createLineInstance(icu.Locale(sys.argv[1]))\n"
    "    bi.setText(text); list(bi)",
    "pythainlp": "from pythainlp.tokenize import word_tokenize\n"
    "def warm(): pass  # any call would load its dictionary\n"
    "def first(): word_tokenize(text)",
}


def first_call(library: str, lang: str) -> tuple[float, float, int, int] | None:
    code = _PROBE.replace("{setup}", _SETUPS[library])
    done = subprocess.run(
        [sys.executable, "-c", code, LOCALE[lang], _sentence(lang)],
        check=False,
        capture_output=True,
        text=True,
    )
    if done.returncode != 0:
        return None
    first, second, heap, mapped = done.stdout.split()
    return float(first), float(second), int(heap), int(mapped)


def report() -> str:
    from run import fmt_time

    rows = [
        (
            "| script | library | first call (loads the list), CPU | second call, CPU "
            "| heap grown by the first call | file pages mapped by it |"
        ),
        "|---|---|---|---|---|---|",
    ]
    for lang in LOCALE:
        libraries = ["scrivlet"]
        if icu:
            libraries.append("PyICU")
        if icu4py_breakers and icu4py_locale:
            libraries.append("icu4py")
        if lang == "Thai" and pythainlp_tokenize:
            libraries.append("pythainlp")
        for library in libraries:
            best = None
            for _ in range(5):
                got = first_call(library, lang)
                if got and (best is None or got[0] < best[0]):
                    best = got
            if best is None:
                rows.append(f"| {lang} | {library} | fails | | | |")
                continue
            first, second, heap, mapped = best
            rows.append(
                f"| {lang} | {library} | {fmt_time(first)} | {fmt_time(second)} "
                f"| {heap / 2**20:.1f} MiB | {mapped / 2**20:.1f} MiB |"
            )
    return "\n".join(rows)


if __name__ == "__main__":
    print(report())
