"""Line-break character data (data/line_break): WIDE_RANGES, the East Asian wide set
shared by display width and line breaking, and the Line_Break classes of LineBreak.txt
as a range table plus a two-stage table for the code points below LINE_BREAK_TRIE_LIMIT."""

from __future__ import annotations

from collections import Counter

from .common import (
    Ucd,
    array_text,
    expect,
    header,
    merge_set,
    merge_values,
    range_array,
    value_range_array,
)

# LineBreakClass, in enumeration order: the non-tailorable classes first, then
# the others alphabetically (values 0..48).
CLASSES = [
    "BK", "CM", "CR", "GL", "LF", "NL", "SP", "WJ", "ZW", "ZWJ",
    "AI", "AK", "AL", "AP", "AS", "B2", "BA", "BB", "CB", "CJ",
    "CL", "CP", "EB", "EM", "EX", "H2", "H3", "HH", "HL", "HY",
    "ID", "IN", "IS", "JL", "JT", "JV", "NS", "NU", "OP", "PO",
    "PR", "QU", "RI", "SA", "SG", "SY", "VF", "VI", "XX",
]
CLASS_INDEX = {name: i for i, name in enumerate(CLASSES)}

# Code points that LineBreak.txt does not list take ID in these blocks, PR in the
# currency block, XX elsewhere.
DEFAULT_ID = [
    (0x3400, 0x4DBF), (0x4E00, 0x9FFF), (0xF900, 0xFAFF), (0x20000, 0x2FFFD),
    (0x30000, 0x3FFFD), (0x1F000, 0x1F7FF), (0x1F900, 0x1FAFF), (0x1FC00, 0x1FFFD),
]
DEFAULT_PR = [(0x20A0, 0x20CF)]

# The two-stage table covers [0, LIMIT) in blocks of 2**SHIFT code points; above
# it the range table is searched (every default ID/PR range lies below it).
TRIE_LIMIT = 0x40000
TRIE_SHIFT = 6
TRIE_BLOCKS = 401

# Entries per class in the merged range table.
RANGES_PER_CLASS = {
    "AL": 790, "H2": 399, "H3": 399, "CM": 322, "ID": 176, "AI": 107, "BA": 104, "OP": 92,
    "CL": 85, "NU": 71, "EB": 40, "SA": 34, "CJ": 29, "HH": 10, "HL": 10, "AK": 21, "AS": 17,
    "VI": 7, "AP": 5, "VF": 1, "RI": 1, "SG": 1, "XX": 0,
}

# Rows the table must hold as they are.
KNOWN_ROWS = [
    (0x0000, 0x0008, "CM"), (0x0009, 0x0009, "BA"), (0x000B, 0x000C, "BK"),
    (0x2010, 0x2010, "HH"), (0x2012, 0x2013, "HH"), (0x3000, 0x3000, "BA"),
    (0xD800, 0xDFFF, "SG"), (0x1F1E6, 0x1F1FF, "RI"), (0x20000, 0x2FFFD, "ID"),
]


def wide_ranges(ucd: Ucd) -> list[tuple[int, int]]:
    wide = set()
    for first, last, (value,) in ucd.property_ranges("EastAsianWidth.txt"):
        if value in ("W", "F"):
            wide.update(range(first, last + 1))
    ranges = merge_set(wide)
    expect("WIDE_RANGES entries", len(ranges), 123)
    expect("WIDE_RANGES code points", len(wide), 182876)
    expect("WIDE_RANGES first entry", ranges[0], (0x1100, 0x115F))
    expect("WIDE_RANGES last entry", ranges[-1], (0x30000, 0x3FFFD))
    return ranges


def line_break_values(ucd: Ucd) -> dict[int, str]:
    values: dict[int, str] = {}
    for first, last, (value,) in ucd.property_ranges("LineBreak.txt"):
        assert value in CLASS_INDEX, value
        for cp in range(first, last + 1):
            assert cp not in values, hex(cp)
            values[cp] = value
    return values


