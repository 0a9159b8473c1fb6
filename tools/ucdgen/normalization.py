"""Combining classes, decompositions, composition pairs and the normalization
property trie (data/normalization)."""

from __future__ import annotations

from .common import Ucd, array_text, expect, header, hex_cp

S_BASE, L_BASE, V_BASE, T_BASE = 0xAC00, 0x1100, 0x1161, 0x11A7
L_COUNT, V_COUNT, T_COUNT = 19, 21, 28
S_COUNT = L_COUNT * V_COUNT * T_COUNT

# Bits of NORMALIZATION_PROPS (see normalization.h for their use).
CCC_MASK = 0xFF
QC_YES = {"NFD": 1 << 8, "NFKD": 1 << 9, "NFC": 1 << 10, "NFKC": 1 << 11}
BOUNDARY = {"NFD": 1 << 12, "NFKD": 1 << 13, "NFC": 1 << 14, "NFKC": 1 << 15}
COMPOSES_BACKWARD = 1 << 16
HAS_CANONICAL = 1 << 17
HAS_COMPATIBILITY = 1 << 18
# Index of the code point's entry in its decomposition table (canonical or
# compatibility: never both), so the forms need no search.
ENTRY_SHIFT = 19

# The trie: code point >> BLOCK_SHIFT selects a block of 1 << BLOCK_SHIFT values.
BLOCK_SHIFT = 7

# Composition: for each code point that is the first of some pair, where its
# pairs lie in CANONICAL_COMPOSITION (sorted by first, then second), as
# offset | count << COMPOSITION_COUNT_SHIFT; 0 for every other code point.
COMPOSITION_COUNT_SHIFT = 10
COMPOSITION_BLOCK_SHIFT = 6

EXCLUDED_PAIRS = 81
NON_STARTER_DECOMPOSITIONS = [0x0344, 0x0F73, 0x0F75, 0x0F81]


def is_hangul_syllable(cp: int) -> bool:
    return S_BASE <= cp < S_BASE + S_COUNT


def combining_classes(ucd: Ucd) -> dict[int, int]:
    out = {}
    for first, last, (value,) in ucd.property_ranges("extracted/DerivedCombiningClass.txt"):
        if int(value) != 0:
            for cp in range(first, last + 1):
                out[cp] = int(value)
    return out


def decompositions(ucd: Ucd) -> tuple[dict[int, list[int]], dict[int, list[int]]]:
    """(canonical, compatibility) single-level mappings, Hangul syllables left out."""
    canonical, compatibility = {}, {}
    for cp, fields in ucd.unicode_data().items():
        field = fields[5]
        if not field or is_hangul_syllable(cp):
            continue
        parts = field.split()
        if parts[0].startswith("<"):
            compatibility[cp] = [int(p, 16) for p in parts[1:]]
        else:
            canonical[cp] = [int(p, 16) for p in parts]
    return canonical, compatibility


def derived_normalization(ucd: Ucd) -> tuple[set[int], dict[str, dict[int, str]]]:
    """Full_Composition_Exclusion and the four quick-check properties (absent = Yes)."""
    exclusion: set[int] = set()
    quick_check: dict[str, dict[int, str]] = {f: {} for f in QC_YES}
    for first, last, values in ucd.property_ranges("DerivedNormalizationProps.txt"):
        name = values[0]
        if name == "Full_Composition_Exclusion":
            exclusion.update(range(first, last + 1))
        elif name.endswith("_QC"):
            form = name[:-3]
            for cp in range(first, last + 1):
                quick_check[form][cp] = values[1]
    return exclusion, quick_check


def composition_exclusions(ucd: Ucd) -> set[int]:
    out: set[int] = set()
    for first, last, _ in ucd.property_ranges("CompositionExclusions.txt"):
        out.update(range(first, last + 1))
    return out


