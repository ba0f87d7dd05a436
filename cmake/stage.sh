#!/usr/bin/env bash
# The files the example installers carry: the stripped programs of the
# components runtime and tools in STAGE/bin, signed when signing is set up,
# and the example's settings file and payload in STAGE/installer, from which
# wixl packs them. The last commit's time stands for the time of the build:
# strip writes it into the PE header (SOURCE_DATE_EPOCH), and every file
# carries it, since the MSI package's cabinet keeps the files' dates.
#   cmake/stage.sh CMAKE BUILD STAGE EXAMPLE [SIGN COMMAND...]
set -euo pipefail
cmake=$1 build=$2 stage=$3 example=$4
shift 4
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$(dirname "$0")" log -1 --format=%ct 2>/dev/null || echo 0)}
rm -rf "$stage/bin" "$stage/installer" "$stage/staged"
for component in runtime tools; do
  "$cmake" --install "$build" --component "$component" --strip --prefix "$stage" >/dev/null
done
[ $# = 0 ] || "$@" "$stage"/bin/*
mkdir -p "$stage/installer"
cp -R "$example/setup.ini" "$example/payload" "$stage/installer/"
find "$stage/bin" "$stage/installer" -exec touch -d "@$SOURCE_DATE_EPOCH" {} +
touch "$stage/staged"
