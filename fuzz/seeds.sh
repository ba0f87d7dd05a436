#!/usr/bin/env bash
# Makes the seed corpus of every fuzz target from the test fixtures and the
# examples: seeds.sh SOURCE_DIR OUT_DIR fills OUT_DIR/<target>/. The password
# and batch-escaping seeds, which no fixture file holds, are kept in
# fuzz/corpus/password/ and fuzz/corpus/batch_escaping/.
set -euo pipefail
export LC_ALL=C
src=$1 out=$2
fx=$src/tests/fixtures
rm -rf "$out"
mkdir -p "$out"

# take TARGET FILE...: each file as a seed, named after its path.
take() {
  local target=$1 f
  shift
  mkdir -p "$out/$target"
  for f in "$@"; do
    [ -f "$f" ] && cp "$f" "$out/$target/$(echo "${f#"$src"/}" | tr / _)"
  done
  return 0
}

# cases TARGET FILE: a file of cases, each begun by a line "=== title",
# gives one seed a case.
cases() {
  mkdir -p "$out/$1"
  awk -v stem="$out/$1/$(basename "$2")" '/^=== /{n++; next} n {print > (stem "-" n)}' "$2"
}

take snapshot $(find "$fx" "$src/examples" -name '*.reg')
cases snapshot "$fx/registry/loader-badlines.txt"
take answers "$fx"/dialogs/answers_{cancel,crlf,nul}.txt "$fx"/e2e/*/answers.txt "$src/examples/answers.txt"
cases answers "$fx/dialogs/answers_cases.txt"
cases answers "$fx/dialogs/answers_fleet.txt"
take parameter_file $(find "$fx" "$src/examples" -name '*.ora')
take password "$src"/fuzz/corpus/password/*
take batch_escaping "$src"/fuzz/corpus/batch_escaping/*
take setup_parms "$fx"/e2e/*/parms
take settings_copy "$fx"/e2e/*/setup.ini "$src/examples/setup.ini" $(find "$src/tests/golden" -name tavtset.ini)
