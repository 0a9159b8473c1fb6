"""Simple and multi-character case mappings, case folding and the case
property trie (data/casemap)."""

from __future__ import annotations

from .common import Ucd, array_text, expect, header, hex_cp
from .normalization import combining_classes

WHITE_SPACE = [
    *range(0x09, 0x0E),
    0x20,
    0x85,
    0xA0,
    0x1680,
    *range(0x2000, 0x200B),
    0x2028,
    0x2029,
    0x202F,
    0x205F,
    0x3000,
]
TITLECASE_LETTERS = [
    0x01C5,
    0x01C8,
    0x01CB,
    0x01F2,
    *range(0x1F88, 0x1F90),
    *range(0x1F98, 0x1FA0),
    *range(0x1FA8, 0x1FB0),
    0x1FBC,
    0x1FCC,
    0x1FFC,
]
CASE_IGNORABLE_EXTRA = [
    0x0027,
    0x002E,
    0x003A,
    0x00AD,
    0x00B7,
    0x0387,
    0x05F4,
    0x200C,
    0x200D,
    0x2019,
    0x2027,
    *range(0xFE00, 0xFE10),
]

# Bits of CaseRecord::flags (see casemap.h).
FLAGS = {
    "HAS_LOWER": 1 << 0,
    "HAS_UPPER": 1 << 1,
    "HAS_TITLE": 1 << 2,
    "HAS_FOLD": 1 << 3,
    "HAS_SPECIAL_UPPER": 1 << 4,
    "HAS_SPECIAL_TITLE": 1 << 5,
    "HAS_FULL_FOLD": 1 << 6,
    "CASED": 1 << 7,
    "CASE_IGNORABLE": 1 << 8,
    "WHITE_SPACE": 1 << 9,
    "TITLECASE_LETTER": 1 << 10,
}
BLOCK_SHIFT = 7
# Bits above the record number in CASE_RECORD_INDEX: whether an operation can
# change the code point (see casemap.h), so that a text is scanned for the
# first change without loading records.
CHANGES = {"LOWER": 1 << 0, "UPPER": 1 << 1, "FOLD": 1 << 2, "SIMPLE_FOLD": 1 << 3, "TITLE": 1 << 4}
CHANGE_SHIFT = 11


def simple_mappings(ucd: Ucd) -> tuple[dict[int, int], dict[int, int], dict[int, int]]:
    lower, upper, title = {}, {}, {}
    for cp, f in ucd.unicode_data().items():
        if f[13]:
            lower[cp] = int(f[13], 16)
        if f[12]:
            upper[cp] = int(f[12], 16)
        # an empty titlecase field means the uppercase mapping
        t = int(f[14], 16) if f[14] else upper.get(cp, cp)
        if t != upper.get(cp, cp):
            title[cp] = t
    return lower, upper, title


def special_casing(
    ucd: Ucd,
) -> tuple[dict[int, list[int]], dict[int, list[int]], dict[int, list[int]]]:
    """Unconditional SpecialCasing entries: (lower, title, upper) mappings by code point."""
    lower, title, upper = {}, {}, {}
    for fields in ucd.lines("SpecialCasing.txt"):
        if len(fields) > 4 and fields[4]:
            continue  # a condition: not table data
        cp = int(fields[0], 16)
        lower[cp] = [int(x, 16) for x in fields[1].split()]
        title[cp] = [int(x, 16) for x in fields[2].split()]
        upper[cp] = [int(x, 16) for x in fields[3].split()]
    return lower, title, upper


def case_folding(ucd: Ucd) -> tuple[dict[int, int], dict[int, list[int]]]:
    simple, full = {}, {}
    for cp_text, status, mapping, *_ in ucd.lines("CaseFolding.txt"):
        cp, m = int(cp_text, 16), [int(x, 16) for x in mapping.split()]
        if status in ("C", "S"):
            assert len(m) == 1 and cp not in simple
            simple[cp] = m[0]
        elif status == "F":
            full[cp] = m
    return simple, full


def changes(flags: int) -> int:
    """CHANGES bits of a record with these flags."""
    f = FLAGS
    out = 0
    if flags & f["HAS_LOWER"]:
        out |= CHANGES["LOWER"]
    if flags & (f["HAS_UPPER"] | f["HAS_SPECIAL_UPPER"]):
        out |= CHANGES["UPPER"]
    if flags & (f["HAS_FOLD"] | f["HAS_FULL_FOLD"]):
        out |= CHANGES["FOLD"]
    if flags & f["HAS_FOLD"]:
        out |= CHANGES["SIMPLE_FOLD"]
    # title casing looks at the cased letters, the special titlecases and White_Space
    if flags & (f["CASED"] | f["HAS_SPECIAL_TITLE"] | f["WHITE_SPACE"]):
        out |= CHANGES["TITLE"]
    return out


