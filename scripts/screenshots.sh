#!/usr/bin/env bash
# Pictures the two dialogs as the Windows build shows them: tav_tests.exe runs
# its screenshot script (Win32DialogTest.DISABLED_Screenshots) under Wine in a
# virtual desktop on Xvfb, posing each dialog in turn; each pose is captured
# with ImageMagick and cropped to the dialog's window. Then the example
# installer runs on the oracle end-to-end scenario's machine, and its whole
# screen is captured while the selection dialog shows inside it.
# Writes docs/select-dialog.png, docs/properties-dialog.png and
# docs/installer-dialog.png.
# Needs: a mingw build with its installers (makensis), Wine, xvfb-run, ImageMagick.
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

# capture NAME [whole]: waits for the pose NAME, then writes docs/NAME-dialog.png,
# cropped to the dialog unless the whole screen is asked for.
capture() {
  local name=$1 ready=$work/$1.ready
  for _ in $(seq 600); do
    [ -f "$ready" ] && break
    sleep 0.2
  done
  if [ ! -f "$ready" ]; then
    echo "the $name dialog was never posed" >&2
    return 1
  fi
  sleep 1  # let the X server finish drawing
  read -r x y w h < "$ready"
  [ -z "${2:-}" ] || read -r x y w h <<<"0 0 800 600"
  import -window root "$work/$name-screen.png"
  convert "$work/$name-screen.png" -crop "${w}x${h}+${x}+${y}" +repage -strip \
    "$src/docs/$name-dialog.png"
  echo "docs/$name-dialog.png: ${w}x${h} at $x,$y"
  touch "$work/$name.done"
}

status=0
capture select && capture properties || status=1
wait "$runner" || true
/usr/lib/wine/wineserver -w 2>/dev/null || true
if ! grep -q '^\[  PASSED  \] 1 test' "$work/run.log"; then
  cat "$work/run.log" >&2
  status=1
fi

# The installer and the robot share the prefix's default desktop, the screen's size.
installer=$build/installers/agents-x64.exe
[ -f "$installer" ] || { echo "no $installer: makensis is not installed" >&2; exit 1; }
export TAV_SOURCE_DIR=$src
. "$src/tests/scripts/e2e-lib.sh"
e2e_wine_machine oracle "$build/wineprefix-installer-shot"
cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
"$src/scripts/wine-run.sh" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
"$src/scripts/wine-run.sh" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 800x600 /f >/dev/null
/usr/lib/wine/wineserver -w 2>/dev/null || true
"$src/scripts/wine-run.sh" "$installer" '/D=C:\Agents' >/dev/null 2>&1 &
TAV_INSTALLER_ANSWER=cancel "$src/scripts/wine-run.sh" "$exe" --gtest_also_run_disabled_tests \
  --gtest_filter=Win32Installer.DISABLED_PersonInstalling > "$work/installer.log" 2>&1 &
capture installer whole || status=1
wait || true
/usr/lib/wine/wineserver -w 2>/dev/null || true
grep -q '^\[  PASSED  \] 1 test' "$work/installer.log" || { cat "$work/installer.log" >&2; status=1; }
exit $status
