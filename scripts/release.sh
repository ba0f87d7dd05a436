#!/usr/bin/env bash
# Builds what an installer author ships and packs it:
#   dist/tavnovu-<version>-windows.zip   the stripped x64 and x86 TAVNOVU.dll,
#                                        tavsetup.exe and tavdiscover.exe, the
#                                        example installers built from them and
#                                        their sources, README.md, LICENSE
#   dist/SHA256SUMS                      the archive's checksum
# With TAV_SIGN_PKCS12 (and TAV_SIGN_PASSWORD_ENV, TAV_SIGN_TIMESTAMP_URL) set,
# every DLL, program and installer is signed (see README.md, "Signing").
# The builds are reproducible and every file carries the last commit's time,
# so running the script twice on the same commit gives the same archive.
# TAV_RELEASE_BUILD (default build/release), TAV_RELEASE_DIST (default dist)
# and TAV_RELEASE_ARCHS (default "x64 x86") choose where and what.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
cd "$src"
build=${TAV_RELEASE_BUILD:-$src/build/release}
dist=${TAV_RELEASE_DIST:-$src/dist}
archs=${TAV_RELEASE_ARCHS:-x64 x86}
jobs=$(nproc 2>/dev/null || echo 2)
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}

sign=(-DTAV_SIGN_PKCS12="${TAV_SIGN_PKCS12:-}" -DTAV_SIGN_PASSWORD_ENV="${TAV_SIGN_PASSWORD_ENV:-}"
      -DTAV_SIGN_TIMESTAMP_URL="${TAV_SIGN_TIMESTAMP_URL:-}")
for arch in $archs; do
  case $arch in
    x64) preset=mingw ;;
    x86) preset=mingw32 ;;
    *) echo "release.sh: no architecture $arch (x64 or x86)" >&2; exit 64 ;;
  esac
  echo "=== $arch: build/$preset's settings in $build/$arch ==="
  cmake --preset "$preset" -B "$build/$arch" -DTAV_BUILD_TESTS=OFF "${sign[@]}" >/dev/null
  # Staged and packed afresh, so that a change of the signing settings counts.
  rm -rf "$build/$arch/stage"
  rm -f "$build/$arch"/installers/agents-*
  # The installers' target stages (and signs) the three programs first.
  cmake --build "$build/$arch" -j"$jobs" --target installers
done

version=$(sed -n 's/^#define TAV_VERSION "\(.*\)"$/\1/p' "$build/${archs%% *}/generated/Version.h")
name=tavnovu-$version-windows
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/$name
mkdir -p "$root/installers" "$root/examples"
for arch in $archs; do
  cp -R "$build/$arch/stage/bin" "$root/$arch"
  cp "$build/$arch"/installers/agents-"$arch".* "$root/installers/"
done
cp README.md LICENSE "$root/"
git ls-files -z examples/installer | xargs -0 cp --parents -t "$root"

# The same bytes from the same commit: fixed dates and modes, sorted names, no
# owners or extra time fields (-X), dates in UTC.
find "$root" -type d -exec chmod 755 {} + -o -type f -exec chmod 644 {} +
find "$root" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
mkdir -p "$dist"
rm -f "$dist/$name.zip"
(cd "$work" && find "$name" -print | LC_ALL=C sort | TZ=UTC zip -X -D -q -@ "$dist/$name.zip")
(cd "$dist" && sha256sum "$name.zip" > SHA256SUMS)
echo "$dist/$name.zip"
cat "$dist/SHA256SUMS"