def multi_table(name: str, mappings: dict[int, list[int]]) -> tuple[str, int]:
    entries, pool = [], []
    for cp in sorted(mappings):
        entries.append(f"{{{hex_cp(cp)}, {len(pool)}, {len(mappings[cp])}}}")
        pool.extend(mappings[cp])
    text = array_text(f"inline constexpr MultiCaseEntry {name}[{len(entries)}]", entries, 4)
    text += array_text(
        f"inline constexpr char32_t {name}_POOL[{len(pool)}]", [hex_cp(c) for c in pool], 8
    )
    return text, len(pool)


def simple_table(name: str, mapping: dict[int, int]) -> str:
    items = [f"{{{hex_cp(a)}, {hex_cp(b)}}}" for a, b in sorted(mapping.items())]
    return array_text(f"inline constexpr SimpleCaseEntry {name}[{len(items)}]", items, 6)


def generate(ucd: Ucd) -> dict[str, str]:
    lower, upper, title = simple_mappings(ucd)
    expect("SIMPLE_LOWERCASE entries", len(lower), 1488)
    expect("SIMPLE_UPPERCASE entries", len(upper), 1505)
    expect("SIMPLE_TITLECASE entries", len(title), 58)
    digraphs = {
        **{c: 0x01C5 for c in (0x01C4, 0x01C5, 0x01C6)},
        **{c: 0x01C8 for c in (0x01C7, 0x01C8, 0x01C9)},
        **{c: 0x01CB for c in (0x01CA, 0x01CB, 0x01CC)},
        **{c: 0x01F2 for c in (0x01F1, 0x01F2, 0x01F3)},
    }
    georgian = {c: c for c in [*range(0x10D0, 0x10FB), *range(0x10FD, 0x1100)]}
    expect("SIMPLE_TITLECASE contents", title, {**digraphs, **georgian})
    expect("SIMPLE_LOWERCASE of U+0130", lower[0x0130], 0x0069)
    assert 0x00DF not in upper
    for first, last in ((0x16EA0, 0x16EB8), (0x16EBB, 0x16ED3)):
        assert all(c in lower or c in upper for c in range(first, last + 1)), "Beria Erfe pairs"
    assert 0xA7D3 in upper and 0xA7D5 in upper

    special_lower, special_title, special_upper = special_casing(ucd)
    special_upper = {c: m for c, m in special_upper.items() if len(m) > 1}
    special_title = {c: m for c, m in special_title.items() if len(m) > 1}
    # the one unconditional one-to-many lowercase mapping is applied by the operations
    expect(
        "multi-character lowercase", [c for c, m in special_lower.items() if len(m) > 1], [0x0130]
    )
    simple_fold, full_fold = case_folding(ucd)
    expect("SIMPLE_CASE_FOLDING entries", len(simple_fold), 1512)
    expect("SIMPLE_CASE_FOLDING of U+1E9E", simple_fold[0x1E9E], 0x00DF)
    assert 0x00DF not in simple_fold and 0x0130 not in simple_fold

    body = "// Included by casemap.h, which defines the record types.\n\n"
    body += simple_table("SIMPLE_LOWERCASE", lower) + simple_table("SIMPLE_UPPERCASE", upper)
    body += simple_table("SIMPLE_TITLECASE", title) + simple_table(
        "SIMPLE_CASE_FOLDING", simple_fold
    )
    counts = {
        "SIMPLE_LOWERCASE": len(lower),
        "SIMPLE_UPPERCASE": len(upper),
        "SIMPLE_TITLECASE": len(title),
        "SIMPLE_CASE_FOLDING": len(simple_fold),
    }
    for name, table, entries, pool_size in (
        ("SPECIAL_UPPERCASE", special_upper, 102, 220),
        ("SPECIAL_TITLECASE", special_title, 48, 112),
        ("FULL_CASE_FOLDING", full_fold, 104, 224),
    ):
        expect(f"{name} entries", len(table), entries)
        expect(f"{name} keys", (min(table), max(table)), (0x00DF, 0xFB17))
        assert all(2 <= len(m) <= 3 for m in table.values())
        text, pool = multi_table(name, table)
        expect(f"{name}_POOL size", pool, pool_size)
        body += text
        counts[name] = len(table)
        counts[f"{name}_POOL"] = pool
    expect(
        "U+00DF special casings",
        (special_upper[0xDF], special_title[0xDF], full_fold[0xDF]),
        ([0x53, 0x53], [0x53, 0x73], [0x73, 0x73]),
    )
    expect(
        "U+1F80 special casings",
        (special_upper[0x1F80], full_fold[0x1F80]),
        ([0x1F08, 0x0399], [0x1F00, 0x03B9]),
    )

    # One record per distinct combination of mappings and predicates.
    ccc = combining_classes(ucd)
    white, titlecase_letters = set(WHITE_SPACE), set(TITLECASE_LETTERS)
    expect("titlecase letters", len(titlecase_letters), 31)
    ignorable = set(ccc) | set(CASE_IGNORABLE_EXTRA)
    keys = (
        set(lower)
        | set(upper)
        | set(title)
        | set(simple_fold)
        | set(special_upper)
        | set(special_title)
    )
    keys |= set(full_fold) | white | titlecase_letters | ignorable
    # 1 + the entry's index in SPECIAL_UPPERCASE, SPECIAL_TITLECASE and
    # FULL_CASE_FOLDING (0: none), so that no lookup searches those tables
    special_index = [
        {cp: i + 1 for i, cp in enumerate(sorted(table))}
        for table in (special_upper, special_title, full_fold)
    ]
    records: dict[tuple, int] = {(0, 0, 0, 0, 0, 0, 0, 0): 0}
    per_cp: dict[int, int] = {}
    for cp in keys:
        flags = 0
        for name, table in (
            ("HAS_LOWER", lower),
            ("HAS_UPPER", upper),
            ("HAS_TITLE", title),
            ("HAS_FOLD", simple_fold),
            ("HAS_SPECIAL_UPPER", special_upper),
            ("HAS_SPECIAL_TITLE", special_title),
            ("HAS_FULL_FOLD", full_fold),
        ):
            if cp in table:
                flags |= FLAGS[name]
        if cp in upper or cp in lower or cp in titlecase_letters:
            flags |= FLAGS["CASED"]
        if cp in ignorable:
            flags |= FLAGS["CASE_IGNORABLE"]
        if cp in white:
            flags |= FLAGS["WHITE_SPACE"]
        if cp in titlecase_letters:
            flags |= FLAGS["TITLECASE_LETTER"]
        record = (
            flags,
            lower.get(cp, cp) - cp,
            upper.get(cp, cp) - cp,
            title.get(cp, cp) - cp,
            simple_fold.get(cp, cp) - cp,
            *(index.get(cp, 0) for index in special_index),
        )
        number = records.setdefault(record, len(records))
        per_cp[cp] = number | changes(flags) << CHANGE_SHIFT
    size = 1 << BLOCK_SHIFT
    blocks: dict[tuple[int, ...], int] = {}
    index, data = [], []
    for start in range(0, 0x110000, size):
        block = tuple(per_cp.get(cp, 0) for cp in range(start, start + size))
        if block not in blocks:
            blocks[block] = len(blocks)
            data.extend(block)
        index.append(blocks[block])
    assert len(records) < 1 << CHANGE_SHIFT and len(blocks) < 1 << 16
    expect("case records", len(records), 290)
    ordered = sorted(records.items(), key=lambda kv: kv[1])
    body += array_text(
        f"inline constexpr CaseRecord CASE_RECORDS[{len(ordered)}]",
        ["{" + ", ".join(map(str, r)) + "}" for r, _ in ordered],
        4,
    )
    body += f"inline constexpr unsigned CASE_BLOCK_SHIFT = {BLOCK_SHIFT};\n"
    body += f"inline constexpr unsigned CASE_CHANGE_SHIFT = {CHANGE_SHIFT};\n\n"
    body += array_text(
        f"inline constexpr std::uint16_t CASE_BLOCK_INDEX[{len(index)}]",
        [str(i) for i in index],
        24,
    )
    body += array_text(
        f"inline constexpr std::uint16_t CASE_RECORD_INDEX[{len(data)}]", [str(i) for i in data], 24
    )
    counts.update(
        {
            "CASE_RECORDS": len(ordered),
            "CASE_BLOCK_INDEX": len(index),
            "CASE_RECORD_INDEX": len(data),
        }
    )
    return {"casemap_data.h": header("ucdgen/casemap.py", counts, body)}
