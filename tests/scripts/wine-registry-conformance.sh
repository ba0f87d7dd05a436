#!/usr/bin/env bash
# Imports the registry fixtures into a fresh Wine prefix with regedit, then runs
# the registry conformance suite against advapi32 in that prefix.
set -u
bin=$TAV_BIN_DIR; src=$TAV_SOURCE_DIR
[ -f "$bin/tav_tests.exe" ] || { echo "tav_tests.exe is not built"; exit 77; }
[ -x /usr/lib/wine/wine64 ] || command -v wine64 >/dev/null || { echo "no Wine"; exit 77; }
wineserver=/usr/lib/wine/wineserver
[ -x "$wineserver" ] || wineserver=wineserver

prefix=$(mktemp -d "${TMPDIR:-/tmp}/tav-regprefix.XXXXXX")
export WINEPREFIX=$prefix
cleanup() {
  "$wineserver" -w 2>/dev/null
  rm -rf "$prefix"
}
trap cleanup EXIT

fixtures=$src/tests/fixtures/registry
for file in conformance-unicode.reg conformance-ansi.reg conformance-names.reg conformance-badlines.reg; do
  winpath="Z:$(printf '%s' "$fixtures/$file" | tr / '\\')"
  if ! "$src/scripts/wine-run.sh" regedit /S "$winpath"; then
    echo "regedit could not import $file" >&2
    exit 1
  fi
done

out=$(TAV_REGISTRY_IMPORTED=wine "$src/scripts/wine-run.sh" "$bin/tav_tests.exe" \
        --gtest_filter='RegistryConformance/Machine.*' 2>&1)
rc=$?
printf '%s\n' "$out"
[ $rc -eq 0 ] || exit 1
# Every case must have run against the imported fixtures.
if grep -q '^\[  SKIPPED \]' <<<"$out"; then
  echo "conformance cases were skipped" >&2
  exit 1
fi
grep -q '^\[  PASSED  \] [1-9]' <<<"$out" || exit 1
