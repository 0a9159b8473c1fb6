"""bidi_resolve against GNU FriBidi, an independent implementation of UAX #9.

FriBidi is called through ctypes on thousands of random texts (fixed seed).
The texts avoid the places where scrivlet deliberately differs from the
standard, and the faults of FriBidi 1.0.8 found by this test:

- no paragraph separators (class B): scrivlet keeps the whole text one
  paragraph (no P1), FriBidi starts a new one after each;
- assigned characters only, all of them old enough for FriBidi's Unicode
  version (10.0), and each checked to have the same class in both (POOL);
- levels of code points removed by X9 are not compared: scrivlet reports
  them as removed (255), FriBidi gives them a level of its own choosing;
- no fullwidth parentheses and no U+2329/U+232A (BD16): FriBidi pairs
  U+FF08/U+FF09 with U+0028/U+0029, compatibility equivalents that BD16 does
  not take, and does not pair U+2329 with U+3009 nor U+3008 with U+232A,
  canonical equivalents that BD16 does take;
- no isolate initiator after a PDI that closed an isolate: FriBidi carries
  the context of W1, W2 and W7 (the last strong class) from one isolate into
  the next at the same depth, where each isolating run sequence starts afresh
  from its sos (X10); and its FSI look-ahead (X5c) runs past the matching PDI
  into later isolates;
- no isolate initiator that overflows (isolates nest at most 60 deep, and
  none are added inside deep embeddings): an overflowed initiator starts no
  isolate and is an ordinary neutral of its level run (X5a-X5c, N1), but
  FriBidi resolves it as if it ended its isolating run sequence;
- no brackets in texts with embeddings or overrides (N0): FriBidi's look-back
  for the context of a bracket pair runs past the start of the isolating run
  sequence into earlier level runs, where it must stop at sos;
- no bracket right after a combining mark, and the marks after a bracket are
  followed by a letter (BD16, N0): FriBidi merges marks that W1 made ON with
  the neutrals beside them, so that a closing bracket after such a mark is
  not paired, and the class N0 gives to the marks after a bracket spreads to
  the neutrals that follow them.
"""

import ctypes
import random
import unicodedata

import pytest
import scrivlet

try:
    FRIBIDI = ctypes.CDLL("libfribidi.so.0")
except OSError:
    FRIBIDI = None

pytestmark = pytest.mark.skipif(FRIBIDI is None, reason="libfribidi.so.0 cannot be loaded")

SEED = 20260707
TEXTS = 5000

# Characters by class, all from Unicode 6.0 or older.
CANDIDATES = {
    "L": "abcxyzABCé中ßαक",
    "R": "\u05d0\u05d1\u05d2\u05ea\u07c0",
    "AL": "\u0628\u0627\u062a\u0710\u0780",
    "EN": "0123456789\u06f0\u06f9\u00b2",
    "ES": "+-\u2212\u207a",
    "ET": "#$%\u00b0\u00a2\u20ac\u2030",
    "AN": "\u0660\u0661\u0669\u066b\u066c\u0600",
    "CS": ",./:\u00a0\u060c",
    "NSM": "\u0300\u0301\u05b0\u064b\u20d0",
    "BN": "\u200b\u00ad\ufeff\u0001",
    "S": "\t\u001f",
    "WS": " \u2000\u000c",
    "ON": "!\"&'*;<=>?@~\u00a1\u2018",
    "brackets": "()[]{}\u3008\u3009\u0f3a\u0f3b\u2045\u2046\u2983\u2984",
    "explicit": "\u202a\u202b\u202c\u202d\u202e",
    "isolates": "\u2066\u2067\u2068\u2069",
}
WEIGHTS = {
    "L": 10, "R": 8, "AL": 5, "EN": 6, "ES": 2, "ET": 2, "AN": 3, "CS": 3, "NSM": 3,
    "BN": 1, "S": 1, "WS": 5, "ON": 3, "brackets": 6, "explicit": 3, "isolates": 4,
}  # fmt: skip

FRIBIDI_NAMES = {"LTR": "L", "RTL": "R", "BS": "B", "SS": "S"}


