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

. "$(dirname "$0")/wine-screens.sh"
cleanup() {
  "$wineserver" -k >/dev/null 2>&1 || true
  stop_screens
}

# The main window alone on an 8-bit (palette) Xvfb screen, in a prefix of
# its own without Wine's desktop window.
palette_screenshot() {
  local prefix="$demo/prefix-8bit" display
  start_screen "$palette_screen"
  display=$screen_display
  DISPLAY=$display prepare_prefix "$prefix"
  DISPLAY=$display WINEPREFIX=$prefix "$wine" "$runner" show "$updater" \
    "$(windows_path "$WINEPREFIX" "$shots/4-main-window-256-colours.bmp")" | tr -d '\r'
  WINEPREFIX=$prefix "$wineserver" -k >/dev/null 2>&1 || true
}
trap cleanup EXIT

interactive=yes
if [ -z "${DISPLAY:-}" ]; then
  interactive=
  start_screen "$true_colour_screen"
  export DISPLAY=$screen_display
fi

if [ ! -f "$WINEPREFIX/.ready" ]; then
  echo "demo: preparing the Wine prefix $WINEPREFIX"
  prepare_prefix "$WINEPREFIX" desktop
fi

folder='C:\Program Files\Korvantis'
install_dir="$WINEPREFIX/drive_c/Program Files/Korvantis"
mkdir -p "$install_dir"
cp "$build/standin/3.0.3.999/Korvantis.exe" "$install_dir/Korvantis.exe"
chmod u+w "$install_dir/Korvantis.exe"
"$wine" reg add 'HKCR\Korvantis.Application\dstDir' /ve /d "$folder" /f >/dev/null 2>&1

runner="$build/bin/demo_runner.exe"
updater=$(windows_path "$WINEPREFIX" "$build/bin/ZelmoriaUpdate.exe")
target="$folder\\Korvantis.exe"
echo "demo: installed product version before: $("$wine" "$runner" version "$target" | tr -d '\r')"

if [ -n "$interactive" ]; then
  echo "demo: the updater is on your display; press アップデート, then 開始"
  "$wine" "$build/bin/ZelmoriaUpdate.exe"
else
  rm -rf "$shots"; mkdir -p "$shots"
  "$wine" "$runner" run "$updater" "$(windows_path "$WINEPREFIX" "$shots")" |
    tr -d '\r' | iconv -f CP932 -t UTF-8
  palette_screenshot
  for shot in "$shots"/*.bmp; do
    convert "$shot" "${shot%.bmp}.png" && rm "$shot"
  done
  echo "demo: screenshots of every step are in $shots"
fi

echo "demo: installed product version after: $("$wine" "$runner" version "$target" | tr -d '\r')"
