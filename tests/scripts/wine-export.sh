#!/usr/bin/env bash
# The Windows library exports TavSetUp undecorated, stands alone (no MinGW
# runtime DLL), and tavsetup.exe loads it and calls it.
set -euo pipefail
bin=$TAV_BIN_DIR; src=$TAV_SOURCE_DIR
bash "$src/scripts/check-export.sh" "$bin/TAVNOVU.dll" x86_64-w64-mingw32
deps=$(x86_64-w64-mingw32-objdump -p "$bin/TAVNOVU.dll" | awk '/DLL Name:/ {print tolower($3)}')
echo "imports: $deps"
if printf '%s\n' "$deps" | grep -Eq 'libstdc|libgcc|libwinpthread'; then
  echo "TAVNOVU.dll needs a MinGW runtime DLL" >&2; exit 1
fi
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
cd "$tmp"
set +e
"$src/scripts/wine-run.sh" "$bin/tavsetup.exe" --skip; rc=$?
[ $rc -eq 0 ] || { echo "tavsetup.exe --skip gave $rc" >&2; exit 1; }
"$src/scripts/wine-run.sh" "$bin/tavsetup.exe" --library 'C:\\nowhere\\TAVNOVU.dll' x y z >out.txt 2>err.txt; rc=$?
[ $rc -eq 3 ] || { echo "a missing library gave $rc, not 3" >&2; cat err.txt >&2; exit 1; }
grep -q "cannot load" err.txt
echo "ok"
