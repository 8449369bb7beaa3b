#!/usr/bin/env bash
# Mutants drawn at random from the game's C++ and GLSL, each run against the whole Release
# suite, and a Release survivor against its unit's tests under the sanitizers; see
# tools/mutation-sample.py for how they are made and drawn.
#
# Usage: tools/mutation-sample.sh [--seed S] [--count N] [-b BUILD] [--sanitizer-build DIR]
#                                 [--list] [--count-all] [--retest-survivors] [--restore]
# Results: BUILD/mutation-sample/seed-S.tsv; a rerun with the same seed continues it.
set -euo pipefail
cd "$(dirname "$0")/.."
build="build"
args=("$@")
for ((i = 0; i < ${#args[@]}; i++)); do
  case "${args[$i]}" in -b|--build) build="${args[$((i + 1))]}" ;; esac
done
if [ ! -f "$build/CMakeCache.txt" ]; then
  tools/install-deps.sh
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
exec python3 tools/mutation-sample.py "$@"
