#!/usr/bin/env bash
# tavsetup as a host installer uses it: loading, the parameter string, the
# environment passed through, and the exit codes.
set -uo pipefail
bin=$TAV_BIN_DIR
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
cd "$tmp"
fail() { echo "FAIL: $*" >&2; exit 1; }
unset TAVNOVU_REGISTRY TAVNOVU_ANSWERS COLL_DEBUG

"$bin/tavsetup" --help | grep -q "TAVNOVU_ANSWERS" || fail "--help does not document the environment"

"$bin/tavsetup" --library "$tmp/nowhere.so" a b c 2>err; rc=$?
[ $rc -eq 3 ] || fail "missing library gave $rc"
grep -q "cannot load" err || fail "no message for a missing library"

libc=$(ldd "$bin/tavsetup" | awk '/libc\.so/ {print $3}')
"$bin/tavsetup" --library "$libc" a b c 2>err; rc=$?
[ $rc -eq 3 ] || fail "library without TavSetUp gave $rc"
grep -q "has no export named TavSetUp" err || fail "no message for a missing export"

"$bin/tavsetup" --skip; [ $? -eq 0 ] || fail "--skip"
"$bin/tavsetup" 2>err; [ $? -eq 1 ] || fail "no PARMS should give 1"
grep -q "IXE0015E" err || fail "no ixe0015 record"
# Bad usage: one line naming the problem, and 64.
"$bin/tavsetup" --bogus 2>err; [ $? -eq 64 ] || fail "unknown option"
[ "$(cat err)" = "tavsetup: unknown option --bogus (see --help)" ] || fail "unknown option said: $(cat err)"
"$bin/tavsetup" --library 2>err; [ $? -eq 64 ] || fail "an option without its value"
[ "$(cat err)" = "tavsetup: --library needs a value" ] || fail "missing value said: $(cat err)"
"$bin/tavsetup" --output "$tmp/missing/out.txt" a b c 2>err; [ $? -eq 64 ] || fail "--output into a missing directory"
[ "$(cat err)" = "tavsetup: cannot write $tmp/missing/out.txt: No such file or directory" ] || fail "--output said: $(cat err)"

# Both forms of the parameter string are one call; the keyword ends the run.
"$bin/tavsetup" one.log none 9.2 "Oracle 9i" > out1; [ $? -eq 1 ] || fail "separate PARMS"
"$bin/tavsetup" "two.log none 9.2 Oracle 9i" > out2; [ $? -eq 1 ] || fail "joined PARMS"
grep -q "none is not a supported product" one.log || fail "log one"
grep -q "none is not a supported product" two.log || fail "log two"

"$bin/tavsetup" "$tmp/missing/dir/x.log" none 9.2 2>/dev/null; [ $? -eq 2 ] || fail "unopenable log"

# --directory: the log and tavtset.ini go there; one that cannot be entered is refused.
mkdir work; printf '[Local Settings]\nA=1\n' > work/in.ini
"$bin/tavsetup" --directory work --ini in.ini four.log none 9.2 >/dev/null; [ $? -eq 1 ] || fail "--directory run"
[ -f work/four.log ] && [ -f work/tavtset.ini ] || fail "--directory: $(ls work)"
"$bin/tavsetup" --directory missing four.log none 9.2 2>err; [ $? -eq 64 ] || fail "--directory missing"
grep -q "cannot work in missing" err || fail "no message for a missing directory"
# --output: both streams, and the result explained.
"$bin/tavsetup" --directory work --output out.txt five.log none 9.2; [ $? -eq 1 ] || fail "--output run"
grep -q "none is not a supported product" work/out.txt || fail "--output lacks standard output"
grep -q "TavSetUp returned 1: refused or cancelled" work/out.txt || fail "--output lacks the result"

# The environment reaches the library: COLL_DEBUG turns on the message file.
COLL_DEBUG=-xd COLL_OUT="$tmp" COLL_HOSTNAME=HOST COLL_VERSION=tav \
  "$bin/tavsetup" three.log none 9.2 >/dev/null; [ $? -eq 1 ] || fail "traced run"
out=$(ls "$tmp"/HOST_av_ixcfg.out 2>/dev/null) || fail "no message file: $(ls "$tmp")"
grep -q "IXE0005T (" "$out" || fail "no ixe0005 trace record"
grep -q "Passed parms from INI three.log none 9.2." "$out" || fail "parms not traced whole"
echo ok
