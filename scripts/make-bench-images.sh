#!/usr/bin/env bash
# make-bench-images.sh DIR: the images the benchmarks run on, made once and
# the same on every run.
#   DIR/small-*.png, large.*          single files for the Windows benchmarks
#   DIR/large*.png, large.bmp         the 24 Mpx compare pairs
#   DIR/large*.jpg, large-plain.bmp   a 24 Mpx camera JPEG, a copy, a copy
#                                     with a comment added, one without
#                                     metadata and a BMP of its decode
#   DIR/folder/TYPE-NNNN.EXT          1000 mixed pictures, TYPE being camera,
#                                     web, png, gif, bmp or tiff; and 40 each
#                                     of camera raw (TYPE dng, cr2, cr3, nef,
#                                     arw, orf, rw2, pef, raf) and JPEG XL
#                                     (jxl), copies of a few originals
set -euo pipefail
source "$(dirname "$0")/picture.sh"
python=/usr/bin/python3  # Debian's, which has python3-pil
camera_metadata="$(dirname "$0")/../bench/camera_metadata.py"
write_bench_raws="$(dirname "$0")/../build/native/bench/write_bench_raws"
dir=$1
png=(-define 'png:exclude-chunks=date,time')  # no time stamps: the same bytes every run

photo() {  # photo WIDTH HEIGHT SEED [OPTION...] OUTPUT: a soft, grainy scene, like a photograph
  "$im" -seed "$3" -size "$(($1 / 8))x$(($2 / 8))" plasma:fractal -blur 0x2 -resize "$1x$2!" \
    -attenuate 0.25 +noise Gaussian -depth 8 "${@:4}"
}

screen() {  # screen WIDTH HEIGHT [OPTION...] OUTPUT: flat colour areas, like a screenshot
  "$im" -size "$1x$2" xc:'#eeeeee' \
    -fill '#2d5fa8' -draw "rectangle 0,0 $1,$(($2 / 20))" \
    -fill white -draw "rectangle $(($1 / 10)),$(($2 / 8)) $(($1 * 6 / 10)),$(($2 * 9 / 10))" \
    -fill '#c8c8c8' -draw "rectangle $(($1 * 65 / 100)),$(($2 / 8)) $(($1 * 95 / 100)),$(($2 * 9 / 10))" \
    "${@:3}"
}

animation() {  # animation WIDTH HEIGHT FRAMES SEED OUTPUT: a ball crossing a still scene
  local frames=() step=$(($1 / $3)) r=$(($2 / 8))
  for ((f = 0; f < $3; f++)); do
    frames+=(\( -clone 0 -fill white -draw "circle $((f * step + r)),$(($2 / 2)) $((f * step)),$(($2 / 2))" \))
  done
  photo "$1" "$2" "$4" "${frames[@]}" -delete 0 -set delay 8 -loop 0 -layers Optimize "$5"
}

singles() {  # the Windows benchmarks' files and the compare pairs
  for i in 1 2 3 4; do picture $((200 + 40 * i)) $((150 + 30 * i)) "${png[@]}" PNG24:"$dir/small-$i.png"; done
  photo 6000 4000 11 "${png[@]}" PNG24:"$dir/large.png"
  "$im" "$dir/large.png" -type TrueColor BMP3:"$dir/large.bmp"
  cp "$dir/large.png" "$dir/large-copy.png"
  "$im" "$dir/large.png" -fill '#ff0000' -draw 'rectangle 0,0 5999,3' "${png[@]}" PNG24:"$dir/large-first-rows.png"
  "$im" "$dir/large.png" -fill '#ff0000' -draw 'point 5999,3999' "${png[@]}" PNG24:"$dir/large-last-pixel.png"
}

cameras() {  # 12 to 24 Mpx with a camera's EXIF and XMP
  local o=$dir/originals
  photo 4000 3000 1 -quality 92 "$o/camera-1.jpg"
  photo 4608 3456 2 -quality 92 "$o/camera-2.jpg"
  photo 5184 3456 3 -quality 92 "$o/camera-3.jpg"
  photo 5472 3648 4 -quality 92 "$o/camera-4.jpg"
  photo 6000 4000 5 -quality 92 "$o/camera-5.jpg"
  "$python" "$camera_metadata" "$o"/camera-*.jpg
}

