#!/usr/bin/env bash
# x-screen.sh WIDTHxHEIGHTxDEPTH COMMAND...: runs the command on an Xvfb
# screen of its own (a DEPTH of 8 gives a palette display) and takes the
# screen down afterwards. Sourced, it gives start_screen and stop_screens to
# scripts that keep screens over several commands.
#
# Xvfb picks the free display number itself (-displayfd) and names it once it
# takes connections, so no start waits for a fixed time and two starts at
# once never share a number. xvfb-run -a guesses the number from the lock
# files: with a dozen starts at once (parallel CTest runs of several build
# folders) two runs would go on with one number and neither could open it.

screen_pids=()

# start_screen GEOMETRY: starts a screen and leaves its display in
# screen_display.
start_screen() {
  local fifo number=
  fifo=$(mktemp -u "${TMPDIR:-/tmp}/x-screen.XXXXXX")
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  screen_pids+=($!)
  # Ends when Xvfb writes the number, or with nothing when Xvfb fails.
  read -r number <"$fifo" || true
  rm -f "$fifo"
  if [ -z "$number" ]; then
    echo "x-screen: Xvfb could not start a $1 screen (tools/setup-machine.sh installs it)" >&2
    return 1
  fi
  screen_display=":$number"
}

stop_screens() {
  local pid
  for pid in "${screen_pids[@]}"; do
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
  done
  screen_pids=()
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  trap stop_screens EXIT
  start_screen "$1"
  shift
  status=0
  DISPLAY=$screen_display "$@" || status=$?
  exit "$status"
fi
