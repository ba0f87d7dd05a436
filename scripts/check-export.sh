#!/usr/bin/env bash
# Shows that a Windows build of the library exports the undecorated name TavSetUp.
set -euo pipefail
dll=$1; triple=$2
table=$("$triple-objdump" -p "$dll")
if grep -Eq '\][[:space:]]+TavSetUp$' <<<"$table"; then
  echo "$dll exports the undecorated name:"
  grep -E '\][[:space:]]+TavSetUp$' <<<"$table"
else
  echo "$dll does not export TavSetUp" >&2
  exit 1
fi
