"""The corpus example on Dask's local cluster agrees with a plain loop."""

import importlib.util
import json
import os
import pickle
import subprocess
import sys
from pathlib import Path

import pytest
import scrivlet

EXAMPLE = Path(__file__).resolve().parent.parent / "examples" / "corpus.py"
SANITIZED = bool(os.environ.get("SCRIVLET_SANITIZED"))

CORPUS = {
    "english.txt": "It's 3.14 o'clock. Time for tea!\nNew line, new sentence? Yes.",
    "thai.txt": "ภาษาไทยไม่มีช่องว่างระหว่างคำ อันตั้งอยู่",
    "khmer_myanmar.txt": "ភាសាខ្មែរ\nမြန်မာဘာသာ",
    "decomposed.txt": "e\u0301le\u0300ve \u1100\u1161\u11a8 Å",
    "emoji_cjk.txt": "👨\u200d👩\u200d👧 東京都の天気は晴れ。🇯🇵",
    "empty.txt": "",
}


@pytest.mark.parametrize("name", sorted(n for n in dir(scrivlet) if not n.startswith("_")))
def test_functions_pickle_by_reference(name):
    value = getattr(scrivlet, name)
    assert pickle.loads(pickle.dumps(value)) is value


@pytest.mark.skipif(SANITIZED, reason="worker processes are not run under the sanitizers")
@pytest.mark.skipif(
    importlib.util.find_spec("distributed") is None,
    reason="dask[distributed] (the dask extra) is not installed",
)
def test_corpus_on_local_cluster_matches_plain_loop(tmp_path):
    files = []
    for name, text in CORPUS.items():
        (tmp_path / name).write_text(text, encoding="utf-8")
        files.append(str(tmp_path / name))
    run = subprocess.run(
        [sys.executable, str(EXAMPLE), "--json", "--workers", "2", *files],
        check=False, capture_output=True, text=True, timeout=300, cwd=tmp_path,
    )
    assert run.returncode == 0, run.stderr

    spec = importlib.util.spec_from_file_location("corpus_example", EXAMPLE)
    example = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(example)
    expected = [
        {"document": f, **example.measure(scrivlet.normalize_nfc(t))}
        for f, t in zip(files, CORPUS.values())
    ]
    assert json.loads(run.stdout) == expected
    # NFC ran in the workers: the decomposed document came back composed.
    assert expected[3]["code_points"] < len(CORPUS["decomposed.txt"])
