# Shared by the end-to-end scripts: runs one scenario and compares its results.
# A scenario is tests/fixtures/e2e/<name>/ with machine.reg, setup.ini,
# answers.txt, parms (the parameter string), env (NAME=VALUE lines) and
# optionally drives/ (files of the machine's drives). Its expected results are
# tests/golden/e2e/<name>/: result (the exit code), setup.log (time stamps
# written as <TIME>) and etc/ (the whole configuration directory, C:\Agents\etc).

E2E_FIXTURES=$TAV_SOURCE_DIR/tests/fixtures/e2e
E2E_GOLDEN=$TAV_SOURCE_DIR/tests/golden/e2e

# e2e_report NAME RC: one check's line; a failed check fails the script (status=1).
e2e_report() { if [ "$2" = 0 ]; then echo "[$1] ok"; else echo "[$1] FAILED"; status=1; fi; }

e2e_scenarios() { (cd "$E2E_FIXTURES" && ls -d */ | tr -d /); }

# Replaces asctime stamps by <TIME> and drops CRs, so logs of both platforms compare.
e2e_normalise_log() {
  tr -d '\r' < "$1" | sed -E 's/^[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}$/<TIME>/'
}

# e2e_compare NAME RESULT LOG ETCDIR: compares one run with the golden files.
e2e_compare() {
  local name=$1 result=$2 log=$3 etc=$4 golden=$E2E_GOLDEN/$1 ok=0
  local want; want=$(cat "$golden/result")
  if [ "$result" != "$want" ]; then
    echo "[$name] TavSetUp returned $result, expected $want"; ok=1
  fi
  if ! diff -u "$golden/setup.log" <(e2e_normalise_log "$log"); then
    echo "[$name] setup.log differs"; ok=1
  fi
  if [ -d "$golden/etc" ]; then
    if ! diff -r "$golden/etc" "$etc"; then echo "[$name] configuration directory differs"; ok=1; fi
  elif [ -n "$(ls -A "$etc" 2>/dev/null)" ]; then
    echo "[$name] files were generated where none were expected"; ls -R "$etc"; ok=1
  fi
  return $ok
}

# Wine gives its programs a COMPUTERNAME taken from the host name: runs the
# calling script (its path given) again in a UTS namespace whose host name is
# the scenarios' machine, DBHOST.
e2e_as_dbhost() {
  [ -n "${TAV_E2E_NAMESPACE:-}" ] && return 0
  if unshare -u true 2>/dev/null; then
    exec env TAV_E2E_NAMESPACE=1 unshare -u bash -c 'hostname dbhost && exec bash "$0"' "$1"
  fi
  echo "skipped: setting the host name needs unshare -u (root)"; exit 77
}

# e2e_wine_machine NAME PREFIX: a fresh Wine prefix (exported as WINEPREFIX)
# with the scenario's registry imported and its drive C: files.
e2e_wine_machine() {
  export WINEPREFIX=$2
  rm -rf "$WINEPREFIX"
  "$TAV_SOURCE_DIR/scripts/wine-run.sh" regedit /S "Z:$(echo "$E2E_FIXTURES/$1/machine.reg" | tr / '\\')" || return 1
  /usr/lib/wine/wineserver -w 2>/dev/null || true
  [ ! -d "$E2E_FIXTURES/$1/drives/c" ] || cp -R "$E2E_FIXTURES/$1/drives/c/." "$WINEPREFIX/drive_c/"
}

# e2e_installer_host FILE TOOL: the installer scripts' start. Skips the test
# when TOOL did not build FILE; otherwise runs as DBHOST with the oracle
# scenario's install parameters in the environment and none of its paths,
# which must come from the maker's key the installer writes.
e2e_installer_host() {
  [ -f "$1" ] || { echo "skipped: no $1 ($2 is not installed)"; exit 77; }
  e2e_as_dbhost "$0"
  run=$TAV_SOURCE_DIR/scripts/wine-run.sh
  fx=$E2E_FIXTURES/oracle
  set -a; . "$fx/env"; set +a
  unset ETCPATH LOGPATH DLLPATH BINPATH TAVNOVU_ANSWERS
}
