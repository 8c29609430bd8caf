#!/usr/bin/env bash
# Makes the sample images of the demo (samples/) and the image fixtures of
# the tests (tests/fixtures/). Both folders are kept in the repository; run
# this again only to change them. Every run writes the same bytes.
# Needs the Debian packages imagemagick, webp (cwebp, img2webp), libavif-bin
# (avifenc) and python3.
set -euo pipefail
source "$(dirname "$0")/picture.sh"
cd "$(dirname "$0")/.."
# No time stamps or other chunks that change from run to run.
quiet=(-define png:exclude-chunks=date,time +set date:create +set date:modify)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

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
  # One picture of 16 colours, exact in every format that holds one image.
  picture 32 32 +dither -colors 16 "${quiet[@]}" PNG24:"$d/flat.png"
  "$im" "$d/flat.png" "$d/flat.gif"
  "$im" "$d/flat.png" -type TrueColor BMP3:"$d/flat.bmp"
  "$im" "$d/flat.png" -compress none "$d/flat.tif"
  "$im" "$d/flat.png" "$d/flat.ico"
  picture 640 480 "${quiet[@]}" PNG24:"$d/wide.png"
  picture 480 640 "${quiet[@]}" PNG24:"$d/tall.png"
  picture 64 40 "${quiet[@]}" PNG24:"$d/short.png"
  cp "$d/photo.png" "$d/png-in-disguise.dat"
  printf 'not an image\n' > "$d/notes.txt"
  cp "$d/notes.txt" "$d/notes-copy.txt"
  printf 'not an image either\n' > "$d/other-notes.txt"
  : > "$d/empty.png"
  crafted huge-header "$d/huge-header.png"
  crafted huge-header "$d/huge-header-copy.png"
  printf 'trailing bytes' >> "$d/huge-header-copy.png"
  make_hidden_difference_pairs "$d"
  make_bombs "$d"
  crafted flat-large "$d/flat-large-a.png" 808080
  crafted flat-large "$d/flat-large-b.png" ff0000
  crafted flat-8000 "$d/flat-8000-a.png" 808080
  crafted flat-8000 "$d/flat-8000-b.png" ff0000
  crafted flat-8000-broken "$d/flat-8000-broken.png"
  # 9000 x 9000 of one colour, the second with a comment: the same pixels.
  /usr/bin/python3 -c 'import sys; from PIL import Image
for name, extra in ((sys.argv[1], {}), (sys.argv[2], {"comment": b"the same pixels"})):
    image = Image.new("P", (9000, 9000), 3)
    image.putpalette(list(range(256)) * 3)
    image.save(name, **extra)' "$d/gif-9000-a.gif" "$d/gif-9000-b.gif"
  make_webp_avif "$d"
  make_showing_pairs "$d"
}

