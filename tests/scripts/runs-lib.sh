# Shared by the scripts of runs in one configuration directory (concurrent and
# interrupted runs), natively or under Wine (RUNS_WINE=1). A variant is a run
# of one scenario of tests/fixtures/e2e with answers of its own:
#   oracle-a   ORCL and sales, the scenario's answers
#   oracle-b   the same servers with other logins and passwords
#   oracle-orcl / oracle-sales   one server each, other logins
#   sybase     the Sybase scenario (a subdirectory among its files)
# Each variant is first run alone; its configuration directory is then the
# reference that a run of it among others must leave byte for byte.
. "$(dirname "${BASH_SOURCE[0]}")/e2e-lib.sh"

RUNS_WINE=${RUNS_WINE:-0}
RUNS_VARIANTS="oracle-a oracle-b oracle-orcl oracle-sales sybase"

runs_scenario() { case $1 in sybase) echo sybase ;; *) echo oracle ;; esac; }

runs_answers() {
  case $1 in
    oracle-a) cat "$E2E_FIXTURES/oracle/answers.txt" ;;
    oracle-b) printf '[monitor ORCL]\nlogin = other\npassword = ~otherpass\n\n[monitor sales]\nlogin = seller\npassword = ~sellpass\n\n[ok]\n' ;;
    oracle-orcl) printf '[monitor ORCL]\nlogin = solo\npassword = ~solopass\n\n[ok]\n' ;;
    oracle-sales) printf '[monitor sales]\nlogin = seller\npassword = ~sellpass\n\n[ok]\n' ;;
    sybase) cat "$E2E_FIXTURES/sybase/answers.txt" ;;
  esac
}

# runs_init: the work area (RUNS_WORK), the configuration directory (ETC) and,
# under Wine, a prefix with both scenarios' registries.
runs_init() {
  if [ "$RUNS_WINE" = 1 ]; then
    export WINEPREFIX=$TAV_BUILD_DIR/wine-$(basename "$0" .sh)
    rm -rf "$WINEPREFIX"
    for s in oracle sybase; do
      "$TAV_SOURCE_DIR/scripts/wine-run.sh" regedit /S "Z:$(echo "$E2E_FIXTURES/$s/machine.reg" | tr / '\\')" || return 1
    done
    RUNS_WORK=$WINEPREFIX/drive_c/runs
    ETC=$WINEPREFIX/drive_c/Agents/etc
  else
    RUNS_WORK=$(mktemp -d)
    export TAVNOVU_DRIVES=$RUNS_WORK/drives
    ETC=$TAVNOVU_DRIVES/c/Agents/etc
  fi
  mkdir -p "$RUNS_WORK/answers" "$RUNS_WORK/ref" "$ETC"
  for v in $RUNS_VARIANTS; do runs_answers "$v" > "$RUNS_WORK/answers/$v.txt"; done
  for s in oracle sybase; do cp "$E2E_FIXTURES/$s/setup.ini" "$RUNS_WORK/$s.ini"; done
  unset CELLNAME ETCPATH COMPUTERNAME LOGPATH DLLPATH BINPATH PORTNUMBER COLL_DEBUG TAVNOVU_LOCK_WAIT TAVNOVU_TEST_STOP_AT
  set -a; . "$E2E_FIXTURES/oracle/env"; set +a
}

runs_cleanup() { [ "$RUNS_WINE" = 1 ] || rm -rf "$RUNS_WORK"; }

# runs_start DIR VARIANT [NAME=VALUE...]: one run in the background, working
# in DIR (its setup log, output and result go there); its pid in RUNS_PID.
runs_start() {
  local dir=$1 v=$2; shift 2
  local fx; fx=$E2E_FIXTURES/$(runs_scenario "$v")
  rm -rf "$dir"; mkdir -p "$dir"
  if [ "$RUNS_WINE" = 1 ]; then
    # shellcheck disable=SC2046
    (cd "$dir" && exec env "$@" "$TAV_SOURCE_DIR/scripts/wine-run.sh" "$TAV_BIN_DIR/tavsetup.exe" \
      --answers "C:\\runs\\answers\\$v.txt" --ini "C:\\runs\\$(runs_scenario "$v").ini" $(cat "$fx/parms")) \
      > "$dir/stdout.txt" 2>&1 &
  else
    # shellcheck disable=SC2046
    (cd "$dir" && exec env "$@" "$TAV_BIN_DIR/tavsetup" --registry "$fx/machine.reg" \
      --answers "$RUNS_WORK/answers/$v.txt" --ini "$fx/setup.ini" $(cat "$fx/parms")) \
      > "$dir/stdout.txt" 2>&1 &
  fi
  RUNS_PID=$!
}

