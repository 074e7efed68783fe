#!/usr/bin/env bash
# Installs everything the build and the tests need, from Debian's packages only,
# and builds libjpeg-turbo for i686 Windows into a cache that later runs reuse.
# Idempotent: on a machine that has everything it only checks and returns.
set -euo pipefail

cache_root="${ZELMORIA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zelmoria}"
jpeg_prefix="$cache_root/libjpeg-turbo-i686-w64-mingw32"

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

packages=(
  wine wine32:i386
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  nasm libz-mingw-w64-dev googletest
  xvfb x11-apps imagemagick
  cmake ninja-build make python3 dpkg-dev
  locales fonts-ipafont-gothic
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Wine reads the Japanese code page from the locale; the locale must exist.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf8$'; then
  echo "setup: generating ja_JP.UTF-8"
  as_root sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  as_root locale-gen >/dev/null
fi

# The source package needs deb-src entries; derive them from the machine's own Debian entries.
add_deb_src() {
  local out=/etc/apt/sources.list.d/zelmoria-deb-src.sources
  [ -f "$out" ] && return 0
  if grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; then
    return 0
  fi
  local tmp; tmp=$(mktemp)
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    # Keep only the stanzas that point at Debian's archive.
    awk -v RS= -v ORS='\n\n' '/URIs:[^\n]*debian/ { sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f" >> "$tmp"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    grep -E '^deb[[:space:]][^#]*debian' "$f" | while read -r _ rest; do
      printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: %s\n\n' \
        "$(awk '{print $1}' <<<"$rest" | sed 's/^\[.*\]$//')" \
        "$(awk '{print $2}' <<<"$rest")" "$(cut -d' ' -f3- <<<"$rest")"
    done >> "$tmp"
  done
  as_root install -m 644 "$tmp" "$out"
  rm -f "$tmp"
  as_root apt-get update -qq
}

if [ ! -f "$jpeg_prefix/lib/libjpeg.a" ]; then
  echo "setup: building libjpeg-turbo for i686 Windows into $jpeg_prefix"
  add_deb_src
  work="$cache_root/libjpeg-turbo-src"
  rm -rf "$work"; mkdir -p "$work"
  (cd "$work" && apt-get source -qq libjpeg-turbo >/dev/null)
  src=$(find "$work" -maxdepth 1 -mindepth 1 -type d -name 'libjpeg-turbo-*' | head -n 1)
  cat > "$work/toolchain.cmake" <<'TC'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
TC
  cmake -S "$src" -B "$work/build" -G Ninja -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$jpeg_prefix" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=ON -DREQUIRE_SIMD=ON \
    -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF >/dev/null
  cmake --build "$work/build" --target install >/dev/null
  rm -rf "$work"
fi

# Debian's wine32 needs a kernel that runs 32-bit Linux programs. Where it
# cannot start, build Wine's WoW64 mode from Debian's source package (long:
# about an hour on two cores; the result is kept in the cache).
wine_prefix="$cache_root/wine-wow64"
if ! wine --version >/dev/null 2>&1 && [ ! -x "$wine_prefix/bin/wine" ]; then
  echo "setup: this kernel runs no 32-bit programs; building Wine in WoW64 mode into $wine_prefix"
  add_deb_src
  "$(dirname "$0")/build-wine-wow64.sh" "$wine_prefix"
fi

echo "setup: ready"
