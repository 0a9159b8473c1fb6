"""Shared notation of the line-break tests: texts written as class names, results
as one mark per boundary between two code points."""

import scrivlet

# One representative character per resolved line-break class, and a few named
# code points that the rules treat by value.
CHAR = {
    "BK": "\u000b", "CR": "\r", "LF": "\n", "NL": "\u0085", "SP": " ", "ZW": "\u200b",
    "ZWJ": "\u200d", "CM": "\u0300", "GL": "\u00a0", "WJ": "\u2060",
    "AK": "\u1b05", "AL": "a", "AP": "\U00011003", "AS": "\U00011350", "B2": "\u2014",
    "BA": "|", "BB": "\u00b4", "CB": "\ufffc", "CL": "}", "CP": ")", "EB": "\U0001f466",
    "EM": "\U0001f3fb", "EX": "!", "H2": "\uac00", "H3": "\uac01", "HH": "\u2010",
    "HL": "\u05d0", "HY": "-", "ID": "\u4e00", "IN": "\u2024", "IS": ",", "JL": "\u1100",
    "JT": "\u11a8", "JV": "\u1160", "NS": "\u3005", "NU": "1", "OP": "(", "PO": "%",
    "PR": "$", "QU": '"', "RI": "\U0001f1e6", "SY": "/", "VF": "\u1bf2", "VI": "\U00011046",
    # by value
    "Pi": "\u201c",  # QU, initial quotation mark
    "Pf": "\u201d",  # QU, final quotation mark
    "DC": "\u25cc",  # AL, dotted circle
    "OPw": "\uff08",  # OP, East Asian wide
    "NSw": "\u3005",  # NS, East Asian wide
    "BAw": "\u3000",  # BA, East Asian wide
    "INw": "\ufe19",  # IN, East Asian wide
    "CLw": "\uff09",  # CL, East Asian wide
    "UP": "\U0001f02c",  # ID, an unassigned Extended_Pictographic code point
    "PIC": "\U0001f600",  # ID, an assigned emoji that is not EB
}


def text_of(names: str) -> str:
    """The text spelled by space-separated names of CHAR."""
    return "".join(CHAR[name] for name in names.split())


def marks(text: str) -> str:
    """'×' (no break), '÷' (allowed) or '!' (mandatory) at each boundary between two
    code points of text; the boundaries at the ends are left out."""
    result = dict(scrivlet.line_break_opportunities(text))
    out = []
    offset = 0
    for ch in text[:-1]:
        offset += len(ch.encode())
        action = result.get(offset)
        out.append({None: "×", "allowed": "÷", "mandatory": "!"}[action])
    return "".join(out)


def marks_of(names: str) -> str:
    return marks(text_of(names))