def setup_fribidi():
    lib = FRIBIDI
    u32p = ctypes.POINTER(ctypes.c_uint32)
    lib.fribidi_get_bidi_types.argtypes = [u32p, ctypes.c_int, u32p]
    lib.fribidi_get_bidi_types.restype = None
    lib.fribidi_get_bracket_types.argtypes = [u32p, ctypes.c_int, u32p, u32p]
    lib.fribidi_get_bracket_types.restype = None
    lib.fribidi_get_par_embedding_levels_ex.argtypes = [
        u32p,
        u32p,
        ctypes.c_int,
        u32p,
        ctypes.POINTER(ctypes.c_int8),
    ]
    lib.fribidi_get_par_embedding_levels_ex.restype = ctypes.c_int8
    lib.fribidi_get_bidi_type_name.argtypes = [ctypes.c_uint32]
    lib.fribidi_get_bidi_type_name.restype = ctypes.c_char_p
    return lib


def fribidi_types(text):
    n = len(text)
    chars = (ctypes.c_uint32 * n)(*map(ord, text))
    types = (ctypes.c_uint32 * n)()
    FRIBIDI.fribidi_get_bidi_types(chars, n, types)
    return chars, types


def fribidi_class(ch):
    _, types = fribidi_types(ch)
    name = FRIBIDI.fribidi_get_bidi_type_name(types[0]).decode()
    return FRIBIDI_NAMES.get(name, name)


def fribidi_resolve(text):
    """(paragraph level, levels) from FriBidi, paragraph direction found automatically."""
    n = len(text)
    chars, types = fribidi_types(text)
    brackets = (ctypes.c_uint32 * n)()
    FRIBIDI.fribidi_get_bracket_types(chars, n, types, brackets)
    levels = (ctypes.c_int8 * n)()
    base = ctypes.c_uint32(0x40)  # FRIBIDI_PAR_ON: decide by P2/P3
    if not FRIBIDI.fribidi_get_par_embedding_levels_ex(
        types, brackets, n, ctypes.byref(base), levels
    ):
        raise RuntimeError("FriBidi failed")
    return base.value & 1, list(levels)


def visual_order(levels):
    """L2 over (index, level) pairs, reversing from the highest level to the lowest odd one."""
    indices = [i for i, _ in levels]
    values = [v for _, v in levels]
    odd = [v for v in values if v % 2]
    if not odd:
        return indices
    for v in range(max(values), min(odd) - 1, -1):
        i = 0
        while i < len(values):
            if values[i] < v:
                i += 1
                continue
            j = i
            while j < len(values) and values[j] >= v:
                j += 1
            indices[i:j] = indices[i:j][::-1]
            i = j
    return indices


def build_pool():
    """Each candidate whose class agrees between FriBidi and the Unicode data."""
    if FRIBIDI is None:
        return {}
    setup_fribidi()
    pool = {}
    for group, chars in CANDIDATES.items():
        kept = [ch for ch in chars if fribidi_class(ch) == unicodedata.bidirectional(ch)]
        if kept:
            pool[group] = kept
    return pool


POOL = build_pool()


INITIATORS = "\u2066\u2067\u2068"
PDI = "\u2069"
EMBEDDINGS = set(CANDIDATES["explicit"])
BRACKETS = set(CANDIDATES["brackets"])
MARKS = set(CANDIDATES["NSM"])
LETTERS = set(CANDIDATES["L"] + CANDIDATES["R"] + CANDIDATES["AL"])


def avoid_fribidi_faults(chars, rng):
    """Rewrites a text out of FriBidi's faults (see above)."""
    plain = [ch for g in ("L", "R", "AL", "EN", "AN", "ON", "WS") for ch in POOL[g]]
    embeddings = any(ch in EMBEDDINGS for ch in chars)
    depth, closed, marks_after_bracket = 0, False, False
    out = []
    for ch in chars:
        if ch in INITIATORS:
            if closed:
                ch = rng.choice(plain)
            else:
                depth += 1
        elif ch == PDI and depth:
            depth -= 1
            closed = True
        elif ch in BRACKETS and (embeddings or (out and out[-1] in MARKS)):
            ch = rng.choice(POOL["ON"])
        if marks_after_bracket and ch not in MARKS and ch not in LETTERS:
            ch = rng.choice(sorted(LETTERS))
        marks_after_bracket = (
            ch in MARKS and bool(out) and (out[-1] in BRACKETS or marks_after_bracket)
        )
        out.append(ch)
    return out


