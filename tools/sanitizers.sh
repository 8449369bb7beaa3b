#!/usr/bin/env bash
# How the AddressSanitizer and UndefinedBehaviorSanitizer tree is configured and the
# environment its tests run in. tools/test.sh sources it and runs the whole suite there; the
# random mutant sample runs it to try a survivor's own tests there before it counts as one.
#
# sanitizer_configure BUILD   configures BUILD (default build-sanitize) as that tree.
# sanitizer_env COMMAND...    runs COMMAND with the sanitizers' environment.

sanitizer_configure() {
  cmake -S . -B "${1:-build-sanitize}" -DCMAKE_BUILD_TYPE=Debug -DORBELUNE_SANITIZE=ON \
    -DORBELUNE_BENCHMARKS=OFF >/dev/null
}

sanitizer_env() {
  # The leak check at exit stops every thread to scan its stack. Once in some thousand
  # processes, llvmpipe's rasteriser or shader-cache threads made its tracer crash
  # ("Tracer caught signal 11") and fail a test that had passed. Here llvmpipe draws on the
  # calling thread and keeps no disk cache, so each process ends with one thread; the
  # Release pass keeps the threaded rasteriser.
  ASAN_OPTIONS="detect_leaks=1:abort_on_error=0" \
    LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
    UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    LP_NUM_THREADS=0 MESA_SHADER_CACHE_DISABLE=true "$@"
}

# Run as a program, it runs its arguments: `tools/sanitizers.sh sanitizer_configure build-x`.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  cd "$(dirname "$0")/.."
  "$@"
fi
