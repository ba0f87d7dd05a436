#!/usr/bin/env bash
# End to end on Windows, under Wine: each scenario's snapshot is imported with
# regedit /S and tavsetup.exe loads the real TAVNOVU.dll. The generated files
# must equal the golden files byte for byte, as the native run's do.
set -uo pipefail
. "$(dirname "$0")/e2e-lib.sh"
e2e_as_dbhost "$0"
run=$TAV_SOURCE_DIR/scripts/wine-run.sh
export WINEPREFIX=$TAV_BUILD_DIR/wine-e2e
rm -rf "$WINEPREFIX"
# The scenarios' keys live side by side in one prefix: one family each.
for name in $(e2e_scenarios); do
  "$run" regedit /S "Z:$(echo "$E2E_FIXTURES/$name/machine.reg" | tr / '\\')" || exit 1
done
/usr/lib/wine/wineserver -w 2>/dev/null || true
drive_c=$WINEPREFIX/drive_c
status=0 ran=0
for name in $(e2e_scenarios); do
  ran=$((ran + 1))
  fx=$E2E_FIXTURES/$name
  rm -rf "$drive_c/Agents" "$drive_c/e2e"
  mkdir -p "$drive_c/Agents/etc" "$drive_c/e2e/run"
  [ -d "$fx/drives/c" ] && cp -R "$fx/drives/c/." "$drive_c/"
  cp "$fx/answers.txt" "$fx/setup.ini" "$drive_c/e2e/"
  (
    cd "$drive_c/e2e/run"
    unset CELLNAME ETCPATH COMPUTERNAME LOGPATH DLLPATH BINPATH PORTNUMBER COLL_DEBUG
    set -a; . "$fx/env"; set +a
    # shellcheck disable=SC2046
    "$run" "$TAV_BIN_DIR/tavsetup.exe" --answers 'C:\e2e\answers.txt' --ini 'C:\e2e\setup.ini' \
      $(cat "$fx/parms") > stdout.txt 2> stderr.txt
    echo $? > result
  )
  if e2e_compare "$name" "$(cat "$drive_c/e2e/run/result")" "$drive_c/e2e/run/setup.log" "$drive_c/Agents/etc"; then
    echo "[$name] ok"
  else
    status=1
    echo "--- stdout"; cat "$drive_c/e2e/run/stdout.txt"; echo "--- stderr"; cat "$drive_c/e2e/run/stderr.txt"
  fi
done
[ "$ran" -gt 0 ] || { echo "no scenario in $E2E_FIXTURES"; status=1; }
exit $status
