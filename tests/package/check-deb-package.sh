#!/usr/bin/env bash
# check-deb-package.sh DEB: the Debian package holds the plugin where Double
# Commander's packaged plugins live, pixdim-compare on the PATH with its
# manual page, the readme, the copyright file in Debian's machine-readable
# format with the repository's licence, and a changelog; the binaries are
# the built ones, stripped; its metadata names gdk-pixbuf and the loaders;
# lintian finds no error in it; and, when run as root on a machine without
# pixdim installed, it installs (the command then runs from the PATH) and
# removes without a trace. Exits 77 (skipped) for the part it cannot do as
# another user.
set -euo pipefail
deb=$1
dist=$(dirname "$deb")
license=$(dirname "$(realpath "$0")")/../../LICENSE
plugin_path=usr/lib/doublecmd/plugins/wdx/pixdim/pixdim.wdx
doc=usr/share/doc/pixdim
manpage=usr/share/man/man1/pixdim-compare.1.gz

fail() { echo "FAIL: $*" >&2; exit 1; }

listed=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sort | tr '\n' ' ')
expected="./usr/bin/pixdim-compare ./$plugin_path ./$doc/README ./$doc/changelog.gz ./$doc/copyright ./$manpage "
[ "$listed" = "$expected" ] || fail "package holds: $listed; expected: $expected"

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
dpkg-deb -x "$deb" "$dir"
# the_built FILE BUILT: FILE is BUILT stripped as the package strips it.
the_built() {
  strip --strip-unneeded --remove-section=.comment --remove-section=.note -o "$dir/stripped" "$2" &&
    cmp -s "$1" "$dir/stripped"
}
the_built "$dir/$plugin_path" "$dist/linux/pixdim.wdx" || fail "pixdim.wdx in the package is not the built one"
the_built "$dir/usr/bin/pixdim-compare" "$dist/linux/pixdim-compare" || fail "pixdim-compare is not the built one"
[ -x "$dir/usr/bin/pixdim-compare" ] || fail "pixdim-compare is not executable"
grep -q 'Plugins WDX' "$dir/$doc/README" || fail "the readme lacks the install steps"
zcat "$dir/$manpage" | grep -q '^\.TH PIXDIM-COMPARE 1 .*pixdim '"$(dpkg-deb -f "$deb" Version)" ||
  fail "the manual page is not pixdim-compare's of this version"
zcat "$dir/$manpage" | grep -q 'any\\-format' || fail "the manual page lacks --any-format"
zcat "$dir/$doc/changelog.gz" | head -n 1 | grep -qx "pixdim ($(dpkg-deb -f "$deb" Version)) unstable; urgency=medium" ||
  fail "the changelog does not start with this version"

# The copyright file: its header and one paragraph for every file, then the
# licence, whose text is the repository's LICENSE below its copyright line.
copyright=$dir/$doc/copyright
head -n 1 "$copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "the copyright file is not in the machine-readable format"
for line in 'Files: *' 'Copyright: 2026 pixdim developers' 'License: MIT'; do
  grep -qxF "$line" "$copyright" || fail "the copyright file lacks '$line'"
done
sed -n '/^License: MIT$/,$p' "$copyright" | tail -n +2 | sed -n '/^License: MIT$/,$p' | tail -n +2 |
  sed -e 's/^ //' -e 's/^\.$//' > "$dir/license.txt"
sed '1,/^Copyright/d' "$license" | sed '/./,$!d' | diff -q - "$dir/license.txt" >/dev/null ||
  fail "the licence in the copyright file is not LICENSE's: $(cat "$dir/license.txt")"

command -v lintian >/dev/null || fail "lintian is missing (scripts/setup-machine.sh installs it)"
# lintian exits non-zero on an error in the package, and when it could not
# check it at all.
lintian_status=0
timeout 300 lintian --fail-on error "$deb" > "$dir/lintian.txt" 2>&1 || lintian_status=$?
! grep '^E:' "$dir/lintian.txt" || fail "lintian finds errors in the package"
[ $lintian_status -eq 0 ] || fail "lintian exited $lintian_status: $(cat "$dir/lintian.txt")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = pixdim ] || fail "Package is '$(field Package)'"
[ "$(field Architecture)" = amd64 ] || fail "Architecture is '$(field Architecture)'"
[[ "$deb" == *"_$(field Version)_amd64.deb" ]] || fail "Version $(field Version) is not the file name's"
[ "$(field Maintainer)" = 'pixdim developers <pixdim-developers@users.noreply.github.com>' ] ||
  fail "Maintainer is '$(field Maintainer)'"
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
[ "$(timeout 20 pixdim-compare --version)" = "pixdim-compare $(field Version)" ] ||
  fail "the installed pixdim-compare is not of this version"
[ -f "/$manpage" ] || fail "the manual page is not installed"
the_built "/$plugin_path" "$dist/linux/pixdim.wdx" || fail "the installed plugin is not the built one"

timeout 120 dpkg -r pixdim > "$dir/remove.log" 2>&1 || fail "dpkg -r failed: $(cat "$dir/remove.log")"
! installed || fail "pixdim is still installed after dpkg -r"
for file in "/$plugin_path" /usr/bin/pixdim-compare "/$doc" "/$manpage"; do
  [ ! -e "$file" ] || fail "$file is left after dpkg -r"
done
[ ! -e "$(dirname "/$plugin_path")" ] || fail "the plugin's folder is left after dpkg -r"
[ -d /usr/lib/doublecmd/plugins/wdx ] || ! dpkg-query -W doublecmd-plugins >/dev/null 2>&1 ||
  fail "removing pixdim took Double Commander's plugin folder"
timeout 60 dpkg --purge pixdim >/dev/null 2>&1 || true
echo "PASS: the package installs and removes cleanly"
