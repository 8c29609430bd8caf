#!/usr/bin/python3
"""Time and peak memory of one call on inputs crafted to cost a decoder dear.

  costly_inputs.py DIR LINUX_PROBE LINUX_PLUGIN [WINE_RUN WINDOWS_PROBE WINDOWS_PLUGIN]

Makes the inputs in DIR (once), then runs each call in a probe process of
its own and prints the wall time and the peak resident memory of that
process: compares of pairs on the Linux plugin, values (all three columns)
on the Linux and the 64-bit Windows plugin. Every run is bounded by a
timeout; a run that hits it shows as such.
"""
import io
import os
import random
import struct
import subprocess
import sys
import tempfile
import time
import zlib

TIMEOUT_SECONDS = 120


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def flat_png(side, grey=0x80):  # one grey, compressed row by row
    packer = zlib.compressobj(9)
    row = b"\0" + bytes([grey]) * (3 * side)
    data = b"".join(packer.compress(row) for _ in range(side)) + packer.flush()
    header = struct.pack(">IIBBBBB", side, side, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) + png_chunk(b"IDAT", data) + png_chunk(b"IEND", b"")


def segments(jpeg):  # (marker, whole segment including its scan data) from SOI to EOI
    out, at = [], 2
    while at < len(jpeg):
        marker = jpeg[at + 1]
        if marker == 0xD9:
            break
        length = struct.unpack(">H", jpeg[at + 2:at + 4])[0]
        end = at + 2 + length
        if marker == 0xDA:  # the scan data runs to the next marker that is not a stuffed zero or restart
            while not (jpeg[end] == 0xFF and jpeg[end + 1] not in (0x00, *range(0xD0, 0xD8))):
                end += 1
        out.append((marker, jpeg[at:end]))
        at = end
    return out


def scan_bomb(side, grey, scans):
    """A flat progressive JPEG whose first AC scan is repeated: decoders
    warn of the repeats and pass over the whole image for each."""
    made = subprocess.run(["/usr/bin/convert", "-size", f"{side}x{side}", f"xc:rgb({grey},{grey},{grey})",
                           "-interlace", "JPEG", "-quality", "90", "jpeg:-"], check=True, capture_output=True)
    parts = segments(made.stdout)
    scans_at = [i for i, (marker, _) in enumerate(parts) if marker == 0xDA]
    ac_scan = parts[scans_at[1]][1]
    body = b"".join(segment for _, segment in parts)
    return b"\xff\xd8" + body + ac_scan * scans + b"\xff\xd9"


def huge_jpeg_header(side):  # a frame of side x side, one component, almost no data
    def segment(marker, payload):
        return bytes([0xFF, marker]) + struct.pack(">H", len(payload) + 2) + payload
    tables = segment(0xDB, b"\0" + b"\1" * 64)
    huffman = segment(0xC4, b"\x00" + b"\1" + b"\0" * 15 + b"\0") + segment(0xC4, b"\x10" + b"\1" + b"\0" * 15 + b"\0")
    frame = segment(0xC0, struct.pack(">BHHB", 8, side, side, 1) + b"\1\x11\0")
    scan = segment(0xDA, b"\1\1\0\0\x3f\0")
    return b"\xff\xd8" + tables + huffman + frame + scan + b"\0" * 64 + b"\xff\xd9"


def dots_gif(side, comment):
    """One frame, 6000 x 6000 in 2.5 MB: a dot of a random colour in every
    40 pixels. The comment changes the bytes, not the pixels."""
    from PIL import Image
    draw = random.Random(side)
    pixels = bytearray(side * side)
    for start in range(0, side * side, 40):
        pixels[start + draw.randrange(40)] = draw.randrange(256)
    image = Image.frombytes("P", (side, side), bytes(pixels))
    image.putpalette(list(range(256)) * 3)
    out = io.BytesIO()
    image.save(out, "GIF", comment=comment)
    return out.getvalue()


def text_claiming_2gib():
    """96 bytes: a PNG whose text chunk before the image data claims the
    largest length a chunk may have."""
    header = struct.pack(">IIBBBBB", 1, 1, 8, 2, 0, 0, 0)
    start = b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) + struct.pack(">I", 0x7fffffff) + b"tEXt"
    return start + bytes(96 - len(start))


def gif_frames(frames, colour):  # 1 x 1, each frame its own image
    screen = b"GIF89a" + struct.pack("<HHBBB", 1, 1, 0x80, 0, 0) + bytes(colour) + b"\0\0\0"
    frame = b"!\xf9\x04\x00\x01\x00\x00\x00" + b"," + struct.pack("<HHHHB", 0, 0, 1, 1, 0) + b"\x02\x02\x44\x01\x00"
    return screen + frame * frames + b";"


