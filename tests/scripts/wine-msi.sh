#!/usr/bin/env bash
# The example MSI package (x64) under Wine's msiexec, on the machine of the
# oracle end-to-end scenario: a silent install with ANSWERS= must leave the
# scenario's golden files; an uninstall removes the program files and keeps the
# generated configuration; a failing run fails the install and says why.
set -uo pipefail
. "$(dirname "$0")/e2e-lib.sh"
msi=$TAV_BUILD_DIR/installers/agents-x64.msi
e2e_installer_host "$msi" wixl
status=0

e2e_wine_machine oracle "$TAV_BUILD_DIR/wine-msi" || exit 1
drive_c=$WINEPREFIX/drive_c
mkdir -p "$drive_c/e2e"
cp "$fx/answers.txt" "$msi" "$drive_c/e2e/"
printf '[monitor NOPE]\n' > "$drive_c/e2e/wrong.txt"
package='C:\e2e\agents-x64.msi'
programs() { ls "$drive_c/$1/bin/TUOAGENT.cmd" "$drive_c/$1/setup/tavsetup.exe" "$drive_c/$1/setup/TAVNOVU.dll" 2>/dev/null; }

"$run" msiexec /i "$package" /qn 'INSTALLDIR=C:\Agents' 'ANSWERS=C:\e2e\answers.txt'; code=$?
e2e_compare oracle $code "$drive_c/Agents/logs/setup.log" "$drive_c/Agents/etc" && [ -n "$(programs Agents)" ]
e2e_report "silent install, ANSWERS" $?

"$run" msiexec /x "$package" /qn; code=$?
[ $code = 0 ] && [ -z "$(programs Agents)" ] && diff -r "$E2E_GOLDEN/oracle/etc" "$drive_c/Agents/etc"
e2e_report "uninstall keeps the configuration" $?

# Without ANSWERS a silent install stops before it installs anything.
"$run" msiexec /i "$package" /qn 'INSTALLDIR=C:\Quiet'; code=$?
[ $code != 0 ] && [ ! -e "$drive_c/Quiet" ]
e2e_report "silent install, no ANSWERS" $?

# Answers that cannot be played: the install fails, tavsetup.out says why.
"$run" msiexec /i "$package" /qn 'INSTALLDIR=C:\Wrong' 'ANSWERS=C:\e2e\wrong.txt'; code=$?
[ $code != 0 ] && grep -q 'discovery found no server "NOPE"' "$drive_c/Wrong/logs/tavsetup.out" &&
  grep -q "TavSetUp returned 1: refused or cancelled" "$drive_c/Wrong/logs/tavsetup.out" &&
  [ -z "$(ls -A "$drive_c/Wrong/etc" 2>/dev/null)" ]
e2e_report "failing answers" $?
/usr/lib/wine/wineserver -w 2>/dev/null || true
exit $status
