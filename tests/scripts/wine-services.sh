#!/usr/bin/env bash
# Discovery with real services: a fresh Wine prefix gets the Oracle home of
# tests/fixtures/services/oracle-home.reg and, made with "sc create", services
# that run TestService.exe copied into the home's bin directory; the automatic
# one is started. tavdiscover.exe, reading the prefix's registry and Wine's
# service control manager, must give each instance the service, start type and
# state of the table below. The native tavdiscover must give the same records
# for the same machine read as snapshots: the home, and the service keys as
# "sc create" leaves them (oracle-services.reg, checked against the prefix's
# own keys), with the states of oracle.services.
set -u
src=${TAV_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
native=${TAV_NATIVE_BIN:-$src/build/native/bin}/tavdiscover
winexe=${TAV_BIN_DIR:-$src/build/mingw/bin}/tavdiscover.exe
program=${TAV_TEST_SERVICE:-${TAV_BIN_DIR:-$src/build/mingw/bin}/TestService.exe}
fixtures=$src/tests/fixtures/services
[ -x "$native" ] || { echo "skipped: no native tavdiscover at $native"; exit 77; }
[ -f "$winexe" ] || { echo "FAIL: no tavdiscover.exe at $winexe"; exit 1; }
[ -f "$program" ] || { echo "FAIL: no TestService.exe at $program"; exit 1; }
[ -x "${WINE64:-/usr/lib/wine/wine64}" ] || { echo "skipped: no Wine"; exit 77; }

# The services: name, sc's start type, the home whose bin\oracle.exe runs it
# (the instance is its argument, as real ImagePaths have it). C:\oracle\ora81
# is no home: STRAY must add no record.
services="OracleServicePROD auto ora92
OracleServiceTEST demand ora92
OracleServiceOLD disabled ora92
OracleServiceSTRAY demand ora81"
# What each report must say of each instance: how it was found, then its
# service's name, start type and state, or "-" for no service. GONE is an
# instance of the home's registry key with no service.
expected="PROD registry OracleServicePROD automatic running
GONE registry -
TEST service OracleServiceTEST manual stopped
OLD service OracleServiceOLD disabled stopped"

work=$(mktemp -d)
export WINEPREFIX=$work/prefix
started=
cleanup() {
  [ -z "$started" ] || bash "$src/scripts/wine-run.sh" sc stop OracleServicePROD >/dev/null 2>&1
  /usr/lib/wine/wineserver -k 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap "exit 1" INT TERM

failures=0
check() { if [ "$2" = 0 ]; then echo "ok: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi; }
sc() { bash "$src/scripts/wine-run.sh" sc "$@" 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }
# state NAME: the STATE word "sc query" gives, e.g. RUNNING.
state() { sc query "$1" | awk '$1 == "STATE" { print $4 }'; }
# wait_for NAME WORD: polls up to about 5 s; prints the number of queries it took.
wait_for() {
  local n
  for n in $(seq 1 20); do
    [ "$(state "$1")" = "$2" ] && { echo "$n"; return 0; }
    sleep 0.25
  done
  return 1
}

# The first start makes the prefix.
bash "$src/scripts/wine-run.sh" regedit /S "Z:${fixtures//\//\\}\\oracle-home.reg" >/dev/null 2>&1
check "regedit imports oracle-home.reg" $?
mkdir -p "$WINEPREFIX/drive_c/oracle/ora92/bin"
cp "$program" "$WINEPREFIX/drive_c/oracle/ora92/bin/oracle.exe"

while read -r name start home; do
  sc create "$name" binPath= "\"C:\\oracle\\$home\\bin\\oracle.exe\" ${name#OracleService}" start= "$start" >/dev/null
  check "sc create $name (start= $start)" $?
done <<<"$services"

started=1
sc start OracleServicePROD >/dev/null
check "sc start OracleServicePROD" $?
if queries=$(wait_for OracleServicePROD RUNNING); then
  check "OracleServicePROD reports RUNNING (query $queries after sc start)" 0
else
  check "OracleServicePROD reports RUNNING; its state is $(state OracleServicePROD)" 1
fi
sc start OracleServiceOLD >/dev/null
check "a disabled service does not start" $((! $?))

# The service keys as the prefix holds them, in the fixture's order, and the
# fixture, both without headers, comments and blank lines.
for name in $(grep -o 'Services\\[^]]*' "$fixtures/oracle-services.reg" | cut -d'\' -f2); do
  bash "$src/scripts/wine-run.sh" regedit /E "Z:${work//\//\\}\\$name.reg" \
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\$name" >/dev/null 2>&1
  iconv -f UTF-16 -t UTF-8 "$work/$name.reg" | tr -d '\r' | sed 1d
done | grep -v '^$' >"$work/prefix-keys"
grep -v -e '^;' -e '^REGEDIT4' -e '^$' "$fixtures/oracle-services.reg" >"$work/fixture-keys"
diff -u "$work/fixture-keys" "$work/prefix-keys" | head -40
check "oracle-services.reg holds the keys sc create made" "${PIPESTATUS[0]}"

bash "$src/scripts/wine-run.sh" "$winexe" --json oracle >"$work/wine.json" 2>"$work/wine.err"
check "tavdiscover.exe --json oracle" $?
TAVNOVU_SERVICES=$fixtures/oracle.services "$native" --registry "$fixtures/oracle-home.reg" \
  --registry "$fixtures/oracle-services.reg" --json oracle >"$work/native.json" 2>"$work/native.err"
check "tavdiscover --registry ... --json oracle" $?

# Each report against the table, then the two reports' records field by field.
python3 - "$work/wine.json" "$work/native.json" "$expected" <<'EOF'
import json, sys

def servers(path):
    with open(path, encoding="utf-8") as report:
        families = json.load(report)["families"]
    return [server for family in families if family["family"] == "oracle" for server in family["servers"]]

def said(record):
    service = record["service"]
    listed = [record["found_by"]]
    return listed + (["-"] if service is None else [service["name"], service["start"], service["state"]])

expected = {line.split()[0]: line.split()[1:] for line in sys.argv[3].splitlines()}
reports = {"tavdiscover.exe": servers(sys.argv[1]), "native tavdiscover": servers(sys.argv[2])}
failures = 0
for tool, records in reports.items():
    found = {record["oracle_sid"]: record for record in records}
    for sid in sorted(set(found) | set(expected)):
        want = expected.get(sid, ["no record"])
        got = said(found[sid]) if sid in found else ["no record"]
        verdict = "ok" if got == want else "FAIL"
        failures += verdict == "FAIL"
        print(f"{verdict}: {tool}: {sid}: {' '.join(got)}" + ("" if got == want else f" (expected {' '.join(want)})"))
wine, native = reports["tavdiscover.exe"], reports["native tavdiscover"]
order = {tool: [record["oracle_sid"] for record in records] for tool, records in reports.items()}
if order["tavdiscover.exe"] != order["native tavdiscover"]:
    print(f"FAIL: records in discovery order: tavdiscover.exe {order['tavdiscover.exe']}, "
          f"native {order['native tavdiscover']}")
    failures += 1
wine_by_sid = {record["oracle_sid"]: record for record in wine}
for n in native:
    w = wine_by_sid.get(n["oracle_sid"], {})
    for field in sorted(set(w) | set(n)) if w else []:
        if w.get(field, "(none)") != n.get(field, "(none)"):
            print(f"FAIL: {n['oracle_sid']}: {field}: tavdiscover.exe {json.dumps(w.get(field, '(none)'))}, "
                  f"native {json.dumps(n.get(field, '(none)'))}")
            failures += 1
print(f"{'ok' if failures == 0 else 'FAIL'}: the {len(native)} records of both reports compared field by field")
sys.exit(1 if failures else 0)
EOF
[ $? = 0 ] || failures=$((failures + 1))

sc stop OracleServicePROD >/dev/null
check "sc stop OracleServicePROD" $?
if wait_for OracleServicePROD STOPPED >/dev/null; then
  started= && check "OracleServicePROD stops" 0
else
  check "OracleServicePROD stops; its state is $(state OracleServicePROD)" 1
fi

[ "$failures" = 0 ] || { echo "tavdiscover.exe's error stream:"; cat "$work/wine.err"; }
echo "$failures failures"
[ "$failures" -eq 0 ]
