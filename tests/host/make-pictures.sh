#!/usr/bin/env bash
# make-pictures.sh FOLDER TABLE: fills FOLDER (made afresh) with a few
# pictures as a user keeps them, and writes TABLE like make-folder.sh does.
# Harbour.png and Harbour.bmp show the same pixels; "Harbour (edited).png"
# differs from them in one pixel.
set -euo pipefail
source "$(dirname "$0")/../../scripts/picture.sh"
folder=$1
table=$2

rm -rf "$folder" && mkdir -p "$folder"
: > "$table.unsorted"
expect() {  # expect NAME WIDTH HEIGHT
  printf '%s\t%s\t%s\t%s x %s\n' "$1" "$2" "$3" "$2" "$3" >> "$table.unsorted"
}
add() {  # add NAME WIDTH HEIGHT [OPTION...] FORMAT:
  picture "$2" "$3" "${@:4:$#-4}" "${*: -1}$folder/$1"
  expect "$1" "$2" "$3"
}

add Harbour.png 1920 1080 PNG24:
"$im" "$folder/Harbour.png" -type TrueColor BMP3:"$folder/Harbour.bmp"
expect Harbour.bmp 1920 1080
"$im" "$folder/Harbour.png" -fill red -draw 'point 10,10' PNG24:"$folder/Harbour (edited).png"
expect 'Harbour (edited).png' 1920 1080
add 'Garden at noon.jpg' 1600 1200 JPG:
add Street.webp 1280 720 WEBP:
add 'Café terrace.gif' 480 270 GIF:
add Scan-0042.tif 2480 3508 -compress lzw TIFF:

LC_ALL=C sort "$table.unsorted" > "$table"
rm "$table.unsorted"
