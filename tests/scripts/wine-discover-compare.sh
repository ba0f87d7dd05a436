#!/usr/bin/env bash
# Discovery on two registries: the native tavdiscover reads each fixture as a
# snapshot; the Windows tavdiscover.exe reads the Win32 registry under Wine after
# regedit has imported the same fixture. Both must print the same records, and
# the same records with their registry views in the JSON report.
#
# Fixtures that touch different key trees share one Wine prefix (one group
# below); fixtures of the same family would collide and get a prefix each.
#
# Cases where the real registry decides what a described example cannot:
# - informix-servers, informix-current: "CurrentVersion" is itself a sub-key of
#   "Software\Informix\Online\", so the per-server step, which opens that key
#   with its trailing backslash and takes the first sub-key with an Environment,
#   finds CurrentVersion's Environment. A machine with only the CurrentVersion
#   keys therefore gets two records (per-server and CurrentVersion), not one.
# - informix-noenv: "no sub-key has an Environment" and "the CurrentVersion keys
#   exist" cannot both hold, so that fixture has no CurrentVersion keys.
# - mssql-emptyname: an empty instance name makes key paths with two
#   backslashes in a row; RegOpenKeyExA under Wine opens them as if the empty
#   part were not there, and the in-memory registry does the same.
# - The *-views fixtures hold keys under SOFTWARE\Wow6432Node. In a 64-bit
#   prefix regedit /S puts them where the 32-bit view of the registry is, so
#   tavdiscover.exe (x64) reads them with KEY_WOW64_32KEY, as the snapshot
#   reader presents them natively.
# - Values are enumerated in creation order by Windows and sorted by Wine; the
#   fixtures list every key's values in sorted order so that both agree.
# - The lines a snapshot passes over are reported by the native tool alone
#   (regedit has its own messages); only the records are compared.
set -u

src=${TAV_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
native=${TAV_NATIVE_BIN:-$src/build/native/bin}/tavdiscover
winexe=${TAV_BIN_DIR:-$src/build/mingw/bin}/tavdiscover.exe
fixtures=$src/tests/fixtures/discovery
winerun=$src/scripts/wine-run.sh

if [ ! -x "$native" ]; then echo "skipped: no native tavdiscover at $native"; exit 77; fi
if [ ! -f "$winexe" ]; then echo "skipped: no tavdiscover.exe at $winexe"; exit 77; fi
if [ ! -x "${WINE64:-/usr/lib/wine/wine64}" ]; then echo "skipped: no Wine"; exit 77; fi

groups=(
  "oracle-homes mssql-instances sybase-servers informix-servers paths-config"
  "oracle-counter mssql-broken sybase-partial informix-carry paths-agent"
  "oracle-limits mssql-default sybase-noproduct informix-current"
  "mssql-toolarge informix-noenv paths-views32 oracle-handedited"
  "oracle-10g-only mssql-emptyname"
  "oracle-views mssql-views sybase-views informix-views paths-views"
)
# By hand: the fixtures named on the command line, in one prefix.
if [ $# -gt 0 ]; then
  groups=("$*")
else
  for reg in "$fixtures"/*.reg; do
    name=$(basename "$reg" .reg)
    case " ${groups[*]} " in
      *" $name "*) ;;
      *) echo "FAIL: fixture $name is in no group"; exit 1 ;;
    esac
  done
fi

work=$(mktemp -d)
prefix=
cleanup() {
  if [ -n "$prefix" ]; then
    WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

windows_path() { printf 'Z:%s' "${1//\//\\}"; }

family_of() {
  case $1 in
    oracle-*) echo ora ;;
    mssql-*) echo sql ;;
    sybase-*) echo syb ;;
    informix-*) echo ifx ;;
    paths-*) echo --install-paths ;;
  esac
}

# The install-path listing of the machine's own Windows version key differs
# between Wine and the snapshot; only the maker's lines are compared. Wine's
# FormatMessage has texts of its own ("File not found." for code 2, where
# Windows says "The system cannot find the file specified."), so of an error
# line only the code is compared.
filter() {
  case $1 in
    --install-paths) tr -d '\r' | grep -av '^ NT: ' | sed -E 's/^(MS err\([-0-9]+\):).*/\1/' ;;
    *) tr -d '\r' ;;
  esac
}

# The families of a JSON report: its install paths are those of the whole
# prefix, which holds the group's other fixtures too.
families_of() {
  tr -d '\r' | python3 -c 'import json, sys; print(json.dumps(json.load(sys.stdin)["families"], indent=1))'
}

failures=0
compared=0
n=0
for group in "${groups[@]}"; do
  n=$((n + 1))
  prefix=$work/prefix$n
  export WINEPREFIX=$prefix
  # The first start makes the prefix; the fixtures' drive C: goes into it.
  for fixture in $group; do
    if ! bash "$winerun" regedit /S "$(windows_path "$fixtures/$fixture.reg")" >/dev/null 2>&1; then
      echo "FAIL: regedit could not import $fixture.reg"
      failures=$((failures + 1))
    fi
  done
  cp -R "$fixtures/drives/c/." "$prefix/drive_c/"
  computer=$(bash "$winerun" cmd /c 'echo %COMPUTERNAME%' 2>/dev/null | tr -d '\r\n')

  for fixture in $group; do
    family=$(family_of "$fixture")
    TAVNOVU_DRIVES=$fixtures/drives COMPUTERNAME=$computer \
      "$native" --registry "$fixtures/$fixture.reg" $family 2>&1 | grep -av '^tavdiscover: .*\.reg:[0-9]*: ' |
      filter "$family" >"$work/$fixture.native"
    bash "$winerun" "$winexe" $family 2>&1 | filter "$family" >"$work/$fixture.wine"
    compared=$((compared + 1))
    if ! cmp -s "$work/$fixture.native" "$work/$fixture.wine"; then
      echo "FAIL: $fixture ($family) differs between the native snapshot and the Win32 registry:"
      diff -u "$work/$fixture.native" "$work/$fixture.wine" | head -60
      failures=$((failures + 1))
    elif [ ! -s "$work/$fixture.native" ] && [ "$family" = --install-paths ]; then
      echo "FAIL: $fixture printed nothing"
      failures=$((failures + 1))
    else
      echo "ok: $fixture ($family, $(wc -l <"$work/$fixture.native") lines)"
    fi
    [ "$family" = --install-paths ] && continue
    TAVNOVU_DRIVES=$fixtures/drives COMPUTERNAME=$computer \
      "$native" --registry "$fixtures/$fixture.reg" --json $family 2>/dev/null | families_of >"$work/$fixture.native.json"
    bash "$winerun" "$winexe" --json $family 2>/dev/null | families_of >"$work/$fixture.wine.json"
    if [ ! -s "$work/$fixture.native.json" ] || ! cmp -s "$work/$fixture.native.json" "$work/$fixture.wine.json"; then
      echo "FAIL: $fixture ($family) reports differ between the native snapshot and the Win32 registry:"
      diff -u "$work/$fixture.native.json" "$work/$fixture.wine.json" | head -60
      failures=$((failures + 1))
    fi
  done
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$prefix"
  prefix=
done

echo "$compared fixtures compared, $failures failures"
[ "$failures" -eq 0 ]
