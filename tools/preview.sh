#!/usr/bin/env bash
# Shows the main window of the updater before it ships: the build's updater
# alone in a folder, with an Image.res beside it made from the logo given, or
# the Image.res given, so the window is the one the updater built with that
# logo (or shipped with that file) shows. With a display (DISPLAY set) the
# updater opens there; without one, the window is saved from a true-colour
# and from a 256-colour Xvfb screen as DIST/preview.png and
# DIST/preview-256-colours.png.
# Usage: preview.sh BUILD-FOLDER DIST [LOGO] [IMAGE_RES] [LOGO_COLORS]
set -euo pipefail

build=$(cd "$1" && pwd)
dist=$2
logo=${3:-}
image_res=${4:-}
colours=${5:-}
tools=$(cd "$(dirname "$0")" && pwd)
wine=$(sed -n 's/^WINE:FILEPATH=//p' "$build/CMakeCache.txt")
wineserver="$(dirname "$wine")/wineserver"
[ -x "$wineserver" ] || wineserver=wineserver
export WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
. "$tools/wine-screens.sh"

if [ -n "$logo" ] && [ -n "$image_res" ]; then
  echo "preview: give LOGO or IMAGE_RES, not both" >&2
  exit 2
fi
folder="$build/preview/updater"
rm -rf "$folder"; mkdir -p "$folder"
cp "$build/bin/ZelmoriaUpdate.exe" "$folder/"
if [ -n "$logo" ]; then
  /usr/bin/python3 "$tools/image_res.py" ${colours:+--colors "$colours"} "$logo" "$folder/Image.res"
elif [ -n "$image_res" ]; then
  [ -f "$image_res" ] || { echo "preview: the resource file $image_res does not exist" >&2; exit 1; }
  cp "$image_res" "$folder/Image.res"
fi
updater="$folder/ZelmoriaUpdate.exe"
runner="$build/bin/demo_runner.exe"
# The demo's prefixes: true-colour with Wine's desktop, and a palette one.
prefix="$build/demo/prefix"
palette_prefix="$build/demo/prefix-8bit"

cleanup() {
  WINEPREFIX=$prefix "$wineserver" -k >/dev/null 2>&1 || true
  WINEPREFIX=$palette_prefix "$wineserver" -k >/dev/null 2>&1 || true
  stop_screens
}
trap cleanup EXIT

if [ -n "${DISPLAY:-}" ]; then
  prepare_prefix "$prefix" desktop
  echo "preview: the updater is on your display; close it with 終了"
  WINEPREFIX=$prefix "$wine" "$updater"
  exit 0
fi

# show SCREEN PREFIX [desktop] PICTURE: the main window on that screen,
# saved as a PNG picture.
show() {
  local screen=$1 wine_prefix=$2 desktop=$3 picture=$4
  start_screen "$screen"
  # Every process of the prefix on this screen, winepath's too: the first
  # one starts the prefix's desktop on its display.
  local -x DISPLAY=$screen_display
  prepare_prefix "$wine_prefix" ${desktop:+"$desktop"}
  WINEPREFIX=$wine_prefix "$wine" "$runner" show "$(windows_path "$wine_prefix" "$updater")" \
    "$(windows_path "$wine_prefix" "$folder/shot.bmp")" | tr -d '\r'
  WINEPREFIX=$wine_prefix "$wineserver" -k >/dev/null 2>&1 || true
  convert "$folder/shot.bmp" "$picture"
  rm "$folder/shot.bmp"
}
mkdir -p "$dist"
show "$true_colour_screen" "$prefix" desktop "$dist/preview.png"
show "$palette_screen" "$palette_prefix" "" "$dist/preview-256-colours.png"
echo "preview: $dist/preview.png (the main window, $(identify -format '%w x %h' "$dist/preview.png") with its frame)"
echo "preview: $dist/preview-256-colours.png (on a 256-colour screen)"
