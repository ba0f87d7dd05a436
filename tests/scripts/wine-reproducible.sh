#!/usr/bin/env bash
# Reproducible builds. The release script builds the shipped targets of both
# architectures once more, tests off, in another directory ($TAV_BUILD_DIR/
# release: other paths), and its stripped DLL, programs and installers must
# equal byte for byte those of this build and of build/mingw32, the builds CI
# makes from a clean clone. Run again, the release script gives the same
# archive. Runs with the Windows tests (after both builds) though it needs no Wine.
set -uo pipefail
command -v zip >/dev/null 2>&1 || { echo "skipped: zip is not installed"; exit 77; }
src=$TAV_SOURCE_DIR
release=$TAV_BUILD_DIR/release
status=0
. "$(dirname "$0")/e2e-lib.sh"  # e2e_report

if [ ! -f "$src/build/mingw32/stage/bin/TAVNOVU.dll" ]; then
  echo "no build/mingw32: building it as scripts/test.sh does"
  (cd "$src" && cmake --preset mingw32 >/dev/null && cmake --build --preset mingw32 -j2 >/dev/null) || exit 1
fi
# A build staged at an earlier commit carries that commit's time: staged again.
epoch=$(git -C "$src" log -1 --format=%ct)
for first in "$TAV_BUILD_DIR" "$src/build/mingw32"; do
  if [ "$(stat -c %Y "$first/stage/bin/TAVNOVU.dll")" != "$epoch" ]; then
    echo "$first was staged at another commit: staging it again"
    rm -rf "$first/stage" && cmake --build "$first" --target installers >/dev/null || exit 1
  fi
done
start=$(date +%s)
for run in 1 2; do
  TAV_RELEASE_BUILD=$release TAV_RELEASE_DIST=$release/dist-$run bash "$src/scripts/release.sh" \
    >"$release-$run.log" 2>&1 || { cat "$release-$run.log"; echo "release.sh failed"; exit 1; }
  echo "release.sh, run $run: $(( $(date +%s) - start )) s"
done

for row in "x64:$TAV_BUILD_DIR" "x86:$src/build/mingw32"; do
  arch=${row%%:*} first=${row#*:}
  for file in stage/bin/TAVNOVU.dll stage/bin/tavsetup.exe stage/bin/tavdiscover.exe \
              installers/agents-$arch.exe installers/agents-$arch.msi; do
    [ -f "$first/$file" ] || continue  # an installer whose tool is missing
    if cmp -s "$first/$file" "$release/$arch/$file"; then
      e2e_report "$arch ${file##*/}: $(stat -c %s "$first/$file") bytes" 0
    else
      echo "$(cmp -l "$first/$file" "$release/$arch/$file" 2>&1 | wc -l) bytes differ; the first offsets (decimal, octal values):"
      cmp -l "$first/$file" "$release/$arch/$file" 2>&1 | head -5
      e2e_report "$arch ${file##*/}" 1
    fi
  done
done

archive=$(cd "$release/dist-1" && ls ./*.zip)
cmp "$release/dist-1/$archive" "$release/dist-2/$archive" && cmp "$release/dist-1/SHA256SUMS" "$release/dist-2/SHA256SUMS"
e2e_report "the archive twice: ${archive#./}" $?
exit $status
