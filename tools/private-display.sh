# Sourced by the scripts that run the game on an X server of their own, so that nothing they
# do reaches another display, and two of them never pick the same one.

# start_private_display SIZE FOLDER: starts Xvfb at SIZE (such as 1280x720) on a display it
# chooses itself, waits until a client can connect to it, exports DISPLAY and sets
# private_display_pid. A server that does not answer within a minute is left running while
# the next one starts, so the retry gets another display number, and stopped afterwards.
# Returns 1 when three servers in a row do not answer (see FOLDER/xvfb.log).
start_private_display() {
  local size="$1" folder="$2" attempt silent=()
  for attempt in 1 2 3; do
    if start_private_display_once "$size" "$folder"; then
      [ ${#silent[@]} -eq 0 ] || kill "${silent[@]}" 2>/dev/null || true
      return 0
    fi
    ! kill -0 "$private_display_pid" 2>/dev/null || silent+=("$private_display_pid")
  done
  echo "Xvfb did not start (see $folder/xvfb.log)" >&2
  kill "${silent[@]}" 2>/dev/null || true
  return 1
}

# One try: the server reports its number through -displayfd once it listens, and answers a
# client (xdotool asking for the screen size) once it is ready. -noreset keeps it from
# resetting when a game, its last client, exits just as the next one connects.
start_private_display_once() {
  local size="$1" folder="$2" deadline=$((SECONDS + 60))
  rm -f "$folder/display"
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$folder/display" >>"$folder/xvfb.log" 2>&1 &
  private_display_pid=$!
  until [ -s "$folder/display" ] && DISPLAY=":$(head -n 1 "$folder/display")" xdotool getdisplaygeometry >/dev/null 2>&1; do
    if [ "$SECONDS" -ge "$deadline" ] || ! kill -0 "$private_display_pid" 2>/dev/null; then
      return 1
    fi
    sleep 0.1
  done
  DISPLAY=":$(head -n 1 "$folder/display")"
  export DISPLAY
}
