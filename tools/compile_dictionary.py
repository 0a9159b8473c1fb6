#!/usr/bin/env python3
"""Compile a word list into the read-only automaton that line breaking walks.

    python tools/compile_dictionary.py NAME LIST OUTPUT

Reads LIST (UTF-8, one word per line) and writes OUTPUT, a C++ source that
defines `const WordDictionary NAME` (see src/linebreak/dictionary.h). Run by
the build; standard library only.

The words are those of the list as follows: split at LF (a last piece without
one is a line too), a trailing CR dropped, White_Space trimmed from both ends,
empty lines skipped, duplicates collapsed.

The structure is the minimal deterministic automaton of the word set over the
list's own alphabet (each code point of the list gets a symbol 1..N), packed
into one array of 32-bit slots. A state is a base index; its transition on
symbol s is the slot at base + s, which belongs to it only if the slot's check
byte is s:

    bits 0-7   check: the symbol of the transition (EMPTY for a free slot)
    bit  8     the text read up to and including this symbol is a listed word
    bits 9-31  base of the state the transition leads to

No two states share a base, so a slot can only match the state that owns it.

After writing, the compiler reads OUTPUT back and proves that the automaton
it describes accepts exactly the listed words: every word is accepted, the
automaton has no cycle, and it accepts as many strings as there are words.
Any failure removes OUTPUT and exits non-zero, which fails the build.
"""

from __future__ import annotations

import re
import sys
from pathlib import Path

# The table generator's package beside this file, also when loaded by path.
sys.path.insert(0, str(Path(__file__).resolve().parent))
from ucdgen import casemap

EMPTY = 0xFF  # check byte of a free slot; symbols run from 1 to at most 254
MAX_SYMBOLS = 254
BASE_BITS = 23
# Code points of the list more than this far from the rest get no entry in
# the flat symbol table but one of a few extra entries (the joiners, U+200C
# and U+200D, beside the letters of one script).
TABLE_GAP = 1024
MAX_EXTRAS = 8

# White_Space, as the case tables define it.
WHITE_SPACE = "".join(map(chr, casemap.WHITE_SPACE))


class CompileError(Exception):
    pass


def read_words(data: bytes) -> set[str]:
    """The words of a list, as line breaking knows them."""
    words = set()
    for line in data.split(b"\n"):
        if line.endswith(b"\r"):
            line = line[:-1]
        try:
            word = line.decode("utf-8").strip(WHITE_SPACE)
        except UnicodeDecodeError as e:
            raise CompileError(f"a line is not UTF-8: {line[:40]!r}: {e}") from None
        if word:
            words.add(word)
    return words


def symbol_table(alphabet: list[int]) -> tuple[int, list[int], list[tuple[int, int]]]:
    """(first, symbols of first..first+len-1, extra (code point, symbol) pairs).

    Symbols follow code point order. The flat table covers the largest group
    of code points that lie within TABLE_GAP of each other."""
    symbol = {cp: i + 1 for i, cp in enumerate(alphabet)}
    groups: list[list[int]] = []
    for cp in alphabet:
        if groups and cp - groups[-1][-1] <= TABLE_GAP:
            groups[-1].append(cp)
        else:
            groups.append([cp])
    if not groups:
        return 0, [], []
    main = max(groups, key=len)
    extras = [(cp, symbol[cp]) for g in groups if g is not main for cp in g]
    if len(extras) > MAX_EXTRAS:
        raise CompileError(f"{len(extras)} code points lie apart from the rest of the alphabet")
    first = main[0]
    table = [0] * (main[-1] - first + 1)
    for cp in main:
        table[cp - first] = symbol[cp]
    return first, table, extras


def minimal_automaton(words: list[tuple[int, ...]]) -> tuple[list[bool], list[dict[int, int]]]:
    """(final, edges) of the minimal automaton of sorted, distinct symbol
    strings, built incrementally: once a word is added, the states that the
    next word no longer shares are merged with an equivalent registered one."""
    final: list[bool] = [False]
    edges: list[dict[int, int]] = [{}]
    register: dict[tuple, int] = {}
    unchecked: list[tuple[int, int, int]] = []  # (parent, symbol, child) along the last word

    def minimize(down_to: int) -> None:
        while len(unchecked) > down_to:
            parent, sym, child = unchecked.pop()
            key = (final[child], tuple(edges[child].items()))  # added in symbol order
            same = register.get(key)
            if same is None:
                register[key] = child
            else:
                edges[parent][sym] = same

    previous: tuple[int, ...] = ()
    for word in words:
        common = 0
        limit = min(len(word), len(previous))
        while common < limit and word[common] == previous[common]:
            common += 1
        minimize(common)
        node = unchecked[-1][2] if unchecked else 0
        for sym in word[common:]:
            final.append(False)
            edges.append({})
            child = len(final) - 1
            edges[node][sym] = child
            unchecked.append((node, sym, child))
            node = child
        final[node] = True
        previous = word
    minimize(0)
    return final, edges


