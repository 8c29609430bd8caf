// Re-tagged copies of real pictures: the same coded picture with other
// metadata is equal, with another orientation or colour description it is
// not; and a re-tagged picture too large to decode is equal all the same,
// which only the coded picture can prove.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/e2e/plugin_fixture.h"
#include "tests/e2e/png_chunks.h"

namespace {

std::string Be16(std::size_t value) { return {static_cast<char>(value >> 8 & 255), static_cast<char>(value & 255)}; }

std::string Segment(int marker, const std::string& payload) {
  return std::string{'\xff', static_cast<char>(marker)} + Be16(payload.size() + 2) + payload;
}

std::string JpegExif(int orientation) {
  return Segment(0xe1, std::string("Exif\0\0II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0", 24) +
                           static_cast<char>(orientation) + std::string(7, '\0'));
}

constexpr std::size_t PngHeaderBytes = 33;  // signature and IHDR

// A PNG's chunks after IHDR: the image data joined, the rest as they are.
struct PngParts {
  std::string before;  // the chunks before the image data
  std::string data;
  std::string after;   // from the chunk after the image data to the end
};

PngParts SplitPng(const std::string& png) {
  PngParts parts;
  std::size_t at = PngHeaderBytes;
  while (at + 8 <= png.size()) {
    const std::size_t length = static_cast<std::uint8_t>(png[at]) << 24 | static_cast<std::uint8_t>(png[at + 1]) << 16 |
                               static_cast<std::uint8_t>(png[at + 2]) << 8 | static_cast<std::uint8_t>(png[at + 3]);
    const std::string type = png.substr(at + 4, 4);
    if (type == "IDAT") {
      parts.data += png.substr(at + 8, length);
    } else if (parts.data.empty()) {
      parts.before += png.substr(at, 12 + length);
    } else {
      parts.after = png.substr(at);
      break;
    }
    at += 12 + length;
  }
  return parts;
}

// The image data in chunks of at most piece bytes.
std::string ImageDataChunks(const std::string& data, std::size_t piece) {
  std::string chunks;
  for (std::size_t at = 0; at < data.size(); at += piece) chunks += Chunk("IDAT", data.substr(at, piece));
  return chunks;
}

class CodedPicture : public CraftedFiles {
 protected:
  int CompareFiles(const std::string& first, const std::string& second) const {
    return Exports().CompareFiles(nullptr, 10000, first.c_str(), second.c_str(), nullptr);
  }
  std::string Jpeg(const std::string& name, const std::string& segments) const {
    const std::string photo = ReadFixture("photo.jpg");
    return Write(name, photo.substr(0, 2) + segments + photo.substr(2));
  }
  std::string Png(const std::string& name, const std::string& chunks, std::size_t piece,
                  const std::string& later = "") const {
    const std::string photo = ReadFixture("photo.png");
    const PngParts parts = SplitPng(photo);
    return Write(name, photo.substr(0, PngHeaderBytes) + chunks + parts.before + ImageDataChunks(parts.data, piece) +
                           later + parts.after);
  }
};

TEST_F(CodedPicture, ReTaggedJpegsAreEqualUnlessShownOtherwise) {
  const std::string commented = Jpeg("commented.jpg", Segment(0xfe, "catalogued"));
  const std::string tagged = Jpeg("tagged.jpg", JpegExif(1) + Segment(0xfe, "another comment"));
  EXPECT_EQ(CompareFiles(commented, tagged), Equal);
  EXPECT_EQ(CompareFiles(tagged, Fixture("photo.jpg")), Equal);
  EXPECT_EQ(CompareFiles(commented, Jpeg("turned.jpg", JpegExif(6))), Different);
  const std::string profile = Segment(0xe2, std::string("ICC_PROFILE\0\x01\x02", 14) + "one") +
                              Segment(0xe2, std::string("ICC_PROFILE\0\x02\x02", 14) + "two");
  EXPECT_EQ(CompareFiles(commented, Jpeg("profiled.jpg", profile)), Different);
}

TEST_F(CodedPicture, ReTaggedPngsWithImageDataSplitOtherwiseAreEqual) {
  const std::string text = Chunk("tEXt", std::string("Comment\0catalogued", 18));
  const std::string retagged = Png("retagged.png", text, 1000, Chunk("tIME", std::string("\x07\xea\x0c\x09\x12\0\0", 7)));
  EXPECT_EQ(CompareFiles(retagged, Fixture("photo.png")), Equal);
  EXPECT_EQ(CompareFiles(retagged, Png("split.png", "", 333)), Equal);
  const std::string turned = Png("turned.png", Chunk("eXIf", std::string("II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0", 18) +
                                                                "\x06" + std::string(7, '\0')), 1000);
  EXPECT_EQ(CompareFiles(retagged, turned), Different);
  const std::string linear = Png("linear.png", Chunk("gAMA", Be32(100000)), 1000);
  EXPECT_EQ(CompareFiles(retagged, linear), Different);
}

// Image data whose CRC does not hold is the decoder's to judge (gdk-pixbuf
// rejects it, Wine's GDI+ does not): against the intact PNG it gets the
// verdict it gets against the BMP of the same pixels.
TEST_F(CodedPicture, APngWithABrokenImageDataCrcIsLeftToTheDecoder) {
  std::string broken = ReadFixture("photo.png");
  const std::size_t end = broken.size() - 12;  // IEND follows the image data
  broken[end - 1] = static_cast<char>(broken[end - 1] ^ 1);
  const std::string path = Write("broken.png", broken);
  EXPECT_EQ(CompareFiles(path, Fixture("photo.png")), CompareFiles(path, Fixture("photo.bmp")));
}

// A grey 16384 x 16384 baseline JPEG of flat blocks, each coded in two
// bits, with the segments given after SOI: its pixels are beyond what a
// compare may decode.
std::string HugeJpeg(const std::string& segments) {
  constexpr std::size_t Side = 16384;
  constexpr std::size_t Blocks = (Side / 8) * (Side / 8);
  const std::string table = std::string("\0\x01", 2) + std::string(15, '\0') + std::string(1, '\0');
  return std::string("\xff\xd8", 2) + segments + Segment(0xdb, std::string(1, '\0') + std::string(64, '\x01')) + Segment(0xc4, table) +
         Segment(0xc4, '\x10' + table.substr(1)) +
         Segment(0xc0, std::string("\x08", 1) + Be16(Side) + Be16(Side) + std::string("\x01\x01\x11\x00", 4)) +
         Segment(0xda, std::string("\x01\x01\x00\x00\x3f\x00", 6)) + std::string(Blocks * 2 / 8, '\0') +
         std::string("\xff\xd9", 2);
}

TEST_F(CodedPicture, AReTaggedPictureTooLargeToDecodeIsEqual) {
  const std::string first = Write("huge.jpg", HugeJpeg(Segment(0xfe, "first")));
  const std::string second = Write("huge-retagged.jpg", HugeJpeg(JpegExif(1) + Segment(0xfe, "second, longer")));
  EXPECT_EQ(CompareFiles(first, second), Equal);
  const std::string turned = Write("huge-turned.jpg", HugeJpeg(JpegExif(6)));
  EXPECT_EQ(CompareFiles(first, turned), Different);
}

}  // namespace
