#!/usr/bin/env bash
# Runs ended at chosen points by the test hook (TAVNOVU_TEST_STOP_AT), then
# killed at random moments: the next run leaves a whole set, nothing else.
# See runs_interrupted and runs_killed in runs-lib.sh.
set -uo pipefail
. "$(dirname "$0")/runs-lib.sh"
runs_init || exit 1
trap runs_cleanup EXIT
status=0
runs_interrupted || status=1
runs_killed "${RUNS_KILL_SECONDS:-20}" || status=1
exit $status
