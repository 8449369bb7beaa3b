#!/usr/bin/env bash
# Plays Orbelune on its own Xvfb for a while with a repeating key pattern and the real
# asteroid stream, and samples the game every 10 s: resident memory (VmRSS), frames
# presented, and the asteroid count. Ends the game with Esc and reports whether it exited
# cleanly.
#
#   tools/soak.sh [-m minutes] [-b build-dir] [-s WIDTHxHEIGHT] [-o out-dir] [--valgrind]
#
# Defaults: 10 minutes, build/, 640x360, a fresh directory under /tmp for the log.
# --valgrind runs the game under memcheck (--leak-check=full --error-limit=no); llvmpipe
# under valgrind manages a few frames a second at best, so keep the window small.
#
# Collisions are switched off (F4) at the start so the ship never runs out of lives, fuel
# drain stays off, and the pattern flies back more than forward, so the game never ends and
# every minute of the run is play. Frames are counted by a preloaded stand-in for
# glfwSwapBuffers (tools/soak-frame-counter.c), so the game needs no switch for it.
# The asteroid count is not read from the game: it follows from the rules (one spawn every
# 0.33 s, at most 100 kept), so it is printed as computed from the elapsed time.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/counted-run.sh
repo="$PWD"

minutes=10
build=build
size=640x360
out=""
valgrind=0
while [ $# -gt 0 ]; do
  case "$1" in
    -m) minutes="$2"; shift 2 ;;
    -b) build="$2"; shift 2 ;;
    -s) size="$2"; shift 2 ;;
    -o) out="$2"; shift 2 ;;
    --valgrind) valgrind=1; shift ;;
    *) echo "usage: $0 [-m minutes] [-b build-dir] [-s WxH] [-o out-dir] [--valgrind]" >&2; exit 2 ;;
  esac
done
width="${size%x*}"
height="${size#*x}"
binary="$repo/$build/run/orbelune"
[ -x "$binary" ] || { echo "no game at $binary: build first" >&2; exit 1; }
for tool in Xvfb xdotool gcc; do
  command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
done
if [ "$valgrind" = 1 ]; then
  command -v valgrind >/dev/null || { echo "valgrind is missing" >&2; exit 1; }
fi

[ -n "$out" ] || out="$(mktemp -d /tmp/orbelune-soak-XXXXXX)"
mkdir -p "$out"
counted_keep_out=1
start_counted_run "$out" "$repo/$build" 1280x800

command=("$binary" -w "$width" -h "$height")
if [ "$valgrind" = 1 ]; then
  command=(valgrind --leak-check=full --error-limit=no --num-callers=30
           --log-file="$out/valgrind.log" "${command[@]}")
fi
run_counted "$out/game.log" "${command[@]}"

startupLimit=60
[ "$valgrind" = 1 ] && startupLimit=900
for _ in $(seq "$startupLimit"); do
  grep -q "Initialization DONE." "$out/game.log" 2>/dev/null && break
  kill -0 "$counted_pid" 2>/dev/null || break
  sleep 1
done
if ! grep -q "Initialization DONE." "$out/game.log"; then
  echo "the game did not start; see $out/game.log" >&2
  tail -n 20 "$out/game.log" >&2
  exit 1
fi
started=$(date +%s)

window="$(find_game_window)" || { echo "no game window" >&2; exit 1; }

rss() { awk '/^VmRSS:/ { print $2 }' "/proc/$counted_pid/status" 2>/dev/null || echo 0; }

# Samples every 10 s: elapsed s, VmRSS kB, frames so far, fps over the last 10 s, asteroids.
sample() {
  local previous=0 elapsed now count
  echo "elapsed_s rss_kb frames fps asteroids_by_rule" >"$out/samples.txt"
  while kill -0 "$counted_pid" 2>/dev/null; do
    sleep 10
    now=$(date +%s)
    elapsed=$((now - started))
    count=$(counted_frames)
    awk -v e="$elapsed" -v r="$(rss)" -v f="$count" -v p="$previous" 'BEGIN {
          a = int(e / 0.33) + 1; if (a > 100) a = 100
          printf "%d %d %d %.1f %d\n", e, r, f, (f - p) / 10, a }' >>"$out/samples.txt"
    previous=$count
  done
}
sample &
counted_helpers=($!)

hold() { xdotool keydown "$1"; sleep "$2"; xdotool keyup "$1"; }
tap() { xdotool key --delay 50 "$@"; }

xdotool windowfocus --sync "$window"
tap F4 # collisions off: the game must not end by lives
deadline=$((started + minutes * 60))
cycle=0
while [ "$(date +%s)" -lt "$deadline" ] && kill -0 "$counted_pid" 2>/dev/null; do
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  hold w 0.8
  hold s 1.0 # a little more back than forth: the planet is never reached
  hold a 0.5
  hold d 0.5
  hold q 0.3
  hold e 0.3
  case $((cycle % 6)) in
    1) tap F3 ;;      # wireframe on ...
    2) tap F3 ;;      # ... and off again
    3) tap F7 F7 ;;   # bloom off and on
    4) tap F8 ;;      # frustum culling on ...
    5) tap F8 F2 F2 ;; # ... off, statistics off and on
  esac
  cycle=$((cycle + 1))
done

alive=0
kill -0 "$counted_pid" 2>/dev/null && alive=1
status="died during the run"
if [ "$alive" = 1 ]; then
  tap Escape || true
  exitLimit=30
  [ "$valgrind" = 1 ] && exitLimit=900
  for _ in $(seq "$exitLimit"); do
    kill -0 "$counted_pid" 2>/dev/null || break
    sleep 1
  done
fi
if kill -0 "$counted_pid" 2>/dev/null; then
  status="did not exit on Esc"
  kill -9 "$counted_pid" 2>/dev/null || true
  wait "$counted_pid" 2>/dev/null || true
else
  code=0
  wait "$counted_pid" || code=$?
  [ "$alive" = 1 ] && status="exited with status $code after Esc" || status="died with status $code"
fi
counted_pid=""
kill "${counted_helpers[@]}" 2>/dev/null || true
counted_helpers=()

echo "Soak of $minutes min at ${width}x${height}$([ "$valgrind" = 1 ] && echo ' under valgrind'): the game $status"
echo "Total frames: $(counted_frames)"
cat "$out/samples.txt"
if [ "$valgrind" = 1 ]; then
  echo "valgrind:"
  grep -E "ERROR SUMMARY|definitely lost:|indirectly lost:|possibly lost:|still reachable:" "$out/valgrind.log" || true
fi
echo "Logs in $out"
[[ "$status" == "exited with status 0 after Esc" ]]
