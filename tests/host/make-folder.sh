#!/usr/bin/env bash
# make-folder.sh FOLDER TABLE: fills FOLDER (made afresh) with the files the
# host shows, and writes TABLE, one line per file: name, Width, Height and
# Dimensions as the panel must show them, tab-separated, sorted bytewise.
# A picture shows its size; a file the plugin cannot read, and a name it
# cannot open as a file, show nothing (the plugin answers "field empty" and
# "file error"), as does a file outside the plugin's extensions.
set -euo pipefail
source "$(dirname "$0")/../../scripts/picture.sh"
folder=$1
table=$2

rm -rf "$folder" && mkdir -p "$folder"
: > "$table.unsorted"

expect() {  # expect NAME WIDTH HEIGHT: the row of a picture or unreadable file
  printf '%s\t%s\t%s\t%s x %s\n' "$1" "$2" "$3" "$2" "$3" >> "$table.unsorted"
}
expect_blank() {  # expect_blank NAME: the row of a file the host never asks about
  printf '%s\t\t\t\n' "$1" >> "$table.unsorted"
}
add_picture() {  # add_picture NAME WIDTH HEIGHT [FORMAT:]: the test scene, a size per file
  picture "$2" "$3" "${4:-}$folder/$1"
  expect "$1" "$2" "$3"
}

add_picture photo.png 64 48 PNG24:
add_picture wallpaper.jpg 1920 1080
add_picture photo.gif 40 30
add_picture photo.bmp 50 20 BMP3:
add_picture photo.tif 21 13
add_picture icon.ico 48 48
add_picture photo.webp 70 35
add_picture photo.avif 45 25
add_picture UPPER.PNG 24 18 PNG24:
add_picture 'été café 写真 🌅.png' 90 60 PNG24:

printf '<svg xmlns="http://www.w3.org/2000/svg" width="120" height="80">%s</svg>\n' \
  '<rect width="120" height="80" fill="teal"/><circle cx="40" cy="40" r="30" fill="gold"/>' \
  > "$folder/drawing.svg"
expect drawing.svg 120 80

# The name fills what a file name may hold, so the full path is far beyond
# the 260 characters of a classic Windows path.
long_name="long-$(printf 'n%.0s' {1..241}).png"
add_picture "$long_name" 33 22 PNG24:
full_path="$(cd "$folder" && pwd)/$long_name"
[ ${#full_path} -gt 260 ] || { echo "path of $long_name is only ${#full_path} characters" >&2; exit 1; }

cp "$folder/photo.png" "$folder/png-copy.dat"
expect_blank png-copy.dat
printf 'not an image\n' > "$folder/notes.txt"
expect_blank notes.txt
printf 'not an image either\n' > "$folder/broken.png"
expect_blank broken.png
# Opening a FIFO for reading waits for a writer that never comes.
mkfifo "$folder/pipe.png"
expect_blank pipe.png

LC_ALL=C sort "$table.unsorted" > "$table"
rm "$table.unsorted"
