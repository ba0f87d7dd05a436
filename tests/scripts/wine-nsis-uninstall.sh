#!/usr/bin/env bash
# The example NSIS installer's upgrade, uninstaller and re-install under Wine,
# on the machine of the oracle end-to-end scenario. An installer of an
# earlier version, with other agent files, installs and configures; the
# build's installer, run over it silently and without answers, replaces its
# files and keeps the configuration; the Uninstall entry then names the newer
# version, and its quiet uninstall removes what was installed but etc and
# logs; a second install configures again over the kept configuration.
set -uo pipefail
. "$(dirname "$0")/e2e-lib.sh"
exe=$TAV_BUILD_DIR/installers/agents-x64.exe
e2e_installer_host "$exe" makensis
status=0

e2e_wine_machine oracle "$TAV_BUILD_DIR/wine-nsis-uninstall" || exit 1
drive_c=$WINEPREFIX/drive_c
work=$drive_c/e2e
agents=$drive_c/Agents
mkdir -p "$work"
cp "$fx/answers.txt" "$exe" "$work/"

# The earlier installer: the same sources and DLL, version 0.9.0, another README.txt.
cp -R "$TAV_SOURCE_DIR/examples/installer" "$work/older"
echo "the earlier agents" > "$work/older/payload/dll/README.txt"
(cd "$work/older" && makensis -V2 -DARCH=x64 -DVERSION=0.9.0 -DDIST="$TAV_BUILD_DIR/stage/bin" \
   -DOUTFILE=../older.exe agents.nsi) || { echo "makensis could not build the earlier installer"; exit 1; }

key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VeltraOracleAgents'
# entry: the Uninstall entry's values, NAME=VALUE, in the 64-bit view the x64 installer writes.
entry() {
  "$run" reg query "$key" 2>/dev/null | tr -d '\r' |
    sed -nE 's/^ +([A-Za-z]+) +REG_[A-Z_]+ +(.*)$/\1=\2/p' | LC_ALL=C sort
}
program_files() { (cd "$agents" && ls bin dll setup.ini uninstall.exe 2>/dev/null | tr '\n' ' '); }

"$run" "$work/older.exe" /S '/ANSWERS=C:\e2e\answers.txt' '/D=C:\Agents'; code=$?
result=$(sed -n 's/^TavSetUp returned //p' "$agents/install.log" | tr -d '\r')
e2e_compare oracle "$result" "$agents/logs/setup.log" "$agents/etc" && [ $code = 0 ] &&
  grep -q 'earlier agents' "$agents/dll/README.txt" && entry | grep -qx 'DisplayVersion=0.9.0'
e2e_report "earlier version installed and configured" $?
cp "$agents/logs/setup.log" "$work/setup.log.earlier"

"$run" "$work/agents-x64.exe" /S '/D=C:\Agents'; code=$?
want="DisplayName=Veltra Oracle Monitoring Agents
DisplayVersion=$TAV_VERSION
InstallLocation=C:\\Agents
NoModify=0x1
NoRepair=0x1
Publisher=Veltra
QuietUninstallString=\"C:\\Agents\\uninstall.exe\" /S
UninstallString=\"C:\\Agents\\uninstall.exe\""
[ $code = 0 ] && diff <(echo "$want") <(entry) &&
  cmp "$TAV_SOURCE_DIR/examples/installer/payload/dll/README.txt" "$agents/dll/README.txt" &&
  diff -r "$E2E_GOLDEN/oracle/etc" "$agents/etc" && cmp "$work/setup.log.earlier" "$agents/logs/setup.log" &&
  grep -q 'Replacing version 0.9.0' "$agents/install.log"
e2e_report "newer version replaces it, configuration kept" $?

# The quiet uninstall as a deployment tool runs it: the uninstaller copies
# itself away and returns at once, so the test waits for Wine's processes.
"$run" 'C:\Agents\uninstall.exe' /S; code=$?
/usr/lib/wine/wineserver -w 2>/dev/null || true
[ $code = 0 ] && [ -z "$(program_files)" ] && [ -z "$(entry)" ] &&
  diff -r "$E2E_GOLDEN/oracle/etc" "$agents/etc" && cmp "$work/setup.log.earlier" "$agents/logs/setup.log" &&
  ! "$run" reg query 'HKLM\Software\Veltra\Common\CurrentVersion\Primary\Configuration' /v EtcPath >/dev/null 2>&1
e2e_report "uninstall keeps etc and logs only" $?
echo "left behind: $(cd "$agents" && ls | tr '\n' ' ')"

# The kept configuration is written anew; the setup log gets a second run.
"$run" "$work/agents-x64.exe" /S '/ANSWERS=C:\e2e\answers.txt' '/D=C:\Agents'; code=$?
result=$(sed -n 's/^TavSetUp returned //p' "$agents/install.log" | tr -d '\r' | tail -1)
[ $code = 0 ] && [ "$result" = 0 ] && diff -r "$E2E_GOLDEN/oracle/etc" "$agents/etc" &&
  [ "$(grep -c 'Finished Database Monitor Configuration' "$agents/logs/setup.log")" = 2 ] &&
  entry | grep -qx "DisplayVersion=$TAV_VERSION"
e2e_report "re-install configures again" $?
/usr/lib/wine/wineserver -w 2>/dev/null || true
exit $status
