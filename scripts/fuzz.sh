#!/usr/bin/env bash
# Runs one fuzz target for long, at the lowest priority:
#   scripts/fuzz.sh TARGET [SECONDS] [LIBFUZZER OPTION]...
# SECONDS defaults to 600. The corpus grows from run to run in
# build/fuzz/campaign/TARGET/corpus (the seeds come from the fixtures); a
# finding is written to build/fuzz/campaign/TARGET/ and ends the run. What
# the library prints is discarded; the fuzzer's lines and findings show.
set -euo pipefail
cd "$(dirname "$0")/.."
targets="snapshot answers parameter_file password setup_parms settings_copy"
if [ $# -lt 1 ] || ! [[ " $targets " == *" $1 "* ]]; then
  echo "usage: scripts/fuzz.sh TARGET [SECONDS] [LIBFUZZER OPTION]..." >&2
  echo "TARGET: $targets" >&2
  exit 64
fi
target=$1
seconds=${2:-600}
shift $(( $# < 2 ? $# : 2 ))
max_len=4096
[ "$target" = snapshot ] && max_len=65536

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 --target "fuzz_$target" fuzz_seeds
dir=build/fuzz/campaign/$target
mkdir -p "$dir/corpus"
exec nice -n 19 "build/fuzz/bin/fuzz_$target" -max_total_time="$seconds" -max_len="$max_len" \
  -print_funcs=0 -close_fd_mask=3 -print_final_stats=1 -artifact_prefix="$dir/" "$@" "$dir/corpus" "build/fuzz/corpus/$target"
