#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need, and
# makes sure this machine can run 32-bit programs (32-bit Wine needs that).
# Idempotent and quick when everything is present.
set -euo pipefail

packages=(
  cmake make ninja-build g++ pkg-config
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine32:i386 wine64
  googletest
  libgdk-pixbuf-2.0-dev
  webp-pixbuf-loader libavif-gdk-pixbuf heif-gdk-pixbuf librsvg2-common
  imagemagick
  zip unzip dpkg-dev lintian
  doublecmd-gtk xvfb openbox xdotool xclip fonts-wqy-microhei
  python3-pil
  libimage-exiftool-perl libraw-bin libjxl-tools libjxl-testdata
)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# A mirror mid-sync can serve an index of the wrong size: apt-get update then
# fails for that index alone. Say so and go on with the lists apt has. When
# the amd64 and i386 versions of a library are out of step for that reason, a
# plain install cannot resolve; the release's own suite (-t bookworm) can.
# --no-remove: an install must never take away a package the build needs.
apt_install() {
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  if ! $sudo apt-get update -qq; then
    echo "setup: apt-get update failed for some index (above); going on with the lists apt has" >&2
  fi
  local install=(env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends --no-remove)
  if ! $sudo "${install[@]}" "$@"; then
    echo "setup: a plain install did not resolve; installing from the release's own suite" >&2
    $sudo "${install[@]}" -t "${PIXDIM_SUITE:-bookworm}" "$@"
  fi
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt_install "${missing[@]}"
fi

# Some kernels (sandboxes, containers) refuse to execute 32-bit programs.
# There, 32-bit programs run through qemu's user-mode emulator, registered
# for i386 executables: slower, but the real 32-bit Wine and GDI+.
# PIXDIM_LOADER32 names another program to try (the script's test does).
loader32=${PIXDIM_LOADER32:-/lib/ld-linux.so.2}
if ! "$loader32" --version >/dev/null 2>&1; then
  dpkg-query -W -f='${Status}' qemu-user 2>/dev/null | grep -q 'install ok installed' || apt_install qemu-user
  binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/register" ] || $sudo mount -t binfmt_misc binfmt_misc "$binfmt"
  if [ ! -e "$binfmt/qemu-i386" ]; then
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":qemu-i386:M::$magic:$mask:/usr/bin/qemu-i386:F" | $sudo tee "$binfmt/register" >/dev/null
  fi
  "$loader32" --version >/dev/null 2>&1 || { echo "cannot run 32-bit programs here" >&2; exit 1; }
  echo "32-bit programs run through qemu-i386 on this machine"
fi