def full_decomposition(cp: int, canonical, compatibility, compat: bool) -> list[int]:
    if is_hangul_syllable(cp):
        index = cp - S_BASE
        out = [
            L_BASE + index // (V_COUNT * T_COUNT),
            V_BASE + index % (V_COUNT * T_COUNT) // T_COUNT,
        ]
        if index % T_COUNT:
            out.append(T_BASE + index % T_COUNT)
        return out
    mapping = canonical.get(cp)
    if mapping is None and compat:
        mapping = compatibility.get(cp)
    if mapping is None:
        return [cp]
    return [d for m in mapping for d in full_decomposition(m, canonical, compatibility, compat)]


def pool_table(name: str, mappings: dict[int, list[int]]) -> tuple[str, int]:
    entries, pool = [], []
    for cp in sorted(mappings):
        entries.append(f"{{{hex_cp(cp)}, {len(pool)}, {len(mappings[cp])}}}")
        pool.extend(mappings[cp])
    assert len(pool) < 1 << 16 and max(len(m) for m in mappings.values()) < 256
    text = array_text(f"inline constexpr DecompositionEntry {name}[{len(entries)}]", entries, 4)
    text += array_text(
        f"inline constexpr char32_t {name}_POOL[{len(pool)}]", [hex_cp(c) for c in pool], 8
    )
    return text, len(pool)


def property_values(ccc, canonical, compatibility, seconds, quick_check) -> dict[int, int]:
    entry_index = {cp: i for i, cp in enumerate(sorted(canonical))}
    entry_index.update({cp: i for i, cp in enumerate(sorted(compatibility))})
    assert max(entry_index.values()) < 1 << (32 - ENTRY_SHIFT)
    """Non-zero NORMALIZATION_PROPS values by code point (0 elsewhere)."""
    interesting = set(ccc) | set(canonical) | set(compatibility) | seconds
    interesting |= {cp for form in quick_check.values() for cp in form}
    interesting |= set(range(S_BASE, S_BASE + S_COUNT))
    values = {}
    for cp in interesting:
        v = ccc.get(cp, 0)
        for form, bit in QC_YES.items():
            if quick_check[form].get(cp, "Y") == "Y":
                v |= bit
        for form, bit in BOUNDARY.items():
            first = full_decomposition(cp, canonical, compatibility, form.startswith("NFK"))[0]
            starts_with_starter = ccc.get(first, 0) == 0
            if form in ("NFC", "NFKC"):
                # The chunk before this code point can compose with nothing after it.
                starts_with_starter = starts_with_starter and first not in seconds
            if starts_with_starter:
                assert ccc.get(cp, 0) == 0, hex(cp)
                v |= bit
        if cp in seconds:
            v |= COMPOSES_BACKWARD
        if cp in canonical or is_hangul_syllable(cp):
            v |= HAS_CANONICAL
        if cp in compatibility:
            v |= HAS_COMPATIBILITY
        v |= entry_index.get(cp, 0) << ENTRY_SHIFT
        values[cp] = v
    return values


# Value of a code point that no data names: class 0, Yes in every quick check,
# a boundary in every form.
DEFAULT_PROPS = sum(QC_YES.values()) + sum(BOUNDARY.values())


def trie(values: dict[int, int]) -> tuple[list[int], list[int]]:
    """Two-stage table: BLOCK_INDEX[cp >> BLOCK_SHIFT] * block size + low bits."""
    size = 1 << BLOCK_SHIFT
    blocks: dict[tuple[int, ...], int] = {}
    index, data = [], []
    for start in range(0, 0x110000, size):
        block = tuple(values.get(cp, DEFAULT_PROPS) for cp in range(start, start + size))
        if block not in blocks:
            blocks[block] = len(blocks)
            data.extend(block)
        index.append(blocks[block])
    return index, data


