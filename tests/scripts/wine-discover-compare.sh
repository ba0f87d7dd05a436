#!/usr/bin/env bash
# Discovery on two registries: the native tavdiscover reads each fixture as a
# snapshot; the Windows tavdiscover.exe reads the Win32 registry under Wine after
# regedit has imported the same fixture. Both must print the same records with
# the same exit code, and the same records with their registry views in the
# JSON report. tests/fixtures/discovery/README.txt says what shaped the
# fixtures. The n-th fixture of each family goes into the n-th Wine prefix;
# fixtures named on the command line (by hand) share one.
set -u
src=${TAV_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
native=${TAV_NATIVE_BIN:-$src/build/native/bin}/tavdiscover
winexe=${TAV_BIN_DIR:-$src/build/mingw/bin}/tavdiscover.exe
fixtures=$src/tests/fixtures/discovery
[ -x "$native" ] || { echo "skipped: no native tavdiscover at $native"; exit 77; }
[ -f "$winexe" ] || { echo "FAIL: no tavdiscover.exe at $winexe"; exit 1; }
[ -x "${WINE64:-/usr/lib/wine/wine64}" ] || { echo "skipped: no Wine"; exit 77; }

groups=("$*")
if [ $# -eq 0 ]; then
  declare -A count
  for reg in "$fixtures"/*.reg; do
    name=$(basename "$reg" .reg) n=${count[${name%%-*}]:-0}
    count[${name%%-*}]=$((n + 1)) groups[n]+="$name "
  done
fi
work=$(mktemp -d)
trap '[ -z "${WINEPREFIX:-}" ] || /usr/lib/wine/wineserver -k 2>/dev/null; rm -rf "$work"' EXIT

on_snapshot() { TAVNOVU_DRIVES=$fixtures/drives COMPUTERNAME=$computer "$native" --registry "$fixtures/$fixture.reg" "$@"; }
on_wine() { bash "$src/scripts/wine-run.sh" "$winexe" "$@"; }
# report RUN text|json FAMILY: what the tool prints, both streams and the exit
# code; or the families of its JSON report (its install paths are those of the
# whole prefix, which holds the group's other fixtures too). The lines a
# snapshot passes over are reported by the native tool alone (regedit has its
# own messages). The install-path listing of the machine's own Windows version
# key differs between Wine and the snapshot, so only the maker's lines are
# compared; Wine's FormatMessage has texts of its own ("File not found." for
# code 2, where Windows says "The system cannot find the file specified."), so
# of an error line only the code is.
report() {
  if [ "$2" = json ]; then
    $1 --json "$3" 2>/dev/null | tr -d '\r' |
      python3 -c 'import json, sys; print(json.dumps(json.load(sys.stdin)["families"], indent=1))'
  else
    { $1 "$3" 2>&1; echo "exit $?"; } | tr -d '\r' | grep -av -e '^ NT: ' -e '^tavdiscover: .*\.reg:[0-9]*: ' |
      sed -E 's/^(MS err\([-0-9]+\):).*/\1/'
  fi
}

failures=0 compared=0 n=0
for group in "${groups[@]}"; do
  export WINEPREFIX=$work/prefix$((n += 1))
  # The first start makes the prefix; the fixtures' drive C: goes into it.
  for fixture in $group; do
    bash "$src/scripts/wine-run.sh" regedit /S "Z:${fixtures//\//\\}\\$fixture.reg" >/dev/null 2>&1 ||
      { echo "FAIL: regedit could not import $fixture.reg"; failures=$((failures + 1)); }
  done
  cp -R "$fixtures/drives/c/." "$WINEPREFIX/drive_c/"
  computer=$(bash "$src/scripts/wine-run.sh" cmd /c 'echo %COMPUTERNAME%' 2>/dev/null | tr -d '\r\n')
  for fixture in $group; do
    family=${fixture%%-*}
    [ "$family" = paths ] && family=--install-paths
    for mode in text json; do
      [ "$mode$family" = json--install-paths ] && continue
      # A fixture's services file stands in for a service manager that Wine's
      # does not follow: only its records are compared (wine-services.sh runs
      # real services).
      [ "$mode" = json ] && [ -f "$fixtures/$fixture.services" ] && continue
      report on_snapshot $mode $family >"$work/native"
      report on_wine $mode $family >"$work/wine"
      compared=$((compared + 1))
      if [ -s "$work/native" ] && cmp -s "$work/native" "$work/wine"; then
        echo "ok: $fixture ($family $mode, $(wc -l <"$work/native") lines)"
      else
        echo "FAIL: $fixture ($family $mode) differs between the native snapshot and the Win32 registry:"
        diff -u "$work/native" "$work/wine" | head -60
        failures=$((failures + 1))
      fi
    done
  done
  /usr/lib/wine/wineserver -k 2>/dev/null
  rm -rf "$WINEPREFIX"
done
echo "$compared reports compared, $failures failures"
[ "$failures" -eq 0 ] && [ "$compared" -gt 0 ]
