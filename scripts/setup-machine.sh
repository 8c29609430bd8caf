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
  zip unzip dpkg-dev
  doublecmd-gtk xvfb openbox xdotool xclip fonts-wqy-microhei
  python3-pil
)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

apt_install() {
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$@"
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
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  dpkg-query -W -f='${Status}' qemu-user 2>/dev/null | grep -q 'install ok installed' || apt_install qemu-user
  binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/register" ] || $sudo mount -t binfmt_misc binfmt_misc "$binfmt"
  if [ ! -e "$binfmt/qemu-i386" ]; then
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":qemu-i386:M::$magic:$mask:/usr/bin/qemu-i386:F" | $sudo tee "$binfmt/register" >/dev/null
  fi
  /lib/ld-linux.so.2 --version >/dev/null 2>&1 || { echo "cannot run 32-bit programs here" >&2; exit 1; }
  echo "32-bit programs run through qemu-i386 on this machine"
fi