def composition_rows(composition) -> tuple[list[int], list[int]]:
    """Two-stage table of the pairs of each first code point."""
    rows: dict[int, int] = {}
    for i, (first, _, _) in enumerate(composition):
        offset, count = rows.get(first, (i, 0))
        rows[first] = (offset, count + 1)
    assert len(composition) < 1 << COMPOSITION_COUNT_SHIFT
    assert max(c for _, c in rows.values()) < 1 << (16 - COMPOSITION_COUNT_SHIFT)
    values = {cp: o | c << COMPOSITION_COUNT_SHIFT for cp, (o, c) in rows.items()}
    size = 1 << COMPOSITION_BLOCK_SHIFT
    blocks: dict[tuple[int, ...], int] = {}
    index, data = [], []
    for start in range(0, 0x110000, size):
        block = tuple(values.get(cp, 0) for cp in range(start, start + size))
        if block not in blocks:
            blocks[block] = len(blocks)
            data.extend(block)
        index.append(blocks[block])
    return index, data


def generate(ucd: Ucd) -> dict[str, str]:
    ccc = combining_classes(ucd)
    expect("CANONICAL_COMBINING_CLASS entries", len(ccc), 968)
    expect("first combining class", min(ccc.items()), (0x0300, 230))
    expect("last combining class", max(ccc.items()), (0x1E94A, 7))
    wanted_classes = {1, *range(6, 37), 84, 91, 103, 107, 118, 122, 129, 130, 132}
    wanted_classes |= {202, 214, 216, 218, 220, 222, 224, 226, 228, 230, 232, 233, 234, 240}
    expect("combining classes in use", set(ccc.values()), wanted_classes)
    for cp in [*range(0x1ACF, 0x1ADE), *range(0x1AE0, 0x1AEC), 0x10EFA, 0x10EFB, 0x1E6E3]:
        assert cp in ccc, f"combining class of {hex_cp(cp)} is missing"

    canonical, compatibility = decompositions(ucd)
    expect("CANONICAL_DECOMPOSITION entries", len(canonical), 2081)
    expect("canonical singletons", sum(len(m) == 1 for m in canonical.values()), 1035)
    expect("canonical pairs", sum(len(m) == 2 for m in canonical.values()), 1046)
    expect("first and last canonical keys", (min(canonical), max(canonical)), (0x00C0, 0x2FA1D))
    expect("U+1E08 mapping (single level)", canonical[0x1E08], [0x00C7, 0x0301])
    expect("COMPATIBILITY_DECOMPOSITION entries", len(compatibility), 3833)
    expect(
        "first and last compatibility keys",
        (min(compatibility), max(compatibility)),
        (0x00A0, 0x1FBF9),
    )
    lengths = {len(m) for m in compatibility.values()}
    expect("compatibility mapping lengths", lengths, {*range(1, 9), 18})
    expect("U+FDFA mapping length", len(compatibility[0xFDFA]), 18)
    assert 0xA7F1 in compatibility
    assert not set(canonical) & set(compatibility)

    exclusion, quick_check = derived_normalization(ucd)
    pairs = {cp: m for cp, m in canonical.items() if len(m) == 2}
    composition = sorted((m[0], m[1], cp) for cp, m in pairs.items() if cp not in exclusion)
    expect("CANONICAL_COMPOSITION entries", len(composition), 961)
    left_out = set(pairs) - {c for _, _, c in composition}
    excluded_pairs = left_out & composition_exclusions(ucd)
    expect("composition exclusions among the pairs", len(excluded_pairs), EXCLUDED_PAIRS)
    expect(
        "non-starter decompositions left out",
        sorted(left_out - excluded_pairs),
        NON_STARTER_DECOMPOSITIONS,
    )
    assert len({(a, b) for a, b, _ in composition}) == len(composition)
    assert all(ccc.get(c, 0) == 0 and ccc.get(a, 0) == 0 for a, _, c in composition), (
        "composites are starters"
    )

    seconds = {b for _, b, _ in composition}
    seconds |= set(range(V_BASE, V_BASE + V_COUNT)) | set(range(T_BASE + 1, T_BASE + T_COUNT))
    values = property_values(ccc, canonical, compatibility, seconds, quick_check)
    for cp in range(0x80):  # the forms pass ASCII through without looking it up
        assert values.get(cp, DEFAULT_PROPS) == DEFAULT_PROPS, hex_cp(cp)
    # Below these the quick check of each form skips the lookup: every code
    # point has class 0, passes the check and is a boundary.
    safe_below = {}
    for form, quick_check_bit in QC_YES.items():
        wanted = quick_check_bit | BOUNDARY[form]
        cp = 0
        while values.get(cp, DEFAULT_PROPS) & (wanted | CCC_MASK) == wanted:
            cp += 1
        safe_below[form] = cp
    expect(
        "quick-check thresholds",
        safe_below,
        {"NFD": 0xC0, "NFKD": 0xA0, "NFC": 0x300, "NFKC": 0xA0},
    )
    index, data = trie(values)
    assert max(index) < 1 << 16

    body = (
        "// Included by normalization.h, which defines DecompositionEntry and the other records.\n\n"
        + array_text(
            f"inline constexpr CombiningClassEntry CANONICAL_COMBINING_CLASS[{len(ccc)}]",
            [f"{{{hex_cp(cp)}, {c}}}" for cp, c in sorted(ccc.items())],
            6,
        )
    )
    canonical_text, canonical_pool = pool_table("CANONICAL_DECOMPOSITION", canonical)
    expect("CANONICAL_DECOMPOSITION_POOL size", canonical_pool, 3127)
    compat_text, compat_pool = pool_table("COMPATIBILITY_DECOMPOSITION", compatibility)
    expect("COMPATIBILITY_DECOMPOSITION_POOL size", compat_pool, 5613)
    body += canonical_text + compat_text
    body += array_text(
        f"inline constexpr CompositionEntry CANONICAL_COMPOSITION[{len(composition)}]",
        [f"{{{hex_cp(a)}, {hex_cp(b)}, {hex_cp(c)}}}" for a, b, c in composition],
        4,
    )
    first_index, first_rows = composition_rows(composition)
    expect("composition blocks", len(first_rows) >> COMPOSITION_BLOCK_SHIFT, 59)
    body += f"inline constexpr unsigned COMPOSITION_BLOCK_SHIFT = {COMPOSITION_BLOCK_SHIFT};\n"
    body += f"inline constexpr unsigned COMPOSITION_COUNT_SHIFT = {COMPOSITION_COUNT_SHIFT};\n\n"
    body += array_text(
        f"inline constexpr std::uint8_t COMPOSITION_BLOCK_INDEX[{len(first_index)}]",
        [str(i) for i in first_index],
        32,
    )
    body += array_text(
        f"inline constexpr std::uint16_t COMPOSITION_FIRST[{len(first_rows)}]",
        [str(v) for v in first_rows],
        16,
    )
    body += "".join(
        f"inline constexpr char32_t {form}_QUICK_CHECK_SAFE_BELOW = {hex_cp(cp)};\n"
        for form, cp in safe_below.items()
    )
    body += f"\ninline constexpr unsigned NORMALIZATION_BLOCK_SHIFT = {BLOCK_SHIFT};\n\n"
    body += array_text(
        f"inline constexpr std::uint16_t NORMALIZATION_BLOCK_INDEX[{len(index)}]",
        [str(i) for i in index],
        24,
    )
    body += array_text(
        f"inline constexpr std::uint32_t NORMALIZATION_PROPS[{len(data)}]",
        [f"0x{v:08X}" for v in data],
        10,
    )
    counts = {
        "CANONICAL_COMBINING_CLASS": len(ccc),
        "CANONICAL_DECOMPOSITION": len(canonical),
        "CANONICAL_DECOMPOSITION_POOL": canonical_pool,
        "COMPATIBILITY_DECOMPOSITION": len(compatibility),
        "COMPATIBILITY_DECOMPOSITION_POOL": compat_pool,
        "CANONICAL_COMPOSITION": len(composition),
        "COMPOSITION_BLOCK_INDEX": len(first_index),
        "COMPOSITION_FIRST": len(first_rows),
        "NORMALIZATION_BLOCK_INDEX": len(index),
        "NORMALIZATION_PROPS": len(data),
    }
    return {"normalization_data.h": header("ucdgen/normalization.py", counts, body)}
