#!/usr/bin/env bash
# Builds Orbelune and runs every test: once on the Release build, once under
# AddressSanitizer and UndefinedBehaviorSanitizer. GL tests run for real on Xvfb, and the
# Windows build is played under Wine and the browser build in Chromium.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
jobs="$(nproc)"
xvfb=(xvfb-run -a -s "-screen 0 1920x1080x24")

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs"
"${xvfb[@]}" ctest --test-dir build --output-on-failure -j"$jobs"
tools/package-check.sh build
[ "${ORBELUNE_SKIP_WINDOWS:-0}" = "1" ] || tools/windows-check.sh
[ "${ORBELUNE_SKIP_WEB:-0}" = "1" ] || tools/web-check.sh

if [ "${ORBELUNE_SKIP_SANITIZERS:-0}" != "1" ]; then
  source tools/sanitizers.sh
  sanitizer_configure build-sanitize
  cmake --build build-sanitize -j"$jobs"
  sanitizer_env "${xvfb[@]}" ctest --test-dir build-sanitize --output-on-failure -j"$jobs"
fi
