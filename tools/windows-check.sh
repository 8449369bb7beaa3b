#!/usr/bin/env bash
# Builds the Windows release (tools/windows.sh) and plays it under Wine on its own Xvfb, in
# a fresh Wine prefix: the cross-built unit tests, start-up, the picture, a win with a name
# typed on the console, Esc, and the missing Arial font; the flight twice, once recorded
# with the engine heard in it and once with no sound device at all.
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."
root="$PWD"
out="$root/build-windows"
check="$out/check"
liberation=/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf

if [ "${1:-}" != --on-display ]; then
  tools/install-deps.sh python3 # reads the recorded sound
  tools/windows.sh
  exec xvfb-run -a -s "-screen 0 1280x720x24" "$0" --on-display
fi

started=$SECONDS
export WINEPREFIX="$check/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
fail() {
  echo "Windows check FAILED: $*" >&2
  exit 1
}
# Wine's server outlives the programs it ran; stop it before the X server goes away.
trap 'wineserver -k 2>/dev/null || true' EXIT

# Polls `condition` (a command) every 0.2 s until it holds or `seconds` have passed.
wait_for() {
  local seconds="$1"
  shift
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.2
  done
}

rm -rf "$check"
mkdir -p "$check"
wineboot -i >/dev/null 2>&1
wineserver -w
echo "Fresh Wine prefix after $((SECONDS - started)) s"

