#!/usr/bin/env bash
# Plays the built game under Xvfb and saves the pictures shown in the README to docs/.
# Usage: tools/screenshots.sh [build directory, default build]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
docs="$PWD/docs"
width=1280
height=720

if [ -z "${ORBELUNE_XVFB:-}" ]; then
  ORBELUNE_XVFB=1 exec xvfb-run -a -s "-screen 0 ${width}x${height}x24" "$0" "$@"
fi

run="$(mktemp -d)"
trap 'rm -rf "$run"; kill $(jobs -p) 2>/dev/null || true' EXIT
cp -r "$build/run/." "$run/"
rm -f "$run/assets/scores.txt"
printf 'Nova 212\nPilot 187\nVega 143\nOrion 96\n' > "$run/assets/scores.txt"

# Starts the game with its console on a FIFO we can write the winner's name into.
start_game() {
  rm -f "$run/console"
  mkfifo "$run/console"
  (cd "$run" && exec ./orbelune -w "$width" -h "$height" < console > game.log 2>&1) &
  game=$!
  exec 3> "$run/console"
  until grep -q "Initialization DONE." "$run/game.log" 2>/dev/null; do sleep 0.2; done
  sleep 1
  window=$(xdotool search --onlyvisible --name '^Orbelune$' | tail -n 1)
  xdotool windowfocus --sync "$window"
}
stop_game() {
  xdotool key Escape
  wait "$game" || true
  exec 3>&-
}
shot() { import -window root "$docs/$1"; echo "saved docs/$1"; }
hold() { xdotool keydown "$1"; sleep "$2"; xdotool keyup "$1"; }

start_game
sleep 4
shot screenshot-game.png
xdotool key F3; sleep 1.5; shot screenshot-wireframe.png; xdotool key F3
xdotool key F7; sleep 1.5; shot screenshot-bloom-off.png; xdotool key F7
xdotool key F6; sleep 1.5; shot screenshot-hdr-off.png; xdotool key F6
# Towards the star: the pickup sets off a burst where the star was.
hold w 2.4
sleep 0.4
shot screenshot-star-burst.png
sleep 8
shot screenshot-asteroids.png
# On to the planet; the window then waits for the name on the console.
xdotool keydown w
until grep -q "Your Name: " "$run/game.log"; do sleep 0.2; done
xdotool keyup w
shot screenshot-win-prompt.png
echo "Ace" >&3
sleep 2
shot screenshot-score-table.png
stop_game

# A ship with two invisible, far-flung corners: its collision box then covers the spawn area
# and every new asteroid is a hit, so the last life goes within half a minute.
printf 'o bounds\nv -20 -20 -300\nv 20 20 300\nf -1 -2 -2\n' >> "$run/assets/star-wars-arc-170-pbr.obj"
start_game
for _ in $(seq 1 90); do
  sleep 1
  kill -0 "$game" 2>/dev/null || break
  if import -window root -crop 600x60+128+320 txt:- 2>/dev/null | grep -q "#FF0000"; then break; fi
done
sleep 1
shot screenshot-game-over.png
stop_game
