#!/usr/bin/env bash
# Major upgrades of the example MSI package (x64) under Wine's msiexec, on the
# machine of the oracle end-to-end scenario. A package of an earlier version,
# with other agent files, is installed and configured from the scenario's
# answers; the build's package then replaces it in place, silently and without
# answers: one product stays registered, its files are the newer ones, the
# generated configuration and the setup log are untouched; one uninstall
# removes the product. Over the newer version, the earlier package is refused.
set -uo pipefail
. "$(dirname "$0")/e2e-lib.sh"
msi=$TAV_BUILD_DIR/installers/agents-x64.msi
e2e_installer_host "$msi" wixl
status=0

e2e_wine_machine oracle "$TAV_BUILD_DIR/wine-msi-upgrade" || exit 1
drive_c=$WINEPREFIX/drive_c
work=$drive_c/e2e
agents=$drive_c/Agents
mkdir -p "$work"
cp "$fx/answers.txt" "$msi" "$work/"

# The earlier package: the same sources and programs, version 0.9.0, another README.txt.
cp -R "$TAV_SOURCE_DIR/examples/installer" "$work/older"
cp -R "$TAV_BUILD_DIR/stage/bin" "$work/older/stage"
echo "the earlier agents" > "$work/older/payload/dll/README.txt"
(cd "$work/older" && wixl -a x64 -D Arch=x64 -D Dist=stage -D Version=0.9.0 -o ../older.msi agents.wxs) ||
  { echo "wixl could not build the earlier package"; exit 1; }

# products: the entries under Uninstall that name the package's product, with their versions.
products() {
  "$run" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s | tr -d '\r' |
    grep -A30 'Veltra Oracle Monitoring Agents' | sed -n 's/^ *DisplayVersion *REG_SZ *//p'
}

"$run" msiexec /i 'C:\e2e\older.msi' /qn 'INSTALLDIR=C:\Agents' 'ANSWERS=C:\e2e\answers.txt'; code=$?
e2e_compare oracle $code "$agents/logs/setup.log" "$agents/etc" && grep -q 'earlier agents' "$agents/dll/README.txt"
e2e_report "earlier version installed and configured" $?
cp "$agents/logs/setup.log" "$work/setup.log.earlier"
echo "installed: $(products | tr '\n' ' ')"

"$run" msiexec /i 'C:\e2e\agents-x64.msi' /qn; code=$?
echo "after the upgrade: $(products | tr '\n' ' ')"
[ $code = 0 ] && [ "$(products)" = "$TAV_VERSION" ] &&
  cmp "$TAV_SOURCE_DIR/examples/installer/payload/dll/README.txt" "$agents/dll/README.txt" &&
  cmp "$TAV_BUILD_DIR/stage/bin/TAVNOVU.dll" "$agents/setup/TAVNOVU.dll" &&
  diff -r "$E2E_GOLDEN/oracle/etc" "$agents/etc" && cmp "$work/setup.log.earlier" "$agents/logs/setup.log"
e2e_report "newer version replaces it in place, configuration kept" $?

"$run" msiexec /x 'C:\e2e\agents-x64.msi' /qn; code=$?
[ $code = 0 ] && [ -z "$(products)" ] && [ ! -e "$agents/setup/TAVNOVU.dll" ] && [ ! -e "$agents/dll/README.txt" ] &&
  diff -r "$E2E_GOLDEN/oracle/etc" "$agents/etc"
e2e_report "one uninstall removes it" $?

# A downgrade, on a machine where the newer version was installed afresh: Wine
# keeps the upgraded product's entry under UpgradeCodes and looks at the first
# entry only, so right after an upgrade it would not see the newer product.
# With ANSWERS, so that only the version can stop the earlier package.
rm -rf "$agents"
"$run" msiexec /i 'C:\e2e\agents-x64.msi' /qn 'INSTALLDIR=C:\Agents' 'ANSWERS=C:\e2e\answers.txt' &&
  "$run" msiexec /i 'C:\e2e\older.msi' /qn 'ANSWERS=C:\e2e\answers.txt'; code=$?
# msiexec's 1603 (fatal error) reaches the shell as 1603 mod 256.
[ $code = $((1603 % 256)) ] && [ "$(products)" = "$TAV_VERSION" ] &&
  cmp "$TAV_SOURCE_DIR/examples/installer/payload/dll/README.txt" "$agents/dll/README.txt"
e2e_report "earlier version refused" $?
/usr/lib/wine/wineserver -w 2>/dev/null || true
exit $status