# runs_wait DIR: waits for the run started last in DIR and keeps its result.
runs_wait() { wait "$RUNS_PID"; echo $? > "$1/result"; }

# runs_reference VARIANT: the reference of a variant, run alone in an empty directory.
runs_reference() {
  local v=$1
  rm -rf "$ETC"; mkdir -p "$ETC"
  runs_start "$RUNS_WORK/alone" "$v"; runs_wait "$RUNS_WORK/alone"
  [ "$(cat "$RUNS_WORK/alone/result")" = 0 ] || { echo "[$v] alone: result $(cat "$RUNS_WORK/alone/result")"; cat "$RUNS_WORK/alone/stdout.txt"; return 1; }
  rm -rf "$RUNS_WORK/ref/$v"; cp -R "$ETC" "$RUNS_WORK/ref/$v"
}

# runs_overlay NAME REF...: the directory NAME under $RUNS_WORK/expect holding
# the references one over the other, the last one's files winning.
runs_overlay() {
  local out=$RUNS_WORK/expect/$1; shift
  rm -rf "$out"; mkdir -p "$out"
  for v in "$@"; do cp -R "$RUNS_WORK/ref/$v/." "$out/"; done
}

# runs_same DIR: the configuration directory equals DIR, file for file.
runs_same() { diff -r -q "$1" "$ETC" > /dev/null 2>&1; }

# runs_concurrent ROUNDS: two runs at once, ROUNDS rounds for each pair: one
# family with the same servers, one family with other servers, two families.
# Every fifth round waits no time (TAVNOVU_LOCK_WAIT=0), so that a run finds
# the directory held and gives up. In every round each run returns 0, or 1
# saying the directory is busy; the directory holds exactly the files of the
# runs that returned 0, each as that run alone writes it, those of the run
# that came last winning, its include file too; nothing else is left.
runs_concurrent() {
  local rounds=$1 status=0 total=0 waits=0 busy=0 a b round ra rb pa pb got
  for v in $RUNS_VARIANTS; do runs_reference "$v" || return 1; done
  for pair in "oracle-a oracle-b" "oracle-orcl oracle-sales" "oracle-a sybase"; do
    read -r a b <<< "$pair"
    runs_overlay "$a+$b" "$a" "$b"; runs_overlay "$b+$a" "$b" "$a"
    for ((round = 1; round <= rounds; round++)); do
      total=$((total + 1))
      local env=(RUNS_ROUND=$round)
      (( round % 5 == 0 )) && env+=(TAVNOVU_LOCK_WAIT=0)
      rm -rf "$ETC"; mkdir -p "$ETC"
      runs_start "$RUNS_WORK/r/a" "$a" "${env[@]}"; pa=$RUNS_PID
      runs_start "$RUNS_WORK/r/b" "$b" "${env[@]}"; pb=$RUNS_PID
      wait "$pa"; ra=$?
      wait "$pb"; rb=$?
      for r in a b; do
        grep -q "waiting for it" "$RUNS_WORK/r/$r/stdout.txt" && waits=$((waits + 1))
      done
      local bad=""
      for r in "a $ra" "b $rb"; do
        read -r name res <<< "$r"
        if [ "$res" = 1 ] && grep -q "is busy: another run has held it for 0 seconds; nothing was configured" "$RUNS_WORK/r/$name/stdout.txt"; then
          busy=$((busy + 1))
        elif [ "$res" != 0 ]; then bad="run $name returned $res"; fi
      done
      if [ -z "$bad" ]; then
        if [ "$ra" = 0 ] && [ "$rb" = 0 ]; then
          runs_same "$RUNS_WORK/expect/$a+$b" || runs_same "$RUNS_WORK/expect/$b+$a" || bad="not the files of $a then $b, nor of $b then $a"
        elif [ "$ra" = 0 ]; then runs_same "$RUNS_WORK/ref/$a" || bad="not the files of $a alone"
        elif [ "$rb" = 0 ]; then runs_same "$RUNS_WORK/ref/$b" || bad="not the files of $b alone"
        else bad="neither run configured"; fi
      fi
      if [ -n "$bad" ]; then
        status=1
        echo "[$a with $b, round $round] $bad ($ra, $rb)"
        (cd "$ETC" && find . | sort)
        for r in a b; do echo "--- run $r"; cat "$RUNS_WORK/r/$r/stdout.txt"; done
      fi
    done
  done
  echo "concurrent runs: $total rounds, $waits waits seen, $busy runs refused after waiting no time"
  return $status
}

