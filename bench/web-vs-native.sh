#!/usr/bin/env bash
# The browser build against the native one at the same window size, in alternating rounds on
# the same machine: the native game on its own Xvfb, its presented frames counted through a
# preloaded stand-in for glfwSwapBuffers (tools/soak-frame-counter.c); the site in headless
# Chromium (bench/web-fps.js), its frames counted per pass of the game's loop. Both from FROM
# to FROM + SPAN seconds after "Initialization DONE.", collisions off (F4). Also prints the
# site's download size, gzip-compressed as a web server would send it.
#
#   bench/web-vs-native.sh [-r rounds] [-s WIDTHxHEIGHT] [-f from-s] [-t span-s] [-g renderer]
#
# The renderer Chromium draws WebGL 2 with (there is no GPU): llvmpipe (Mesa's, through EGL:
# the one the native build draws with), lavapipe (Mesa's Vulkan) or swiftshader (Chromium's
# own). By default the first of these that gives WebGL 2 here; the output names the one that
# really drew.
#
# Needs build/ (cmake --build build) and build-web/site/ and build-web/node/
# (tools/web-check.sh makes both).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/counted-run.sh
source tools/debian-source.sh
repo="$PWD"

rounds=3
size=640x360
from=35
span=15
renderer=""
while [ $# -gt 0 ]; do
  case "$1" in
    -r) rounds="$2"; shift 2 ;;
    -s) size="$2"; shift 2 ;;
    -f) from="$2"; shift 2 ;;
    -t) span="$2"; shift 2 ;;
    -g) renderer="$2"; shift 2 ;;
    *) echo "usage: $0 [-r rounds] [-s WIDTHxHEIGHT] [-f from-s] [-t span-s] [-g llvmpipe|lavapipe|swiftshader]" >&2; exit 2 ;;
  esac
done
width=${size%x*}
height=${size#*x}
binary="$repo/build/run/orbelune"
site="$repo/build-web/site"
export NODE_PATH="$repo/build-web/node/node_modules"
for file in "$binary" "$site/orbelune.wasm" "$NODE_PATH/puppeteer-core"; do
  [ -e "$file" ] || { echo "no $file: build first (cmake --build build; tools/web-check.sh)" >&2; exit 1; }
done

for candidate in ${renderer:-llvmpipe lavapipe swiftshader}; do
  # lavapipe is Mesa's Vulkan driver, which nothing else here needs.
  [ "$candidate" != lavapipe ] || install_missing mesa-vulkan-drivers
  if rendererName="$(node bench/web-fps.js --probe "$candidate" 2>/dev/null)"; then
    renderer=$candidate
    break
  fi
  echo "no WebGL 2 through $candidate" >&2
  rendererName=""
done
[ -n "$rendererName" ] || exit 1

out="$(mktemp -d /tmp/orbelune-web-fps-XXXXXX)"
start_counted_run "$out" "$repo/build" "$size"

echo "site: $(cat "$site"/* | wc -c) bytes, $(for f in "$site"/*; do gzip -9c "$f"; done | wc -c) bytes gzip-compressed"
for f in "$site"/*; do
  echo "  $(basename "$f"): $(wc -c <"$f") bytes, $(gzip -9c "$f" | wc -c) compressed"
done

now() { date +%s.%N; }

nativeRound() {
  run_counted "$out/game.log" "$binary" -w "$width" -h "$height"
  local deadline=$((SECONDS + 120)) started target window first firstAt last lastAt
  until grep -q "Initialization DONE." "$out/game.log"; do
    [ $SECONDS -lt $deadline ] && kill -0 "$counted_pid" 2>/dev/null || { echo "the game did not start" >&2; exit 1; }
    sleep 0.1
  done
  started=$(now)
  window="$(find_game_window)" || { echo "no game window" >&2; exit 1; }
  xdotool windowfocus --sync "$window" key F4
  # The counter rewrites its file once a second, so the span is read from change to change.
  # printf: awk's plain print keeps six digits, which rounds a clock in seconds by hours.
  target=$(awk -v s="$started" -v f="$from" 'BEGIN { printf "%.3f\n", s + f }')
  while awk -v t="$target" -v n="$(now)" 'BEGIN { exit !(n < t) }'; do
    sleep 0.1
  done
  first=$(counted_frames); firstAt=$(now)
  sleep "$span"
  last=$(counted_frames); lastAt=$(now)
  nativeFps=$(awk -v a="$first" -v b="$last" -v s="$firstAt" -v e="$lastAt" 'BEGIN { printf "%.2f\n", (b - a) / (e - s) }')
  kill_counted
}

webRound() {
  read -r webLoad webFps webRenderer < <(node "$repo/bench/web-fps.js" "$site" "$width" "$height" "$from" "$span" "$renderer")
  # The probe's context and the game's come from the same GPU process; a difference would
  # mean Chromium fell back to another renderer partway.
  [ "$webRenderer" = "$rendererName" ] || { echo "the game drew with $webRenderer, not $rendererName" >&2; exit 1; }
}

echo "browser: $renderer, $rendererName"
echo "$size, counted from ${from} s to $((from + span)) s; load: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "round native_fps browser_fps browser/native browser_load_s"
results=()
for ((r = 1; r <= rounds; r++)); do
  nativeRound
  webRound
  ratio=$(awk -v w="$webFps" -v n="$nativeFps" 'BEGIN { printf "%.2f", w / n }')
  echo "$r $nativeFps $webFps $ratio $webLoad"
  results+=("$nativeFps $webFps $ratio $webLoad")
done
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
column() { printf '%s\n' "${results[@]}" | awk -v c="$1" '{ print $c }' | median; }
echo "median of $rounds: native $(column 1) fps, browser $(column 2) fps, browser / native $(column 3), load to \"Initialization DONE.\" $(column 4) s"
echo "load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
