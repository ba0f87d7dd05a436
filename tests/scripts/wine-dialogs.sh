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
'
