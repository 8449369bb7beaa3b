#!/usr/bin/env bash
# Wall time from process start to "Initialization DONE." for the game in a run directory,
# several launches on one Xvfb, median printed last.
#   bench/startup.sh [run-directory] [launches]      (default: build/run, 7)
set -euo pipefail
runDir=$(cd "${1:-build/run}" && pwd)
launches=${2:-7}
cd "$(dirname "$0")/.."
source tools/private-display.sh

scratch=$(mktemp -d)
cleanup() {
  [ -z "${private_display_pid:-}" ] || kill "$private_display_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
start_private_display 1280x720 "$scratch"

times=()
for ((i = 0; i < launches; i++)); do
    start=$(date +%s%N)
    coproc GAME { cd "$runDir" && exec ./orbelune; }
    gamePid=$GAME_PID
    elapsed=""
    while IFS= read -r -t 30 line <&"${GAME[0]}"; do
        if [[ $line == "Initialization DONE." ]]; then
            elapsed=$((($(date +%s%N) - start) / 1000000))
            break
        fi
    done
    kill "$gamePid" 2>/dev/null || true
    wait "$gamePid" 2>/dev/null || true
    if [[ -z $elapsed ]]; then
        echo "launch $((i + 1)): no \"Initialization DONE.\" within 30 s" >&2
        exit 1
    fi
    echo "launch $((i + 1)): ${elapsed} ms"
    times+=("$elapsed")
done
median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}')
echo "start-up median: ${median} ms over ${launches} launches"