# Pairs with the same pixels whose files tell a viewer to show them
# differently (orientation, colour description, timing), files whose
# decoded pixels do not stand for what they hold, and pairs of the same
# picture that the decoder reads along other paths.
make_showing_pairs() {
  local d=$1 srgb=/usr/share/color/icc/ghostscript/srgb.icc romm=/usr/share/color/icc/ghostscript/rommrgb.icc
  crafted exif-jpeg "$d/orient-1.jpg" "$d/photo.jpg" 1
  crafted exif-jpeg "$d/orient-6.jpg" "$d/photo.jpg" 6
  crafted exif-png "$d/orient-1.png" "$d/photo.png" 1
  crafted exif-png "$d/orient-6.png" "$d/photo.png" 6
  crafted exif-webp "$d/orient-1.webp" "$d/photo-lossless.webp" 1
  crafted exif-webp "$d/orient-6.webp" "$d/photo-lossless.webp" 6
  "$im" "$d/photo.png" -orient TopLeft -compress none "$d/orient-1.tif"
  "$im" "$d/photo.png" -orient RightTop -compress none "$d/orient-6.tif"
  "$im" "$d/photo.png" -orient TopRight -compress none "$d/orient-2.tif"
  crafted icc-jpeg "$d/profile-srgb.jpg" "$d/photo.jpg" "$srgb"
  crafted icc-jpeg "$d/profile-romm.jpg" "$d/photo.jpg" "$romm"
  crafted icc-png "$d/profile-romm.png" "$d/photo.png" "$romm"
  crafted png-chunk "$d/gamma-1.png" "$d/photo.png" gAMA 000186a0
  crafted png-chunk "$d/srgb-chunk.png" "$d/photo.png" sRGB 00
  crafted png-chunk "$d/wide-gamut.png" "$d/photo.png" cHRM 00007a1200008084000089e400003ce7000035b400008f2400001d4c00000bb8
  crafted nclx-avif "$d/transfer-pq.avif" "$d/photo-lossless.avif" 16
  crafted cmyk-tif "$d/cmyk-k.tif" 0
  crafted cmyk-tif "$d/cmyk-ck.tif" 199
  crafted unassociated-tif "$d/unassociated-a.tif" 000000
  crafted unassociated-tif "$d/unassociated-b.tif" ff0000
  crafted alpha-bmp "$d/alpha-a.bmp" ff
  crafted alpha-bmp "$d/alpha-b.bmp" 80
  printf '<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16"><rect width="16" height="16" fill="#2060c0"/></svg>\n' > "$d/drawing-a.svg"
  printf '<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16"><rect width="16" height="16" fill="#2060c0"/><circle cx="8" cy="8" r="0.01" fill="red"/><text x="2" y="8" font-size="0.05">zoom</text></svg>\n' > "$d/drawing-b.svg"
  printf '<svg xmlns="http://www.w3.org/2000/svg" width="0" height="0"></svg>\n' > "$d/drawing-0x0.svg"
  "$im" -size 8x8 xc:red xc:blue -set delay 20 -loop 0 "$d/frames-a-slow.gif"
  "$im" -size 8x8 xc:red xc:blue -set delay 10 -loop 1 "$d/frames-a-once.gif"
  # Flat blocks at the bottom: the decoder fills the lost ones in alike.
  picture 64 32 PNG24:"$scratch/top.png"
  "$im" "$scratch/top.png" \( -size 64x32 xc:'#808080' \) -append -quality 92 "$d/flat-bottom.jpg"
  crafted cut-scan "$d/flat-bottom-cut.jpg" "$d/flat-bottom.jpg" 20
  "$im" "$d/photo.png" -define tiff:tile-geometry=16x16 -compress none "$d/tiled-16.tif"
  "$im" "$d/photo.png" -define tiff:tile-geometry=48x48 -compress none "$d/tiled-48.tif"
  "$im" "$d/photo.png" -compress none TIFF64:"$d/photo-big.tif"
  "$im" "$d/photo.png" -quality 60 "$d/photo.heic"
  crafted free-box "$d/photo-free.heic" "$d/photo.heic"
  copy_of "$d/photo.heic"
  crafted cut-gif "$d/gif-cut.gif" "$d/photo.gif"
  crafted bogus-bmp "$d/bogus-header.bmp"
}

