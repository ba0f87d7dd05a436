#!/usr/bin/env bash
# Shows that a Windows build of the library exports the undecorated name TavSetUp.
set -euo pipefail
dll=$1; triple=$2
table=$("$triple-objdump" -p "$dll")
if printf '%s\n' "$table" | grep -Eq '\][[:space:]]+TavSetUp$'; then
  echo "$dll exports the undecorated name:"
  printf '%s\n' "$table" | grep -E '\][[:space:]]+TavSetUp$'
else
  echo "$dll does not export TavSetUp" >&2
  exit 1
fi
