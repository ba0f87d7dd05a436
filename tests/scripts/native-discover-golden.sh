#!/usr/bin/env bash
# tavdiscover on every discovery fixture prints the records in the golden file
# of that fixture. The fixtures' parameter files live under drives/ (drive C:).
# TAV_UPDATE_GOLDEN=1 rewrites the golden files instead (review the diff).
set -u
src=${TAV_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
tool=${TAV_BIN_DIR:-$src/build/native/bin}/tavdiscover
fixtures=$src/tests/fixtures/discovery
golden=$src/tests/golden/discovery
if [ ! -x "$tool" ]; then echo "skipped: no tavdiscover at $tool"; exit 77; fi

export TAVNOVU_DRIVES=$fixtures/drives COMPUTERNAME=DBHOST01
failures=0
for reg in "$fixtures"/*.reg; do
  name=$(basename "$reg" .reg)
  case $name in
    oracle-*) family=ora ;;
    mssql-*) family=sql ;;
    sybase-*) family=syb ;;
    informix-*) family=ifx ;;
    paths-*) family=--install-paths ;;
    *) echo "FAIL: $name.reg names no family"; failures=$((failures + 1)); continue ;;
  esac
  actual=$(cd "$fixtures" && "$tool" --registry "$name.reg" $family 2>&1; echo "exit $?")
  if [ "${TAV_UPDATE_GOLDEN:-0}" = 1 ]; then
    printf '%s\n' "$actual" >"$golden/$name.txt"
  elif ! diff -u "$golden/$name.txt" <(printf '%s\n' "$actual"); then
    echo "FAIL: $name"
    failures=$((failures + 1))
  fi
done
echo "$failures failures"
[ "$failures" -eq 0 ]
