#!/usr/bin/env bash
# Pictures the two dialogs as the Windows build shows them, and the selection
# dialog inside the example installer. tavsetup.exe and the installer run under
# Wine, in a virtual desktop on Xvfb, on the oracle end-to-end scenario's
# machine; a robot (scripts/wine-robot.sh, xdotool) works them at the keyboard
# as a person would, and ImageMagick captures each dialog's window, or the
# whole screen for the installer. Nothing is configured: both runs end with Cancel.
# Writes docs/select-dialog.png, docs/properties-dialog.png and
# docs/installer-dialog.png.
# Needs: a mingw build with its installers (makensis), Wine, xvfb-run, xdotool, ImageMagick.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=${TAV_BUILD_DIR:-$src/build/mingw}
tavsetup=$build/bin/tavsetup.exe
installer=$build/installers/agents-x64.exe
[ -f "$tavsetup" ] || { echo "no $tavsetup: build the mingw preset first" >&2; exit 1; }
[ -f "$installer" ] || { echo "no $installer: makensis is not installed" >&2; exit 1; }
for tool in xvfb-run xdotool import; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
# The virtual desktop is the screen's size, so its windows are where the screen shows them.
[ "${1:-}" = --inner ] || exec xvfb-run -a -s "-screen 0 800x600x24" bash "$0" --inner

export TAV_SOURCE_DIR=$src
. "$src/tests/scripts/e2e-lib.sh"
. "$src/scripts/wine-robot.sh"
run=$src/scripts/wine-run.sh
work=$(mktemp -d)
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

# machine PREFIX: the scenario's machine in a fresh prefix, with a virtual desktop.
machine() {
  e2e_wine_machine oracle "$1"
  # Wine's own "MS Sans Serif", Tahoma and Marlett (package fonts-wine) are not
  # found by this Wine build unless they are in the prefix; without them the
  # dialogs are drawn in a wider substitute and the captions lose their boxes.
  cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null ||
    echo "warning: fonts-wine is not installed; the dialogs will not look as on Windows" >&2
  "$run" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
  "$run" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 800x600 /f >/dev/null
  /usr/lib/wine/wineserver -w 2>/dev/null || true
}

# shot ID NAME: docs/NAME-dialog.png from the window, once it has drawn itself.
shot() {
  sleep 1
  import -window "$1" "$work/$2.png"
  convert "$work/$2.png" +repage -strip "$src/docs/$2-dialog.png"
  echo "docs/$2-dialog.png: $(identify -format '%wx%h' "$src/docs/$2-dialog.png")"
}

# tavsetup.exe: "<<" on ORCL, its login and password typed (the properties
# picture), OK; then SALES picked in the available list (the selection picture).
machine "$build/wineprefix-shots"
(cd "$work" && "$run" "$tavsetup" setup.log oracle 9.2 >tavsetup.out 2>&1) & host=$!
select=$(robot_window '^Configure Database Agents$')
props=$(robot_move_first)
# From OK past Cancel and Server Name to Login; Tab selects a field's text, so typing replaces it.
robot_keys Tab Tab Tab && xdotool type --delay 100 system && robot_keys Tab && xdotool type --delay 100 manager
shot "$props" properties
robot_keys Return && robot_gone "$props"
robot_keys shift+Tab Home  # from "<<" back to the available list, whose first server is picked
shot "$select" select
robot_keys Escape && robot_gone "$select"
wait "$host" || true

# The installer: its selection dialog over the install page, the whole screen.
machine "$build/wineprefix-installer-shot"
"$run" "$installer" '/D=C:\Agents' >/dev/null 2>&1 & setup=$!
robot_installer cancel "$setup" "$work/installer.png"
wait "$setup" || true
convert "$work/installer.png" +repage -strip "$src/docs/installer-dialog.png"
echo "docs/installer-dialog.png: the whole screen"
