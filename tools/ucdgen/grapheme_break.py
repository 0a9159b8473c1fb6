"""GRAPHEME_BREAK_RANGES and the Extended_Pictographic emoji set (data/grapheme_break)."""

from __future__ import annotations

from collections import Counter

from .common import Ucd, code_points, expect, header, merge_set, merge_values, range_array, value_range_array

# GraphemeBreakClass, in enumeration order (values 0..16).
CLASSES = [
    "Any", "CR", "LF", "Control", "Extend", "ZWJ", "RI", "Prepend", "SpacingMark",
    "L", "V", "T", "LV", "LVT", "ExtPict", "Consonant", "Linker",
]
PROPERTY_TO_CLASS = {
    "CR": "CR", "LF": "LF", "Control": "Control", "Extend": "Extend", "ZWJ": "ZWJ",
    "Regional_Indicator": "RI", "Prepend": "Prepend", "SpacingMark": "SpacingMark",
    "L": "L", "V": "V", "T": "T", "LV": "LV", "LVT": "LVT",
}
RANGES_PER_CLASS = {
    "CR": 1, "LF": 1, "Control": 19, "Extend": 377, "ZWJ": 1, "RI": 1, "Prepend": 15,
    "SpacingMark": 158, "L": 2, "V": 4, "T": 2, "LV": 399, "LVT": 399, "Consonant": 76, "Linker": 20,
}
LINKERS = [
    0x094D, 0x09CD, 0x0ACD, 0x0B4D, 0x0C4D, 0x0D4D, 0x1039, 0x17D2, 0x1A60, 0x1B44,
    0x1BAB, 0xA9C0, 0xAAF6, 0x10A3F, 0x11133, 0x113D0, 0x1193E, 0x11A47, 0x11A99, 0x11F42,
]


def grapheme_classes(ucd: Ucd) -> dict[int, str]:
    classes: dict[int, str] = {}
    for first, last, (value,) in ucd.property_ranges("auxiliary/GraphemeBreakProperty.txt"):
        for cp in range(first, last + 1):
            classes[cp] = PROPERTY_TO_CLASS[value]
    linkers, consonants = set(), set()
    for first, last, values in ucd.property_ranges("DerivedCoreProperties.txt"):
        if values[0] != "InCB":
            continue
        target = {"Linker": linkers, "Consonant": consonants}.get(values[1])
        if target is not None:
            target.update(range(first, last + 1))
    expect("Indic_Conjunct_Break Linker code points", sorted(linkers), LINKERS)
    for cp in linkers:
        assert classes.get(cp) == "Extend", hex(cp)
        classes[cp] = "Linker"
    for cp in consonants:
        assert cp not in classes, hex(cp)
        classes[cp] = "Consonant"
    return classes


def emoji_pictographic(ucd: Ucd) -> set[int]:
    pictographic, emoji = set(), set()
    for first, last, (value,) in ucd.property_ranges("emoji/emoji-data.txt"):
        if value == "Extended_Pictographic":
            pictographic.update(range(first, last + 1))
        elif value == "Emoji":
            emoji.update(range(first, last + 1))
    assigned = ucd.assigned()
    return {cp for cp in pictographic if cp in emoji or cp not in assigned}


def generate(ucd: Ucd) -> dict[str, str]:
    classes = grapheme_classes(ucd)
    ranges = merge_values(classes)
    expect("GRAPHEME_BREAK_RANGES entries", len(ranges), 1475)
    per_class = Counter(v for _, _, v in ranges)
    for name, count in RANGES_PER_CLASS.items():
        expect(f"GRAPHEME_BREAK_RANGES {name} entries", per_class[name], count)
    expect("first entry", ranges[0], (0x0000, 0x0009, "Control"))
    expect("last entry", ranges[-1], (0xE01F0, 0xE0FFF, "Control"))

    pictographic = emoji_pictographic(ucd)
    pict_ranges = merge_set(pictographic)
    expect("EMOJI_PICTOGRAPHIC_RANGES entries", len(pict_ranges), 156)
    expect("emoji pictographic code points", len(pictographic), 2848)
    assert not pictographic & set(classes), "emoji set overlaps the grapheme table"
    assert not code_points([(0x1F1E6, 0x1F1FF), (0x1F3FB, 0x1F3FF)]) & pictographic

    body = value_range_array(
        "GRAPHEME_BREAK_RANGES", "GraphemeBreakClass", ranges,
        fmt=lambda v: f"GraphemeBreakClass::{v}",
    )
    body += range_array("EMOJI_PICTOGRAPHIC_RANGES", pict_ranges)
    text = header(
        "ucdgen/grapheme_break.py",
        {"GRAPHEME_BREAK_RANGES": len(ranges), "EMOJI_PICTOGRAPHIC_RANGES": len(pict_ranges)},
        "// Included by grapheme_break.h, which defines GraphemeBreakClass.\n\n" + body,
        includes=('"range_table.h"',),
    )
    return {"grapheme_break_data.h": text}
