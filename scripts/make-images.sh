#!/usr/bin/env bash
# Makes the sample images of the demo (samples/) and the image fixtures of
# the tests (tests/fixtures/) with ImageMagick. Both folders are kept in the
# repository; run this again only to change them.
set -euo pipefail
source "$(dirname "$0")/picture.sh"
cd "$(dirname "$0")/.."
# No time stamps or other chunks that change from run to run.
quiet=(-define png:exclude-chunks=date,time +set date:create +set date:modify)

make_fixtures() {
  local d=tests/fixtures
  rm -rf "$d" && mkdir -p "$d"
  picture 64 48 "${quiet[@]}" PNG24:"$d/photo.png"
  "$im" "$d/photo.png" -type TrueColor BMP3:"$d/photo.bmp"
  "$im" "$d/photo.png" -compress none "$d/photo.tif"
  "$im" "$d/photo.png" "${quiet[@]}" -interlace PNG PNG24:"$d/photo-interlaced.png"
  "$im" "$d/photo.png" "${quiet[@]}" -set comment "another comment, same pixels" PNG24:"$d/photo-comment.png"
  "$im" "$d/photo.png" "${quiet[@]}" -fill '#ff0000' -draw 'point 63,47' PNG24:"$d/photo-last-pixel.png"
  "$im" "$d/photo-last-pixel.png" -type TrueColor BMP3:"$d/photo-last-pixel.bmp"
  "$im" "$d/photo.png" "${quiet[@]}" -alpha set -channel A -fx 'i==10&&j==20?0.5:1' +channel PNG32:"$d/photo-alpha.png"
  "$im" "$d/photo.png" -quality 92 "$d/photo.jpg"
  picture 64 48 -flop -quality 92 "$d/mirror.jpg"
  "$im" "$d/photo.png" "$d/photo.gif"
  picture 48 32 "$d/icon.ico"
  picture 640 480 "${quiet[@]}" PNG24:"$d/wide.png"
  picture 480 640 "${quiet[@]}" PNG24:"$d/tall.png"
  picture 64 40 "${quiet[@]}" PNG24:"$d/short.png"
  cp "$d/photo.png" "$d/png-in-disguise.dat"
  printf 'not an image\n' > "$d/notes.txt"
  cp "$d/notes.txt" "$d/notes-copy.txt"
  printf 'not an image either\n' > "$d/other-notes.txt"
  : > "$d/empty.png"
  huge_header "$d/huge-header.png"
  huge_header "$d/huge-header-copy.png"
  printf 'trailing bytes' >> "$d/huge-header-copy.png"
}

huge_header() {  # a small valid PNG start whose header claims 100000 x 100000 pixels
  python3 - "$1" <<'PYTHON'
import struct, sys, zlib
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
header = struct.pack(">IIBBBBB", 100000, 100000, 8, 2, 0, 0, 0)
rows = zlib.compress(b"\0" + b"\x80" * 300)
with open(sys.argv[1], "wb") as out:
    out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", rows) + chunk(b"IEND", b""))
PYTHON
}

make_samples() {
  local d=samples
  rm -rf "$d" && mkdir -p "$d"
  picture 320 200 "${quiet[@]}" PNG24:"$d/sunset.png"
  "$im" "$d/sunset.png" -type TrueColor BMP3:"$d/sunset.bmp"
  "$im" "$d/sunset.png" "${quiet[@]}" -fill '#ff0000' -draw 'point 160,100' PNG24:"$d/sunset-retouched.png"
  picture 1920 1080 -quality 85 "$d/wallpaper.jpg"
  picture 120 90 "$d/banner.gif"
  picture 32 32 "$d/app.ico"
  picture 800 600 -compress lzw "$d/scan.tif"
  printf 'pixdim sample folder: these files show what the plugin reports.\n' > "$d/readme.txt"
}

make_fixtures
make_samples