# Pairs NAME-a / NAME-b that differ only where a reader of the first frame,
# page or entry, of 8 bits a channel or of a file's start does not look;
# NAME-a-copy is byte-identical to NAME-a.
make_hidden_difference_pairs() {
  local d=$1
  picture 16 16 PNG24:"$scratch/scene16.png"
  picture 32 32 PNG24:"$scratch/scene32.png"
  local one_red_pixel=(-fill '#ff0000' -draw 'point 15,15')
  two_frame_gif "$d/frames-a.gif" blue
  two_frame_gif "$d/frames-b.gif" lime
  two_page_tif "$d/pages-a.tif"
  two_page_tif "$d/pages-b.tif" "${one_red_pixel[@]}"
  two_entry_ico "$d/entries-a.ico"
  two_entry_ico "$d/entries-b.ico" "${one_red_pixel[@]}"
  crafted apng "$d/apng-a.png" 0000ff
  crafted apng "$d/apng-b.png" 00ff00
  crafted deep-png "$d/deep-a.png" 8000
  crafted deep-png "$d/deep-b.png" 8001
  "$im" -size 4x4 xc:'#800040002000' -depth 16 -compress none "$d/deep-a.tif"
  "$im" -size 4x4 xc:'#800140002000' -depth 16 -compress none "$d/deep-b.tif"
  picture 16 16 -quality 90 "$scratch/primary.jpg"
  picture 16 16 -flop -quality 90 "$scratch/second-a.jpg"
  picture 16 16 -flip -quality 90 "$scratch/second-b.jpg"
  crafted mpf "$d/mpf-a.jpg" "$scratch/primary.jpg" "$scratch/second-a.jpg"
  crafted mpf "$d/mpf-b.jpg" "$scratch/primary.jpg" "$scratch/second-b.jpg"
  cat "$scratch/primary.jpg" "$scratch/second-a.jpg" > "$d/joined-a.jpg"  # two JPEGs in one file
  cat "$scratch/primary.jpg" "$scratch/second-b.jpg" > "$d/joined-b.jpg"
  crafted late-difference "$d/prefix-a.bin" "$d/prefix-b.bin"
  printf 'Two text files that differ only in length:\nthe other one ends with one more byte.\n' > "$d/length-a.txt"
  with_trailing_byte "$d/length-a.txt" "$d/length-b.txt"
  local name
  for name in frames-a.gif pages-a.tif entries-a.ico apng-a.png deep-a.png deep-a.tif mpf-a.jpg joined-a.jpg prefix-a.bin length-a.txt; do
    copy_of "$d/$name"
  done
}

two_frame_gif() {  # two_frame_gif OUTPUT COLOUR: 8 x 8, 0.1 s of red, then 0.1 s of COLOUR
  "$im" -size 8x8 xc:red xc:"$2" -set delay 10 -loop 0 "$1"
}

two_page_tif() {  # two_page_tif OUTPUT [OPTION...]: the scene, then its mirror image changed by OPTIONs
  "$im" "$scratch/scene16.png" \( "$scratch/scene16.png" -flop "${@:2}" \) -alpha off -depth 8 -compress none "$1"
}

two_entry_ico() {  # two_entry_ico OUTPUT [OPTION...]: the scene at 16 x 16, changed by OPTIONs, and at 32 x 32
  "$im" \( "$scratch/scene16.png" "${@:2}" \) "$scratch/scene32.png" "$1"
}

# Tiny files whose headers claim a quarter of a billion pixels, each with a
# twin one byte longer.
make_bombs() {
  local d=$1 name
  crafted bomb-gif "$d/bomb.gif"
  crafted bomb-rle-bmp "$d/bomb-rle.bmp"
  crafted bomb-tif "$d/bomb.tif"
  for name in bomb.gif bomb-rle.bmp bomb.tif; do
    with_trailing_byte "$d/$name" "$d/${name%.*}-2.${name##*.}"
  done
}

make_webp_avif() {
  local d=$1
  cwebp -quiet -lossless -exact "$d/photo.png" -o "$d/photo-lossless.webp"
  cwebp -quiet -q 75 "$d/photo.png" -o "$d/photo-lossy.webp"
  avifenc --lossless --jobs 1 "$d/photo.png" "$d/photo-lossless.avif" > /dev/null
  # 8192 x 4096, flat, turned a quarter by its header: 4096 x 8192 shown.
  "$im" -size 8192x4096 xc:'rgb(120,130,140)' "$scratch/flat-wide.png"
  avifenc --jobs 1 -s 10 --irot 1 "$scratch/flat-wide.png" "$d/turned-large.avif" > /dev/null
  # 8192 x 8192 pairs, flat in two greys, turned a quarter: beyond the
  # budget once the decoder's planes count.
  for grey in a:96 b:97; do
    crafted flat-square "$scratch/flat-square.png" 8192 "${grey#*:}"
    avifenc --jobs 1 -s 10 --irot 1 "$scratch/flat-square.png" "$d/turned-8192-${grey%%:*}.avif" > /dev/null
  done
  two_frame_webp "$d/anim-a.webp" blue
  two_frame_webp "$d/anim-b.webp" lime
  copy_of "$d/anim-a.webp"
}