others() {  # web JPEGs, flat and photo PNGs, animated GIFs, BMPs, LZW TIFFs up to about 20 MB
  local o=$dir/originals
  photo 640 480 21 -strip -quality 75 "$o/web-1.jpg"
  photo 1024 683 22 -strip -quality 80 -interlace JPEG "$o/web-2.jpg"
  photo 1200 800 23 -strip -quality 82 "$o/web-3.jpg"
  photo 1920 1080 24 -strip -quality 85 -interlace JPEG "$o/web-4.jpg"
  photo 2048 1365 25 -strip -quality 80 "$o/web-5.jpg"
  screen 1920 1080 "${png[@]}" PNG24:"$o/png-1.png"
  screen 1280 720 "${png[@]}" PNG8:"$o/png-2.png"
  photo 800 600 31 -interlace PNG "${png[@]}" PNG24:"$o/png-3.png"
  photo 1024 768 32 "${png[@]}" PNG24:"$o/png-4.png"
  photo 2560 1440 33 \( -size 2560x1440 gradient:white-black \) -compose CopyOpacity -composite \
    "${png[@]}" PNG32:"$o/png-5.png"
  photo 3000 2000 34 "${png[@]}" PNG24:"$o/png-6.png"
  animation 320 240 12 41 "$o/gif-1.gif"
  animation 480 270 10 42 "$o/gif-2.gif"
  animation 500 500 20 43 "$o/gif-3.gif"
  animation 640 360 8 44 "$o/gif-4.gif"
  photo 640 480 51 -type TrueColor BMP3:"$o/bmp-1.bmp"
  screen 1280 720 -type Palette BMP3:"$o/bmp-2.bmp"
  photo 1920 1080 53 -type TrueColor BMP3:"$o/bmp-3.bmp"
  photo 1024 768 54 -alpha set -type TrueColorAlpha BMP:"$o/bmp-4.bmp"
  photo 3000 2000 55 -type TrueColor BMP3:"$o/bmp-5.bmp"
  photo 1024 768 61 -compress LZW "$o/tiff-1.tif"
  photo 2048 1536 62 -compress LZW -define tiff:predictor=2 "$o/tiff-2.tif"
  screen 2480 3508 -depth 8 -compress LZW "$o/tiff-3.tif"
  photo 3000 2000 64 -compress LZW -define tiff:predictor=1 "$o/tiff-4.tif"
}

fill_folder() {  # fill_folder TYPE COUNT: copies of that type's originals in turn
  local originals=("$dir"/originals/"$1"-*)
  for ((n = 0; n < $2; n++)); do
    local original=${originals[n % ${#originals[@]}]}
    cp "$original" "$(printf '%s/folder/%s-%04d.%s' "$dir" "$1" "$n" "${original##*.}")"
  done
}

# The camera JPEG's byte-identical copy, a copy re-tagged with a comment
# after SOI, and a copy without metadata with a BMP of its decode
# (libjpeg's defaults, as gdk-pixbuf's).
jpeg_pairs() {
  cp "$dir/large.jpg" "$dir/large-copy.jpg"
  { head -c 2 "$dir/large.jpg"; printf '\xff\xfe\x00\x0ccatalogued'; tail -c +3 "$dir/large.jpg"; } \
    >"$dir/large-retagged.jpg"
  rm -f "$dir/large-plain.jpg"
  exiftool -q -all= -o "$dir/large-plain.jpg" "$dir/large.jpg"
  "$im" "$dir/large-plain.jpg" -type TrueColor BMP3:"$dir/large-plain.bmp"
}

raws_and_jxl() {  # camera raw files of camera sizes, and JPEG XL files cjxl makes from the pictures above
  local o=$dir/originals
  "$write_bench_raws" "$o"
  cjxl --quiet "$o/camera-1.jpg" "$o/jxl-1.jxl"  # a JPEG recompressed: a container with EXIF and XMP
  cjxl --quiet -d 1 -e 3 "$o/png-4.png" "$o/jxl-2.jxl"  # a bare codestream
  cjxl --quiet -d 1 -e 3 "$o/png-6.png" "$o/jxl-3.jxl"
}

# Copies, not links: each file its own pages in the cache, as in a real
# folder. The raw files' zeros are left as holes, so 40 copies of 20 MB
# take little disk.
sparse_folder() {  # sparse_folder TYPE COUNT: sparse copies of that type's originals in turn
  local originals=("$dir"/originals/"$1"-*)
  for ((n = 0; n < $2; n++)); do
    local original=${originals[n % ${#originals[@]}]}
    cp --sparse=always "$original" "$(printf '%s/folder/%s-%04d.%s' "$dir" "$1" "$n" "${original##*.}")"
  done
}

if [ -f "$dir/done-mixed-folder" ]; then
  [ -f "$dir/large-plain.bmp" ] || jpeg_pairs
else
  rm -rf "$dir/originals" "$dir/folder"
  mkdir -p "$dir/originals" "$dir/folder"
  # Two cores: the cameras and the compare pairs on one, the rest on the other.
  (cameras; singles) &
  first=$!
  others &
  second=$!
  wait $first
  wait $second
  cp "$dir/originals/camera-5.jpg" "$dir/large.jpg"
  jpeg_pairs
  fill_folder camera 300
  fill_folder web 200
  fill_folder png 200
  fill_folder gif 100
  fill_folder bmp 100
  fill_folder tiff 100
  touch "$dir/done-mixed-folder"
fi
if [ ! -f "$dir/done-raw-and-jxl" ]; then
  raws_and_jxl
  for type in dng cr2 cr3 nef arw orf rw2 pef raf; do sparse_folder "$type" 40; done
  fill_folder jxl 40
  touch "$dir/done-raw-and-jxl"
fi
