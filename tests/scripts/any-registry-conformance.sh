#!/usr/bin/env bash
# Runs the registry conformance suite against the machine's own reader once it
# holds the fixtures: the Linux build reads them as the snapshots named in
# TAVNOVU_REGISTRY; the Windows build reads advapi32 in a fresh Wine prefix
# into which regedit /S has imported them.
set -u
bin=$TAV_BIN_DIR; src=$TAV_SOURCE_DIR
files=$(printf "$src/tests/fixtures/registry/conformance-%s.reg " unicode ansi names badlines views)
if [ -f "$bin/tav_tests.exe" ]; then
  [ -x /usr/lib/wine/wine64 ] || { echo "no Wine"; exit 77; }
  WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/tav-regprefix.XXXXXX") || exit 1
  export WINEPREFIX TAV_REGISTRY_IMPORTED=wine
  trap '/usr/lib/wine/wineserver -w; rm -rf "$WINEPREFIX"' EXIT
  for file in $files; do
    "$src/scripts/wine-run.sh" regedit /S "Z:${file//\//\\}" || { echo "regedit could not import $file"; exit 1; }
  done
  run=("$src/scripts/wine-run.sh" "$bin/tav_tests.exe")
elif [ -x "$bin/tav_tests" ]; then
  export TAVNOVU_REGISTRY=${files// /:} TAV_REGISTRY_IMPORTED=native
  run=("$bin/tav_tests")
else
  echo "FAIL: tav_tests is not built in $bin"; exit 1
fi
out=$("${run[@]}" --gtest_filter='RegistryConformance.MachineRegistryAnswersAsTheGoldenRegistry' 2>&1)
rc=$?
printf '%s\n' "$out"
# The case must have run, against the imported fixtures.
[ $rc -eq 0 ] && ! grep -q '^\[  SKIPPED \]' <<<"$out" && grep -q '^\[  PASSED  \] 1 test' <<<"$out"
