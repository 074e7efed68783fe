#!/usr/bin/env bash
# Builds Wine from Debian's source package in its WoW64 mode: 32-bit Windows
# programs run inside 64-bit processes. Needed on hosts whose kernel runs no
# 32-bit Linux programs, where Debian's wine32 cannot start.
# Usage: build-wine-wow64.sh PREFIX
set -euo pipefail

prefix=$1
work="$prefix.build"
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

as_root env DEBIAN_FRONTEND=noninteractive apt-get build-dep -y -qq wine >/dev/null
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  gcc-mingw-w64-i686 gcc-mingw-w64-x86-64 >/dev/null

rm -rf "$work"; mkdir -p "$work"
(cd "$work" && apt-get source -qq wine >/dev/null 2>&1)
src=$(find "$work" -maxdepth 1 -mindepth 1 -type d -name 'wine-*' | head -n 1)
cd "$src"

# The files Debian's packaging generates before configuring.
./debian/scripts/generate server/trace.generated make_requests
./debian/scripts/generate server/request.generated make_requests
./tools/make_unicode
./tools/make_requests
(cd dlls/dsound && ./make_fir)
(cd dlls/opengl32 && ./make_opengl)
(cd dlls/winevulkan && ./make_vulkan -x /usr/share/vulkan/registry/vk.xml)
ln -sf /usr/share/misc/config.sub tools
ln -sf /usr/share/misc/config.guess tools
grep -E '^\s+ln -sf \.\./' debian/rules | sed 's/^\s*//' | sh
rm -rf libs/zlib
autoreconf -f

# Only what the tests and the demo use: no sound, printing, scanning or 3D.
./configure --prefix="$prefix" --enable-archs=i386,x86_64 --disable-tests \
  --enable-maintainer-mode ZLIB_PE_LIBS=z \
  CFLAGS="-O1 -g0 -Wno-error" CROSSCFLAGS="-O1 -g0 -Wno-error" \
  --without-oss --without-sane --without-netapi --without-alsa --without-pulse --without-gstreamer \
  --without-cups --without-gphoto --without-v4l2 --without-capi --without-pcap --without-pcsclite \
  --without-usb --without-sdl --without-krb5 --without-gssapi --without-ldap --without-opencl \
  --without-dbus --without-udev --without-vulkan --without-opengl --without-osmesa >/dev/null
jobs=$(( $(nproc) + 1 ))
make -s -j"$jobs" -C include >/dev/null
make -s -j"$jobs" >/dev/null
make -s install >/dev/null
rm -rf "$work"
