#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets (the "fuzz" preset, clang) and runs each once over
# its corpus in fuzz/corpus/<target>/: a target that no longer builds, a target
# without a corpus, or an input that crashes again fails the run.
#   scripts/fuzz-replay.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/fuzz}
jobs=${JOBS:-$(nproc)}
cmake --preset fuzz >/dev/null
cmake --build "$build" -j "$jobs"
status=0
for src in fuzz/fuzz_*.cpp; do
  name=$(basename "$src" .cpp)
  corpus=fuzz/corpus/$name
  if [ ! -x "$build/fuzz/$name" ]; then
    echo "fuzz-replay: $name was not built" >&2
    status=1
    continue
  fi
  if [ ! -d "$corpus" ] || [ -z "$(ls -A "$corpus")" ]; then
    echo "fuzz-replay: $name has no corpus in $corpus" >&2
    status=1
    continue
  fi
  count=$(ls -A "$corpus" | wc -l)
  # -runs=0: every input of the corpus once, nothing new.
  if "$build/fuzz/$name" -runs=0 "$corpus" >"$build/$name-replay.log" 2>&1; then
    echo "fuzz-replay: $name: $count inputs, no crash"
  else
    echo "fuzz-replay: $name failed on its corpus:" >&2
    tail -n 40 "$build/$name-replay.log" >&2
    status=1
  fi
done
exit $status