def svg(body, side=11585):
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{side}" height="{side}">{body}</svg>').encode()


def rects(count):
    shapes = "".join(f'<rect x="{i % 1000}" y="{i // 1000 % 1000}" width="1" height="1"/>' for i in range(count))
    return svg(shapes, 1000)


def box(kind, payload):  # an ISO media box, a QuickTime atom or an Apple icon element
    return struct.pack(">I", len(payload) + 8) + kind + payload


def flat_avif(side, depth, turns=0, grey=0x80):
    """A flat AVIF, turned a quarter where asked: its decoder decodes the
    whole picture, the header tells the size."""
    flat = flat_png(side, grey)
    with tempfile.TemporaryDirectory() as scratch:
        source, made = os.path.join(scratch, "flat.png"), os.path.join(scratch, "turned.avif")
        with open(source, "wb") as out:
            out.write(flat)
        turn = ["--irot", str(turns)] if turns else []
        subprocess.run(["/usr/bin/avifenc", "--jobs", "1", "-s", "10", "--depth", str(depth)] + turn + [source, made],
                       check=True, capture_output=True)
        with open(made, "rb") as result:
            return result.read()


def quicktime_image(picture):
    return box(b"idsc", b"png " + bytes(82)) + box(b"idat", picture)


def apple_icon(picture):
    element = box(b"ic08", picture)
    return b"icns" + struct.pack(">I", len(element) + 8) + element


def depth_map_jpeg(segments):
    """A 400 x 300 photo after extended XMP segments, each near 64 KB, as a
    camera app stores a depth map."""
    photo = subprocess.run(["/usr/bin/convert", "-size", "400x300", "plasma:", "-quality", "90", "jpeg:-"],
                           check=True, capture_output=True).stdout
    pieces = b""
    for i in range(segments):
        payload = b"http://ns.adobe.com/xmp/extension/\0" + b"A" * 32 + struct.pack(">II", segments * 65000, i * 65000)
        payload += b" " * (65533 - len(payload))
        pieces += b"\xff\xe1" + struct.pack(">H", len(payload) + 2) + payload
    return photo[:2] + pieces + photo[2:]


def striped_tiff(path, width, rows):
    """8-bit grey, a strip per row, the strip offsets, byte counts and
    directory after the strips at the end, as GDAL writes it; the strips
    hold zeros (a sparse file)."""
    data_end = 8 + width * rows
    offsets = struct.pack(f"<{rows}I", *(8 + width * row for row in range(rows)))
    counts = struct.pack(f"<{rows}I", *([width] * rows))
    directory = data_end + len(offsets) + len(counts)
    entries = [(256, 4, 1, width), (257, 4, 1, rows), (258, 3, 1, 8), (259, 3, 1, 1), (262, 3, 1, 1),
               (273, 4, rows, data_end), (277, 3, 1, 1), (278, 3, 1, 1), (279, 4, rows, data_end + len(offsets))]
    ifd = struct.pack("<H", len(entries)) + b"".join(struct.pack("<HHII", *entry) for entry in entries) + b"\0" * 4
    with open(path, "wb") as out:
        out.write(b"II*\0" + struct.pack("<I", directory))
        out.seek(data_end)
        out.write(offsets + counts + ifd)


