#!/usr/bin/env bash
# End to end on Linux: tavsetup loads libTAVNOVU.so and runs each scenario from
# a registry snapshot, an installer settings file and an answers file; the
# generated files and the setup log are compared with the golden files.
set -uo pipefail
. "$(dirname "$0")/e2e-lib.sh"
status=0 ran=0
for name in $(e2e_scenarios); do
  ran=$((ran + 1))
  fx=$E2E_FIXTURES/$name
  work=$(mktemp -d)
  mkdir -p "$work/drives/c/Agents/etc" "$work/run"
  [ -d "$fx/drives" ] && cp -R "$fx/drives/." "$work/drives/"
  (
    cd "$work/run"
    unset CELLNAME ETCPATH COMPUTERNAME LOGPATH DLLPATH BINPATH PORTNUMBER COLL_DEBUG
    set -a; . "$fx/env"; set +a
    export TAVNOVU_DRIVES=$work/drives
    # shellcheck disable=SC2046
    "$TAV_BIN_DIR/tavsetup" --registry "$fx/machine.reg" --answers "$fx/answers.txt" \
      --ini "$fx/setup.ini" $(cat "$fx/parms") > stdout.txt 2> stderr.txt
    echo $? > result
  )
  if e2e_compare "$name" "$(cat "$work/run/result")" "$work/run/setup.log" "$work/drives/c/Agents/etc"; then
    echo "[$name] ok"
  else
    status=1
    echo "--- stdout"; cat "$work/run/stdout.txt"; echo "--- stderr"; cat "$work/run/stderr.txt"
  fi
  rm -rf "$work"
done
[ "$ran" -gt 0 ] || { echo "no scenario in $E2E_FIXTURES"; status=1; }
exit $status
