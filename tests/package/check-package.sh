#!/usr/bin/env bash
# check-package.sh ZIP: the install package holds exactly the two plugin
# files, pluginst.inf and the readme, both text files end every line in
# CRLF, and pluginst.inf names the plugin as the file manager expects.
set -euo pipefail
zip=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
unzip -q "$zip" -d "$dir"
listed=$(cd "$dir" && ls | sort | tr '\n' ' ')
expected="pixdim.wdx pixdim.wdx64 pluginst.inf readme.txt "
[ "$listed" = "$expected" ] || { echo "package holds: $listed; expected: $expected"; exit 1; }
for file in pluginst.inf readme.txt; do
  lines=$(grep -c '' "$dir/$file")
  crlf=$(grep -c $'\r$' "$dir/$file" || true)
  [ "$lines" -gt 0 ] && [ "$crlf" -eq "$lines" ] && [ "$(tail -c 2 "$dir/$file" | od -An -tx1 | tr -d ' ')" = 0d0a ] ||
    { echo "$file: $crlf of $lines lines end in CRLF"; exit 1; }
done
# The key checks below read the lines without their CR.
inf="$dir/pluginst.inf.lf"
tr -d '\r' < "$dir/pluginst.inf" > "$inf"
[ "$(head -n 1 "$inf")" = "[plugininstall]" ] || { echo "pluginst.inf lacks [plugininstall]"; exit 1; }
for key in 'type=wdx' 'file=pixdim.wdx' 'defaultdir=pixdim'; do
  grep -qx "$key" "$inf" || { echo "pluginst.inf lacks $key"; exit 1; }
done
grep -q '^description=.' "$inf" || { echo "pluginst.inf lacks a description"; exit 1; }
for file in pixdim.wdx pixdim.wdx64; do
  cmp -s "$dir/$file" "$(dirname "$zip")/$file" || { echo "$file in the package is not the built one"; exit 1; }
done
echo "package ok: $listed"
