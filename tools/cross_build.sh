#!/usr/bin/env bash
# Compiles the core (no Python) for 64-bit Windows with MinGW-w64, the word
# dictionaries included (generated C++ sources, as every toolchain builds
# them). This proves the portable paths of the build; nothing runs on the
# target. Needs Debian's g++-mingw-w64-x86-64-posix.
#   tools/cross_build.sh [build directory, default build/cross]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/cross}"
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  echo "x86_64-w64-mingw32-g++-posix not found: apt-get install g++-mingw-w64-x86-64-posix" >&2
  exit 1
fi
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S "$root" -B "$build" "${generator[@]}" --toolchain "$root/tools/mingw-w64-x86_64.cmake" \
  -DSCRIVLET_BUILD_MODULE=OFF >/dev/null
cmake --build "$build" --target scrivlet
# The four dictionaries and the public interface are in the Windows library.
symbols="$(x86_64-w64-mingw32-nm -C --defined-only "$build/libscrivlet.a" 2>/dev/null)"
for name in THAI_WORDS LAO_WORDS KHMER_WORDS MYANMAR_WORDS "scrivlet::grapheme_boundaries"; do
  if ! grep -q "$name" <<<"$symbols"; then
    echo "$name is not defined in the Windows core library" >&2
    exit 1
  fi
done
echo "libscrivlet for x86_64-w64-mingw32 built"
