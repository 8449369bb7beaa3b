#!/usr/bin/env bash
# The real game as players run it (the binary, 1280x720, HDR and bloom on, the asteroid
# stream in flight) against the plain empty-scene yardstick of the frame harness, one right
# after the other on the same Xvfb, in alternating rounds. Both are counted the same way:
# presented frames through a preloaded stand-in for glfwSwapBuffers
# (tools/soak-frame-counter.c), over the same span of wall time.
#
#   bench/game-vs-yardstick.sh [-b build-dir] [-r rounds] [-f from-s] [-t span-s]
#
# Defaults: build/, 3 rounds, the game counted from 35 s to 50 s after "Initialization
# DONE." (the stream is full after 33 s: one spawn every 0.33 s, at most 100 kept), the
# yardstick over the same 15 s after 5 s of its own warm-up. The game's peak resident
# memory (VmHWM) is read at the end of each of its rounds, so it covers the full stream.
# Collisions are switched off (F4) so a run of hits cannot end the game mid-count.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/counted-run.sh
repo="$PWD"

build=build
rounds=3
from=35
span=15
while [ $# -gt 0 ]; do
  case "$1" in
    -b) build="$2"; shift 2 ;;
    -r) rounds="$2"; shift 2 ;;
    -f) from="$2"; shift 2 ;;
    -t) span="$2"; shift 2 ;;
    *) echo "usage: $0 [-b build-dir] [-r rounds] [-f from-s] [-t span-s]" >&2; exit 2 ;;
  esac
done
case "$build" in /*) ;; *) build="$repo/$build" ;; esac
binary="$build/run/orbelune"
harness="$build/bench/orbelune_frame_harness"
for file in "$binary" "$harness"; do
  [ -x "$file" ] || { echo "no $file: build first" >&2; exit 1; }
done
for tool in Xvfb xdotool gcc; do
  command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
done

out="$(mktemp -d /tmp/orbelune-fps-XXXXXX)"
start_counted_run "$out" "$build" 1280x720

now() { date +%s.%N; }

# Frames per second presented between $1 and $1 + span seconds after the start; the
# counter rewrites its file once a second, so the span is read from file change to change.
countFrames() {
  local start=$1 target first firstAt last lastAt
  target=$(awk -v s="$start" -v f="$2" 'BEGIN { printf "%.3f\n", s + f }')
  while awk -v t="$target" -v n="$(now)" 'BEGIN { exit !(n < t) }'; do sleep 0.1; done
  first=$(counted_frames); firstAt=$(now)
  sleep "$span"
  last=$(counted_frames); lastAt=$(now)
  awk -v a="$first" -v b="$last" -v s="$firstAt" -v e="$lastAt" 'BEGIN { printf "%.2f\n", (b - a) / (e - s) }'
}

waitFor() { # pattern log seconds
  for _ in $(seq $(($3 * 10))); do
    grep -q "$1" "$2" 2>/dev/null && return 0
    kill -0 "$counted_pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

gameRound() {
  run_counted "$out/game.log" "$binary" -w 1280 -h 720
  waitFor "Initialization DONE." "$out/game.log" 60 || { echo "the game did not start" >&2; exit 1; }
  local started window
  started=$(now)
  window="$(find_game_window)" || { echo "no game window" >&2; exit 1; }
  xdotool windowfocus --sync "$window" key F4
  gameFps=$(countFrames "$started" "$from")
  gamePeak=$(awk '/^VmHWM:/ { print $2 }' "/proc/$counted_pid/status")
  kill_counted
}

yardstickRound() {
  run_counted "$out/yardstick.log" "$harness" --mode yardstick --frames 1000000 --warmup 0 --no-passes
  # Its output is buffered; the first count the swap counter writes shows it is drawing.
  for _ in $(seq 600); do
    [ -s "$counted_run/soak-frames" ] && break
    kill -0 "$counted_pid" 2>/dev/null || break
    sleep 0.1
  done
  [ -s "$counted_run/soak-frames" ] || { echo "the harness did not start" >&2; exit 1; }
  yardstickFps=$(countFrames "$(now)" 5)
  kill_counted
}

echo "game counted from ${from} s to $((from + span)) s, yardstick over ${span} s; load: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "round game_fps yardstick_fps ratio game_peak_rss_kb"
results=()
for ((r = 1; r <= rounds; r++)); do
  gameRound
  yardstickRound
  ratio=$(awk -v g="$gameFps" -v y="$yardstickFps" 'BEGIN { printf "%.2f", g / y }')
  echo "$r $gameFps $yardstickFps $ratio $gamePeak"
  results+=("$gameFps $yardstickFps $ratio $gamePeak")
done
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
column() { printf '%s\n' "${results[@]}" | awk -v c="$1" '{ print $c }' | median; }
echo "median of $rounds: game $(column 1) fps, yardstick $(column 2) fps, game / yardstick $(column 3), game peak RSS $(column 4) kB"
echo "load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