def pack(final: list[bool], edges: list[dict[int, int]], symbols: int) -> tuple[list[int], int]:
    """(slots, root base): the states in breadth-first order from the start
    (the states near it, which every walk reads, lie together), each at the
    lowest free base whose slots for its symbols are all free."""
    order = [0]
    seen = {0}
    for state in order:
        for _, target in sorted(edges[state].items()):
            if target not in seen:
                seen.add(target)
                order.append(target)
    size = sum(len(edges[s]) for s in order) * 2 + symbols + 1024
    occupied = bytearray(size)  # non-zero for a taken slot
    owner = bytearray(size)  # non-zero for a base some state has
    next_free = list(range(size + 1))  # skip pointers over taken slots

    def free_from(i: int) -> int:
        root = i
        while next_free[root] != root:
            root = next_free[root]
        while next_free[i] != root:
            next_free[i], i = root, next_free[i]
        return root

    bases: dict[int, int] = {}
    # Where the last state with as many transitions went: the next one looks
    # no lower, which skips the holes too small for it.
    resume: dict[int, int] = {}
    for state in order:
        syms = sorted(edges[state])
        if not syms:
            continue
        slot = free_from(max(syms[0], resume.get(len(syms), 0)))
        while True:
            base = slot - syms[0]
            if base + syms[-1] >= size:
                raise CompileError("slot array estimate too small")
            if not owner[base] and not any(occupied[base + s] for s in syms[1:]):
                break
            slot = free_from(slot + 1)
        resume[len(syms)] = slot
        bases[state] = base
        owner[base] = 1
        for sym in syms:
            occupied[base + sym] = 1
            next_free[base + sym] = base + sym + 1
    # States without transitions (after minimizing, at most the one final
    # state every longest word ends in) get a base that no state owns.
    spare = 0
    for state in order:
        if state not in bases:
            while owner[spare]:
                spare += 1
            bases[state] = spare
            owner[spare] = 1
    count = max(bases.values()) + symbols + 1
    if count >= 1 << BASE_BITS:
        raise CompileError(f"{count} slots do not fit {BASE_BITS}-bit bases")
    slots = [EMPTY] * count
    for state in order:
        for sym, target in edges[state].items():
            slots[bases[state] + sym] = sym | final[target] << 8 | bases[target] << 9
    return slots, bases[0]


def array(type_: str, name: str, values: list[int]) -> str:
    rows = [", ".join(str(v) for v in values[i : i + 16]) for i in range(0, len(values), 16)]
    body = "".join(f"    {row},\n" for row in rows) if rows else "    0,\n"
    return f"constexpr {type_} {name}[] = {{\n{body}}};\n"


def render(name: str, source: str, words: set[str]) -> str:
    alphabet = sorted({ord(c) for w in words for c in w})
    if len(alphabet) > MAX_SYMBOLS:
        raise CompileError(f"{len(alphabet)} distinct code points, at most {MAX_SYMBOLS}")
    first, table, extras = symbol_table(alphabet)
    symbol = {cp: i + 1 for i, cp in enumerate(alphabet)}
    strings = sorted(tuple(symbol[ord(c)] for c in w) for w in words)
    final, edges = minimal_automaton(strings)
    slots, root = pack(final, edges, len(alphabet))
    max_bytes = max((len(w.encode()) for w in words), default=0)
    longest = max(map(len, words), default=0)
    return (
        f"// Generated by tools/compile_dictionary.py from {source}. Do not edit.\n"
        f"// Words {len(words)}, longest {max_bytes} bytes, alphabet {len(alphabet)}, "
        f"slots {len(slots)}.\n"
        '#include "linebreak/dictionary.h"\n\n'
        "namespace scrivlet::linebreak {\n\nnamespace {\n\n"
        + array("std::uint32_t", "SLOTS", slots)
        + array("std::uint8_t", "SYMBOLS", table)
        + array("char32_t", "EXTRA_CODE_POINTS", [cp for cp, _ in extras])
        + array("std::uint8_t", "EXTRA_SYMBOLS", [s for _, s in extras])
        + "\n}  // namespace\n\n"
        f"extern const WordDictionary {name};\n"
        f"constinit const WordDictionary {name} = {{\n"
        "    .slots = SLOTS,\n"
        f"    .root = {root},\n"
        "    .symbols = SYMBOLS,\n"
        f"    .first = {first},\n"
        f"    .span = {len(table)},\n"
        "    .extra_code_points = EXTRA_CODE_POINTS,\n"
        "    .extra_symbols = EXTRA_SYMBOLS,\n"
        f"    .extra_count = {len(extras)},\n"
        f"    .slot_count = {len(slots)},\n"
        f"    .word_count = {len(words)},\n"
        f"    .max_word_bytes = {max_bytes},\n"
        "};\n\n"
        f'static_assert(WordDictionary::MAX_WORD_LENGTH >= {longest}, "a walk outgrows its room");\n\n'
        "}  // namespace scrivlet::linebreak\n"
    )


