"""Line breaking with dictionary segmentation (Thai, Lao, Khmer, Myanmar).

Steady state: CASES, timed by run.py with every dictionary already loaded.
First call (the word list load) and the memory a loaded dictionary costs are
measured in fresh interpreters by running this file directly:

    python bench/bench_dictionary.py

Peers: ICU's line break iterator through PyICU (the iterator is created once
per language and reused, as a caller would) and through icu4py; ICU segments
these scripts with dictionaries of the same kind. For Thai also pythainlp's
default word tokenizer (newmm).
"""

from __future__ import annotations

import random
import subprocess
import sys
from pathlib import Path

import scrivlet
from run import Case, optional

icu = optional("icu")  # PyICU
icu4py_breakers = optional("icu4py.breakers")
icu4py_locale = optional("icu4py.locale")
pythainlp_tokenize = optional("pythainlp.tokenize")

WORDLISTS = Path(__file__).resolve().parent.parent / "src" / "linebreak"

# A few sentences written for this benchmark (about the scripts themselves).
SENTENCES = {
    "thai": "ภาษาไทยเป็นภาษาที่ไม่มีการเว้นวรรคระหว่างคำ การตัดคำจึงต้องใช้พจนานุกรม "
    "โปรแกรมจัดหน้าจะหาตำแหน่งที่ขึ้นบรรทัดใหม่ได้จากคำที่รู้จัก",
    "lao": "ພາສາລາວບໍ່ມີການຍະຫວ່າງລະຫວ່າງຄຳ ຈຶ່ງຕ້ອງໃຊ້ວັດຈະນານຸກົມໃນການຕັດຄຳ "
    "ໂປຣແກຣມຈັດໜ້າຈະຊອກຫາບ່ອນຂຶ້ນແຖວໃໝ່ຈາກຄຳທີ່ຮູ້ຈັກ",
    "khmer": "ភាសាខ្មែរមិនមានដកឃ្លារវាងពាក្យទេ។ ដូច្នេះការកាត់ពាក្យត្រូវការវចនានុក្រម។ "
    "កម្មវិធីរៀបចំទំព័ររកកន្លែងចុះបន្ទាត់ពីពាក្យដែលវាស្គាល់។",
    "myanmar": "မြန်မာဘာသာစကားတွင် စကားလုံးများကြားတွင် နေရာလွတ်မရှိပါ။ ထို့ကြောင့် စကားလုံးခွဲရန် အဘိဓာန်လိုအပ်သည်။",
}
# Sentence ends and the ICU locale of each language.
FULL_STOP = {"thai": " ", "lao": " ", "khmer": "។ ", "myanmar": "။ "}
LOCALE = {"thai": "th", "lao": "lo", "khmer": "km", "myanmar": "my"}


def prose(lang: str, size: int) -> str:
    """About size bytes: the written sentences, then sentences of 4 to 12
    listed words written together, a comma or a space here and there."""
    words = (WORDLISTS / f"{lang}.txt").read_text(encoding="utf-8").split()
    words = [w for w in words if "\u200c" not in w and "\u200d" not in w]
    rng = random.Random(lang)
    parts = [SENTENCES[lang], " "]
    total = len(SENTENCES[lang].encode())
    while total < size:
        n = rng.randint(4, 12)
        sentence = "".join(
            rng.choice(words) + (" " if rng.random() < 0.1 else "") for _ in range(n)
        )
        parts.append(sentence.rstrip() + FULL_STOP[lang])
        total += len(parts[-1].encode())
    return "".join(parts)


def _pyicu_breaks(lang):
    if icu is None:
        return None
    bi = icu.BreakIterator.createLineInstance(icu.Locale(LOCALE[lang]))

    def breaks(text):
        bi.setText(text)
        return list(bi)

    return breaks


def _icu4py_segments(lang):
    if icu4py_breakers is None or icu4py_locale is None:
        return None
    locale = icu4py_locale.Locale(LOCALE[lang])
    return lambda text: list(icu4py_breakers.LineBreaker(text, locale))


INPUTS = []
for _lang, _sentence in SENTENCES.items():
    INPUTS.append((_lang, f"{_lang.capitalize()} sentence", _sentence))
    INPUTS.append((_lang, f"{_lang.capitalize()} prose, 20 KB", prose(_lang, 20_000)))

CASES = []
for lang, name, text in INPUTS:
    peers = {"PyICU": None, "icu4py": None, "pythainlp": None}
    for peer, make in (("PyICU", _pyicu_breaks), ("icu4py", _icu4py_segments)):
        fn = make(lang)
        if fn:
            peers[peer] = lambda t=text, f=fn: f(t)
    if lang == "thai" and pythainlp_tokenize:
        peers["pythainlp"] = lambda t=text: pythainlp_tokenize.word_tokenize(t)
    CASES.append(
        Case(
            "line_break_opportunities_with_dictionary",
            name,
            len(text.encode()),
            lambda t=text: scrivlet.line_break_opportunities_with_dictionary(t),
            peers,
        )
    )


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
        [sys.executable, "-c", code, LOCALE[lang], SENTENCES[lang]],
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
            "| language | library | first call (loads the list), CPU | second call, CPU "
            "| heap grown by the first call | file pages mapped by it |"
        ),
        "|---|---|---|---|---|---|",
    ]
    for lang in SENTENCES:
        libraries = ["scrivlet"]
        if icu:
            libraries.append("PyICU")
        if icu4py_breakers and icu4py_locale:
            libraries.append("icu4py")
        if lang == "thai" and pythainlp_tokenize:
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
    sys.path.insert(0, str(Path(__file__).resolve().parent))
    print(report())
