#!/usr/bin/env bash
# Compiles the core (no Python) for 64-bit Windows with MinGW-w64, once with each
# way of embedding the word lists: the .incbin assembly and the generated array
# that MSVC builds use. This proves the portable paths of the build; nothing runs
# on the target. Needs Debian's g++-mingw-w64-x86-64-posix.
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
for embed in incbin array; do
  dir="$build/$embed"
  cmake -S "$root" -B "$dir" "${generator[@]}" --toolchain "$root/tools/mingw-w64-x86_64.cmake" \
    -DSCRIVLET_BUILD_MODULE=OFF -DSCRIVLET_WORDLIST_EMBED="$embed" >/dev/null
  cmake --build "$dir" --target scrivlet_core
  # Both symbols the dictionary code reads are defined.
  symbols="$(x86_64-w64-mingw32-nm --defined-only "$dir/libscrivlet_core.a" 2>/dev/null)"
  for name in scrivlet_wordlists scrivlet_wordlist_index; do
    if ! grep -qE " [RrDd] $name\$" <<<"$symbols"; then
      echo "$embed: $name is not defined in the Windows core library" >&2
      exit 1
    fi
  done
  echo "$embed: scrivlet_core for x86_64-w64-mingw32 built"
done
