#!/usr/bin/env bash
# The example NSIS installer (x64) as TAVNOVU's host under Wine, on the machine
# of the oracle end-to-end scenario. Silent with an answers file, its
# configuration directory must equal the scenario's golden files; with its
# dialogs under Xvfb, a robot (scripts/wine-robot.sh) plays the person
# installing: OK after moving one server, then Cancel, which the installer must report.
set -uo pipefail
. "$(dirname "$0")/e2e-lib.sh"
exe=$TAV_BUILD_DIR/installers/agents-x64.exe
e2e_installer_host "$exe" makensis
agents=C:\\Agents

# Under Xvfb (TAV_DISPLAY_RUN set): one install with its dialogs, worked by the robot.
if [ -n "${TAV_DISPLAY_RUN:-}" ]; then
  . "$TAV_SOURCE_DIR/scripts/wine-robot.sh"
  "$run" "$exe" "/D=$agents" & installer=$!
  robot_installer "$TAV_DISPLAY_RUN" $installer; robot=$?
  [ $robot = 0 ] || /usr/lib/wine/wineserver -k 2>/dev/null  # nobody is left to end it
  wait $installer; code=$?
  /usr/lib/wine/wineserver -w 2>/dev/null || true
  echo $code > installer-exit
  exit $robot
fi

status=0
e2e_wine_machine oracle "$TAV_BUILD_DIR/wine-installer" || exit 1
drive_c=$WINEPREFIX/drive_c
mkdir -p "$drive_c/e2e"
cp "$fx/answers.txt" "$drive_c/e2e/"
installed() { [ -f "$drive_c/Agents/bin/TUOAGENT.cmd" ] && [ -f "$drive_c/Agents/setup.ini" ]; }
log_says() { grep -q "$1" "$drive_c/Agents/install.log"; }

# Silent: the answers file plays the dialogs; the result goes to the install log.
"$run" "$exe" /S '/ANSWERS=C:\e2e\answers.txt' "/D=$agents"; code=$?
result=$(sed -n 's/^TavSetUp returned //p' "$drive_c/Agents/install.log" | tr -d '\r')
e2e_compare oracle "$result" "$drive_c/Agents/logs/setup.log" "$drive_c/Agents/etc" && installed && [ $code = 0 ]
e2e_report "silent, answers file" $?

# Silent without an answers file: nobody could answer the dialogs.
rm -rf "$drive_c/Agents"
"$run" "$exe" /S "/D=$agents"; code=$?
[ $code = 2 ] && log_says "needs /ANSWERS" && ! installed
e2e_report "silent, no answers file" $?

# With the dialogs: OK after "<<" on ORCL generates its files only; Cancel generates none.
if ! command -v xvfb-run >/dev/null 2>&1 || ! command -v xdotool >/dev/null 2>&1; then
  echo "[dialogs] skipped: xvfb-run or xdotool is not installed"; exit $status
fi
"$run" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
"$run" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null
/usr/lib/wine/wineserver -w 2>/dev/null || true
cd "$drive_c/e2e" || exit 1
for answer in ok cancel; do
  rm -rf "$drive_c/Agents"
  TAV_DISPLAY_RUN=$answer xvfb-run -a -s "-screen 0 1024x768x24" bash "$0"; robot=$?
  code=$(cat installer-exit 2>/dev/null)
  files=$(cd "$drive_c/Agents/etc" 2>/dev/null && LC_ALL=C ls | tr '\n' ' ')
  if [ $answer = ok ]; then
    [ $robot = 0 ] && [ "$code" = 0 ] && [ "$files" = "Oracle_ORCL.bat TUOVMA_ORCL.ini tuoinc.ini " ] &&
      grep -q '^Add=C:\\Agents\\etc\\TUOVMA_ORCL.ini' "$drive_c/Agents/etc/tuoinc.ini"
  else
    [ $robot = 0 ] && [ "$code" = 2 ] && [ -z "$files" ] && log_says "^TavSetUp returned 1" && log_says "cancelled"
  fi
  e2e_report "dialogs, $answer" $? || true
  [ $status = 0 ] || echo "installer exit: $code; configuration: $files"
done
exit $status
