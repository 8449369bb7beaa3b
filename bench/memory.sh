#!/usr/bin/env bash
# Resident memory of the game while it plays: current and peak, after some seconds of play.
#   bench/memory.sh [run-directory] [seconds]      (default: build/run, 45)
# The default waits until the asteroid stream is full (100 asteroids after 33 s).
set -euo pipefail
runDir=$(cd "${1:-build/run}" && pwd)
seconds=${2:-45}

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x720x24 -nolisten tcp >/dev/null 2>&1 &
xvfbPid=$!
sleep 1
(cd "$runDir" && DISPLAY=$display exec ./orbelune >/dev/null) &
gamePid=$!
trap 'kill "$gamePid" "$xvfbPid" 2>/dev/null || true' EXIT
sleep "$seconds"
grep -E '^(VmRSS|VmHWM):' "/proc/$gamePid/status"
