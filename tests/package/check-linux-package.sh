#!/usr/bin/env bash
# check-linux-package.sh TARBALL: the Linux package holds the plugin and its
# readme in one folder, the plugin is the built one, and nothing in it is
# named .wdx64 (Double Commander on 64-bit Linux would load that instead).
set -euo pipefail
tarball=$1
listed=$(tar -tzf "$tarball" | sort | tr '\n' ' ')
expected="pixdim/ pixdim/pixdim.wdx pixdim/readme.txt "
[ "$listed" = "$expected" ] || { echo "package holds: $listed; expected: $expected"; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
tar -xzf "$tarball" -C "$dir"
cmp -s "$dir/pixdim/pixdim.wdx" "$(dirname "$tarball")/linux/pixdim.wdx" ||
  { echo "pixdim.wdx in the package is not the built one"; exit 1; }
grep -q 'Plugins WDX' "$dir/pixdim/readme.txt" || { echo "the readme lacks the install steps"; exit 1; }
echo "package ok: $listed"