for test in "$out"/game/tests/*.exe; do
  (cd "$check" && wine "$test" --gtest_brief=1) || fail "$(basename "$test") under Wine"
done
echo "Unit tests passed under Wine after $((SECONDS - started)) s"

game="$check/game"
mkdir -p "$game"
(cd "$game" && unzip -q "$out/orbelune-windows-x86_64.zip")
fonts="$WINEPREFIX/drive_c/windows/Fonts"
mkdir -p "$fonts"
cp "$liberation" "$fonts/arial.ttf"

# The game's console: stdin from a pipe the check writes the name into, stdout to a file.
# Windows text mode ends lines with CR LF; the checks compare without the CR.
console() { tr -d '\r' <"$check/stdout.txt"; }
errors() { tr -d '\r' <"$check/stderr.txt"; }
printed() { console | grep -qF -- "$1"; }
running() { kill -0 "$pid" 2>/dev/null; }
startup_done() { printed "Initialization DONE." || ! running; }
size_of() { stat -c %s "$1" 2>/dev/null || echo 0; }
expected="$(for file in greasy-pan-2-albedo.png greasy-pan-2-normal.png greasy-pan-2-metal.png \
  greasy-pan-2-roughness.png greasy-pan-2-metal.png cratered-rock-albedo.png cratered-rock-normal.png \
  cratered-rock-height.png cratered-rock-height.png cratered-rock-ao.png gold-scuffed_basecolor.png \
  gold-scuffed_normal.png gold-scuffed_metallic.png gold-scuffed_roughness.png gold-scuffed_roughness.png \
  star-wars-arc-170-pbr.obj sphere.obj Rock.obj star.obj Earth.jpg; do
  printf '.\\assets\\%s loaded.\n' "$file"
done; echo "Initialization DONE.")"

# The picture, loosely: a coloured, lit planet fills the middle against black space, and the
# HUD's "Lives" and "Fuel" are white text near the top corners. Per mille of full scale.
shot="$check/screenshot.png"
share() { convert "$shot" -crop "$1" +repage "${@:2}" -format '%[fx:int(mean*1000)]' info:; }
middle=400x300+440+210
picture() {
  echo "middle brightness $(share $middle -colorspace Gray), saturation $(share $middle -colorspace HSL -channel G -separate)," \
    "space $(share 200x200+0+250 -colorspace Gray), lives $(share 140x40+190+30 -colorspace Gray -threshold 90%)," \
    "fuel $(share 140x40+1070+30 -colorspace Gray -threshold 90%)"
}
picture_ok() {
  import -window root "$shot" 2>/dev/null || return 1
  [ "$(share $middle -colorspace Gray)" -gt 100 ] && [ "$(share $middle -colorspace HSL -channel G -separate)" -gt 200 ] &&
    [ "$(share 200x200+0+250 -colorspace Gray)" -lt 30 ] &&
    [ "$(share 140x40+190+30 -colorspace Gray -threshold 90%)" -gt 10 ] &&
    [ "$(share 140x40+1070+30 -colorspace Gray -threshold 90%)" -gt 10 ]
}

scores="$game/assets/scores.txt"
# One flight to the win: starts the game with the environment given (NAME=VALUE words),
# checks its start-up lines and picture, holds W (tapping the keys in $2 once it is down)
# until the name is asked, types the name in $1 and ends the game with Esc. Leaves the
# start-up's milliseconds in $startup_ms, and the size of $recording when W went down and
# came up in $held_from and $held_to.
fly() {
  local name="$1" taps="$2" launched window status=0
  shift 2
  rm -f "$check/stdin"
  mkfifo "$check/stdin"
  : >"$check/stdout.txt"
  launched=$(date +%s%N)
  (cd "$game" && exec env "$@" wine orbelune.exe -w 1280 -h 720 <"$check/stdin" >"$check/stdout.txt" 2>"$check/stderr.txt") &
  pid=$!
  # Opened for reading and writing, so this end never waits for the game to open its own.
  exec 3<>"$check/stdin"

  wait_for 120 startup_done || fail "no \"Initialization DONE.\" within 120 s"
  startup_ms=$((($(date +%s%N) - launched) / 1000000))
  running || fail "the game ended during start-up: $(console)"
  local startup
  startup="$(console | grep -v '^Setting ')"
  [ "$startup" = "$expected" ] || fail "start-up lines differ:$(diff <(echo "$expected") <(echo "$startup"))"
  echo "Start-up printed its load lines with .\\ paths in $startup_ms ms, $((SECONDS - started)) s into the check"

  wait_for 60 picture_ok || fail "no lit planet and HUD in $shot ($(picture))"
  echo "Screenshot shows the planet and the HUD ($(picture)): $shot"

  window="$(xdotool search --name '^Orbelune$' | tail -n 1)"
  [ -n "$window" ] || fail "no window named Orbelune"
  held_from="$(size_of "$recording")"
  xdotool windowfocus "$window" keydown w
  read -r -a taps <<<"$taps"
  [ ${#taps[@]} -eq 0 ] || xdotool key "${taps[@]}"
  asked() { printed "Your Name: " || ! running; }
  wait_for 120 asked || fail "no \"Your Name: \" after 120 s of W"
  held_to="$(size_of "$recording")"
  xdotool keyup w
  running || fail "the game ended before asking for a name"
  echo "$name" >&3
  stored() { [ -f "$scores" ] && grep -q "^$name [0-9]" "$scores"; }
  wait_for 30 stored || fail "the name never reached assets\\scores.txt"
  grep -q $'\r$' "$scores" || fail "a new score file on Windows ends its lines with CR LF"
  echo "The winner's name is stored: $(tr -d '\r' <"$scores" | grep "^$name ")"

  xdotool windowfocus "$window" key Escape
  wait_for 30 eval '! running' || fail "Esc did not end the game"
  wait "$pid" || status=$?
  exec 3>&-
  [ "$status" -eq 0 ] || fail "Esc ended the game with status $status"
  echo "Esc ended the game with status 0"
}

# Sound, first with a device: OpenAL Soft's wave writer records the mix a sound card would
# have played (it reads ALSOFT_CONF on Windows too; its paths are Windows paths, the Linux
# root is Wine's Z:), and the engine is heard while W is held.
unset ALSOFT_CONF ALSOFT_DRIVERS
recording="$check/flight.wav"
windows_path() { echo "Z:${1//\//\\}"; }
printf 'drivers = wave\nfrequency = 44100\nchannels = stereo\nsample-type = int16\n[wave]\nfile = %s\n' \
  "$(windows_path "$recording")" >"$check/alsoft.conf"
fly WineAda "" ALSOFT_CONF="$(windows_path "$check/alsoft.conf")" ALSOFT_DRIVERS=wave
with_device_ms=$startup_ms
[ -z "$(errors)" ] || fail "with a sound device the game said on stderr: $(errors)"
[ -s "$recording" ] || fail "nothing recorded in $recording"
engine="$(python3 tools/engine-in-recording.py "$recording" "$held_from" "$held_to")" \
  || fail "no engine in $recording: $engine"
echo "The engine hums while W is held: $engine"

# Then with no sound device at all: Wine's sound drivers left out. One line says so, and
# the flight is the same; M, which would open the device, adds nothing.
rm -f "$recording"
fly WineGrace "m m" WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winealsa.drv,winepulse.drv,wineoss.drv="
[ "$(errors)" = "No sound device; playing without sound" ] || fail "without a sound device stderr is: $(errors)"
[ ! -e "$recording" ] || fail "the wave writer ran without ALSOFT_CONF"
echo "Without a sound device: one line on stderr, the same flight; start-up $startup_ms ms against $with_device_ms ms with one"

rm "$fonts/arial.ttf"
status=0
(cd "$game" && timeout 120 wine orbelune.exe >"$check/nofont.txt" 2>&1 </dev/null) || status=$?
tr -d '\r' <"$check/nofont.txt" | grep -qx "Can't load arial font!" || fail "no font message: $(cat "$check/nofont.txt")"
[ "$status" -eq 255 ] || fail "without arial.ttf the status is $status, not 255"
echo "Without arial.ttf: \"Can't load arial font!\" and status 255"
echo "Windows checks passed in $((SECONDS - started)) s"
