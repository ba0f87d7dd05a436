#!/usr/bin/env bash
# The NSIS installers carry the stripped TAVNOVU.dll of their architecture: the
# file extracted from each equals the one `cmake --install --strip` staged, and
# exports the undecorated TavSetUp. The x86 installer comes from the mingw32
# build, which cannot run here: this check is all it gets.
set -uo pipefail
command -v 7z >/dev/null 2>&1 || { echo "skipped: 7z is not installed"; exit 77; }
status=0 checked=0
for build in "$TAV_BUILD_DIR:x64:x86_64" "$TAV_SOURCE_DIR/build/mingw32:x86:i686"; do
  IFS=: read -r dir arch cpu <<<"$build"
  exe=$dir/installers/agents-$arch.exe
  if [ ! -f "$exe" ]; then
    echo "[$arch] no $exe: build its preset first"
    [ -z "${CI:-}" ] || status=1  # scripts/test.sh builds both first
    continue
  fi
  out=$(mktemp -d)
  7z e -o"$out" "$exe" '$PLUGINSDIR/TAVNOVU.dll' >/dev/null
  if cmp "$dir/stage/bin/TAVNOVU.dll" "$out/TAVNOVU.dll" &&
     bash "$TAV_SOURCE_DIR/scripts/check-export.sh" "$out/TAVNOVU.dll" "$cpu-w64-mingw32"; then
    echo "[$arch] ok: $(stat -c %s "$out/TAVNOVU.dll") bytes"; checked=$((checked + 1))
  else
    echo "[$arch] FAILED"; status=1
  fi
  rm -rf "$out"
done
[ $status = 0 ] && [ $checked = 0 ] && exit 77
exit $status
