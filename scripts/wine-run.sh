#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's own prefix.
# WINEPREFIX may be set by the caller (tests that import registry fixtures make their own).
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
: "${WINEPREFIX:=${TAV_WINEPREFIX:-$here/build/mingw/wineprefix}}"
export WINEPREFIX
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
WINE=${WINE64:-/usr/lib/wine/wine64}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  "$WINE" wineboot -i >/dev/null 2>&1
  /usr/lib/wine/wineserver -w 2>/dev/null || wineserver -w 2>/dev/null || true
fi
exec "$WINE" "$@"
