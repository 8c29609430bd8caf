#!/usr/bin/python3
"""The camera metadata lands where readers look for it and leaves the
picture as it was."""
import io
import os
import shutil
import sys
import tempfile
import unittest

from PIL import ExifTags, Image

sys.dont_write_bytecode = True  # keep the source folder clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from camera_metadata import add_camera_metadata  # noqa: E402


class CameraMetadataTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp()
        self.path = os.path.join(self.folder, "shot.jpg")
        Image.linear_gradient("L").resize((320, 200)).convert("RGB").save(self.path, quality=90)
        with Image.open(self.path) as original:
            self.pixels = original.tobytes()
        add_camera_metadata(self.path)
        self.image = Image.open(self.path)

    def tearDown(self):
        self.image.close()
        shutil.rmtree(self.folder)

    def test_picture_is_unchanged(self):
        self.assertEqual(self.image.size, (320, 200))
        self.assertEqual(self.image.tobytes(), self.pixels)

    def test_about_64_kib_of_exif_and_xmp_come_first(self):
        with open(self.path, "rb") as jpeg:
            head = jpeg.read(4)
        self.assertEqual(head, b"\xff\xd8\xff\xe1")
        kinds = [payload.split(b"\0")[0] for marker, payload in self.image.applist]
        self.assertEqual(kinds, [b"Exif", b"http://ns.adobe.com/xap/1.0/"])
        app1_bytes = sum(len(payload) + 4 for marker, payload in self.image.applist)
        self.assertGreater(app1_bytes, 64 * 1024)
        self.assertLess(app1_bytes, 66 * 1024)

    def test_exif_reads_back_with_true_size_and_thumbnail(self):
        exif = self.image.getexif()
        self.assertEqual(exif[0x010F], "Bench Optics")
        self.assertEqual(exif.get_ifd(ExifTags.IFD.Exif)[0xA002], 320)
        self.assertEqual(exif.get_ifd(ExifTags.IFD.Exif)[0xA003], 200)
        thumb = exif.get_ifd(ExifTags.IFD.IFD1)
        tiff = self.image.info["exif"][6:]
        start, length = thumb[0x0201], thumb[0x0202]
        with Image.open(io.BytesIO(tiff[start:start + length])) as small:
            self.assertEqual(small.size, (160, 120))
        self.assertEqual(start + length, len(tiff))

    def test_same_picture_gets_same_bytes(self):
        copy = os.path.join(self.folder, "copy.jpg")
        Image.linear_gradient("L").resize((320, 200)).convert("RGB").save(copy, quality=90)
        add_camera_metadata(copy)
        with open(self.path, "rb") as first, open(copy, "rb") as second:
            self.assertEqual(first.read(), second.read())


if __name__ == "__main__":
    unittest.main()
