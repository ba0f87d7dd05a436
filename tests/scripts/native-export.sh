#!/usr/bin/env bash
# libTAVNOVU.so exports TavSetUp with C linkage and keeps its internals hidden.
set -euo pipefail
lib=$TAV_BIN_DIR/libTAVNOVU.so
syms=$(nm -D --defined-only "$lib" | awk '{print $3}')
grep -qx TavSetUp <<<"$syms" || { echo "TavSetUp not exported" >&2; exit 1; }
own=$(echo "$syms" | grep -E '^(_Z.*(CDbServer|CInstallParams|coll_|tavplat)|coll_|encode_password)' || true)
[ -z "$own" ] || { echo "internals exported:" >&2; echo "$own" >&2; exit 1; }
echo ok
