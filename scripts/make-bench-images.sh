#!/usr/bin/env bash
# make-bench-images.sh DIR: the images the benchmarks run on, made once.
set -euo pipefail
source "$(dirname "$0")/picture.sh"
dir=$1
[ -f "$dir/done" ] && exit 0
mkdir -p "$dir"
for i in 1 2 3 4; do picture $((200 + 40 * i)) $((150 + 30 * i)) PNG24:"$dir/small-$i.png"; done
picture 6000 4000 -quality 90 "$dir/large.jpg"
picture 6000 4000 PNG24:"$dir/large.png"
"$im" "$dir/large.png" -type TrueColor BMP3:"$dir/large.bmp"
"$im" "$dir/large.png" -fill '#ff0000' -draw 'point 5999,3999' PNG24:"$dir/large-last-pixel.png"
# A folder of 1000 mixed pictures: ten of each format at assorted sizes,
# each copied until the folder is full.
mkdir -p "$dir/folder"
for i in $(seq 0 9); do
  size="$((640 + 96 * i)) $((480 + 72 * i))"
  picture $size PNG24:"$dir/folder/p$i.png"
  picture $size -quality 90 "$dir/folder/p$i.jpg"
  picture $size "$dir/folder/p$i.gif"
  picture $size -type TrueColor BMP3:"$dir/folder/p$i.bmp"
done
for n in $(seq 1 24); do
  for f in "$dir"/folder/p?.*; do
    base=$(basename "$f")
    cp "$f" "$dir/folder/c$n-$base"
  done
done
touch "$dir/done"
