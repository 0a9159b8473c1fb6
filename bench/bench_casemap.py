"""Case mapping: lowercase, uppercase, title case, full and simple case folding.

Peers: the str methods (the interpreter's Unicode version), ICU's CaseMap
(PyICU), and for simple folding str.translate with the simple case folding
table (statuses C and S of CaseFolding.txt), built once: from the UCD named by
SCRIVLET_UCD (default /work/shared/ucd/17.0.0) when it is there, otherwise by
asking scrivlet for each code point, which gives the same table.
"""

import os
import sys
from pathlib import Path

import corpus
import scrivlet
from cases import Case, Peer, optional

icu = optional("icu")


def simple_folding() -> dict[int, int]:
    ucd = Path(os.environ.get("SCRIVLET_UCD", "/work/shared/ucd/17.0.0")) / "CaseFolding.txt"
    table = {}
    if ucd.exists():
        for line in ucd.read_text(encoding="utf-8").splitlines():
            fields = [f.strip() for f in line.split("#", 1)[0].split(";")]
            if len(fields) >= 3 and fields[1] in ("C", "S"):
                table[int(fields[0], 16)] = int(fields[2], 16)
        return table
    for cp in range(sys.maxunicode + 1):
        if 0xD800 <= cp <= 0xDFFF:
            continue
        folded = scrivlet.case_fold_simple(chr(cp))
        if folded != chr(cp):
            table[cp] = ord(folded)
    return table


SIMPLE = simple_folding()

OPERATIONS = [
    (scrivlet.to_lowercase, "str.lower", str.lower, "toLower"),
    (scrivlet.to_uppercase, "str.upper", str.upper, "toUpper"),
    (scrivlet.to_titlecase, "str.title", str.title, "toTitle"),
    (scrivlet.case_fold, "str.casefold", str.casefold, "fold"),
    (scrivlet.case_fold_simple, "str.translate", None, None),
]

CASES = []
for fn, peer_name, method, icu_name in OPERATIONS:
    for _, script, size, text in corpus.inputs():
        if method is None:
            peers = {peer_name: Peer(str.translate, (SIMPLE,),
                                     note="with the simple case folding table")}
        else:
            peers = {peer_name: Peer(method)}
            peers["PyICU CaseMap"] = Peer(getattr(icu.CaseMap, icu_name)) if icu else None
        CASES.append(Case(fn.__name__, script, size, text, fn, peers=peers))