def random_text(rng):
    groups = list(POOL)
    weights = [WEIGHTS[g] for g in groups]
    n = rng.choice([1, 2, 3, 5, 8, 13, 21, 40, 80])
    chars = [rng.choice(POOL[g]) for g in rng.choices(groups, weights, k=n)]
    return "".join(avoid_fribidi_faults(chars, rng))


def random_texts():
    rng = random.Random(SEED)
    return [random_text(rng) for _ in range(TEXTS)]


def without_isolates(text, rng):
    plain = [ch for g in ("L", "R", "AL", "EN", "ON") for ch in POOL[g]]
    return "".join(rng.choice(plain) if ch in INITIATORS or ch == PDI else ch for ch in text)


def deep_texts():
    """Texts at the depth limits: embedding overflow, deep isolates, the bracket stack."""
    rng = random.Random(SEED + 1)
    out = []
    for k in range(300):
        middle = random_text(rng)
        if k % 3 == 0:  # embeddings and overrides up to 125, then overflow
            openers, closers = "\u202a\u202b\u202d\u202e\u202aa\u05d0 ", "\u202c\u202cb\u05d1 "
            middle = without_isolates(middle, rng)
        elif k % 3 == 1:  # isolates up to 60 deep (no overflow, see above)
            openers, closers = "\u2066\u2067\u2068a\u05d0 1", "\u2069b\u05d1 "
        else:  # bracket pairs nested past the 63 entries of the stack
            openers, closers = "((([[{a\u05d0 1\u3008", ")))]]}b\u05d1 \u3009"
        parts = [rng.choice(openers) for _ in range(rng.randint(50, 160))]
        if k % 3 == 1:
            parts = parts[:60]
        parts.append(middle)
        parts += [rng.choice(closers) for _ in range(rng.randint(0, 160))]
        out.append("".join(avoid_fribidi_faults(list("".join(parts)), rng)))
    return out


def test_pool_covers_every_group():
    assert set(POOL) == set(CANDIDATES), set(CANDIDATES) - set(POOL)


def differences(text):
    ours = scrivlet.bidi_resolve(text)
    paragraph, theirs = fribidi_resolve(text)
    levels = ours["levels"]
    kept = [i for i, v in enumerate(levels) if v != 255]
    problems = []
    if ours["paragraph_level"] != paragraph:
        problems.append(f"paragraph level {ours['paragraph_level']} vs {paragraph}")
    if [levels[i] for i in kept] != [theirs[i] for i in kept]:
        problems.append(f"levels {[levels[i] for i in kept]} vs {[theirs[i] for i in kept]}")
    expected_order = visual_order([(i, theirs[i]) for i in kept])
    if ours["reorder"] != expected_order:
        problems.append(f"order {ours['reorder']} vs {expected_order}")
    return problems


def report(texts):
    failures = []
    for text in texts:
        problems = differences(text)
        if problems:
            codes = " ".join(f"{ord(ch):04X}" for ch in text)
            failures.append(f"{codes}: {'; '.join(problems)}")
    return failures


def test_random_texts_agree_with_fribidi():
    failures = report(random_texts())
    assert not failures, f"{len(failures)} of {TEXTS} differ, e.g.\n" + "\n".join(failures[:5])


def test_deeply_nested_texts_agree_with_fribidi():
    failures = report(deep_texts())
    assert not failures, f"{len(failures)} differ, e.g.\n" + "\n".join(failures[:5])


def test_random_texts_exercise_every_rule_family():
    """The generated texts reach right-to-left levels, numbers above them and overflow."""
    texts = random_texts()
    highest = max(max(scrivlet.bidi_resolve(t)["levels"], default=0) for t in texts)
    paragraph_levels = {scrivlet.bidi_resolve(t)["paragraph_level"] for t in texts}
    assert paragraph_levels == {0, 1}
    assert highest == 255  # removed code points occur
    deep = max(max(v for v in scrivlet.bidi_resolve(t)["levels"] if v != 255) for t in deep_texts())
    assert deep >= 125
