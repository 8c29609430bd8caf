#!/usr/bin/env python3
"""camera_crosscheck.py WDXPROBE PLUGIN WRITER FIXTURES WORKDIR

Checks the sizes the Linux plugin shows for camera raw and JPEG XL files
against the reference tools: exiftool, LibRaw's raw-identify and libjxl's
jxlinfo. The files: the crafted raw and JPEG XL files WRITER makes, JPEG
XL files cjxl makes from FIXTURES, and libjxl-testdata's files.

Each kind of file has the rule pixdim follows (see
imaging/header_facts_raw.cpp); the rule's size is worked out from the
fields the tools read (exiftool's DefaultCropSize, ExifImageWidth, ...;
jxlinfo's size). The plugin must show that size. Where the plugin differs
from exiftool's ImageSize or raw-identify's output size, the difference
must be one the rule names, with the reference's value equal to the field
that rule says it shows. Prints a table; exits 1 on any unexplained
mismatch, 2 when a tool is missing.
"""
import glob
import json
import os
import re
import shutil
import subprocess
import sys

TOOL_SECONDS = 30
TESTDATA = "/usr/share/libjxl-testdata"
RAW_KINDS = {"DNG", "NEF", "ARW", "PEF", "CR2", "CR3", "ORF", "RW2", "RAF"}
# exiftool's FileType for each kind where it differs from the extension.
FILE_TYPES = {"RAW": "RW2", "JXL Codestream": "JXL"}


def run(command):
    try:
        done = subprocess.run(command, capture_output=True, text=True, timeout=TOOL_SECONDS)
    except subprocess.TimeoutExpired:
        return ""
    return done.stdout


def size_of(text):
    """(width, height) from "W H", "WxH" or "W x H"; None otherwise."""
    match = re.fullmatch(r"\s*(\d+)\s*(?:x|\s)\s*(\d+)\s*", str(text)) if text is not None else None
    return (int(match.group(1)), int(match.group(2))) if match else None


def shown(size):
    return f"{size[0]} x {size[1]}" if size else "-"


def plugin_sizes(wdxprobe, plugin, files):
    out = run([wdxprobe, plugin] + files)
    sizes = {}
    for line in out.splitlines():
        for path in files:
            if line.startswith(path + " ") or line.startswith(path + "\t"):
                match = re.search(r"(\d+) x (\d+)\s*$", line)
                sizes[path] = (int(match.group(1)), int(match.group(2))) if match else None
    return sizes


def exiftool_tags(files):
    tags = ["FileType", "ImageSize", "ImageWidth", "ImageHeight", "DefaultCropSize", "DefaultScale",
            "ActiveArea", "ExifImageWidth", "ExifImageHeight", "RawImageCroppedSize", "RawImageSize"]
    out = run(["exiftool", "-j", "-n", "-a", "-G1"] + ["-" + tag for tag in tags] + files)
    found = {}
    for entry in json.loads(out or "[]"):
        # Tag name -> values of every group, in exiftool's order.
        values = {}
        for key, value in entry.items():
            values.setdefault(key.split(":")[-1], []).append(value)
        found[entry["SourceFile"]] = values
    return found


def first(values, tag):
    return values.get(tag, [None])[0]


def raw_identify(path):
    out = run(["raw-identify", "-v", path])
    sizes = {}
    for name in ("Full size", "Image size", "Output size"):
        match = re.search(name + r":\s+(\d+) x (\d+)", out)
        sizes[name] = (int(match.group(1)), int(match.group(2))) if match else None
    return sizes


def jxlinfo(path):
    match = re.search(r"JPEG XL (?:image|animation), (\d+)x(\d+)", run(["jxlinfo", path]))
    return (int(match.group(1)), int(match.group(2))) if match else None


def stored_raw_size(tags):
    """The size of the full-resolution raw directory, as exiftool gives priority to it."""
    return size_of(first(tags, "ImageSize"))


def dng_rule(tags):
    crop = size_of(first(tags, "DefaultCropSize"))
    area = first(tags, "ActiveArea")
    scale = first(tags, "DefaultScale")
    if crop:
        size = crop
    elif area:
        top, left, bottom, right = (int(v) for v in str(area).split())
        size = (right - left, bottom - top)
    else:
        size = stored_raw_size(tags)
    if size and scale:
        sx, sy = (float(v) for v in str(scale).split())
        size = (round(size[0] * sx), round(size[1] * sy))
    return size


def rule_for(kind, tags, jxl):
    """The rule's name and the size it gives, from the references' fields."""
    if kind == "DNG":
        return "DefaultCropSize x DefaultScale, else ActiveArea", dng_rule(tags)
    if kind in ("NEF", "ARW", "PEF"):
        crop = size_of(first(tags, "DefaultCropSize"))
        return ("DefaultCropSize", crop) if crop else ("stored raw size", stored_raw_size(tags))
    if kind in ("CR2", "CR3"):
        width, height = first(tags, "ExifImageWidth"), first(tags, "ExifImageHeight")
        return "EXIF image size", (int(width), int(height)) if width and height else None
    if kind == "ORF":
        return "stored raw size", stored_raw_size(tags)
    if kind == "RW2":
        return "sensor borders", size_of(first(tags, "ImageSize"))
    if kind == "RAF":
        cropped = size_of(first(tags, "RawImageCroppedSize"))
        return ("RawImageCroppedSize", cropped) if cropped else ("RawImageSize", size_of(first(tags, "RawImageSize")))
    return "SizeHeader (stored size)", jxl or size_of(first(tags, "ImageSize"))