def read_back(text: str) -> dict:
    """The arrays and fields of a generated source, parsed from its text."""

    def numbers(name: str) -> list[int]:
        m = re.search(rf"\b{name}\[\] = \{{(.*?)\}};", text, re.DOTALL)
        if m is None:
            raise CompileError(f"{name} missing from the output")
        return [int(v) for v in re.findall(r"\d+", m.group(1))]

    def field(name: str) -> int:
        m = re.search(rf"\.{name} = (\d+),", text)
        if m is None:
            raise CompileError(f"field {name} missing from the output")
        return int(m.group(1))

    out = {n: numbers(n) for n in ("SLOTS", "SYMBOLS", "EXTRA_CODE_POINTS", "EXTRA_SYMBOLS")}
    for f in ("root", "first", "span", "extra_count", "slot_count", "word_count", "max_word_bytes"):
        out[f] = field(f)
    m = re.search(r"MAX_WORD_LENGTH >= (\d+),", text)
    if m is None:
        raise CompileError("the bound on word length is missing from the output")
    out["longest"] = int(m.group(1))
    # An empty array is written with one zero entry.
    out["SYMBOLS"] = out["SYMBOLS"][: out["span"]]
    out["EXTRA_CODE_POINTS"] = out["EXTRA_CODE_POINTS"][: out["extra_count"]]
    out["EXTRA_SYMBOLS"] = out["EXTRA_SYMBOLS"][: out["extra_count"]]
    return out


def verify(text: str, words: set[str]) -> None:
    """Proves that the automaton in a generated source accepts exactly words,
    walking it the way the library does."""
    d = read_back(text)
    slots = d["SLOTS"]
    if len(slots) != d["slot_count"] or len(d["SYMBOLS"]) != d["span"]:
        raise CompileError("array sizes disagree with their counts")
    symbol_of = {d["first"] + i: s for i, s in enumerate(d["SYMBOLS"]) if s}
    for cp, s in zip(d["EXTRA_CODE_POINTS"], d["EXTRA_SYMBOLS"]):
        if cp in symbol_of or s == 0:
            raise CompileError(f"extra code point U+{cp:04X} listed twice or without a symbol")
        symbol_of[cp] = s
    alphabet = len(symbol_of)
    # Distinct code points have distinct symbols, so counting symbol strings
    # counts code point strings.
    if sorted(symbol_of.values()) != list(range(1, alphabet + 1)):
        raise CompileError("symbols are not 1..N, each for one code point")
    if any(not 1 <= v & 0xFF <= alphabet and v & 0xFF != EMPTY for v in slots):
        raise CompileError("a slot's check is no symbol")

    def walk(word: str) -> bool:
        base, is_word = d["root"], False
        for c in word:
            s = symbol_of.get(ord(c))
            if s is None or base + s >= len(slots):
                return False
            v = slots[base + s]
            if v & 0xFF != s:
                return False
            is_word, base = bool(v >> 8 & 1), v >> 9
        return is_word

    missing = [w for w in words if not walk(w)]
    if missing:
        raise CompileError(f"{len(missing)} listed words are not accepted, e.g. {missing[0]!r}")
    # The transitions of base b are the slots i whose check c has i - c == b.
    owned: dict[int, list[int]] = {}
    for i, v in enumerate(slots):
        c = v & 0xFF
        if c != EMPTY:
            owned.setdefault(i - c, []).append(v)
    accepted: dict[int, int] = {}
    depth: dict[int, int] = {}  # the longest walk from a state
    on_path: set[int] = set()

    def count(base: int) -> int:
        if base in accepted:
            return accepted[base]
        if base in on_path:
            raise CompileError("the automaton has a cycle")
        if base + alphabet >= len(slots):
            raise CompileError("a state's slots run past the end of the array")
        on_path.add(base)
        n = sum((v >> 8 & 1) + count(v >> 9) for v in owned.get(base, []))
        depth[base] = max((1 + depth[v >> 9] for v in owned.get(base, [])), default=0)
        on_path.discard(base)
        accepted[base] = n
        return n

    total = count(d["root"])
    if total != len(words):
        raise CompileError(f"the automaton accepts {total} strings, the list has {len(words)}")
    # The library sizes a walk's room by this bound.
    if depth[d["root"]] != d["longest"] or d["longest"] != max(map(len, words), default=0):
        raise CompileError("the longest walk is not the longest word")
    if d["word_count"] != len(words):
        raise CompileError("word count disagrees")
    if d["max_word_bytes"] != max((len(w.encode()) for w in words), default=0):
        raise CompileError("longest word disagrees")


def main(argv: list[str]) -> int:
    if len(argv) != 3:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    name, source, output = argv[0], Path(argv[1]), Path(argv[2])
    try:
        words = read_words(source.read_bytes())
        text = render(name, source.name, words)
        output.parent.mkdir(parents=True, exist_ok=True)
        output.write_text(text, encoding="utf-8")
        verify(output.read_text(encoding="utf-8"), words)
    except CompileError as e:
        output.unlink(missing_ok=True)
        print(f"compile_dictionary.py: {source}: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.setrecursionlimit(10_000)
    sys.exit(main(sys.argv[1:]))
