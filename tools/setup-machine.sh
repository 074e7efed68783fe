#!/usr/bin/env bash
# Installs everything the build and the tests need, from Debian's packages only,
# and builds libjpeg-turbo for 32- and 64-bit Windows into a cache that later
# runs reuse.
# Idempotent. A completed set-up leaves a stamp; while the stamp is newer
# than this script, a run only checks quickly that the tools and the built
# libraries are still there and usable.
set -euo pipefail

cache_root="${ZELMORIA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zelmoria}"
stamp="$cache_root/setup.stamp"
# The targets the thread library is built for, each with the oldest Windows
# its programs run on (see build_winpthreads).
winpthreads_i686=(i686-w64-mingw32 0x0501)
winpthreads_x86_64=(x86_64-w64-mingw32 0x0502)

# The POSIX thread library the setup builds for one target (see
# build_winpthreads), and the flags it is built with.
winpthreads_prefix() { echo "$cache_root/winpthreads-$2-$1"; }
winpthreads_flags() { echo "-O2 -D_WIN32_WINNT=$2 -ffile-prefix-map=$cache_root/winpthreads-src-$1/="; }

# winpthreads_usable TRIPLET WINNT: the library is there, built with today's
# flags, an archive the toolchain reads that defines the thread start, and
# free of GetTickCount64, which the toolchain's own needs and Windows XP lacks.
winpthreads_usable() {
  local prefix symbols
  prefix=$(winpthreads_prefix "$1" "$2")
  [ -f "$prefix/lib/libpthread.a" ] &&
    [ "$(cat "$prefix/c-flags" 2>/dev/null)" = "$(winpthreads_flags "$1" "$2")" ] &&
    symbols=$("$1-nm" "$prefix/lib/libpthread.a" 2>/dev/null) &&
    grep -qE ' T _?pthread_create$' <<<"$symbols" && ! grep -q GetTickCount64 <<<"$symbols"
}

quick_check() {
  command -v i686-w64-mingw32-g++-posix cmake ninja osslsigncode openssl Xvfb >/dev/null &&
    /usr/bin/python3 -c 'import PIL, pefile' 2>/dev/null &&
    { [ -x /usr/lib/wine/wine ] || command -v wine >/dev/null; } &&
    [ -f /usr/include/zlib.h ] && [ -d /usr/src/googletest ] &&
    [ -f "$cache_root/libjpeg-turbo-small-i686-w64-mingw32/lib/libjpeg.a" ] &&
    [ -f "$cache_root/libjpeg-turbo-small-x86_64-w64-mingw32/lib/libjpeg.a" ] &&
    winpthreads_usable "${winpthreads_i686[@]}" && winpthreads_usable "${winpthreads_x86_64[@]}"
}
if [ -f "$stamp" ] && [ "$stamp" -nt "$0" ] && quick_check; then
  exit 0
fi

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

packages=(
  wine wine32:i386 wine64 fonts-wine
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  libz-mingw-w64-dev zlib1g-dev googletest
  xvfb x11-apps imagemagick
  cmake ninja-build make python3 python3-pil python3-pefile dpkg-dev
  osslsigncode openssl
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

# libjpeg-turbo for one target, static and built for size: the program only
# decodes the odd JPEG picture, and the SIMD code (encoder parts included,
# which one dispatch unit ties to the decoder's) would be a third of the
# updater. Each function in a section of its own lets the link keep only what
# the decoder uses; no reading of the environment (the codec's memory
# settings) and the system's own stdio keep the C library's scanf and float
# formatting out. The flags used are kept beside the library, which is
# rebuilt when they change.
# The codec names none of its source files, so no build path reaches a
# program from it (the shipped-programs test checks that).
build_libjpeg() {
  local triplet=$1 processor=$2 target_flags=$3
  local prefix="$cache_root/libjpeg-turbo-small-$triplet"
  local flags="-ffunction-sections -fdata-sections $target_flags -DNO_GETENV -D__USE_MINGW_ANSI_STDIO=0"
  [ -f "$prefix/lib/libjpeg.a" ] && [ "$(cat "$prefix/c-flags" 2>/dev/null)" = "$flags" ] && return 0
  echo "setup: building libjpeg-turbo for $triplet into $prefix"
  add_deb_src
  local work="$cache_root/libjpeg-turbo-src-$triplet"
  rm -rf "$work"; mkdir -p "$work"
  (cd "$work" && apt-get source -qq libjpeg-turbo >/dev/null 2>&1)
  local src
  src=$(find "$work" -maxdepth 1 -mindepth 1 -type d -name 'libjpeg-turbo-*' | head -n 1)
  cat > "$work/toolchain.cmake" <<TC
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR $processor)
set(CMAKE_C_COMPILER $triplet-gcc-posix)
set(CMAKE_RC_COMPILER $triplet-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$triplet)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
TC
  cmake -S "$src" -B "$work/build" -G Ninja -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_C_FLAGS="$flags" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF \
    -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF >/dev/null
  cmake --build "$work/build" --target install >/dev/null
  printf '%s' "$flags" > "$prefix/c-flags"
  rm -rf "$work"
}
# The 32-bit codec goes without unwind tables: there they serve only C++
# exceptions, which never pass through it. On x86_64 they are the platform's
# own, and the decoder's longjmp out of an error walks them.
build_libjpeg i686-w64-mingw32 i686 -fno-asynchronous-unwind-tables
build_libjpeg x86_64-w64-mingw32 x86_64 ""

# The POSIX thread library for one target, static, built from Debian's
# MinGW-w64 source for the oldest Windows the programs run on: Debian's own
# build targets Vista and later and so imports GetTickCount64, which Windows
# XP lacks. The build links it in place of the toolchain's. Its assertions
# name their source files: the prefix map records them relative to the work
# folder, so that no program carries this machine's cache path. The flags
# are kept beside the library, which is rebuilt when they change or when it
# is no longer usable.
build_winpthreads() {
  local triplet=$1 winnt=$2
  winpthreads_usable "$triplet" "$winnt" && return 0
  local prefix work flags
  prefix=$(winpthreads_prefix "$triplet" "$winnt")
  work="$cache_root/winpthreads-src-$triplet"
  flags=$(winpthreads_flags "$triplet" "$winnt")
  echo "setup: building winpthreads for $triplet (Windows $winnt) into $prefix"
  add_deb_src
  rm -rf "$work"; mkdir -p "$work/build"
  (cd "$work" && apt-get source -qq --download-only mingw-w64 >/dev/null 2>&1)
  tar -xjf "$work"/mingw-w64_*.orig.tar.bz2 -C "$work" --wildcards '*/mingw-w64-libraries/winpthreads'
  local src
  src=$(find "$work" -maxdepth 3 -type d -path '*/mingw-w64-libraries/winpthreads' | head -n 1)
  # Installed beside the prefix first, so that an interrupted build never
  # looks finished.
  (cd "$work/build" &&
    "$src/configure" --host="$triplet" --prefix="$prefix.part" --enable-static --disable-shared \
      AR_FLAGS=cr CC="$triplet-gcc-posix" CFLAGS="$flags" >/dev/null &&
    make -j "$(nproc)" ARFLAGS=cr >/dev/null &&
    make install >/dev/null)
  printf '%s' "$flags" > "$prefix.part/c-flags"
  rm -rf "$prefix"; mv "$prefix.part" "$prefix"
  rm -rf "$work"
}
build_winpthreads "${winpthreads_i686[@]}"
build_winpthreads "${winpthreads_x86_64[@]}"

mkdir -p "$cache_root"
touch "$stamp"
echo "setup: ready"
