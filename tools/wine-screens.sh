# Sourced by demo.sh and preview.sh: Xvfb screens (x-screen.sh) and the Wine
# prefixes that show the updater on them. The caller sets wine and wineserver.

. "$(dirname "${BASH_SOURCE[0]}")/x-screen.sh"

# The screens are 1024 x 768 pixels, a true-colour one and a palette one.
true_colour_screen=1024x768x24
palette_screen=1024x768x8

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

# windows_path PREFIX PATH: the path as Windows programs in that prefix see it.
windows_path() {
  local path
  path=$(WINEPREFIX=$1 "$wine" winepath.exe -w "$2" | tr -d '\r')
  [ -n "$path" ] || { echo "winepath gave no Windows path for $2" >&2; return 1; }
  echo "$path"
}
