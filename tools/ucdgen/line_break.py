"""Line-break character data (data/line_break): WIDE_RANGES, the East Asian wide set
shared by display width and line breaking."""

from __future__ import annotations

from .common import Ucd, expect, header, merge_set, range_array


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


def generate(ucd: Ucd) -> dict[str, str]:
    wide = wide_ranges(ucd)
    body = range_array("WIDE_RANGES", wide)
    text = header(
        "ucdgen/line_break.py",
        {"WIDE_RANGES": len(wide)},
        body,
        includes=('"range_table.h"',),
    )
    return {"line_break_data.h": text}
