#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
#   tests/fuzz/run.sh [seconds per target, default 30]
# New inputs go to a scratch corpus; the committed seeds are only read.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
seconds="${1:-30}"
build="${FUZZ_BUILD_DIR:-$root/build/fuzz}"
CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DSCRIVLET_FUZZ=ON -DSCRIVLET_BUILD_MODULE=OFF >/dev/null
cmake --build "$build"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
status=0
for target in "$build"/fuzz_*; do
  name="$(basename "$target")"
  seeds="$root/tests/fuzz/corpus/${name#fuzz_}"
  mkdir -p "$scratch/$name"
  if "$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$scratch/$name-" "$scratch/$name" "$seeds" >"$scratch/$name.log" 2>&1; then
    echo "$name: $(grep -E '^Done' "$scratch/$name.log" || tail -n 1 "$scratch/$name.log")"
  else
    echo "$name: FAILED"; tail -n 40 "$scratch/$name.log"; status=1
    for crash in "$scratch/$name"-*; do [ -e "$crash" ] && { echo "input:"; xxd "$crash" | head -20; }; done
  fi
done
exit $status