def line_break_ranges(values: dict[int, str]) -> list[tuple[int, int, str]]:
    merged = merge_values(values)
    expect("LineBreak.txt merged ranges", len(merged), 2920)
    private_use = [r for r in merged if r[2] == "XX"]
    expect("XX ranges (private use)", private_use,
           [(0xE000, 0xF8FF, "XX"), (0xF0000, 0xFFFFD, "XX"), (0x100000, 0x10FFFD, "XX")])
    # The default gives XX already.
    ranges = [r for r in merged if r[2] != "XX"]
    expect("LINE_BREAK_RANGES entries", len(ranges), 2917)
    per_class = Counter(v for _, _, v in ranges)
    for name, count in RANGES_PER_CLASS.items():
        expect(f"LINE_BREAK_RANGES {name} entries", per_class[name], count)
    for row in KNOWN_ROWS:
        assert row in ranges, f"row {row} missing"
    return ranges


def default_class(cp: int) -> str:
    if any(a <= cp <= b for a, b in DEFAULT_ID):
        return "ID"
    if any(a <= cp <= b for a, b in DEFAULT_PR):
        return "PR"
    return "XX"


def trie(ranges: list[tuple[int, int, str]]) -> tuple[list[int], list[int]]:
    """Stage 1 (block number per 2**SHIFT code points) and stage 2 (class per code point)."""
    classes = [None] * TRIE_LIMIT
    for first, last, value in ranges:
        for cp in range(first, min(last, TRIE_LIMIT - 1) + 1):
            classes[cp] = CLASS_INDEX[value]
    for cp in range(TRIE_LIMIT):
        if classes[cp] is None:
            classes[cp] = CLASS_INDEX[default_class(cp)]
    size = 1 << TRIE_SHIFT
    blocks: dict[tuple[int, ...], int] = {}
    stage1, stage2 = [], []
    for start in range(0, TRIE_LIMIT, size):
        block = tuple(classes[start : start + size])
        if block not in blocks:
            blocks[block] = len(blocks)
            stage2.extend(block)
        stage1.append(blocks[block])
    expect("LINE_BREAK_TRIE blocks", len(blocks), TRIE_BLOCKS)
    for cp in range(TRIE_LIMIT):
        assert stage2[(stage1[cp >> TRIE_SHIFT] << TRIE_SHIFT) | (cp & (size - 1))] == classes[cp]
    return stage1, stage2


def generate(ucd: Ucd) -> dict[str, str]:
    wide = wide_ranges(ucd)
    ranges = line_break_ranges(line_break_values(ucd))
    assert all(b < TRIE_LIMIT or default_class(b) == "XX" for _, b in DEFAULT_ID + DEFAULT_PR)
    stage1, stage2 = trie(ranges)

    enum = "enum class LineBreakClass : std::uint8_t {\n"
    enum += "".join(f"    {name} = {i},\n" for i, name in enumerate(CLASSES))
    enum += "};\n\n"
    body = range_array("WIDE_RANGES", wide)
    body += enum
    body += value_range_array(
        "LINE_BREAK_RANGES", "LineBreakClass", ranges, fmt=lambda v: f"LineBreakClass::{v}"
    )
    body += (
        f"inline constexpr std::uint32_t LINE_BREAK_TRIE_LIMIT = 0x{TRIE_LIMIT:X};\n"
        f"inline constexpr unsigned LINE_BREAK_TRIE_SHIFT = {TRIE_SHIFT};\n\n"
    )
    body += array_text(
        f"inline constexpr std::uint16_t LINE_BREAK_TRIE_INDEX[{len(stage1)}]",
        [str(b) for b in stage1], 16,
    )
    body += array_text(
        f"inline constexpr std::uint8_t LINE_BREAK_TRIE_CLASSES[{len(stage2)}]",
        [str(c) for c in stage2], 32,
    )
    text = header(
        "ucdgen/line_break.py",
        {
            "WIDE_RANGES": len(wide),
            "LINE_BREAK_RANGES": len(ranges),
            "LINE_BREAK_TRIE_INDEX": len(stage1),
            "LINE_BREAK_TRIE_CLASSES": len(stage2),
        },
        body,
        includes=('"range_table.h"',),
    )
    return {"line_break_data.h": text}
