#!/usr/bin/python3
"""pillow_sizes.py FOLDER: files per second of Pillow's size query,
Image.open(f).size, per type of picture (a file's name up to its first '-'
or '.'), median of five rounds. Prints one line per type: TYPE FILES_PER_SECOND."""
import os
import re
import statistics
import sys
import time
from collections import defaultdict

from PIL import Image

ROUNDS = 5


def files_by_type(folder):
    types = defaultdict(list)
    for name in sorted(os.listdir(folder)):
        if not name.startswith("."):
            types[re.split(r"[-.]", name)[0]].append(os.path.join(folder, name))
    return types


def size(path):
    try:
        with Image.open(path) as image:
            return image.size
    except OSError:  # not a picture Pillow knows
        return None


def seconds_for(files):
    start = time.perf_counter()
    for path in files:
        size(path)
    return time.perf_counter() - start


def main(folder):
    types = files_by_type(folder)
    rounds = defaultdict(list)
    for _ in range(ROUNDS):
        for kind, files in types.items():
            rounds[kind].append(seconds_for(files))
    for kind, files in types.items():
        print(kind, round(len(files) / statistics.median(rounds[kind])))


if __name__ == "__main__":
    main(sys.argv[1])