def make_inputs(folder):
    blur = '<filter id="f"><feGaussianBlur stdDeviation="300"/></filter><rect width="100%" height="100%" fill="{}" filter="url(#f)"/>'
    noise = '<filter id="f"><feTurbulence baseFrequency="{}" numOctaves="10"/></filter><rect width="100%" height="100%" filter="url(#f)"/>'
    inputs = {
        "scans-1000-a.jpg": lambda: scan_bomb(1000, 100, 20000),
        "scans-1000-b.jpg": lambda: scan_bomb(1000, 160, 20000),
        "scans-8000-a.jpg": lambda: scan_bomb(8000, 100, 20000),
        "scans-8000-b.jpg": lambda: scan_bomb(8000, 160, 20000),
        "blur-a.svg": lambda: svg(blur.format("red")),
        "blur-b.svg": lambda: svg(blur.format("blue")),
        "turbulence-a.svg": lambda: svg(noise.format("0.01")),
        "turbulence-b.svg": lambda: svg(noise.format("0.02")),
        "frames-a.gif": lambda: gif_frames(100000, (255, 0, 0)),
        "frames-b.gif": lambda: gif_frames(100000, (0, 0, 255)),
        "rects.svg": lambda: rects(2000000),
        "rects.svgz": lambda: zlib.compress(rects(2000000), 9, wbits=31),
        "huge-30000.png": lambda: flat_png(30000),
        "huge-65500.jpg": lambda: huge_jpeg_header(65500),
        "repeated.svgz": lambda: zlib.compress(svg('<rect width="1" height="1"/>' * 2000000, 1000), 9, wbits=31),
        "irot-8192-8bit.avif": lambda: flat_avif(8192, 8, 1),
        "irot-8192-12bit.avif": lambda: flat_avif(8192, 12, 1),
        "irot-8192-a.avif": lambda: flat_avif(8192, 8, 1, 0x60),
        "irot-8192-b.avif": lambda: flat_avif(8192, 8, 1, 0x61),
        "flat-11585-a.avif": lambda: flat_avif(11585, 8, 0, 0x60),
        "flat-11585-b.avif": lambda: flat_avif(11585, 8, 0, 0x61),
        "dots-a.gif": lambda: dots_gif(6000, b"a"),
        "dots-b.gif": lambda: dots_gif(6000, b"the same pixels"),
        "text-2gib.png": text_claiming_2gib,
        "huge-30000.qtif": lambda: quicktime_image(read(folder, "huge-30000.png")),
        "huge-30000.icns": lambda: apple_icon(read(folder, "huge-30000.png")),
        "xmp-64.jpg": lambda: depth_map_jpeg(64),
    }
    os.makedirs(folder, exist_ok=True)
    for name, make in inputs.items():
        path = os.path.join(folder, name)
        if not os.path.exists(path):
            with open(path + ".part", "wb") as out:
                out.write(make())
            os.rename(path + ".part", path)
    striped = os.path.join(folder, "strips-6000.tif")
    if not os.path.exists(striped):
        striped_tiff(striped + ".part", 10000, 6000)
        os.rename(striped + ".part", striped)


def read(folder, name):
    with open(os.path.join(folder, name), "rb") as made:
        return made.read()


def measure(command):
    """Wall seconds and peak resident MiB of one process, or None on a timeout."""
    start = time.monotonic()
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = start + TIMEOUT_SECONDS
    while True:
        pid, _, usage = os.wait4(child.pid, os.WNOHANG)
        if pid != 0:
            return time.monotonic() - start, usage.ru_maxrss / 1024
        if time.monotonic() > deadline:
            child.kill()
            os.wait4(child.pid, 0)
            return None
        time.sleep(0.01)


def main():
    if sys.argv[1:2] == ["--make"]:
        make_inputs(sys.argv[2])
        return
    if len(sys.argv) not in (4, 7):
        sys.exit(__doc__)
    folder, probe, plugin = sys.argv[1:4]
    # In a process of its own: a child starts as a copy of this process, and
    # its peak memory would count the inputs made here.
    subprocess.run([sys.executable, __file__, "--make", folder], check=True)
    runs = []
    for pair in ["scans-1000", "scans-8000", "blur", "turbulence", "frames", "dots", "flat-11585", "irot-8192"]:
        first, second = [os.path.join(folder, pair + suffix) for suffix in ("-a", "-b")]
        extension = {"scans": ".jpg", "frames": ".gif", "dots": ".gif", "flat": ".avif", "irot": ".avif"}.get(
            pair.split("-")[0], ".svg")
        runs.append((f"Linux compare, {pair} pair", [probe, plugin, "--compare", first + extension, second + extension]))
    header_side = ["irot-8192-8bit.avif", "irot-8192-12bit.avif", "huge-30000.qtif", "huge-30000.icns", "rects.svgz", "repeated.svgz",
                   "xmp-64.jpg", "strips-6000.tif", "text-2gib.png"]
    for name in ["rects.svg", "scans-8000-a.jpg", "huge-30000.png", "huge-65500.jpg"] + header_side:
        runs.append((f"Linux values, {name}", [probe, plugin, os.path.join(folder, name)]))
    if len(sys.argv) == 7:
        wine_run, windows_probe, windows_plugin = sys.argv[4:7]
        for name in ["scans-8000-a.jpg", "huge-30000.png", "huge-65500.jpg", "irot-8192-8bit.avif", "xmp-64.jpg",
                     "strips-6000.tif", "text-2gib.png"]:
            runs.append((f"wine64 values, {name}",
                         wine_run.split() + ["wine64", windows_probe, windows_plugin, os.path.join(folder, name)]))
    print("| call | seconds | peak MiB |\n|---|---:|---:|")
    idle = measure(["/bin/true"])
    print(f"| nothing (/bin/true) | {idle[0]:.2f} | {idle[1]:.0f} |")
    for what, command in runs:
        result = measure(command)
        if result is None:
            print(f"| {what} | over {TIMEOUT_SECONDS} | |")
        else:
            print(f"| {what} | {result[0]:.2f} | {result[1]:.0f} |")


main()
