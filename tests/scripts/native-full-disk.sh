#!/usr/bin/env bash
# A full disk, made with a file size limit (RLIMIT_FSIZE, SIGXFSZ ignored, so
# writes past it fail with EFBIG): the Oracle scenario run first on an empty
# configuration directory, then over the files of a good run. Both runs must
# return 1, say why in the setup log, and leave the directory as it was.
set -uo pipefail
. "$(dirname "$0")/e2e-lib.sh"
fx=$E2E_FIXTURES/oracle
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/drives/c/Agents/etc" "$work/run"
cd "$work/run" || exit 1
unset CELLNAME ETCPATH COMPUTERNAME LOGPATH DLLPATH BINPATH PORTNUMBER COLL_DEBUG
set -a; . "$fx/env"; set +a
export TAVNOVU_DRIVES=$work/drives
etc=$work/drives/c/Agents/etc

# run LIMIT: one tavsetup run, its files limited to LIMIT blocks of 1024 bytes.
run() {
  rm -f setup.log
  # shellcheck disable=SC2046
  (trap '' XFSZ; ulimit -f "$1"; exec "$TAV_BIN_DIR/tavsetup" --registry "$fx/machine.reg" \
    --answers "$fx/answers.txt" --ini "$fx/setup.ini" $(cat "$fx/parms")) > stdout.txt 2> stderr.txt
}

status=0
# check NAME: a limited run gave 1, said why, and left the directory as the golden DIR has it.
check() {
  local result=$1 dir=$2 name=$3
  [ "$result" = 1 ] || { echo "[$name] TavSetUp returned $result, expected 1"; status=1; }
  # The agent files are larger than one block; the batch files and the include file are not.
  grep -q "^Can't write 'C:\\\\Agents\\\\etc\\\\TUOVMA_ORCL.ini': File too large; nothing was configured$" setup.log \
    || { echo "[$name] the setup log does not say why:"; cat setup.log; status=1; }
  ! grep -q "Finished" setup.log || { echo "[$name] the setup log reports files or a finish"; status=1; }
  if [ -n "$dir" ]; then diff -r "$dir" "$etc" || { echo "[$name] the earlier files changed"; status=1; }
  elif [ -n "$(ls -A "$etc")" ]; then echo "[$name] files were left:"; ls -la "$etc"; status=1; fi
}

run 1; check $? "" "first run"
run unlimited
e2e_compare oracle "$?" setup.log "$etc" || status=1
# The re-run would write other files: a partial replacement would show.
export PORTNUMBER=2999
run 1; check $? "$E2E_GOLDEN/oracle/etc" "re-run"
[ $status = 0 ] && echo "full disk: nothing configured, nothing lost"
exit $status
