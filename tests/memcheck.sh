#!/usr/bin/env bash
# valgrind memcheck over tests/memcheck.py. The interpreter build itself reports
# errors under memcheck (it is not built for valgrind), so a first run that only
# imports the module records those as suppressions; anything left is ours.
#   tests/memcheck.sh [python]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
python="$("${1:-python}" -c 'import sys; print(sys.executable)')"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export PYTHONMALLOC=malloc
valgrind --gen-suppressions=all --log-file="$work/baseline.log" \
  "$python" -c "import sys, pathlib, scrivlet; scrivlet.grapheme_boundaries('a')" >/dev/null
awk '/^\{/{keep=1} keep{print} /^\}/{keep=0}' "$work/baseline.log" > "$work/interpreter.supp"
valgrind --quiet --suppressions="$work/interpreter.supp" --error-exitcode=1 \
  --leak-check=full --show-leak-kinds=definite --errors-for-leak-kinds=definite \
  "$python" "$here/memcheck.py"
