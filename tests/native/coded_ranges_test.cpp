// Where the header reader finds the coded picture of PNG and JPEG files,
// built chunk by chunk and segment by segment: the picture's own
// structures are listed, the metadata a re-tag rewrites is not, and a file
// with anything unaccounted for lists nothing.
#include "imaging/coded_picture.h"
#include "imaging/header_facts.h"
#include "tests/native/header_bytes.h"
#include "tests/native/jpeg_bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr std::size_t PngSignatureBytes = 8;
constexpr std::size_t ChunkFrameBytes = 12;  // length, type, CRC
constexpr std::size_t ChunkHeadBytes = 8;    // length and type

// Each range as "offset+size", then "joined" and "crc" where they apply.
std::vector<std::string> Ranges(const Bytes& bytes, Reach reach = Reach::CodedPicture) {
  MemoryFile file(bytes);
  std::vector<std::string> described;
  const HeaderFacts facts = ReadHeaderFacts(file, reach);
  for (const CodedRange& range : facts.coded.Ranges()) {
    described.push_back(std::to_string(range.offset) + "+" + std::to_string(range.size) +
                        (range.joinsPrevious ? " joined" : "") + (range.checksummed ? " crc" : ""));
  }
  return described;
}

// A PNG chunk without its CRC; a JPEG segment with its marker.
std::string WholeChunk(std::size_t offset, const Bytes& chunk) {
  return std::to_string(offset) + "+" + std::to_string(chunk.size() - 4);
}
std::string WholeSegment(std::size_t offset, const Bytes& segment) {
  return std::to_string(offset) + "+" + std::to_string(segment.size());
}

