#!/usr/bin/env bash
# check-deb-package.sh DEB: the Debian package holds the plugin where Double
# Commander's packaged plugins live, pixdim-compare on the PATH and the
# readme, each the built file; its metadata names gdk-pixbuf and the loaders;
# and, when run as root on a machine without pixdim installed, it installs
# (the command then runs from the PATH) and removes without a trace.
# Exits 77 (skipped) for the part it cannot do as another user.
set -euo pipefail
deb=$1
dist=$(dirname "$deb")
plugin_path=usr/lib/doublecmd/plugins/wdx/pixdim/pixdim.wdx

fail() { echo "FAIL: $*" >&2; exit 1; }

listed=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sort | tr '\n' ' ')
expected="./usr/bin/pixdim-compare ./$plugin_path ./usr/share/doc/pixdim/README "
[ "$listed" = "$expected" ] || fail "package holds: $listed; expected: $expected"

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
dpkg-deb -x "$deb" "$dir"
cmp -s "$dir/$plugin_path" "$dist/linux/pixdim.wdx" || fail "pixdim.wdx in the package is not the built one"
cmp -s "$dir/usr/bin/pixdim-compare" "$dist/linux/pixdim-compare" || fail "pixdim-compare is not the built one"
[ -x "$dir/usr/bin/pixdim-compare" ] || fail "pixdim-compare is not executable"
grep -q 'Plugins WDX' "$dir/usr/share/doc/pixdim/README" || fail "the readme lacks the install steps"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = pixdim ] || fail "Package is '$(field Package)'"
[ "$(field Architecture)" = amd64 ] || fail "Architecture is '$(field Architecture)'"
[[ "$deb" == *"_$(field Version)_amd64.deb" ]] || fail "Version $(field Version) is not the file name's"
[[ "$(field Depends)" =~ (^|, )libgdk-pixbuf-2.0-0\ \(\>=\ [0-9.]+\) ]] ||
  fail "Depends lacks the gdk-pixbuf library: $(field Depends)"
for loader in webp-pixbuf-loader libavif-gdk-pixbuf heif-gdk-pixbuf librsvg2-common; do
  [[ ", $(field Recommends), " == *", $loader, "* ]] || fail "Recommends lacks $loader: $(field Recommends)"
done
echo "package ok: $listed"

if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: installing and removing the package needs root"
  exit 77
fi
if dpkg-query -W -f='${Status}' pixdim 2>/dev/null | grep -q 'installed'; then
  echo "SKIP: pixdim is installed on this machine; the test leaves it alone"
  exit 77
fi
installed() { dpkg-query -W -f='${Status}' pixdim 2>/dev/null | grep -q ' installed$'; }
cleanup() { installed && timeout 60 dpkg --purge pixdim >/dev/null 2>&1; rm -rf "$dir"; }
trap cleanup EXIT

timeout 120 dpkg -i "$deb" > "$dir/install.log" 2>&1 || fail "dpkg -i failed: $(cat "$dir/install.log")"
installed || fail "pixdim is not installed after dpkg -i"
[ "$(command -v pixdim-compare)" = /usr/bin/pixdim-compare ] || fail "pixdim-compare is not on the PATH"
timeout 20 pixdim-compare --help | grep -q '^usage: pixdim-compare' || fail "the installed pixdim-compare does not run"
cmp -s "/$plugin_path" "$dist/linux/pixdim.wdx" || fail "the installed plugin is not the built one"

timeout 120 dpkg -r pixdim > "$dir/remove.log" 2>&1 || fail "dpkg -r failed: $(cat "$dir/remove.log")"
! installed || fail "pixdim is still installed after dpkg -r"
for file in "/$plugin_path" /usr/bin/pixdim-compare /usr/share/doc/pixdim; do
  [ ! -e "$file" ] || fail "$file is left after dpkg -r"
done
[ ! -e "$(dirname "/$plugin_path")" ] || fail "the plugin's folder is left after dpkg -r"
[ -d /usr/lib/doublecmd/plugins/wdx ] || ! dpkg-query -W doublecmd-plugins >/dev/null 2>&1 ||
  fail "removing pixdim took Double Commander's plugin folder"
timeout 60 dpkg --purge pixdim >/dev/null 2>&1 || true
echo "PASS: the package installs and removes cleanly"
