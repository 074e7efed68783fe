#!/usr/bin/env bash
# with-xvfb.sh DEPTH COMMAND...: runs the command on a display of its own, an
# Xvfb screen of DEPTH bits per pixel (8 gives a palette display), and takes
# the display down afterwards.
set -euo pipefail

depth="$1"
shift
command -v Xvfb >/dev/null || { echo "with-xvfb.sh: Xvfb is missing (tools/setup-machine.sh installs it)" >&2; exit 1; }

xvfb=
cleanup() { [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null || true; }
trap cleanup EXIT

# A free display number: Xvfb refuses one whose lock file exists.
for attempt in $(seq 1 20); do
    number=$(( 200 + RANDOM % 700 ))
    [ -e "/tmp/.X$number-lock" ] && continue
    Xvfb ":$number" -screen 0 "640x480x$depth" -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    for wait in $(seq 1 50); do
        [ -e "/tmp/.X11-unix/X$number" ] && break
        kill -0 "$xvfb" 2>/dev/null || break
        sleep 0.1
    done
    if [ -e "/tmp/.X11-unix/X$number" ] && kill -0 "$xvfb" 2>/dev/null; then
        DISPLAY=":$number" "$@"
        exit $?
    fi
    xvfb=
done
echo "with-xvfb.sh: no display could be started" >&2
exit 1