// A PNG of the chunks given in order after IHDR, then IEND.
Bytes PngOf(const Bytes& ihdr, const std::vector<Bytes>& chunks) {
  Writer png;
  png.Raw({0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'}).Append(ihdr);
  for (const Bytes& chunk : chunks) png.Append(chunk);
  return png.Append(Chunk("IEND", {})).bytes;
}

const Bytes Rgb = Ihdr(4, 4, 8, 2);
const std::string IhdrRange = "8+21";  // its length, type and 13 bytes
const Bytes TextChunk = Chunk("tEXt", Writer().Text("Comment").Raw({0}).Text("hello").bytes);
const Bytes TimeChunk = Chunk("tIME", Writer().Be16(2026).Raw({12, 9, 18, 0, 0}).bytes);

TEST(CodedRanges, PngHeaderPaletteTransparencyAndImageData) {
  const Bytes palette = Chunk("PLTE", Bytes(6, 9));
  const Bytes transparency = Chunk("tRNS", {0});
  const Bytes size = Chunk("pHYs", Writer().Be32(2835).Be32(2835).Raw({1}).bytes);
  const Bytes data = Chunk("IDAT", {1, 2, 3});
  const Bytes png = PngOf(Ihdr(2, 2, 8, 3), {TextChunk, palette, transparency, size, data, TimeChunk});
  const std::size_t paletteAt = PngSignatureBytes + 25 + TextChunk.size();
  const std::size_t transparencyAt = paletteAt + palette.size();
  const std::size_t dataAt = transparencyAt + transparency.size() + size.size() + ChunkHeadBytes;
  EXPECT_EQ(Ranges(png), (std::vector<std::string>{IhdrRange, WholeChunk(paletteAt, palette),
                                                   WholeChunk(transparencyAt, transparency),
                                                   std::to_string(dataAt) + "+3 crc"}));
}

// However an encoder splits the image data, it is one run; empty chunks too.
TEST(CodedRanges, PngImageDataChunksJoin) {
  const Bytes png = PngOf(Rgb, {Chunk("IDAT", {1, 2}), Chunk("IDAT", {}), Chunk("IDAT", {3})});
  const std::size_t first = PngSignatureBytes + 25 + ChunkHeadBytes;
  EXPECT_EQ(Ranges(png), (std::vector<std::string>{IhdrRange, std::to_string(first) + "+2 crc",
                                                   std::to_string(first + 2 + ChunkFrameBytes) + "+0 joined crc",
                                                   std::to_string(first + 2 + 2 * ChunkFrameBytes) + "+1 joined crc"}));
}

// Decoders may apply colour chunks even where they stand for sRGB, and
// the hints; only text, time, pixel size and EXIF are a re-tag's.
TEST(CodedRanges, PngColourAndHintChunksAreWholeMetadataIsNot) {
  const Bytes gamma = Chunk("gAMA", Writer().Be32(45455).bytes);
  const Bytes bits = Chunk("sBIT", {5, 6, 5});
  const Bytes background = Chunk("bKGD", Writer().Be16(0).Be16(0).Be16(0).bytes);
  const Bytes exif = Chunk("eXIf", Writer().Text("II").Le16(42).Le32(8).Le16(0).Le32(0).bytes);
  const Bytes words = Chunk("iTXt", Writer().Text("k").Raw({0, 0, 0, 0, 0}).bytes);
  const Bytes png = PngOf(Rgb, {gamma, exif, bits, words, background, Chunk("IDAT", {1})});
  const std::size_t gammaAt = PngSignatureBytes + 25;
  const std::size_t bitsAt = gammaAt + gamma.size() + exif.size();
  const std::size_t backgroundAt = bitsAt + bits.size() + words.size();
  const std::size_t dataAt = backgroundAt + background.size() + ChunkHeadBytes;
  EXPECT_EQ(Ranges(png), (std::vector<std::string>{IhdrRange, WholeChunk(gammaAt, gamma), WholeChunk(bitsAt, bits),
                                                   WholeChunk(backgroundAt, background),
                                                   std::to_string(dataAt) + "+1 crc"}));
}

TEST(CodedRanges, PngWithAnythingUnaccountedForListsNothing) {
  const Bytes plain = PngOf(Rgb, {Chunk("IDAT", {1})});
  EXPECT_FALSE(Ranges(plain).empty());
  EXPECT_TRUE(Ranges(plain, Reach::Sizes).empty());
  EXPECT_TRUE(Ranges(PngOf(Rgb, {Chunk("cICP", {9, 16, 0, 1}), Chunk("IDAT", {1})})).empty());
  EXPECT_TRUE(Ranges(PngOf(Rgb, {Chunk("acTL", Bytes(8, 0)), Chunk("IDAT", {1})})).empty());
  EXPECT_TRUE(Ranges(PngOf(Ihdr(4, 4, 16, 2), {Chunk("IDAT", {1})})).empty());  // samples the decode narrows
  Bytes trailing = plain;
  trailing.push_back(0);
  EXPECT_TRUE(Ranges(trailing).empty());
}

// The count is bounded: the header and 65535 image data chunks fit, one
// more chunk does not.
TEST(CodedRanges, PngImageDataInMoreChunksThanTheLimitListsNothing) {
  std::vector<Bytes> chunks(CodedPicture::MaxRanges - 1, Chunk("IDAT", {}));
  EXPECT_EQ(Ranges(PngOf(Rgb, chunks)).size(), CodedPicture::MaxRanges);
  chunks.push_back(Chunk("IDAT", {}));
  EXPECT_TRUE(Ranges(PngOf(Rgb, chunks)).empty());
}

// SOI, then the segments given, the tables, the frame, and the scan with
// its data and EOI as one stretch.
struct JpegLayout {
  std::size_t tablesAt = 2;
  std::vector<std::string> DecoderSegments() const {
    const std::size_t frameAt = tablesAt + Tables.size();
    const std::size_t scanAt = frameAt + Frame(1).size();
    return {WholeSegment(tablesAt, QuantTable), WholeSegment(tablesAt + QuantTable.size(), HuffmanTable(0x00)),
            WholeSegment(tablesAt + QuantTable.size() + HuffmanTable(0x00).size(), HuffmanTable(0x10)),
            WholeSegment(frameAt, Frame(1)), std::to_string(scanAt) + "+" + std::to_string(Scan({1}).size() + 3)};
  }
};

std::size_t SizeOf(const std::vector<Bytes>& segments) {
  std::size_t size = 0;
  for (const Bytes& segment : segments) size += segment.size();
  return size;
}

TEST(CodedRanges, JpegDecoderSegmentsAndScanWithoutMetadata) {
  const Bytes exif = Exif(ExifBlock({{0x112, 6}}));
  const Bytes comment = Segment(0xfe, Writer().Text("a comment").bytes);
  const Bytes xmp = Named(0xe1, "http://ns.adobe.com/xap/1.0/", Writer().Text("<x:xmpmeta/>").bytes);
  const std::vector<Bytes> metadata = {exif, comment, xmp};
  EXPECT_EQ(Ranges(Jpeg(metadata)), (JpegLayout{2 + SizeOf(metadata)}.DecoderSegments()));
  EXPECT_EQ(Ranges(Jpeg({})), JpegLayout{}.DecoderSegments());
}

// A JFIF header and an Adobe segment steer the colour conversion: the JFIF
// name and version, and the Adobe segment whole, are listed; the JFIF
// density and thumbnail are not.
TEST(CodedRanges, JpegJfifAndAdobeSteerTheDecoder) {
  const Bytes jfif = Named(0xe0, "JFIF", {1, 2, 0, 0, 1, 0, 1, 0, 0});
  const Bytes adobe = Segment(0xee, Writer().Text("Adobe").Be16(100).Zeros(4).Raw({1}).bytes);
  std::vector<std::string> expected = {"6+7", WholeSegment(2 + jfif.size(), adobe)};
  const std::vector<std::string> rest = JpegLayout{2 + jfif.size() + adobe.size()}.DecoderSegments();
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(Ranges(Jpeg({jfif, adobe})), expected);
}

// Fill bytes before a marker are nothing to the decoder; a restart interval is its.
TEST(CodedRanges, JpegFillBytesAreLeftOutARestartIntervalIsListed) {
  const Bytes fill = {0xff, 0xff};
  const Bytes interval = Segment(0xdd, Writer().Be16(1).bytes);
  std::vector<std::string> expected = {WholeSegment(2 + fill.size(), interval)};
  const std::vector<std::string> rest = JpegLayout{2 + fill.size() + interval.size()}.DecoderSegments();
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(Ranges(Jpeg({fill, interval})), expected);
}

// A comment after scan data ends the stretch: the decoder takes it for the
// end of the entropy-coded data, so what follows is a stretch of its own.
TEST(CodedRanges, JpegCommentBetweenScanDataAndEndSplitsTheStretch) {
  Bytes split = Jpeg({});
  const Bytes comment = Segment(0xfe, {'c'});
  split.insert(split.end() - 2, comment.begin(), comment.end());
  std::vector<std::string> expected = JpegLayout{}.DecoderSegments();
  const std::size_t scanAt = split.size() - 2 - comment.size() - 1 - Scan({1}).size();
  expected.back() = std::to_string(scanAt) + "+" + std::to_string(Scan({1}).size() + 1);
  expected.push_back(std::to_string(split.size() - 2) + "+2");
  EXPECT_EQ(Ranges(split), expected);
}

// Whether the scan holds every block matters to a decode's pixels only:
// the same coded bytes decode alike, whole or not.
TEST(CodedRanges, JpegScanBlocksAreWalkedForDecodedPixelsOnly) {
  Bytes cut = Jpeg({}, 3);
  cut[cut.size() - 3] = 0x0f;  // two blocks, then 1 bits
  MemoryFile file(cut);
  EXPECT_EQ(ReadHeaderFacts(file, Reach::Comparison).bytesReason, BytesReason::ImageDataCutShort);
  EXPECT_EQ(Ranges(cut).size(), 5u);  // DQT, two DHT, the frame, the scan
  EXPECT_TRUE(Ranges(cut, Reach::Comparison).empty());
  EXPECT_EQ(Ranges(Jpeg({}, 3), Reach::Comparison), Ranges(Jpeg({}, 3)));
}

TEST(CodedRanges, JpegWithAnythingUnaccountedForListsNothing) {
  EXPECT_TRUE(Ranges(Jpeg({}), Reach::Sizes).empty());
  Bytes trailing = Jpeg({});
  trailing.push_back(0);
  EXPECT_TRUE(Ranges(trailing).empty());
  EXPECT_TRUE(Ranges(Jpeg({}, 4)).empty());  // CMYK inks
  EXPECT_TRUE(Ranges(Jpeg({Segment(0xe3, {1, 2, 3})})).empty());
  EXPECT_TRUE(Ranges(Jpeg({Named(0xe2, "MPF")})).empty());
  // A comment whose bytes at offset 8 are another type's signature: the
  // sniffing gives the file to another decoder.
  EXPECT_TRUE(Ranges(Jpeg({Segment(0xfe, Writer().Text("ab\x13z+").bytes)})).empty());
}

}  // namespace