two_frame_webp() {  # two_frame_webp OUTPUT COLOUR: 8 x 8, lossless, 0.1 s of red, then 0.1 s of COLOUR
  "$im" -size 8x8 xc:red "$scratch/first.png"
  "$im" -size 8x8 xc:"$2" "$scratch/second.png"
  img2webp -loop 0 -lossless -d 100 "$scratch/first.png" -d 100 "$scratch/second.png" -o "$1" > /dev/null
}

copy_of() {  # NAME.EXT to NAME-copy.EXT
  cp "$1" "${1%.*}-copy.${1##*.}"
}

with_trailing_byte() {  # with_trailing_byte INPUT OUTPUT: OUTPUT is INPUT and one more byte
  { cat "$1"; printf '\n'; } > "$2"
}

crafted() {  # crafted KIND OUTPUT [ARGUMENT...]: files laid out byte by byte
  python3 - "$@" <<'PYTHON'
import hashlib, struct, sys, zlib

def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

def png(width, height, bit_depth, *chunks):  # an RGB PNG
    header = struct.pack(">IIBBBBB", width, height, bit_depth, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) + b"".join(chunks) + png_chunk(b"IEND", b"")

def solid_rows(width, height, pixel):  # compressed rows, each after its filter byte 0
    return zlib.compress((b"\0" + pixel * width) * height)

def huge_header():  # a small valid PNG start whose header claims 100000 x 100000 pixels
    return png(100000, 100000, 8, png_chunk(b"IDAT", zlib.compress(b"\0" + b"\x80" * 300)))

def deep_png(red):  # 4 x 4, 16 bits a channel, every pixel (red, 0x4000, 0x2000)
    pixel = struct.pack(">HHH", int(red, 16), 0x4000, 0x2000)
    return png(4, 4, 16, png_chunk(b"IDAT", solid_rows(4, 4, pixel)))

def apng(second_colour):  # 8 x 8, 0.1 s of red (also the still image), then 0.1 s of the colour
    def frame_control(sequence):
        return png_chunk(b"fcTL", struct.pack(">IIIIIHHBB", sequence, 8, 8, 0, 0, 1, 10, 0, 0))
    second = struct.pack(">I", 2) + solid_rows(8, 8, bytes.fromhex(second_colour))
    return png(8, 8, 8, png_chunk(b"acTL", struct.pack(">II", 2, 0)),
               frame_control(0), png_chunk(b"IDAT", solid_rows(8, 8, b"\xff\0\0")),
               frame_control(1), png_chunk(b"fdAT", second))

def mp_index(primary_size, second_size, second_offset):  # APP2 "MPF" segment listing two images
    entries = (struct.pack(">IIIHH", 0x20020002, primary_size, 0, 0, 0)
               + struct.pack(">IIIHH", 0x00020002, second_size, second_offset, 0, 0))
    fields = (struct.pack(">HHI4s", 0xB000, 7, 4, b"0100") + struct.pack(">HHII", 0xB001, 4, 1, 2)
              + struct.pack(">HHII", 0xB002, 7, len(entries), 8 + 2 + 3 * 12 + 4))
    index = b"MM\0*" + struct.pack(">IH", 8, 3) + fields + struct.pack(">I", 0) + entries
    return b"\xff\xe2" + struct.pack(">H", 2 + 4 + len(index)) + b"MPF\0" + index

def mpf(primary_path, second_path):  # the primary JPEG, its MP index after the JFIF segment, the second JPEG
    primary = open(primary_path, "rb").read()
    second = open(second_path, "rb").read()
    assert primary[2:4] == b"\xff\xe0"
    at = 4 + struct.unpack(">H", primary[4:6])[0]
    primary_size = len(primary) + len(mp_index(0, 0, 0))
    index_start = at + 8  # offsets count from the byte after "MPF\0"
    segment = mp_index(primary_size, len(second), primary_size - index_start)
    return primary[:at] + segment + primary[at:] + second

def late_difference(out_b):  # 100 KiB of hashed bytes; the twin flips every bit from byte 90000 on
    stream = b"".join(hashlib.sha256(b"pixdim %d" % i).digest() for i in range(3200))
    data = (b"pixdim test bytes, not an image\n" + stream)[:100 * 1024]
    open(out_b, "wb").write(data[:90000] + bytes(byte ^ 0xFF for byte in data[90000:]))
    return data

def bomb_gif():  # 16000 x 16000, two colours, image data that ends at once
    screen = struct.pack("<HHBBB", 16000, 16000, 0x80, 0, 0) + b"\0\0\0\xff\xff\xff"
    image = b"," + struct.pack("<HHHHB", 0, 0, 16000, 16000, 0)
    return b"GIF89a" + screen + image + b"\x02\x01\x2c\x00;"  # codes: clear, end

def bomb_rle_bmp():  # 16000 x 16000, 8-bit run-length data that ends the bitmap at once
    palette, data = b"\0\0\0\0\xff\xff\xff\0", b"\0\1"
    info = struct.pack("<IiiHHIIiiII", 40, 16000, 16000, 1, 8, 1, len(data), 2835, 2835, 2, 0)
    offset = 14 + len(info) + len(palette)
    return b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset) + info + palette + data

