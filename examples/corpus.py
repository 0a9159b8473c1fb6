"""Normalise, segment and measure a corpus in parallel on Dask's local cluster.

    pip install ".[dask]"
    python examples/corpus.py [--workers N] [--json] [FILE ...]

Each file is one document (UTF-8); without files, the tour's samples are the
corpus. Every document is normalised to NFC, then measured: its grapheme
clusters, its words (word segments holding a letter or a digit), its sentences,
its widest line in terminal cells and its line-break opportunities, Thai, Lao,
Khmer and Myanmar split by the dictionaries.

The work runs on a LocalCluster of worker processes. scrivlet's functions are
plain module functions and pickle by reference (only their names travel), so
they can be handed to the cluster directly, as `normalize_nfc` is below.
"""

import argparse
import json
import sys
from pathlib import Path

import scrivlet


def measure(text):
    """The figures of one NFC document; the same in a worker as in a plain loop."""
    data = text.encode()
    starts = scrivlet.word_boundaries(text)
    segments = (data[a:b].decode() for a, b in zip(starts, starts[1:] + [len(data)]))
    breaks = scrivlet.line_break_opportunities_with_dictionary(text)
    return {
        "code_points": len(text),
        "clusters": len(scrivlet.grapheme_boundaries(text)),
        "words": sum(any(c.isalnum() for c in s) for s in segments),
        "sentences": len(scrivlet.sentence_boundaries(text)) if text else 0,
        "widest_line": max((scrivlet.display_width(line) for line in text.splitlines()), default=0),
        "break_opportunities": sum(action == "allowed" for _, action in breaks),
    }


def measure_corpus(documents, workers=2):
    """The figures of every document, in order, computed on a local cluster."""
    from dask.distributed import Client, LocalCluster

    with LocalCluster(
        n_workers=workers, threads_per_worker=1, processes=True, dashboard_address=None
    ) as cluster, Client(cluster) as client:
        normalized = client.map(scrivlet.normalize_nfc, documents, pure=False)
        return client.gather(client.map(measure, normalized, pure=False))


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("files", nargs="*", type=Path, help="UTF-8 text files, one document each")
    parser.add_argument("--workers", type=int, default=2, help="worker processes (default 2)")
    parser.add_argument("--json", action="store_true", help="print the figures as JSON")
    args = parser.parse_args(argv)

    if args.files:
        names = [str(f) for f in args.files]
        documents = [f.read_text(encoding="utf-8") for f in args.files]
    else:
        sys.path.insert(0, str(Path(__file__).resolve().parent))
        from tour import SAMPLE

        names, documents = list(SAMPLE), list(SAMPLE.values())

    figures = measure_corpus(documents, args.workers)
    if args.json:
        json.dump([{"document": n, **f} for n, f in zip(names, figures)], sys.stdout, indent=1)
        print()
        return
    columns = list(figures[0]) if figures else []
    width = {c: len(c) + 2 for c in columns}
    print(f"{'document':<24}" + "".join(f"{c:>{width[c]}}" for c in columns))
    for name, row in zip(names, figures):
        print(f"{name[:24]:<24}" + "".join(f"{row[c]:>{width[c]}}" for c in columns))
    if figures:
        total = {c: (max if c == "widest_line" else sum)(r[c] for r in figures) for c in columns}
        print(f"{'all':<24}" + "".join(f"{total[c]:>{width[c]}}" for c in columns))


if __name__ == "__main__":
    main()
