#!/usr/bin/env bash
# Runs the registry conformance suite against the machine registry of the
# Linux build: the fixtures named in TAVNOVU_REGISTRY.
set -u
bin=$TAV_BIN_DIR; src=$TAV_SOURCE_DIR
[ -x "$bin/tav_tests" ] || { echo "tav_tests is not built"; exit 77; }
fixtures=$src/tests/fixtures/registry
files=$(printf "$fixtures/%s:" conformance-unicode.reg conformance-ansi.reg conformance-names.reg conformance-badlines.reg)
out=$(TAVNOVU_REGISTRY="$files" \
      TAV_REGISTRY_IMPORTED=native "$bin/tav_tests" --gtest_filter='RegistryConformance/Machine.*' 2>&1)
rc=$?
printf '%s\n' "$out"
[ $rc -eq 0 ] || exit 1
if grep -q '^\[  SKIPPED \]' <<<"$out"; then
  echo "conformance cases were skipped" >&2
  exit 1
fi
grep -q '^\[  PASSED  \] [1-9]' <<<"$out" || exit 1
