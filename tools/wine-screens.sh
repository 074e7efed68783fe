# Sourced by demo.sh and preview.sh: Xvfb screens and the Wine prefixes that
# show the updater on them. The caller sets wine and wineserver.

screen_pids=()

# start_screen DEPTH: starts an Xvfb screen of 1024 x 768 pixels at DEPTH bits
# on a free display, whose name it leaves in screen_display.
start_screen() {
  local depth=$1 number
  for _ in $(seq 1 20); do
    number=$(( 90 + RANDOM % 800 ))
    [ -e "/tmp/.X$number-lock" ] && continue
    Xvfb ":$number" -screen 0 "1024x768x$depth" -nolisten tcp >/dev/null 2>&1 &
    screen_pids+=($!)
    for _ in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X$number" ] && { screen_display=":$number"; return 0; }
      sleep 0.1
    done
  done
  echo "no Xvfb screen could be started" >&2
  return 1
}

stop_screens() {
  local pid
  for pid in "${screen_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  screen_pids=()
}

# prepare_prefix PREFIX [desktop]: makes the Wine prefix once. With
# "desktop", Wine shows its windows inside a desktop window of its own, which
# draws their frames and captions (no window manager runs under Xvfb); on a
# palette screen there is none, since Wine would make it true-colour.
prepare_prefix() {
  local prefix=$1 desktop=${2:-}
  [ -f "$prefix/.ready" ] && return 0
  rm -rf "$prefix"
  mkdir -p "$(dirname "$prefix")"
  WINEPREFIX=$prefix "$wine" wineboot --init >/dev/null 2>&1
  if [ -n "$desktop" ]; then
    WINEPREFIX=$prefix "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    WINEPREFIX=$prefix "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
  fi
  WINEPREFIX=$prefix "$wineserver" -w
  touch "$prefix/.ready"
}

# windows_path PATH: the path as Wine's Z: drive shows it.
windows_path() { echo "Z:$1" | tr / '\\'; }
