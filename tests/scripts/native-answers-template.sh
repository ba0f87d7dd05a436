#!/usr/bin/env bash
# The answers-file template played unchanged: on every discovery fixture,
# tavdiscover --answers-template, then tavsetup --answers with that file on the
# same machine, generates the batch and agent files of every server the
# template names; every other server the template says it left out. Where all
# are named, each server with a service (tavdiscover --json) has its service line.
set -u
export LC_ALL=C  # server names are Windows-1252 bytes
src=${TAV_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
bin=${TAV_BIN_DIR:-$src/build/native/bin}
fixtures=$src/tests/fixtures/discovery
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
export COMPUTERNAME=DBHOST01 CELLNAME=EAST ETCPATH='C:\Agents\etc' LOGPATH='C:\Agents\logs'
export BINPATH='C:\Agents\bin' DLLPATH='C:\Agents\dll' TAVNOVU_DRIVES=$work/drives
unset TAVNOVU_REGISTRY TAVNOVU_ANSWERS COLL_DEBUG
declare -A FILES=([oracle]="Oracle_ TUOVMA_" [mssql]="MSMSQL_ TUMVMA_" [sybase]="Sybase_ TUSVMA_"
                  [informix]="Informix_ TUIVMA_")
failures=0 checked=0
for reg in "$fixtures"/{oracle,mssql,sybase,informix}-*.reg; do
  name=$(basename "$reg" .reg) family=${name%%-*} checked=$((checked + 1))
  rm -rf "$work/drives" "$work/run"
  cp -R "$fixtures/drives" "$work/drives"
  mkdir -p "$work/drives/c/Agents/etc" "$work/run"
  cd "$work/run"
  # A fixture's services file stands in for the service manager.
  unset TAVNOVU_SERVICES
  [ -f "${reg%.reg}.services" ] && export TAVNOVU_SERVICES=${reg%.reg}.services
  records=$("$bin/tavdiscover" --registry "$reg" $family 2>/dev/null | grep -ac '^is_server_valid : ')
  "$bin/tavdiscover" --registry "$reg" --answers-template $family >answers.txt 2>/dev/null
  problems=()
  "$bin/tavsetup" --registry "$reg" --answers answers.txt --ini "$src/tests/fixtures/e2e/oracle/setup.ini" \
    setup.log $family 9.2 >stdout.txt 2>stderr.txt || problems+=("tavsetup returned $?: $(cat stderr.txt)")
  grep -aq "^# Answers for the .* agents on DBHOST01\.$" answers.txt || problems+=("no header naming DBHOST01")
  golden=$src/tests/golden/discovery/$name.answers.txt  # some templates are kept whole
  [ ! -f "$golden" ] || cmp -s "$golden" answers.txt || problems+=("the template differs from $golden")
  sections=0
  while IFS= read -r server; do
    sections=$((sections + 1))
    for prefix in ${FILES[$family]}; do
      ext=bat; [ "${prefix%VMA_}" != "$prefix" ] && ext=ini
      [ -f "$work/drives/c/Agents/etc/$prefix$server.$ext" ] || problems+=("no $prefix$server.$ext")
    done
  done < <(sed -n 's/^\[monitor \(.*\)\]$/\1/p' answers.txt)
  left=$(grep -ac '^# Not listed: ' answers.txt)
  [ $((sections + left)) -eq "$records" ] || problems+=("$records servers discovered, $sections sections and $left left out")
  services=$("$bin/tavdiscover" --registry "$reg" --json $family 2>/dev/null | grep -c '"service": {')
  lines=$(grep -ac '^#   service : ' answers.txt)
  [ "$left" -gt 0 ] || [ "$lines" -eq "$services" ] || problems+=("$services servers with a service, $lines service lines")
  if [ ${#problems[@]} -gt 0 ]; then
    echo "FAIL: $name"; printf '  %s\n' "${problems[@]}"; cat answers.txt
    failures=$((failures + 1))
  else
    echo "ok: $name ($sections of $records servers)"
  fi
done
echo "$failures failures in $checked fixtures"
[ "$failures" -eq 0 ] && [ "$checked" -gt 0 ]
