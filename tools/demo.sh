#!/usr/bin/env bash
# Runs the updater on a demo installation of the stand-in product 3.0.3.999
# in a Wine prefix of its own. With a display (DISPLAY set) a person clicks
# through it; without one the run is scripted under Xvfb and a screenshot of
# every step is saved, and one of the main window on a 256-colour screen.
# Usage: demo.sh WINE BUILD-FOLDER
set -euo pipefail

wine=$1
build=$2
demo="$build/demo"
shots="$demo/screenshots"
export WINEPREFIX="$demo/prefix"
export WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
wineserver="$(dirname "$wine")/wineserver"
[ -x "$wineserver" ] || wineserver=wineserver

xvfb=
cleanup() {
  "$wineserver" -k >/dev/null 2>&1 || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
}

# The main window alone on an 8-bit (palette) Xvfb screen, in a prefix of
# its own without Wine's desktop window, which Wine would make true-colour
# there; with no window manager the window has no frame.
palette_screenshot() {
  local prefix="$demo/prefix-8bit" display=:$(( 80 + RANDOM % 9 )) server
  Xvfb "$display" -screen 0 1024x768x8 -nolisten tcp >/dev/null 2>&1 &
  server=$!
  sleep 1
  if [ ! -f "$prefix/.ready" ]; then
    rm -rf "$prefix"
    DISPLAY=$display WINEPREFIX=$prefix "$wine" wineboot --init >/dev/null 2>&1
    WINEPREFIX=$prefix "$wineserver" -w
    touch "$prefix/.ready"
  fi
  DISPLAY=$display WINEPREFIX=$prefix "$wine" "$runner" show 'Z:'"$(echo "$build/bin/ZelmoriaUpdate.exe" | tr / '\\')" \
    'Z:'"$(echo "$shots/4-main-window-256-colours.bmp" | tr / '\\')" | tr -d '\r'
  WINEPREFIX=$prefix "$wineserver" -k >/dev/null 2>&1 || true
  kill "$server" 2>/dev/null || true
}
trap cleanup EXIT

interactive=yes
if [ -z "${DISPLAY:-}" ]; then
  interactive=
  display=:$(( 90 + RANDOM % 9 ))
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=$display
  sleep 1
fi

if [ ! -f "$WINEPREFIX/.ready" ]; then
  echo "demo: preparing the Wine prefix $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  mkdir -p "$demo"
  "$wine" wineboot --init >/dev/null 2>&1
  # A desktop of Wine's own draws the windows' frames and captions, which
  # no window manager draws under Xvfb.
  "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
  "$wineserver" -w
  touch "$WINEPREFIX/.ready"
fi

folder='C:\Program Files\Korvantis'
install_dir="$WINEPREFIX/drive_c/Program Files/Korvantis"
mkdir -p "$install_dir"
cp "$build/standin/3.0.3.999/Korvantis.exe" "$install_dir/Korvantis.exe"
chmod u+w "$install_dir/Korvantis.exe"
"$wine" reg add 'HKCR\Korvantis.Application\dstDir' /ve /d "$folder" /f >/dev/null 2>&1

runner="$build/bin/demo_runner.exe"
target="$folder\\Korvantis.exe"
echo "demo: installed product version before: $("$wine" "$runner" version "$target" | tr -d '\r')"

if [ -n "$interactive" ]; then
  echo "demo: the updater is on your display; press アップデート, then 開始"
  "$wine" "$build/bin/ZelmoriaUpdate.exe"
else
  rm -rf "$shots"; mkdir -p "$shots"
  "$wine" "$runner" run 'Z:'"$(echo "$build/bin/ZelmoriaUpdate.exe" | tr / '\\')" \
    'Z:'"$(echo "$shots" | tr / '\\')" | tr -d '\r' | iconv -f CP932 -t UTF-8
  palette_screenshot
  for shot in "$shots"/*.bmp; do
    convert "$shot" "${shot%.bmp}.png" && rm "$shot"
  done
  echo "demo: screenshots of every step are in $shots"
fi

echo "demo: installed product version after: $("$wine" "$runner" version "$target" | tr -d '\r')"
