#!/usr/bin/env bash
# Runs ended by the test hook (TAVNOVU_TEST_STOP_AT, TerminateProcess under
# Wine) after their temporary files, their journal and their moves: the next
# run leaves a whole set, nothing else. See runs_interrupted in runs-lib.sh.
set -uo pipefail
RUNS_WINE=1
. "$(dirname "$0")/runs-lib.sh"
runs_init || exit 1
runs_interrupted
