#!/usr/bin/env bash
# The version resources of the shipped Windows binaries, read back under Wine
# as Explorer reads them (GetFileVersionInfo, VerQueryValue, in read_version):
# the versions are CMake's project version and every field is there, in the
# stripped files the installers carry as in the build's own; the NSIS
# installer carries the same version; the programs' --version says it too.
set -uo pipefail
run=$TAV_SOURCE_DIR/scripts/wine-run.sh
reader=$TAV_BIN_DIR/read_version.exe
status=0
. "$(dirname "$0")/e2e-lib.sh"  # e2e_report
winpath() { echo "Z:$1" | tr / '\\'; }

# FILE:FILE DESCRIPTION
for row in "TAVNOVU.dll:TAVNOVU installation exit for the database monitoring agents" \
           "tavsetup.exe:TAVNOVU host program" "tavdiscover.exe:TAVNOVU discovery report"; do
  file=${row%%:*}
  want="FixedFileVersion=$TAV_VERSION.0
FixedProductVersion=$TAV_VERSION.0
CompanyName=Veltra
FileDescription=${row#*:}
FileVersion=$TAV_VERSION
InternalName=${file%.*}
LegalCopyright=Copyright (C) 2026 Veltra. Apache License 2.0
OriginalFilename=$file
ProductName=TAVNOVU installation exit
ProductVersion=$TAV_VERSION"
  for dir in "$TAV_BIN_DIR" "$TAV_BUILD_DIR/stage/bin"; do
    diff <(echo "$want") <("$run" "$reader" "$(winpath "$dir/$file")" | tr -d '\r')
    e2e_report "$file in ${dir#"$TAV_BUILD_DIR"/}" $?
  done
done

installer=$TAV_BUILD_DIR/installers/agents-x64.exe
if [ -f "$installer" ]; then
  "$run" "$reader" "$(winpath "$installer")" | tr -d '\r' | grep -qx "ProductVersion=$TAV_VERSION"
  e2e_report "agents-x64.exe" $?
fi

for program in tavsetup tavdiscover; do
  [ "$("$run" "$TAV_BIN_DIR/$program.exe" --version | tr -d '\r')" = "$program $TAV_VERSION" ]
  e2e_report "$program --version" $?
done
exit $status
