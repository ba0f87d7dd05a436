#!/usr/bin/env bash
# The Win32 dialogs for real: the Win32Dialog* tests of tav_tests.exe under
# Wine with an X display (Xvfb). The test program drives its own dialogs from
# a second thread; TAV_TEST_DISPLAY tells it that they can be shown (without
# it the same tests check that the dialogs fail to show).
set -uo pipefail
src=${TAV_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
build=${TAV_BUILD_DIR:-$src/build/mingw}
bin=${TAV_BIN_DIR:-$build/bin}
if ! command -v xvfb-run >/dev/null 2>&1; then
  echo "xvfb-run is not installed: skipped"
  exit 77
fi
if [ ! -f "$bin/tav_tests.exe" ]; then
  echo "no $bin/tav_tests.exe: build the mingw preset first" >&2
  exit 1
fi
# A prefix of its own: a wineserver left with an X display must never meet the
# plain unit run, whose dialog tests expect no display. Its windows live in a
# Wine virtual desktop: without a window manager every top-level window that
# is hidden would wait two seconds for one.
export WINEPREFIX=$build/wineprefix-display

# The library finds its templates in its own resources (the module handle
# DllMain keeps), not in the host program's, which has none: without a
# display the dialog then fails at the window (1400), not at the template
# (ERROR_RESOURCE_NAME_NOT_FOUND, 1814).
status=0
if [ -f "$bin/tavsetup.exe" ] && [ -f "$bin/TAVNOVU.dll" ]; then
  run=$(mktemp -d)
  out=$( cd "$run" && env -u DISPLAY -u TAVNOVU_ANSWERS "$src/scripts/wine-run.sh" \
           "$bin/tavsetup.exe" setup.log sql 8.0 2>/dev/null )
  code=$?
  rm -rf "$run"
  if [ "$code" = 1 ] && grep -q "^Unable to display dialog: RC=1400" <<<"$out"; then
    echo "[tavsetup without a display] ok: the templates come from TAVNOVU.dll"
  else
    echo "[tavsetup without a display] FAILED: exit $code" >&2
    printf '%s\n' "$out" | tail -3 >&2
    status=1
  fi
else
  echo "[tavsetup without a display] skipped: tavsetup.exe or TAVNOVU.dll not built"
fi
/usr/lib/wine/wineserver -w 2>/dev/null || true

export TAV_TEST_DISPLAY=1
export TAV_WINE_RUN=$src/scripts/wine-run.sh
export TAV_TESTS_EXE=$bin/tav_tests.exe
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  if ! grep -q "\"Desktop\"=\"Default\"" "$WINEPREFIX/user.reg" 2>/dev/null; then
    "$TAV_WINE_RUN" reg add "HKCU\\Software\\Wine\\Explorer" /v Desktop /d Default /f >/dev/null
    "$TAV_WINE_RUN" reg add "HKCU\\Software\\Wine\\Explorer\\Desktops" /v Default /d 1024x768 /f >/dev/null
    # The desktop process reads the setting when it starts.
    /usr/lib/wine/wineserver -w 2>/dev/null || true
  fi
  "$TAV_WINE_RUN" "$TAV_TESTS_EXE" --gtest_filter="Win32Dialog*"
  status=$?
  # Let the wineserver end while its display is still there.
  /usr/lib/wine/wineserver -w 2>/dev/null || true
  exit $status
' || status=1
exit $status
