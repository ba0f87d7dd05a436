#!/usr/bin/env bash
# Two runs at once in one configuration directory, natively: see
# runs_concurrent in runs-lib.sh for what every round must leave.
set -uo pipefail
. "$(dirname "$0")/runs-lib.sh"
runs_init || exit 1
trap runs_cleanup EXIT
runs_concurrent "${RUNS_ROUNDS:-40}"
