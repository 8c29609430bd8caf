#!/usr/bin/env bash
# check-linux-package.sh TARBALL: the Linux archive holds the plugin,
# pixdim-compare, its manual page and the readme in one folder, each the
# built file, and nothing named .wdx64 (Double Commander on 64-bit Linux
# would read that Windows file and refuse the plugin).
set -euo pipefail
tarball=$1
listed=$(tar -tzf "$tarball" | sort | tr '\n' ' ')
expected="pixdim/ pixdim/pixdim-compare pixdim/pixdim-compare.1 pixdim/pixdim.wdx pixdim/readme.txt "
[ "$listed" = "$expected" ] || { echo "package holds: $listed; expected: $expected"; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
tar -xzf "$tarball" -C "$dir"
for file in pixdim.wdx pixdim-compare; do
  cmp -s "$dir/pixdim/$file" "$(dirname "$tarball")/linux/$file" ||
    { echo "$file in the package is not the built one"; exit 1; }
done
[ -x "$dir/pixdim/pixdim-compare" ] || { echo "pixdim-compare is not executable"; exit 1; }
grep -q 'Plugins WDX' "$dir/pixdim/readme.txt" || { echo "the readme lacks the install steps"; exit 1; }
grep -q '^\.TH PIXDIM-COMPARE 1' "$dir/pixdim/pixdim-compare.1" || { echo "pixdim-compare.1 is not its manual page"; exit 1; }
echo "package ok: $listed"
