#!/usr/bin/env bash
# make-deb.sh VERSION PLUGIN COMMAND README MANPAGE DEB: the Debian package
# of the Linux build. The plugin goes where Double Commander's own packaged
# plugins live, pixdim-compare onto the PATH with its manual page, the
# readme, the copyright file (Debian's machine-readable format, with the
# repository's LICENSE) and the changelog into the package's doc folder.
# The binaries are stripped as Debian's own are. The libraries it depends
# on, and their least versions, come from the files themselves
# (dpkg-shlibdeps), as for Debian's own packages.
set -euo pipefail
version=$1
plugin=$2
command=$3
readme=$4
manpage=$5
deb=$6
license=$(dirname "$(realpath "$0")")/../LICENSE
maintainer='pixdim developers <pixdim-developers@users.noreply.github.com>'

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/pixdim
doc=$root/usr/share/doc/pixdim
install -d -m 0755 "$root"
install -D -m 0644 "$plugin" "$root/usr/lib/doublecmd/plugins/wdx/pixdim/pixdim.wdx"
install -D -m 0755 "$command" "$root/usr/bin/pixdim-compare"
strip --strip-unneeded --remove-section=.comment --remove-section=.note \
  "$root/usr/lib/doublecmd/plugins/wdx/pixdim/pixdim.wdx" "$root/usr/bin/pixdim-compare"
install -D -m 0644 "$readme" "$doc/README"
install -d -m 0755 "$root/usr/share/man/man1"
gzip -9n < "$manpage" > "$root/usr/share/man/man1/pixdim-compare.1.gz"

# The copyright file: the licence's text as one paragraph of the format,
# an empty line written as " .".
{
  printf 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n'
  printf 'Upstream-Name: pixdim\n\n'
  printf 'Files: *\nCopyright: 2026 pixdim developers\nLicense: MIT\n\n'
  printf 'License: MIT\n'
  sed '1,/^Copyright/d' "$license" | sed -e '/./,$!d' | sed -e 's/^$/./' -e 's/^/ /'
} > "$doc/copyright"
chmod 0644 "$doc/copyright"

# A native package's changelog: one entry, this version, dated by
# SOURCE_DATE_EPOCH when set so the same sources give the same package.
date=$(date -u -R ${SOURCE_DATE_EPOCH:+-d "@$SOURCE_DATE_EPOCH"})
printf 'pixdim (%s) unstable; urgency=medium\n\n  * Release %s.\n\n -- %s  %s\n' \
  "$version" "$version" "$maintainer" "$date" | gzip -9n > "$doc/changelog.gz"
chmod 0644 "$doc/changelog.gz"

# dpkg-shlibdeps reads the package's name from a debian/control file.
mkdir -p "$work/debian"
printf 'Source: pixdim\n\nPackage: pixdim\nArchitecture: amd64\n' > "$work/debian/control"
depends=$(cd "$work" && dpkg-shlibdeps -O "$root/usr/bin/pixdim-compare" \
  "$root/usr/lib/doublecmd/plugins/wdx/pixdim/pixdim.wdx" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
case "$depends" in
  *libgdk-pixbuf-2.0-0*) ;;
  *) echo "make-deb.sh: the dependencies found lack gdk-pixbuf: '$depends'" >&2; exit 1 ;;
esac

mkdir -p "$root/DEBIAN"
cat > "$root/DEBIAN/control" <<CONTROL
Package: pixdim
Version: $version
Architecture: amd64
Maintainer: $maintainer
Installed-Size: $(du -sk "$root/usr" | cut -f1)
Depends: $depends
Recommends: webp-pixbuf-loader, libavif-gdk-pixbuf, heif-gdk-pixbuf, librsvg2-common
Enhances: doublecmd-gtk, doublecmd-qt
Section: utils
Priority: optional
Description: image Width, Height and Dimensions columns for Double Commander
 A content plugin (WDX) for Double Commander: for every picture it adds the
 fields Width, Height and Dimensions ("1920 x 1080") for columns, sorting,
 search, tooltips and multi-rename. It reads pictures with gdk-pixbuf, so it
 serves every format gdk-pixbuf has a loader for; the recommended loaders
 add WebP, AVIF, HEIF/HEIC and SVG.
 .
 pixdim-compare tells whether two pictures, or the pictures of two folders,
 show the same pixels, whatever their formats.
CONTROL

# What dpkg --verify checks the installed files against.
(cd "$root" && find usr -type f | LC_ALL=C sort | xargs md5sum) > "$root/DEBIAN/md5sums"
chmod 0644 "$root/DEBIAN/md5sums"

mkdir -p "$(dirname "$deb")"
dpkg-deb --root-owner-group --build "$root" "$deb" >/dev/null
echo "Built $deb"
