# Sourced by the scripts that run the game (or the frame harness) on a display of their own
# and count the frames it presents (tools/soak.sh, bench/game-vs-yardstick.sh,
# bench/web-vs-native.sh): one copy of the run folder, the frame counter and the clean-up.

source "$(dirname "${BASH_SOURCE[0]}")/private-display.sh"

counted_out=""        # the script's folder: logs, the counter, the display's files
counted_run=""        # the game's working folder: the build's shaders and assets, no high scores
counted_keep_out=0    # 1 keeps $counted_out at exit (the soak's logs are its result)
counted_pid=""        # the program running under the counter now; killed outright at exit
counted_helpers=()    # the script's own background jobs, stopped at exit
counted_display_pid=""

# start_counted_run OUT BUILD SIZE: fills OUT/run from BUILD/run, compiles the frame counter
# (tools/soak-frame-counter.c) into OUT, arranges the clean-up at exit and starts a private
# display of SIZE (such as 1280x720).
start_counted_run() {
  counted_out="$1"
  local build="$2" size="$3"
  counted_run="$counted_out/run"
  rm -rf "$counted_run"
  mkdir -p "$counted_run"
  cp -r "$build/run/shaders" "$build/run/assets" "$counted_run/"
  rm -f "$counted_run/assets/scores.txt"
  gcc -shared -fPIC -O2 -Wall -Wextra -o "$counted_out/frame-counter.so" \
    "$(dirname "${BASH_SOURCE[0]}")/soak-frame-counter.c" -ldl
  trap stop_counted_run EXIT
  start_private_display "$size" "$counted_out"
  counted_display_pid=$private_display_pid
}

stop_counted_run() {
  [ ${#counted_helpers[@]} -eq 0 ] || kill "${counted_helpers[@]}" 2>/dev/null || true
  [ -z "$counted_pid" ] || kill -9 "$counted_pid" 2>/dev/null || true
  [ -z "$counted_display_pid" ] || kill "$counted_display_pid" 2>/dev/null || true
  [ "$counted_keep_out" = 1 ] || rm -rf "$counted_out"
}

# run_counted LOG COMMAND...: starts COMMAND in the run folder under the counter, its output
# in LOG, and sets counted_pid. The count starts again from 0.
run_counted() {
  local log="$1"
  shift
  rm -f "$counted_run/soak-frames"
  (cd "$counted_run" && LD_PRELOAD="$counted_out/frame-counter.so" exec "$@") >"$log" 2>&1 &
  counted_pid=$!
}

# Kills the program under the counter and waits for it.
kill_counted() {
  kill -9 "$counted_pid" 2>/dev/null || true
  wait "$counted_pid" 2>/dev/null || true
  counted_pid=""
}

# The frames presented so far; the counter rewrites its file at most once a second.
counted_frames() { cat "$counted_run/soak-frames" 2>/dev/null || echo 0; }

# Prints the game's window once it is shown; returns 1 when none is within 60 s.
find_game_window() {
  local deadline=$((SECONDS + 60)) window
  until window="$(xdotool search --onlyvisible --name '^Orbelune$' 2>/dev/null | tail -n 1)" && [ -n "$window" ]; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
  echo "$window"
}
