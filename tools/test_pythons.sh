#!/usr/bin/env bash
# Builds scrivlet and runs the whole test suite on each supported CPython, each
# in a fresh virtual environment, the way the README does it:
# pip install ".[test]" && python -m pytest.
#   tools/test_pythons.sh [X.Y ...]        (default: 3.9 3.10 3.11 3.12 3.13)
# An interpreter is taken from pyenv when it has that version, else pythonX.Y on
# PATH. The venvs go to $SCRATCH (default: a new temporary directory).
# Every version runs even if one fails; the exit status says whether all passed.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ $# -gt 0 ]; then versions=("$@"); else versions=(3.9 3.10 3.11 3.12 3.13); fi
scratch="${SCRATCH:-$(mktemp -d)}"
mkdir -p "$scratch"

find_python() {
  local version="$1" candidate
  if command -v pyenv >/dev/null; then
    # The newest patch release pyenv has of that version.
    candidate="$(printf '%s\n' "$(pyenv root)/versions/$version".*/bin/"python$version" | sort -V | tail -n 1)"
    if [ -x "$candidate" ]; then
      echo "$candidate"
      return
    fi
  fi
  candidate="$(command -v "python$version")" && "$candidate" -c "" 2>/dev/null && echo "$candidate"
}

summary=()
status=0
for version in "${versions[@]}"; do
  echo "== CPython $version"
  start=$SECONDS
  python="$(find_python "$version")"
  if [ -z "$python" ]; then
    echo "no CPython $version found (pyenv or python$version on PATH)"
    summary+=("$version: no interpreter")
    status=1
    continue
  fi
  venv="$scratch/venv-$version"
  rm -rf "$venv"
  if "$python" -m venv "$venv" &&
    "$venv/bin/python" -m pip install --quiet --upgrade pip &&
    (cd "$root" && "$venv/bin/python" -m pip install --quiet ".[test]") &&
    (cd "$root" && "$venv/bin/python" -m pytest -q -p no:cacheprovider); then
    result="passed"
  else
    result="FAILED"
    status=1
  fi
  summary+=("$("$python" -V 2>&1): $result in $((SECONDS - start)) s")
done

echo "== summary"
printf '%s\n' "${summary[@]}"
exit $status
