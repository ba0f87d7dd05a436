#!/usr/bin/env bash
# The files the example installers carry: the stripped programs of the
# components runtime and tools in STAGE/bin, signed when signing is set up.
# The last commit's time stands for the time of the build: strip writes it
# into the PE header (SOURCE_DATE_EPOCH), and the files carry it.
#   cmake/stage.sh CMAKE BUILD STAGE [SIGN COMMAND...]
set -euo pipefail
cmake=$1 build=$2 stage=$3
shift 3
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$(dirname "$0")" log -1 --format=%ct 2>/dev/null || echo 0)}
rm -rf "$stage/bin"
for component in runtime tools; do
  "$cmake" --install "$build" --component "$component" --strip --prefix "$stage" >/dev/null
done
[ $# = 0 ] || "$@" "$stage"/bin/*
touch -d "@$SOURCE_DATE_EPOCH" "$stage"/bin/*
