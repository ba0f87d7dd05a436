#!/usr/bin/env bash
# Pictures the two dialogs as the Windows build shows them: tav_tests.exe runs
# its screenshot script (Win32DialogTest.DISABLED_Screenshots) under Wine in a
# virtual desktop on Xvfb, posing each dialog in turn; each pose is captured
# with ImageMagick and cropped to the dialog's window.
# Writes docs/select-dialog.png and docs/properties-dialog.png.
# Needs: a mingw build (cmake --build build/mingw --target tav_tests), Wine,
# xvfb-run, ImageMagick.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=${TAV_BUILD_DIR:-$src/build/mingw}
exe=$build/bin/tav_tests.exe
[ -f "$exe" ] || { echo "no $exe: build the mingw preset first" >&2; exit 1; }
for tool in xvfb-run import convert; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done

if [ "${1:-}" != --inner ]; then
  # The screen is the virtual desktop's size, so desktop and screen
  # coordinates are the same.
  exec xvfb-run -a -s "-screen 0 800x600x24" bash "$0" --inner
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WINEPREFIX=$build/wineprefix-display
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  WINEDEBUG=-all /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
  /usr/lib/wine/wineserver -w 2>/dev/null || true
fi
# Wine's own "MS Sans Serif", Tahoma and Marlett (package fonts-wine) are not
# found by this Wine build unless they are in the prefix; without them the
# dialogs are drawn in a wider substitute and the captions lose their boxes.
if [ -d /usr/share/wine/fonts ]; then
  cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
else
  echo "warning: fonts-wine is not installed; the dialogs will not look as on Windows" >&2
fi
export TAV_TEST_DISPLAY=1
export TAV_SCREENSHOT_DIR="Z:$(printf '%s' "$work" | tr / '\\')"
"$src/scripts/wine-run.sh" explorer /desktop=shot,800x600 "$exe" \
  --gtest_also_run_disabled_tests --gtest_filter=Win32DialogTest.DISABLED_Screenshots \
  > "$work/run.log" 2>&1 &
runner=$!

status=0
for name in select properties; do
  ready=$work/$name.ready
  for _ in $(seq 600); do
    [ -f "$ready" ] && break
    kill -0 "$runner" 2>/dev/null || break
    sleep 0.2
  done
  if [ ! -f "$ready" ]; then
    echo "the $name dialog was never posed" >&2
    status=1
    break
  fi
  sleep 1  # let the X server finish drawing
  read -r x y w h < "$ready"
  import -window root "$work/$name-screen.png"
  convert "$work/$name-screen.png" -crop "${w}x${h}+${x}+${y}" +repage -strip \
    "$src/docs/$name-dialog.png"
  echo "docs/$name-dialog.png: ${w}x${h} at $x,$y"
  touch "$work/$name.done"
done
wait "$runner" || true
/usr/lib/wine/wineserver -w 2>/dev/null || true
if ! grep -q '^\[  PASSED  \] 1 test' "$work/run.log"; then
  cat "$work/run.log" >&2
  status=1
fi
exit $status