def bomb_tif():  # 16384 x 16384 grey in one strip, deflated from a single row of zeros
    strip = zlib.compress(bytes(16384))
    fields = [(256, 4, 16384), (257, 4, 16384), (258, 3, 8), (259, 3, 8), (262, 3, 1),
              (273, 4, 8 + 2 + 9 * 12 + 4), (277, 3, 1), (278, 4, 16384), (279, 4, len(strip))]
    ifd = struct.pack("<H", len(fields)) + b"".join(struct.pack("<HHII", tag, kind, 1, value)
                                                    for tag, kind, value in fields)
    return b"II*\0" + struct.pack("<I", 8) + ifd + struct.pack("<I", 0) + strip

def flat_large(last_pixel):  # 12000 x 12000 grey, the last pixel in the given colour: 1.1 GiB a pair decoded
    width, rows, grey = 12000, [], b"\x80\x80\x80"
    packer = zlib.compressobj(9)
    for y in range(width):
        pixels = grey * (width - 1) + (bytes.fromhex(last_pixel) if y == width - 1 else grey)
        rows.append(packer.compress(b"\0" + pixels))
    rows.append(packer.flush())
    return png(width, width, 8, png_chunk(b"IDAT", b"".join(rows)))

def flat_square(side, grey):  # SIDE x SIDE of one grey
    packer, row = zlib.compressobj(9), b"\0" + bytes([int(grey)]) * (3 * int(side))
    data = b"".join(packer.compress(row) for _ in range(int(side))) + packer.flush()
    return png(int(side), int(side), 8, png_chunk(b"IDAT", data))

def flat_8000(last_pixel):  # 8000 x 8000 grey, the last pixel in the given colour: 0.5 GiB a pair decoded
    width, rows, grey = 8000, [], b"\x80\x80\x80"
    packer = zlib.compressobj(9)
    for y in range(width):
        pixels = grey * (width - 1) + (bytes.fromhex(last_pixel) if y == width - 1 else grey)
        rows.append(packer.compress(b"\0" + pixels))
    rows.append(packer.flush())
    return png(width, width, 8, png_chunk(b"IDAT", b"".join(rows)))

