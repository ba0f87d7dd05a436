#!/usr/bin/env bash
# The main job on the bundled example: an unattended install for Oracle on a
# machine described by a registry snapshot, its Oracle parameter files, the
# installer's settings file and an answers file. Shows the generated files.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if [ ! -x build/native/bin/tavsetup ]; then
  bash scripts/install-deps.sh
  cmake --preset native >/dev/null
  cmake --build --preset native -j"$(nproc 2>/dev/null || echo 2)" --target tavsetup TAVNOVU
fi

out=$root/out/example
rm -rf "$out"
mkdir -p "$out"
# The drives of the example machine: its parameter files, and the maker's
# configuration directory C:\Veltra\etc that the registry names.
cp -R examples/drives "$out/drives"
mkdir -p "$out/drives/c/Veltra/etc"
cd "$out"

export TAVNOVU_DRIVES=$out/drives
export COMPUTERNAME=DBHOST01 CELLNAME=LONDON PORTNUMBER=1918
set +e
"$root/build/native/bin/tavsetup" --registry "$root/examples/machine.reg" \
  --answers "$root/examples/answers.txt" --ini "$root/examples/setup.ini" \
  setup.log oracle 9.2 "Oracle Monitoring Agent"
rc=$?
set -e
echo
echo "TavSetUp returned $rc"
echo
echo "=== setup.log ==="
cat setup.log
for f in $(cd "$out/drives/c/Veltra/etc" && find . -type f | sort); do
  echo
  echo "=== C:\\Veltra\\etc\\${f#./} ==="
  tr -d '\r' < "$out/drives/c/Veltra/etc/$f"
done
exit $rc
