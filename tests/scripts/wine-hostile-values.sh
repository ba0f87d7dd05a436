#!/usr/bin/env bash
# The hostile-values table (tests/scripts/hostile_values.py) under Wine: each
# run by tavsetup.exe, and each generated batch file run by Wine's cmd.exe with
# its START lines replaced by a dump of the environment.
set -u
export LC_ALL=C
export TAV_SOURCE_DIR TAV_BIN_DIR TAV_BUILD_DIR
unset TAVNOVU_REGISTRY TAVNOVU_ANSWERS
exec python3 "$(dirname "$0")/hostile_values.py" wine
