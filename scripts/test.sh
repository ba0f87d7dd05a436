#!/usr/bin/env bash
# Builds every preset and runs every test: native, sanitize, the fuzz targets
# (seeds and a short run each), Windows under Wine, and the export check of the
# 32-bit Windows library (whose programs cannot run here).
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh || exit 1

jobs=$(nproc 2>/dev/null || echo 2)
failed=()
step() { echo; echo "=== $* ==="; "$@" || failed+=("$*"); }

build() {
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j"$jobs"
}

step build native
step ctest --preset native
step build sanitize
step ctest --preset sanitize
step build fuzz
step ctest --preset fuzz
step build mingw
# Before the Windows tests: they check the 32-bit installer too.
step build mingw32
step bash scripts/check-export.sh build/mingw32/bin/TAVNOVU.dll i686-w64-mingw32
step ctest --preset mingw

echo
if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "All builds and tests passed."
