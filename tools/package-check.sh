#!/usr/bin/env bash
# Builds the Debian package twice, from two clean clones of the committed HEAD in different
# folders under a different umask, time zone and locale, and requires the two .deb files to
# be the same byte for byte. Then checks the package as Debian checks its own (hardening,
# lintian, AppStream) and as a player would meet it: unpacked into a scratch folder (nothing
# is installed on this machine), the launcher run under its own Xvfb with a scratch HOME that
# has a space in it, a win stored and kept.
# Usage: tools/package-check.sh [folder for the two package builds, default build]; the
# builds stay in FOLDER/package-check for a look after a failure.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/private-display.sh
builds="${1:-build}/package-check"

tools/install-deps.sh dpkg-dev lintian desktop-file-utils man-db
tools/install-deps.sh --no-recommends devscripts diffoscope-minimal appstream appstream-compose

fail() {
  echo "package check: $*" >&2
  exit 1
}

# Polls `condition` (a command) every 0.1 s until it succeeds or `seconds` pass.
wait_for() {
  local seconds="$1"
  shift
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

head="$(git rev-parse HEAD)"
if [ -n "$(git status --porcelain --untracked-files=normal)" ]; then
  echo "package check: uncommitted changes are not in the package; it is built from $head"
fi
rm -rf "$builds"
mkdir -p "$builds"
builds="$(cd "$builds" && pwd)"

# build_package FOLDER UMASK TZ LOCALE: clones HEAD into FOLDER and builds the package there
# with nothing from this shell's compiler cache, so each build compiles everything itself.
build_package() {
  local folder="$1" log="$1.log"
  mkdir -p "$(dirname "$folder")"
  if ! (umask "$2" && export TZ="$3" LC_ALL="$4" CCACHE_DISABLE=1 &&
    unset CMAKE_CXX_COMPILER_LAUNCHER CMAKE_C_COMPILER_LAUNCHER SOURCE_DATE_EPOCH &&
    git clone -q --no-checkout . "$folder" && git -C "$folder" checkout -q --detach "$head" &&
    "$folder/tools/package.sh") >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    fail "the package build in $folder failed (log: $log)"
  fi
  tail -n 1 "$log"
}
started=$SECONDS
first="$builds/first/orbelune"
deb="$first/$(build_package "$first" 022 UTC C.UTF-8)"
second="$builds/second/elsewhere/orbelune-again"
# A time zone far from UTC, written so that it needs no time-zone database.
other="$second/$(build_package "$second" 002 KIR-14 POSIX)"
echo "package check: two package builds in $((SECONDS - started)) s"
if ! cmp -s "$deb" "$other"; then
  diffoscope --no-progress "$deb" "$other" | head -n 200 || true
  fail "two builds of $head differ: $deb and $other"
fi

depends="$(dpkg-deb -f "$deb" Depends)"
for needed in fonts-liberation libglfw3 libglew libbullet; do
  [[ "$depends" == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done
if dpkg-deb -c "$deb" | grep -q 'scores\.txt'; then
  fail "the package ships a score file"
fi

scratch="$(mktemp -d)"
xvfb_pid=""
game_pid=""
cleanup() {
  [ -z "$game_pid" ] || kill "$game_pid" 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

root="$scratch/unpacked package"
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/orbelune.desktop" || fail "desktop entry invalid"
# Debian 12's C start-up files carry no IBT/SHSTK marks, so no program linked there can show
# control-flow protection; every other feature must be there.
hardening-check --nocfprotection "$root/usr/lib/games/orbelune/orbelune" || fail "the program is not hardened"
lint_status=0
lint="$(lintian -I --pedantic --fail-on error,warning --tag-display-limit 0 "$deb" 2>&1)" || lint_status=$?
lint="$(printf '%s\n' "$lint" | grep -v -e 'root privileges' -e '^$' || true)"
echo "lintian: $(printf '%s' "$lint" | grep -c . || true) tags"
[ -z "$lint" ] || printf '%s\n' "$lint"
[ "$lint_status" -eq 0 ] || fail "lintian reports errors or warnings"
for tag in hardening-no-bindnow hardening-no-fortify-functions binary-has-unneeded-section; do
  [[ "$lint" != *"$tag"* ]] || fail "lintian: $tag"
done
man -P cat -l "$root/usr/share/man/man6/orbelune.6.gz" 2>/dev/null | grep -q "EXIT STATUS" ||
  fail "man -l cannot render the manual page"

# What a software centre sees: valid metadata tied to the desktop entry, and a catalog entry
# with the icon when the installed tree is composed the way Debian's archive does.
metainfo="$root/usr/share/metainfo/org.example.orbelune.metainfo.xml"
appstreamcli validate --no-net --strict "$metainfo" || fail "AppStream metadata invalid"
appstreamcli validate-tree --no-net "$root" || fail "AppStream metadata do not fit the installed tree"
catalog="$scratch/catalog"
appstreamcli compose --no-net --result-root="$catalog" --origin=orbelune "$root" >/dev/null ||
  fail "appstreamcli compose failed"
zcat "$catalog/usr/share/swcatalog/xml/orbelune.xml.gz" | grep -q '<id>org.example.orbelune</id>' ||
  fail "the composed catalog does not list the game"
[ -f "$catalog/usr/share/swcatalog/icons/orbelune/64x64/org.example.orbelune.png" ] ||
  fail "the composed catalog has no icon for the game"

export HOME="$scratch/home of a player"
mkdir -p "$HOME"
unset XDG_DATA_HOME
launcher="$root/usr/games/orbelune"
run="$HOME/.local/share/orbelune"
data="$root/usr/share/games/orbelune"

# Without a display the game stops at once: enough to see the launcher's folder, the
# arguments passed on and the game's own exit status passed back.
status=0
output="$(env -u DISPLAY -u WAYLAND_DISPLAY "$launcher" -w 800 </dev/null 2>&1)" || status=$?
[ "$status" -eq 1 ] || fail "launcher without a display returned $status, not the game's 1: $output"
[[ "$output" == *"Setting width to 800"* ]] || fail "arguments not passed on: $output"
[ "$(readlink "$run/shaders")" = "$data/shaders" ] || fail "shaders do not show the installed data"
for file in "$data"/assets/*; do
  [ "$(readlink "$run/assets/${file##*/}")" = "$file" ] || fail "assets/${file##*/} not linked"
done
[ -f "$run/assets/scores.txt" ] && [ ! -L "$run/assets/scores.txt" ] || fail "no score file of the player's own"

# An upgrade that adds one data file and drops another; the player's scores stay as they are.
printf 'Keeper 7\n' >"$run/assets/scores.txt"
touch "$data/assets/added.png"
mv "$data/assets/star.mtl" "$scratch/star.mtl"
env -u DISPLAY "$launcher" </dev/null >/dev/null 2>&1 || true
[ -L "$run/assets/added.png" ] || fail "a file added by an upgrade is not linked"
[ ! -e "$run/assets/star.mtl" ] && [ ! -L "$run/assets/star.mtl" ] || fail "a dropped file is still linked"
[ "$(cat "$run/assets/scores.txt")" = "Keeper 7" ] || fail "the launcher changed scores.txt"
rm "$data/assets/added.png"
mv "$scratch/star.mtl" "$data/assets/star.mtl"
XDG_DATA_HOME="$scratch/xdg data" env -u DISPLAY "$launcher" </dev/null >/dev/null 2>&1 || true
[ -L "$scratch/xdg data/orbelune/shaders" ] || fail "XDG_DATA_HOME is not honoured"
rm "$run/assets/scores.txt"

# A real game under a private X server.
start_private_display 1280x1024 "$scratch" || fail "Xvfb did not start"
xvfb_pid=$private_display_pid

log="$scratch/game.log"
start_game() {
  rm -f "$scratch/stdin"
  mkfifo "$scratch/stdin"
  "$launcher" -w 640 -h 360 <"$scratch/stdin" >"$log" 2>&1 &
  game_pid=$!
  exec 4>"$scratch/stdin"
  wait_for 60 grep -q "^Initialization DONE.$" "$log" || fail "no start-up: $(cat "$log")"
  [ "$(head -c 8 "$log")" = "Setting " ] || fail "something printed before the game's lines: $(head -n 1 "$log")"
  window="$(timeout 30 xdotool search --sync --onlyvisible --name '^Orbelune$' | tail -n 1)"
  [ -n "$window" ] || fail "no game window"
}
stop_game() {
  xdotool windowfocus --sync "$window" key Escape
  exec 4>&-
  local status=0
  wait_for 30 bash -c "! kill -0 $game_pid 2>/dev/null" || fail "Esc did not end the game"
  wait "$game_pid" || status=$?
  game_pid=""
  [ "$status" -eq 0 ] || fail "the game ended with $status: $(cat "$log")"
}
scores_hold() { grep -q '^Tester [0-9]' "$run/assets/scores.txt" 2>/dev/null; }

start_game
xdotool windowfocus --sync "$window" keydown w
asked=0
wait_for 90 grep -q "Your Name: " "$log" && asked=1
xdotool windowfocus --sync "$window" keyup w
[ "$asked" -eq 1 ] || fail "flying forward never reached the planet: $(tail -n 5 "$log")"
echo "Tester" >&4
wait_for 20 scores_hold || fail "the winner's name was not stored"
stop_game

start_game
scores_hold || fail "the second launch lost the score"
stop_game
scores_hold || fail "the score is gone after the second game"
echo "package check: $deb passes ($(cat "$run/assets/scores.txt"))"