def flat_8000_broken():  # as flat_8000, its compressed data spoiled half-way, every chunk still sound
    width, grey = 8000, b"\x80\x80\x80"
    data = zlib.compress((b"\0" + grey * width) * width, 9)
    half = len(data) // 2
    data = data[:half] + bytes([0xff]) * 64 + data[half + 64:]
    return png(width, width, 8, png_chunk(b"IDAT", data))

def insert_after_app0(jpeg, segment):
    assert jpeg[2:4] == b"\xff\xe0"
    at = 4 + struct.unpack(">H", jpeg[4:6])[0]
    return jpeg[:at] + segment + jpeg[at:]

def exif_block(orientation):  # a little-endian TIFF header and one directory with the orientation
    return b"II*\0" + struct.pack("<IHHHIHHI", 8, 1, 0x112, 3, 1, int(orientation), 0, 0)

def exif_jpeg(path, orientation):
    block = b"Exif\0\0" + exif_block(orientation)
    return insert_after_app0(open(path, "rb").read(), b"\xff\xe1" + struct.pack(">H", 2 + len(block)) + block)

def after_ihdr(path, chunk):
    data = open(path, "rb").read()
    return data[:33] + chunk + data[33:]

def exif_png(path, orientation):
    return after_ihdr(path, png_chunk(b"eXIf", exif_block(orientation)))

def png_chunk_of(path, kind, data):
    return after_ihdr(path, png_chunk(kind.encode(), bytes.fromhex(data)))

def icc_jpeg(path, profile):
    data = b"ICC_PROFILE\0\1\1" + open(profile, "rb").read()
    return insert_after_app0(open(path, "rb").read(), b"\xff\xe2" + struct.pack(">H", 2 + len(data)) + data)

def icc_png(path, profile):
    return after_ihdr(path, png_chunk(b"iCCP", b"ROMM\0\0" + zlib.compress(open(profile, "rb").read(), 9)))

def riff_chunk(kind, data):
    return kind + struct.pack("<I", len(data)) + data + b"\0" * (len(data) & 1)

def exif_webp(path, orientation):  # a simple lossless file as an extended one with an EXIF chunk
    data = open(path, "rb").read()
    assert data[12:16] == b"VP8L"
    bits = struct.unpack("<I", data[21:25])[0]
    width, height = (bits & 0x3fff) + 1, ((bits >> 14) & 0x3fff) + 1
    header = struct.pack("<I", 0x08) + (width - 1).to_bytes(3, "little") + (height - 1).to_bytes(3, "little")
    body = b"WEBP" + riff_chunk(b"VP8X", header) + data[12:] + riff_chunk(b"EXIF", exif_block(orientation))
    return b"RIFF" + struct.pack("<I", len(body)) + body

def nclx_avif(path, transfer):  # the same file with another transfer characteristic in its nclx colour
    data = bytearray(open(path, "rb").read())
    at = data.index(b"colrnclx") + 8
    data[at + 2:at + 4] = struct.pack(">H", int(transfer))
    return bytes(data)

def tiff(width, height, fields, strip):  # a little-endian TIFF: one directory, one strip after it
    fields = sorted(fields + [(273, 4, [0]), (279, 4, [len(strip)])])
    extra, ifd_size = b"", 2 + 12 * len(fields) + 4
    entries = b""
    for tag, kind, values in fields:
        size = {3: 2, 4: 4}[kind]
        packed = b"".join(struct.pack("<H" if size == 2 else "<I", v) for v in values)
        if tag == 273:
            packed = struct.pack("<I", 8 + ifd_size + 0)
        if len(packed) > 4:
            entries += struct.pack("<HHII", tag, kind, len(values), 8 + ifd_size + len(strip) + len(extra))
            extra += packed
        else:
            entries += struct.pack("<HHI", tag, kind, len(values)) + packed.ljust(4, b"\0")
    return b"II*\0" + struct.pack("<IH", 8, len(fields)) + entries + struct.pack("<I", 0) + strip + extra

