#!/usr/bin/env bash
# Resident memory of the game while it plays: current and peak, after some seconds of play.
#   bench/memory.sh [run-directory] [seconds]      (default: build/run, 45)
# The default waits until the asteroid stream is full (100 asteroids after 33 s).
set -euo pipefail
runDir=$(cd "${1:-build/run}" && pwd)
seconds=${2:-45}
cd "$(dirname "$0")/.."
source tools/private-display.sh

scratch=$(mktemp -d)
gamePid=""
cleanup() {
  [ -z "$gamePid" ] || kill "$gamePid" 2>/dev/null || true
  [ -z "${private_display_pid:-}" ] || kill "$private_display_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
start_private_display 1280x720 "$scratch"

(cd "$runDir" && exec ./orbelune >/dev/null) &
gamePid=$!
sleep "$seconds" # the span of play measured, not a wait for anything
grep -E '^(VmRSS|VmHWM):' "/proc/$gamePid/status"
