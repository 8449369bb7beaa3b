# Sourced by the scripts that run the game on an X server of their own, so that nothing they
# do reaches another display, and two of them never pick the same one.

# start_private_display SIZE FOLDER: starts Xvfb at SIZE (such as 1280x720) on a display it
# chooses itself and reports in FOLDER/display once it accepts connections; exports DISPLAY
# and sets private_display_pid. Returns 1 when the server is not up within a minute.
start_private_display() {
  local size="$1" folder="$2" deadline=$((SECONDS + 60))
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$folder/display" >"$folder/xvfb.log" 2>&1 &
  private_display_pid=$!
  until [ -s "$folder/display" ]; do
    if [ "$SECONDS" -ge "$deadline" ] || ! kill -0 "$private_display_pid" 2>/dev/null; then
      echo "Xvfb did not start (see $folder/xvfb.log)" >&2
      kill "$private_display_pid" 2>/dev/null || true
      return 1
    fi
    sleep 0.1
  done
  DISPLAY=":$(head -n 1 "$folder/display")"
  export DISPLAY
}