def cmyk_tif(cyan):  # 8 x 8 of one CMYK ink mix: cyan as given, full black
    strip = bytes([int(cyan), 0, 0, 255]) * 64
    return tiff(8, 8, [(256, 3, [8]), (257, 3, [8]), (258, 3, [8, 8, 8, 8]), (259, 3, [1]), (262, 3, [5]),
                       (277, 3, [4]), (278, 3, [8])], strip)

def unassociated_tif(hidden):  # 8 x 8 RGBA with unassociated alpha: opaque grey, one clear pixel of the colour
    pixel = bytes.fromhex("808080ff")
    strip = bytes.fromhex(hidden) + b"\0" + pixel * 63
    return tiff(8, 8, [(256, 3, [8]), (257, 3, [8]), (258, 3, [8, 8, 8, 8]), (259, 3, [1]), (262, 3, [2]),
                       (277, 3, [4]), (278, 3, [8]), (338, 3, [2])], strip)

def alpha_bmp(alpha):  # 4 x 4, 32-bit bit fields with an alpha mask in a 124-byte header, grey at the alpha given
    pixels = (b"\x80\x80\x80" + bytes.fromhex(alpha)) * 16
    masks = struct.pack("<IIII", 0xff0000, 0xff00, 0xff, 0xff000000)
    info = struct.pack("<IiiHHIIiiII", 124, 4, 4, 1, 32, 3, len(pixels), 2835, 2835, 0, 0) + masks
    info += b"BGRs" + b"\0" * 36 + b"\0" * 12 + struct.pack("<IIII", 4, 0, 0, 0)
    offset = 14 + len(info)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + info + pixels

def cut_scan(path, cut):  # scan data cut short by the bytes given, the end-of-image marker put back
    data = open(path, "rb").read()
    assert data.endswith(b"\xff\xd9")
    return data[:-2 - int(cut)] + b"\xff\xd9"

def free_box(path):  # the same file and an empty 'free' box at its end
    return open(path, "rb").read() + struct.pack(">I", 8) + b"free"

def cut_gif(path):  # the first half of a GIF: its header reads, its image data ends early
    data = open(path, "rb").read()
    return data[:len(data) // 2]

def bogus_bmp():  # 4-bit run-length compression declared for an 8-bit bitmap
    info = struct.pack("<IiiHHIIiiII", 40, 4, 4, 1, 8, 2, 4, 2835, 2835, 2, 0)
    palette, data = b"\0\0\0\0\xff\xff\xff\0", b"\0\1\0\1"
    offset = 14 + len(info) + len(palette)
    return b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset) + info + palette + data

makers = {"exif-jpeg": exif_jpeg, "exif-png": exif_png, "exif-webp": exif_webp, "icc-jpeg": icc_jpeg,
          "icc-png": icc_png, "png-chunk": png_chunk_of, "nclx-avif": nclx_avif, "cmyk-tif": cmyk_tif,
          "unassociated-tif": unassociated_tif, "alpha-bmp": alpha_bmp, "cut-scan": cut_scan,
          "free-box": free_box, "cut-gif": cut_gif, "bogus-bmp": bogus_bmp,
          "huge-header": huge_header, "flat-large": flat_large, "flat-square": flat_square, "flat-8000": flat_8000,
          "flat-8000-broken": flat_8000_broken, "deep-png": deep_png, "apng": apng, "mpf": mpf,
          "late-difference": late_difference, "bomb-gif": bomb_gif,
          "bomb-rle-bmp": bomb_rle_bmp, "bomb-tif": bomb_tif}
kind, output, arguments = sys.argv[1], sys.argv[2], sys.argv[3:]
data = makers[kind](*arguments)
with open(output, "wb") as out:
    out.write(data)
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
