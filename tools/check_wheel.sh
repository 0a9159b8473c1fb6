#!/usr/bin/env bash
# The release path on this machine: an sdist, a wheel built from that sdist, and
# every check a maintainer wants clean before publishing.
#   tools/check_wheel.sh [output directory, default: a new temporary directory]
# Run it in a virtual environment: it installs the checkers into it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$(mktemp -d)}"
mkdir -p "$out"
cd "$root"

python -m pip install --quiet build twine check-wheel-contents auditwheel \
  "validate-pyproject[all]" cibuildwheel check-jsonschema

echo "-- pyproject.toml against its schemas (project, scikit-build, cibuildwheel)"
validate-pyproject pyproject.toml

echo "-- the release workflow against the workflow schema"
check-jsonschema --builtin-schema vendor.github-workflows .github/workflows/release.yml

echo "-- what cibuildwheel would build"
for platform in linux macos windows; do
  identifiers="$(cibuildwheel --print-build-identifiers --platform "$platform" 2>/dev/null)"
  echo "$platform: $(tr '\n' ' ' <<<"$identifiers")"
  # Every supported CPython and nothing else.
  for version in 39 310 311 312 313; do
    grep -q "^cp$version-" <<<"$identifiers" || { echo "no cp$version build on $platform"; exit 1; }
  done
  if grep -qv '^cp3\(9\|1[0-3]\)-' <<<"$identifiers"; then
    echo "unexpected builds on $platform"; exit 1
  fi
done

echo "-- sdist, then a wheel built from it"
rm -f "$out"/scrivlet-*
python -m build --sdist --outdir "$out" >/dev/null
sdist=("$out"/scrivlet-*.tar.gz)
python -m pip wheel --quiet --no-deps --wheel-dir "$out" "${sdist[0]}"
wheel=("$out"/scrivlet-*.whl)
echo "${sdist[0]##*/} ${wheel[0]##*/}"

echo "-- twine check"
twine check --strict "${sdist[0]}" "${wheel[0]}"

echo "-- check-wheel-contents"
# Exactly two entries at the top: this interpreter's extension module and the stubs.
suffix="$(python -c 'import sysconfig; print(sysconfig.get_config_var("EXT_SUFFIX"))')"
check-wheel-contents --toplevel "scrivlet$suffix,scrivlet-stubs" "${wheel[0]}"

echo "-- auditwheel show"
auditwheel show "${wheel[0]}"
# Clean: a manylinux (or musllinux) tag, nothing outside the policy to vendor.
auditwheel show --json "${wheel[0]}" | python -c '
import json, sys
r = json.load(sys.stdin)
problems = [k for k in ("pyfpe", "ucs2", "unsupported_isa") if r[k]]
if r["external_libs"]:
    problems.append("needs " + ", ".join(r["external_libs"]))
if not r["overall_tag"].startswith(("manylinux_", "musllinux_")):
    problems.append("no manylinux or musllinux tag: " + r["overall_tag"])
sys.exit("; ".join(problems) or None)
'
echo "the wheel is clean: $(auditwheel show --json "${wheel[0]}" | python -c 'import json, sys; print(json.load(sys.stdin)["overall_tag"])')"
