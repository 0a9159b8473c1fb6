#!/usr/bin/env bash
# Builds the C++ library static and shared (without the Python module),
# installs each into a prefix of its own, and builds and runs the consumer
# project of tests/cpp_consumer against it, through find_package and through
# pkg-config. The shared library must export the public interface alone.
# Prints the installed libraries' sizes.
#   tools/cpp_library_check.sh [scratch directory, default build/cpp]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
work="${1:-$root/build/cpp}"
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
for kind in static shared; do
  shared=OFF
  [ "$kind" = shared ] && shared=ON
  build="$work/$kind/build" prefix="$work/$kind/prefix"
  cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_SHARED_LIBS="$shared" >/dev/null
  cmake --build "$build" >/dev/null
  cmake --install "$build" --prefix "$prefix" >/dev/null
  cmake -S "$root/tests/cpp_consumer" -B "$work/$kind/consumer" "${generator[@]}" \
    -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
  cmake --build "$work/$kind/consumer" >/dev/null
  LD_LIBRARY_PATH="$prefix/lib" "$work/$kind/consumer/consumer"
  pc_dir="$(dirname "$(find "$prefix" -name scrivlet.pc)")"
  # shellcheck disable=SC2046
  c++ -std=c++20 "$root/tests/cpp_consumer/main.cpp" -o "$work/$kind/consumer-pc" \
    $(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags --libs scrivlet)
  LD_LIBRARY_PATH="$prefix/lib" "$work/$kind/consumer-pc"
  if [ "$kind" = shared ]; then
    library="$(find "$prefix" -name 'libscrivlet.so.*.*.*')"
    stray="$(nm -DC --defined-only "$library" | awk '{ $1 = $2 = ""; print }' |
             grep -Ev '^ *scrivlet::[a-z_0-9]+(\[abi:cxx11\])?\(|^ *_init$|^ *_fini$' || true)"
    if [ -n "$stray" ]; then
      echo "the shared library exports more than the public interface:" >&2
      echo "$stray" >&2
      exit 1
    fi
  else
    library="$prefix/lib/libscrivlet.a"
  fi
  echo "$kind: $(basename "$library") $(du -k "$library" | cut -f1) KiB"
done