def explain(kind, tags, reference, value, raw_sizes):
    """Why a reference shows value where pixdim follows its rule; None when no rule says so."""
    if reference == "exiftool" and kind in ("DNG", "NEF", "ARW", "PEF") and value == stored_raw_size(tags):
        return "exiftool shows the stored raw size, margins included"
    if reference == "exiftool" and kind == "RAF" and value is None:
        return "exiftool composes no ImageSize from a preview without an image"
    if reference == "exiftool" and kind == "CR3" and value is None:
        return "exiftool composes no ImageSize for CR3"
    if reference == "exiftool" and kind == "JXL" and value is None:
        return "exiftool does not read this container"
    if reference == "raw-identify" and kind == "DNG":
        area = first(tags, "ActiveArea")
        stored = stored_raw_size(tags)
        if area:
            top, left, bottom, right = (int(v) for v in str(area).split())
            stored = (right - left, bottom - top)
        scale = first(tags, "DefaultScale")
        if scale and stored:
            sx, sy = (float(v) for v in str(scale).split())
            stored = (round(stored[0] * sx), round(stored[1] * sy))
        if value == stored:
            return "LibRaw develops the active area, not the default crop"
    if reference == "raw-identify" and kind == "ARW" and value == raw_sizes.get("Image size"):
        return "LibRaw does not apply the default crop"
    if reference == "raw-identify" and kind == "RAF" and value == size_of(first(tags, "RawImageSize")):
        return "LibRaw shows RawImageSize, margins included"
    if reference == "raw-identify" and value is None:
        return "LibRaw does not take this crafted file (no sensor data it can decode)"
    return None


def make_jxl_files(fixtures, folder):
    """JPEG XL files cjxl makes: lossless and lossy, in a container, from a
    JPEG with an EXIF orientation, and an animation."""
    made = []
    for name, source, options in (
        ("cjxl-lossless.jxl", "photo.png", ["-d", "0"]),
        ("cjxl-container.jxl", "photo.png", ["--container=1"]),
        ("cjxl-orient-6.jxl", "orient-6.jpg", []),
        ("cjxl-anim.jxl", "frames-a.gif", ["-d", "0"]),
    ):
        target = os.path.join(folder, name)
        subprocess.run(["cjxl", os.path.join(fixtures, source), target] + options, capture_output=True,
                       timeout=TOOL_SECONDS)
        if os.path.exists(target):
            made.append(target)
    return made


def main(argv):
    if len(argv) != 6:
        print(__doc__, file=sys.stderr)
        return 2
    wdxprobe, plugin, writer, fixtures, folder = argv[1:]
    for tool in ("exiftool", "raw-identify", "jxlinfo", "cjxl"):
        if shutil.which(tool) is None:
            print(f"camera_crosscheck: {tool} is missing (scripts/setup-machine.sh installs it)", file=sys.stderr)
            return 2
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    subprocess.run([writer, folder], check=True, timeout=TOOL_SECONDS)
    files = sorted(glob.glob(os.path.join(folder, "*")))
    files += make_jxl_files(fixtures, folder)
    files += sorted(glob.glob(os.path.join(TESTDATA, "**", "*.jxl"), recursive=True))

    pixdim = plugin_sizes(wdxprobe, plugin, files)
    exif = exiftool_tags(files)
    rows = []
    unexplained = 0
    for path in files:
        tags = exif.get(path, {})
        file_type = first(tags, "FileType") or ""
        kind = FILE_TYPES.get(file_type, file_type)
        if kind not in RAW_KINDS:
            kind = "JXL"
        raw_sizes = raw_identify(path) if kind in RAW_KINDS else {}
        jxl = jxlinfo(path) if kind == "JXL" else None
        rule, expected = rule_for(kind, tags, jxl)
        ours = pixdim.get(path)
        notes = []
        if expected is None or ours != expected:
            notes.append(f"MISMATCH: pixdim {shown(ours)}, the rule gives {shown(expected)}")
            unexplained += 1
        references = [("exiftool", size_of(first(tags, "ImageSize")))]
        if kind in RAW_KINDS:
            references.append(("raw-identify", raw_sizes.get("Output size")))
        else:
            references.append(("jxlinfo", jxl))
        for reference, value in references:
            if value == ours:
                continue
            why = explain(kind, tags, reference, value, raw_sizes)
            if why is None:
                notes.append(f"MISMATCH: {reference} {shown(value)}, not explained")
                unexplained += 1
            else:
                notes.append(why)
        rows.append((os.path.relpath(path, folder) if path.startswith(folder) else path.replace(TESTDATA + "/", ""),
                     kind, shown(ours), rule, shown(expected), shown(references[0][1]), shown(references[1][1]),
                     "; ".join(notes) or "all agree"))

    header = ("file", "kind", "pixdim", "rule", "rule's size", "exiftool ImageSize", "raw-identify / jxlinfo", "notes")
    print("| " + " | ".join(header) + " |")
    print("|" + "---|" * len(header))
    for row in rows:
        print("| " + " | ".join(row) + " |")
    print(f"\n{len(rows)} files, {unexplained} unexplained mismatches")
    return 1 if unexplained else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
