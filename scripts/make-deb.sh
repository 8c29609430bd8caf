#!/usr/bin/env bash
# make-deb.sh VERSION PLUGIN COMMAND README DEB: the Debian package of the
# Linux build. The plugin goes where Double Commander's own packaged plugins
# live, pixdim-compare onto the PATH, the readme into the package's doc
# folder. The libraries it depends on, and their least versions, come from
# the files themselves (dpkg-shlibdeps), as for Debian's own packages.
set -euo pipefail
version=$1
plugin=$2
command=$3
readme=$4
deb=$5

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/pixdim
install -D -m 0644 "$plugin" "$root/usr/lib/doublecmd/plugins/wdx/pixdim/pixdim.wdx"
install -D -m 0755 "$command" "$root/usr/bin/pixdim-compare"
install -D -m 0644 "$readme" "$root/usr/share/doc/pixdim/README"

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
Maintainer: pixdim developers <pixdim@localhost>
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

mkdir -p "$(dirname "$deb")"
dpkg-deb --root-owner-group --build "$root" "$deb" >/dev/null
echo "Built $deb"