# runs_interrupted: over the files of a complete run (oracle-b), a run of
# oracle-a is ended by the test hook at each point: after its first, third and
# last temporary file, after its journal, after its first, third and last
# move. The next run (oracle-orcl) must leave the whole old set or the whole
# new set under its own files, nothing else, and say when it completed an
# interrupted configuration: exactly when the journal was written.
runs_interrupted() {
  local status=0 point old expect
  for v in oracle-a oracle-b oracle-orcl; do runs_reference "$v" || return 1; done
  runs_overlay old oracle-b oracle-orcl; runs_overlay new oracle-a oracle-orcl
  for point in temp:1 temp:3 temp:5 journal move:1 move:3 move:5; do
    rm -rf "$ETC"; cp -R "$RUNS_WORK/ref/oracle-b" "$ETC"
    runs_start "$RUNS_WORK/r/killed" oracle-a TAVNOVU_TEST_STOP_AT="$point"; runs_wait "$RUNS_WORK/r/killed"
    local bad=""
    [ "$(cat "$RUNS_WORK/r/killed/result")" = 99 ] || bad="the hook did not end the run"
    case $point in temp:*) old=1; expect=old ;; *) old=0; expect=new ;; esac
    if [ "$old" = 0 ] && [ ! -f "$ETC/tavnovu.journal" ]; then bad="$bad; no journal left by the run"; fi
    if [ "$old" = 1 ] && [ -z "$(find "$ETC" -name '*.tavnovu.tmp')" ]; then bad="$bad; no temporary file left by the run"; fi
    runs_start "$RUNS_WORK/r/next" oracle-orcl; runs_wait "$RUNS_WORK/r/next"
    [ "$(cat "$RUNS_WORK/r/next/result")" = 0 ] || bad="$bad; the next run returned $(cat "$RUNS_WORK/r/next/result")"
    runs_same "$RUNS_WORK/expect/$expect" || bad="$bad; not the $expect set under the next run's files"
    if grep -q "^Completed an interrupted configuration from [A-Z][a-z][a-z] " "$RUNS_WORK/r/next/setup.log"; then
      [ "$old" = 0 ] || bad="$bad; completion said with no journal"
    else
      [ "$old" = 1 ] || bad="$bad; the completion is not in the setup log"
    fi
    if [ -n "$bad" ]; then
      status=1; echo "[$point] ${bad#; }"; (cd "$ETC" && find . | sort); cat "$RUNS_WORK/r/next/stdout.txt"
    else echo "[$point] ok: the $expect set"; fi
  done
  return $status
}

# runs_killed SECONDS: the same with kill -9 at a random moment of the run,
# for about SECONDS seconds.
runs_killed() {
  local until=$((SECONDS + $1)) status=0 rounds=0 old=0 new=0 completed=0 delay
  for ((; SECONDS < until; )); do
    rounds=$((rounds + 1))
    rm -rf "$ETC"; cp -R "$RUNS_WORK/ref/oracle-b" "$ETC"
    runs_start "$RUNS_WORK/r/killed" oracle-a
    delay=$((RANDOM % ${RUNS_KILL_WINDOW_MS:-60}))
    sleep "$(printf '0.%03d' "$delay")"
    kill -9 "$RUNS_PID" 2>/dev/null
    wait "$RUNS_PID" 2>/dev/null
    runs_start "$RUNS_WORK/r/next" oracle-orcl; runs_wait "$RUNS_WORK/r/next"
    grep -q "^Completed an interrupted configuration" "$RUNS_WORK/r/next/setup.log" && completed=$((completed + 1))
    if [ "$(cat "$RUNS_WORK/r/next/result")" != 0 ]; then
      status=1; echo "[kill after ${delay} ms] the next run returned $(cat "$RUNS_WORK/r/next/result")"
    elif runs_same "$RUNS_WORK/expect/old"; then old=$((old + 1))
    elif runs_same "$RUNS_WORK/expect/new"; then new=$((new + 1))
    else
      status=1; echo "[kill after ${delay} ms] neither the old nor the new set"; (cd "$ETC" && find . | sort)
    fi
  done
  echo "killed runs: $rounds rounds, $old left the old set, $new the new one, $completed completed by the next run"
  return $status
}
