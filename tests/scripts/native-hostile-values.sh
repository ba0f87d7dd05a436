#!/usr/bin/env bash
# The hostile-values table (tests/scripts/hostile_values.py) on Linux: the same
# refusals and the same batch lines as under Wine.
set -u
export LC_ALL=C
: "${TAV_SOURCE_DIR:=$(cd "$(dirname "$0")/../.." && pwd)}" "${TAV_BIN_DIR:=$TAV_SOURCE_DIR/build/native/bin}"
export TAV_SOURCE_DIR TAV_BIN_DIR
unset TAVNOVU_REGISTRY TAVNOVU_ANSWERS
exec python3 "$(dirname "$0")/hostile_values.py" native
