#!/usr/bin/env bash
# Builds Orbelune in Release and starts it from its run directory. On a machine without a
# display it plays a few seconds under Xvfb and saves a screenshot instead.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target orbelune

cd build/run
if [ -n "${DISPLAY:-}" ]; then
  exec ./orbelune "$@"
fi

shot="$PWD/orbelune-screenshot.png"
echo "No display found: running the game under Xvfb for a few seconds."
xvfb-run -a -s "-screen 0 1280x720x24" bash -c '
  ./orbelune "$@" &
  game=$!
  sleep 6
  import -window root "'"$shot"'"
  kill $game' _ "$@"
echo "Screenshot saved to $shot"
