#!/usr/bin/env bash
# wine-run.sh PREFIX LOADER PROGRAM [ARGS...]
# Runs a Windows program under Wine in a prefix of its own (inside the build
# tree), so tests never touch the user's Wine set-up and never wait on a
# prompt. LOADER is wine for 32-bit programs, wine64 for 64-bit ones (Debian
# keeps wine64 off the PATH). The first run creates the prefix.
set -euo pipefail
export WINEPREFIX=$(realpath -m "$1")
requested=$2
loader=$2
shift 2
command -v "$loader" >/dev/null || loader=/usr/lib/wine/$loader
wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# Where 32-bit programs run through qemu's user-mode emulator (see
# scripts/setup-machine.sh), 32-bit Wine's threads are unreliable: the tests
# that need several threads are left out there (the 64-bit run has them),
# and the test program says so in its first lines.
if [ "$requested" = wine ] && grep -qs enabled /proc/sys/fs/binfmt_misc/qemu-i386; then
  export GTEST_FILTER="-*Concurrent*"
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    # The 64-bit loader makes a prefix that serves 32-bit programs too, in
    # a fraction of the time the emulated 32-bit loader takes.
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      "$wine64" wineboot --init >/dev/null 2>&1
      wineserver -w
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec "$loader" "$@"
