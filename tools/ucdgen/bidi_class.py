"""Bidi character data (data/bidi_class): BIDI_CLASS_RANGES and the paired-bracket tables."""

from __future__ import annotations

from collections import Counter

from .common import Ucd, array_text, expect, header, hex_cp, merge_values, value_range_array

# The numbering of BidiClass; the algorithm tests classes by value ranges.
CLASSES = [
    "L", "R", "AL", "EN", "ES", "ET", "AN", "CS", "NSM", "BN", "B", "S", "WS", "ON",
    "LRE", "RLE", "LRO", "RLO", "PDF", "LRI", "RLI", "FSI", "PDI",
]  # fmt: skip

RANGE_COUNTS = {
    "R": 76, "AL": 62, "EN": 14, "ES": 9, "ET": 24, "AN": 9, "CS": 13, "NSM": 360,
    "BN": 14, "B": 5, "S": 3, "WS": 7, "ON": 205,
    "LRE": 1, "RLE": 1, "LRO": 1, "RLO": 1, "PDF": 1, "LRI": 1, "RLI": 1, "FSI": 1, "PDI": 1,
}  # fmt: skip


def class_ranges(ucd: Ucd) -> list[tuple[int, int, str]]:
    # Assigned characters only: the defaults for unassigned code points are not applied,
    # so everything outside the table is L.
    values = {cp: fields[4] for cp, fields in ucd.unicode_data().items() if fields[4] != "L"}
    assert set(values.values()) <= set(CLASSES), set(values.values()) - set(CLASSES)
    ranges = merge_values(values)
    expect("BIDI_CLASS_RANGES entries", len(ranges), 810)
    expect("BIDI_CLASS_RANGES per class", dict(Counter(v for _, _, v in ranges)), RANGE_COUNTS)
    expect("BIDI_CLASS_RANGES first entry", ranges[0], (0x0000, 0x0008, "BN"))
    expect("BIDI_CLASS_RANGES last entry", ranges[-1], (0xE0100, 0xE01EF, "NSM"))
    return ranges  # type: ignore[return-value]


def bracket_pairs(ucd: Ucd) -> tuple[list[tuple[int, int]], list[tuple[int, int]]]:
    opening, closing = [], []
    for cp, paired, kind in ucd.lines("BidiBrackets.txt"):
        pair = (int(cp, 16), int(paired, 16))
        (opening if kind == "o" else closing).append(pair)
    opening.sort()
    closing.sort()
    expect("BIDI_BRACKET_PAIRS entries", len(opening), 64)
    expect("BIDI_CLOSING_TO_OPENING entries", len(closing), 64)
    expect("BIDI_BRACKET_PAIRS first entry", opening[0], (0x0028, 0x0029))
    expect("BIDI_BRACKET_PAIRS last entry", opening[-1], (0xFF62, 0xFF63))
    expect("pairs and their reverses", sorted((c, o) for o, c in opening), closing)
    return opening, closing


def pair_array(name: str, pairs: list[tuple[int, int]]) -> str:
    items = [f"{{{hex_cp(a)}, {hex_cp(b)}}}" for a, b in pairs]
    return array_text(f"inline constexpr BracketPair {name}[{len(pairs)}]", items, 4)


def generate(ucd: Ucd) -> dict[str, str]:
    ranges = class_ranges(ucd)
    opening, closing = bracket_pairs(ucd)
    body = (
        "// Included by bidi_class.h, which defines BidiClass and BracketPair.\n\n"
        + value_range_array("BIDI_CLASS_RANGES", "BidiClass", ranges, lambda v: f"BidiClass::{v}")
        + "// (opening, closing), sorted by the opening bracket.\n"
        + pair_array("BIDI_BRACKET_PAIRS", opening)
        + "// The closing brackets, one code point per range.\n"
        + array_text(
            f"inline constexpr Range BIDI_CLOSING_BRACKETS[{len(closing)}]",
            [f"{{{hex_cp(c)}, {hex_cp(c)}}}" for c, _ in closing],
            4,
        )
        + "// (closing, opening), sorted by the closing bracket.\n"
        + pair_array("BIDI_CLOSING_TO_OPENING", closing)
    )
    counts = {
        "BIDI_CLASS_RANGES": len(ranges),
        "BIDI_BRACKET_PAIRS": len(opening),
        "BIDI_CLOSING_BRACKETS": len(closing),
        "BIDI_CLOSING_TO_OPENING": len(closing),
    }
    return {
        "bidi_class_data.h": header(
            "ucdgen/bidi_class.py", counts, body, includes=('"range_table.h"',)
        )
    }
