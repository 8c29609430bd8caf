// Header facts on crafted files: a valid header of each format, then the
// variations the decoder treats differently, and the reading bounds.
#include "imaging/header_facts.h"
#include "imaging/header_facts_presentation.h"
#include "imaging/header_reader.h"
#include "tests/native/header_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

// Facts as a comparison asks for them: image data is read too.
HeaderFacts CompareFacts(const Bytes& bytes) {
  MemoryFile file(bytes);
  return ReadHeaderFacts(file, Reach::Comparison);
}

int ReadsFor(const Bytes& bytes) {
  MemoryFile file(bytes);
  ReadHeaderFacts(file);
  return file.reads;
}

void Expect(const HeaderFacts& facts, std::uint32_t width, std::uint32_t height) {
  EXPECT_EQ(facts.width, width);
  EXPECT_EQ(facts.height, height);
}

// ---- PNG

TEST(HeaderFactsPng, PlainImageIsSettledInOneRead) {
  const Bytes png = Png(Ihdr(640, 480, 8, 2));
  const HeaderFacts facts = Facts(png);
  EXPECT_EQ(facts.format, ImageFormat::Png);
  Expect(facts, 640, 480);
  EXPECT_EQ(facts.largestImagePixels, 640u * 480u);
  EXPECT_EQ(facts.moreThanOneImage, Answer::No);
  EXPECT_EQ(facts.deeperThan8Bits, Answer::No);
  EXPECT_TRUE(facts.rowsInOrder);
  EXPECT_EQ(ReadsFor(png), 1);
}

TEST(HeaderFactsPng, DepthInterlaceAndAnimation) {
  EXPECT_EQ(Facts(Png(Ihdr(4, 4, 16, 6))).deeperThan8Bits, Answer::NotRuledOut);
  EXPECT_FALSE(Facts(Png(Ihdr(4, 4, 8, 2, 1))).rowsInOrder);
  const Bytes animationControl = Chunk("acTL", Writer().Be32(2).Be32(0).bytes);
  const HeaderFacts animated = Facts(Png(Ihdr(4, 4, 8, 2), {animationControl}));
  EXPECT_EQ(animated.moreThanOneImage, Answer::NotRuledOut);
  Expect(animated, 4, 4);  // the decoder shows the default image
  // After the first IDAT the chunk is no animation the decoder would skip.
  Bytes late = Png(Ihdr(4, 4, 8, 2));
  late.insert(late.end() - 12, animationControl.begin(), animationControl.end());
  EXPECT_EQ(Facts(late).moreThanOneImage, Answer::No);
}

TEST(HeaderFactsPng, HeadersTheDecoderRejectsAreNotSettled) {
  Bytes damaged = Png(Ihdr(4, 4, 8, 2));
  damaged[20] ^= 1;  // the CRC no longer matches
  const HeaderFacts facts = Facts(damaged);
  Expect(facts, 0, 0);
  EXPECT_EQ(facts.moreThanOneImage, Answer::NotRuledOut);
  EXPECT_EQ(facts.deeperThan8Bits, Answer::NotRuledOut);
  Expect(Facts(Png(Ihdr(4, 4, 16, 3))), 0, 0);  // no 16-bit palettes
  Expect(Facts(Png(Ihdr(4, 4, 8, 3))), 0, 0);   // a palette image without PLTE
  Expect(Facts(Png(Ihdr(4, 4, 8, 3), {Chunk("PLTE", Bytes(6, 0))})), 4, 4);
  Expect(Facts(Png(Ihdr(4, 4, 8, 3), {Chunk("PLTE", Bytes(5, 0))})), 0, 0);
  Expect(Facts(Png(Ihdr(4, 4, 8, 2), {Chunk("QUUX", {})})), 0, 0);  // an unknown critical chunk
  Expect(Facts(Png(Ihdr(4, 4, 8, 2), {Chunk("quUX", {1})})), 4, 4);  // ancillary chunks are skipped
  const HeaderFacts wide = Facts(Png(Ihdr(1000001, 1, 8, 2)));  // past libpng's default limit
  Expect(wide, 0, 0);
  EXPECT_EQ(wide.largestImagePixels, 1000001u);
}

TEST(HeaderFactsPng, UnreachedImageDataLeavesItOpen) {
  Bytes cut = Png(Ihdr(4, 4, 8, 2));
  cut.resize(33);  // signature and IHDR only
  const HeaderFacts facts = Facts(cut);
  Expect(facts, 0, 0);
  EXPECT_EQ(facts.moreThanOneImage, Answer::NotRuledOut);
}

// ---- JPEG

Bytes Segment(int marker, const Bytes& payload) {
  return Writer().Raw({0xff, marker}).Be16(static_cast<std::uint32_t>(payload.size() + 2)).Append(payload).bytes;
}

// Components 1, 2, ... sampled as listed, else 1 x 1.
Bytes Frame(int marker, int precision, std::uint32_t width, std::uint32_t height, int components,
            const std::vector<int>& sampling = {}) {
  Writer frame;
  frame.Raw({precision}).Be16(height).Be16(width).Raw({components});
  for (std::size_t i = 1; i <= static_cast<std::size_t>(components); ++i) {
    frame.Raw({static_cast<int>(i), i <= sampling.size() ? sampling[i - 1] : 0x11, 0});
  }
  return Segment(marker, frame.bytes);
}

Bytes Scan(int components, int start = 0, int end = 63) {
  Writer scan;
  scan.Raw({components});
  for (int i = 1; i <= components; ++i) scan.Raw({i, 0x00});
  return Segment(0xda, scan.Raw({start, end, 0}).bytes);
}

const Bytes QuantTable = Segment(0xdb, Writer().Raw({0}).Zeros(64).bytes);
Bytes HuffmanTable(int classAndId) { return Segment(0xc4, Writer().Raw({classAndId, 1}).Zeros(15).Raw({0}).bytes); }

Bytes Jpeg(const std::vector<Bytes>& segments) {
  Writer jpeg;
  jpeg.Raw({0xff, 0xd8});
  for (const Bytes& segment : segments) jpeg.Append(segment);
  return jpeg.Raw({0x12, 0x34, 0xff, 0xd9}).bytes;
}

TEST(HeaderFactsJpeg, BaselineAfterALargeExifSegment) {
  const Bytes exif = Segment(0xe1, Writer().Text("Exif").Zeros(65533 - 4).bytes);
  const Bytes jpeg = Jpeg({exif, QuantTable, Frame(0xc0, 8, 1920, 1080, 3, {0x22}), Scan(3)});
  const HeaderFacts facts = Facts(jpeg);
  EXPECT_EQ(facts.format, ImageFormat::Jpeg);
  Expect(facts, 1920, 1080);
  EXPECT_EQ(facts.deeperThan8Bits, Answer::No);
  EXPECT_EQ(facts.moreThanOneImage, Answer::NotRuledOut);  // not proven without the scan data
  EXPECT_EQ(CompareFacts(jpeg).moreThanOneImage, Answer::No);
  EXPECT_TRUE(facts.rowsInOrder);
  EXPECT_LE(ReadsFor(jpeg), 2);  // the segment is skipped, not read
}

TEST(HeaderFactsJpeg, ProgressivePrecisionAndPictureSets) {
  const HeaderFacts progressive =
      Facts(Jpeg({QuantTable, HuffmanTable(0x00), Frame(0xc2, 8, 8, 8, 3), Scan(3, 0, 0)}));
  Expect(progressive, 8, 8);
  EXPECT_FALSE(progressive.rowsInOrder);
  const HeaderFacts twelveBit = Facts(Jpeg({QuantTable, Frame(0xc1, 12, 8, 8, 1), Scan(1)}));
  EXPECT_EQ(twelveBit.deeperThan8Bits, Answer::NotRuledOut);
  Expect(twelveBit, 0, 0);  // the decoder reads 8-bit samples only
  const Bytes pictureSet = Segment(0xe2, Writer().Text("MPF").Raw({0}).Zeros(8).bytes);
  EXPECT_EQ(CompareFacts(Jpeg({pictureSet, QuantTable, Frame(0xc0, 8, 8, 8, 3), Scan(3)})).moreThanOneImage, Answer::NotRuledOut);
  Bytes motionPhoto = Jpeg({QuantTable, Frame(0xc0, 8, 8, 8, 3), Scan(3)});
  motionPhoto.insert(motionPhoto.end(), {0, 0, 0, 0x18, 'f', 't', 'y', 'p'});  // a video after the image
  EXPECT_EQ(CompareFacts(motionPhoto).moreThanOneImage, Answer::NotRuledOut);
  const Bytes profile = Segment(0xe2, Writer().Text("ICC_PROFILE").Raw({0}).bytes);
  EXPECT_EQ(CompareFacts(Jpeg({profile, QuantTable, Frame(0xc0, 8, 8, 8, 3), Scan(3)})).moreThanOneImage, Answer::No);
}

TEST(HeaderFactsJpeg, FramesAndScansTheDecoderRejects) {
  const auto size = [](const std::vector<Bytes>& segments) {
    const HeaderFacts facts = Facts(Jpeg(segments));
    return std::to_string(facts.width) + "x" + std::to_string(facts.height);
  };
  EXPECT_EQ(size({QuantTable, Frame(0xc0, 8, 8, 0, 3), Scan(3)}), "0x0");       // height left to a DNL
  EXPECT_EQ(size({QuantTable, Frame(0xc0, 8, 8, 8, 2), Scan(2)}), "0x0");       // two components
  EXPECT_EQ(size({QuantTable, Frame(0xc3, 8, 8, 8, 1), Scan(1)}), "0x0");       // lossless
  EXPECT_EQ(size({QuantTable, Frame(0xc0, 8, 65501, 8, 1), Scan(1)}), "0x0");   // too wide
  EXPECT_EQ(size({QuantTable, Frame(0xc0, 8, 8, 8, 3, {0x44}), Scan(3)}), "0x0");        // 18 blocks per MCU
  EXPECT_EQ(size({QuantTable, Frame(0xc0, 8, 8, 8, 3, {0x31, 0x21}), Scan(3)}), "0x0");  // 3 to 2 upsampling
  EXPECT_EQ(size({QuantTable, Frame(0xc0, 8, 8, 8, 3, {0x32}), Scan(3)}), "8x8");
  EXPECT_EQ(size({Frame(0xc0, 8, 8, 8, 3), Scan(3)}), "0x0");                   // no quantization table
  EXPECT_EQ(size({QuantTable, Frame(0xc0, 8, 8, 8, 3), Scan(4)}), "0x0");       // a scan of an unknown component
  EXPECT_EQ(size({QuantTable, Frame(0xc2, 8, 8, 8, 3), Scan(3, 0, 0)}), "0x0");  // progressive needs its tables
  EXPECT_EQ(size({QuantTable, HuffmanTable(0x00), Frame(0xc2, 8, 8, 8, 3), Scan(3, 1, 5)}), "0x0");  // AC of 3
  EXPECT_EQ(size({QuantTable, Frame(0xc0, 8, 8, 8, 3)}), "0x0");  // no scan before the end
  EXPECT_EQ(size({QuantTable, Frame(0xc0, 8, 8, 8, 3), Frame(0xc0, 8, 8, 8, 3), Scan(3)}), "0x0");
  EXPECT_EQ(size({QuantTable, Frame(0xc0, 8, 8, 8, 3), Scan(3)}), "8x8");  // sequential: standard tables
}

// Scan data of the given length: coded bytes, each 0xFF followed by a
// stuffed zero, a restart marker every 4096 bytes.
Bytes CodedData(std::size_t length) {
  Bytes data;
  data.reserve(length + length / 128);
  std::uint32_t state = 12345;
  while (data.size() < length) {
    state = state * 1103515245u + 12345u;
    data.push_back(static_cast<std::uint8_t>(state >> 16));
    if (data.back() == 0xff) data.push_back(0x00);
    if (data.size() % 4096 == 0) data.insert(data.end(), {0xff, 0xd0});
  }
  return data;
}

Bytes JpegWithData(const std::vector<Bytes>& segments, const Bytes& data) {
  Writer jpeg;
  jpeg.Raw({0xff, 0xd8});
  for (const Bytes& segment : segments) jpeg.Append(segment);
  return jpeg.Append(data).Raw({0xff, 0xd9}).bytes;
}

TEST(HeaderFactsJpeg, OneImageEndsAtTheFirstEndOfImage) {
  const std::vector<Bytes> baseline = {QuantTable, Frame(0xc0, 8, 8, 8, 3), Scan(3)};
  const Bytes red = JpegWithData(baseline, CodedData(600));
  EXPECT_EQ(CompareFacts(red).moreThanOneImage, Answer::No);
  Bytes joined = red;
  joined.insert(joined.end(), red.begin(), red.end());  // cat red.jpg red.jpg
  const HeaderFacts two = CompareFacts(joined);
  EXPECT_EQ(two.moreThanOneImage, Answer::NotRuledOut);
  Expect(two, 8, 8);  // the decoder shows the first
  Bytes trailer = red;
  trailer.push_back(0);  // even one byte after the image
  EXPECT_EQ(CompareFacts(trailer).moreThanOneImage, Answer::NotRuledOut);
  Bytes unended = red;
  unended.resize(unended.size() - 2);
  EXPECT_EQ(CompareFacts(unended).moreThanOneImage, Answer::NotRuledOut);
  // Fill bytes before the end-of-image marker, and a progressive image
  // whose later scans follow table segments.
  Bytes filled = JpegWithData(baseline, Writer().Append(CodedData(100)).Raw({0xff, 0xff, 0xff}).bytes);
  EXPECT_EQ(CompareFacts(filled).moreThanOneImage, Answer::No);
  const Bytes laterScans = Writer().Append(CodedData(300)).Append(HuffmanTable(0x10)).Append(Scan(1, 1, 63))
                               .Append(CodedData(300)).bytes;
  const std::vector<Bytes> progressive = {QuantTable, HuffmanTable(0x00), Frame(0xc2, 8, 8, 8, 3), Scan(3, 0, 0)};
  EXPECT_EQ(CompareFacts(JpegWithData(progressive, laterScans)).moreThanOneImage, Answer::No);
  // Each scan passes over the whole image: 16 scans of 64 Mpx are what a
  // decoder takes on, a 17th leaves the image to the bytes.
  const auto scanned = [](int scans) {
    Writer later;
    for (int scan = 1; scan < scans; ++scan) later.Append(CodedData(30)).Append(Scan(1, 1, 63));
    const std::vector<Bytes> large = {QuantTable, HuffmanTable(0x00), Frame(0xc2, 8, 8192, 8192, 1), Scan(1, 0, 0)};
    return CompareFacts(JpegWithData(large, later.Append(CodedData(30)).bytes));
  };
  EXPECT_EQ(scanned(16).moreThanOneImage, Answer::No);
  EXPECT_NE(scanned(16).bytesReason, BytesReason::ReadBudgetSpent);
  EXPECT_EQ(scanned(17).bytesReason, BytesReason::ReadBudgetSpent);
  // A frame or a start of image inside the data is another image.
  const Bytes frameInside = Writer().Append(CodedData(300)).Append(Frame(0xc0, 8, 8, 8, 3)).bytes;
  EXPECT_EQ(CompareFacts(JpegWithData(baseline, frameInside)).moreThanOneImage, Answer::NotRuledOut);
  const Bytes startInside = Writer().Append(CodedData(300)).Raw({0xff, 0xd8}).Append(CodedData(300)).bytes;
  EXPECT_EQ(CompareFacts(JpegWithData(baseline, startInside)).moreThanOneImage, Answer::NotRuledOut);
}

// A JPEG of any length: its header, zeros as scan data, its end-of-image
// marker; made as it is read.
class LongJpeg : public ByteSource {
 public:
  LongJpeg(Bytes start, std::uint64_t length) : head(std::move(start)), size(length) {}
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override {
    bytesRead += count;
    if (offset >= size) return 0;
    const auto copied = static_cast<std::size_t>(std::min<std::uint64_t>(count, size - offset));
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::memset(out, 0, copied);
    for (std::uint64_t at = offset; at < head.size() && at < offset + copied; ++at) {
      out[at - offset] = head[static_cast<std::size_t>(at)];
    }
    for (std::uint64_t at = std::max(offset, size - 2); at < offset + copied; ++at) {
      out[at - offset] = at == size - 2 ? 0xff : 0xd9;
    }
    return copied;
  }
  std::uint64_t Size() const override { return size; }
  std::size_t bytesRead = 0;

 private:
  Bytes head;
  std::uint64_t size;
};

TEST(HeaderFactsJpeg, ScanDataIsFollowedWithinTheReadersBudget) {
  Writer header;
  header.Raw({0xff, 0xd8}).Append(QuantTable).Append(Frame(0xc0, 8, 8, 8, 3)).Append(Scan(3));
  const std::uint64_t budget = HeaderReader::MaxFetchedBytes + HeaderReader::MaxImageDataBytes;
  LongJpeg large(header.bytes, std::uint64_t{5} << 20);
  EXPECT_EQ(ReadHeaderFacts(large, Reach::Comparison).moreThanOneImage, Answer::No);
  // Past the budget nothing is proven: the bytes decide.
  LongJpeg huge(header.bytes, budget + 1024);
  const HeaderFacts facts = ReadHeaderFacts(huge, Reach::Comparison);
  EXPECT_EQ(facts.moreThanOneImage, Answer::NotRuledOut);
  Expect(facts, 8, 8);
  EXPECT_LE(huge.bytesRead, budget);
  // Asked for sizes only, the reader leaves the scan data unread.
  LongJpeg sizes(header.bytes, std::uint64_t{5} << 20);
  const HeaderFacts sizeFacts = ReadHeaderFacts(sizes);
  Expect(sizeFacts, 8, 8);
  EXPECT_EQ(sizeFacts.moreThanOneImage, Answer::NotRuledOut);
  EXPECT_LE(sizes.bytesRead, HeaderReader::MaxFetchedBytes);
}

TEST(HeaderFactsJpeg, FillBytesAndAScanHeaderCutInItsBand) {
  // The decoder skips any number of fill bytes before a marker.
  const Bytes fill(100000, 0xff);
  const Bytes padded = Writer().Append(QuantTable).Append(fill).Append(Frame(0xc0, 8, 64, 48, 3)).bytes;
  Expect(Facts(Jpeg({padded, Scan(3)})), 64, 48);
  // Cut inside the scan header's spectral band: sequential decoding reads
  // on as if the file went on, progressive decoding needs the band.
  for (std::size_t missing : {1u, 2u, 3u}) {
    Bytes cut = Jpeg({QuantTable, Frame(0xc0, 8, 64, 48, 3), Scan(3)});
    cut.resize(cut.size() - 4 - missing);
    const HeaderFacts facts = Facts(cut);
    Expect(facts, 64, 48);
    EXPECT_EQ(facts.moreThanOneImage, Answer::NotRuledOut);
    Bytes progressive = Jpeg({QuantTable, HuffmanTable(0x00), Frame(0xc2, 8, 64, 48, 3), Scan(3, 0, 0)});
    progressive.resize(progressive.size() - 4 - missing);
    Expect(Facts(progressive), 0, 0);
  }
}

// ---- GIF

Bytes Gif(std::uint32_t width, std::uint32_t height, bool globalTable, const Bytes& beforeFrame,
          const Bytes& descriptor) {
  Writer gif;
  gif.Text("GIF89a").Le16(width).Le16(height).Raw({globalTable ? 0x80 : 0x00, 0, 0});
  if (globalTable) gif.Zeros(6);
  return gif.Append(beforeFrame).Raw({','}).Append(descriptor).Raw({2, 2, 0x4c, 0x01, 0, ';'}).bytes;
}

Bytes Descriptor(std::uint32_t left, std::uint32_t top, std::uint32_t width, std::uint32_t height, bool localTable) {
  Writer descriptor;
  descriptor.Le16(left).Le16(top).Le16(width).Le16(height).Raw({localTable ? 0x80 : 0});
  if (localTable) descriptor.Zeros(6);
  return descriptor.bytes;
}

TEST(HeaderFactsGif, TheLogicalScreenIsTheSize) {
  const Bytes control = Writer().Raw({'!', 0xf9, 4, 0, 10, 0, 0, 0}).bytes;
  const Bytes comment = Writer().Raw({'!', 0xfe, 3, 'a', 'b', 'c', 2, 'd', 'e', 0}).bytes;
  Writer before;
  before.Append(control).Append(comment);
  const HeaderFacts facts = Facts(Gif(100, 80, true, before.bytes, Descriptor(90, 70, 50, 60, false)));
  EXPECT_EQ(facts.format, ImageFormat::Gif);
  Expect(facts, 100, 80);
  EXPECT_EQ(facts.largestImagePixels, 8000u);
  EXPECT_EQ(facts.moreThanOneImage, Answer::DecoderTells);  // the library counts frames itself
  EXPECT_EQ(facts.deeperThan8Bits, Answer::No);
  // A frame larger than the screen is decoded in full.
  EXPECT_EQ(Facts(Gif(10, 10, true, {}, Descriptor(0, 0, 200, 100, false))).largestImagePixels, 20000u);
}

TEST(HeaderFactsGif, AFirstFrameWithoutColoursIsNotSettled) {
  Expect(Facts(Gif(10, 10, false, {}, Descriptor(0, 0, 10, 10, false))), 0, 0);
  Expect(Facts(Gif(10, 10, false, {}, Descriptor(0, 0, 10, 10, true))), 10, 10);
  Expect(Facts(Gif(0, 10, true, {}, Descriptor(0, 0, 10, 10, false))), 0, 0);
  Bytes noFrame = Writer().Text("GIF87a").Le16(10).Le16(10).Raw({0x80, 0, 0}).Zeros(6).Raw({';'}).bytes;
  Expect(Facts(noFrame), 0, 0);
}

// ---- BMP

Bytes Bmp(std::uint32_t infoSize, std::int32_t width, std::int32_t height, int depth, std::uint32_t compression,
          std::uint32_t colorsUsed = 0, const Bytes& masks = {}) {
  // Masks at offset 40 of the headers that define them, else after the
  // header (the OS/2 64-byte header has other fields there).
  const bool masksInHeader = infoSize == 52 || infoSize == 56 || infoSize == 108 || infoSize == 124;
  const std::uint32_t dataOffset = 14 + infoSize + static_cast<std::uint32_t>(masksInHeader ? 0 : masks.size());
  Writer bmp;
  bmp.Text("BM").Le32(dataOffset + 16).Le32(0).Le32(dataOffset).Le32(infoSize);
  if (infoSize == 12) {
    bmp.Le16(static_cast<std::uint32_t>(width)).Le16(static_cast<std::uint32_t>(height));
    bmp.Le16(1).Le16(static_cast<std::uint32_t>(depth));
  } else {
    bmp.Le32(static_cast<std::uint32_t>(width)).Le32(static_cast<std::uint32_t>(height)).Le16(1);
    bmp.Le16(static_cast<std::uint32_t>(depth)).Le32(compression).Zeros(12).Le32(colorsUsed).Le32(0);
    Bytes rest(infoSize - 40, 0);
    if (masksInHeader) std::copy_n(masks.begin(), std::min(masks.size(), rest.size()), rest.begin());
    bmp.Append(rest);
    if (!masksInHeader) bmp.Append(masks);
  }
  return bmp.Zeros(16).bytes;
}

Bytes Masks(std::uint32_t red, std::uint32_t green, std::uint32_t blue, std::uint32_t alpha = 0) {
  return Writer().Le32(red).Le32(green).Le32(blue).Le32(alpha).bytes;
}

TEST(HeaderFactsBmp, HeaderVersionsAndRowOrder) {
  for (std::uint32_t infoSize : {40u, 52u, 56u, 64u, 108u, 124u}) {
    const HeaderFacts facts = Facts(Bmp(infoSize, 30, 20, 24, 0));
    Expect(facts, 30, 20);
    EXPECT_EQ(facts.moreThanOneImage, Answer::No) << infoSize;
  }
  Expect(Facts(Bmp(12, 30, 20, 24, 0)), 30, 20);
  Expect(Facts(Bmp(40, 30, -20, 24, 0)), 30, 20);  // top-down rows
  Expect(Facts(Bmp(40, 30, -20, 8, 1)), 0, 0);     // top-down run lengths
  Bytes unknownHeader = Bmp(40, 30, 20, 24, 0);
  unknownHeader[14] = 16;  // an info header size the decoder does not know
  Expect(Facts(unknownHeader), 0, 0);
  Expect(Facts(Bmp(40, 30, 20, 2, 0)), 0, 0);      // 2 bits per pixel
  Expect(Facts(Bmp(40, 30, 20, 24, 4)), 0, 0);     // embedded JPEG
  Expect(Facts(Bmp(40, 30, 20, 8, 0, 257)), 0, 0);  // more colours than 8 bits hold
  // The decoder tests a 32-bit palette against 1 << 32, which the
  // processor shifts as 1 << 0.
  Expect(Facts(Bmp(40, 30, 20, 32, 0, 2)), 0, 0);
  Expect(Facts(Bmp(40, 30, 20, 32, 0, 1)), 30, 20);
}

TEST(HeaderFactsBmp, BitFieldsWiderThan8BitsAreDeep) {
  EXPECT_EQ(Facts(Bmp(40, 4, 4, 16, 3, 0, Masks(0xf800, 0x07e0, 0x001f))).deeperThan8Bits, Answer::No);
  EXPECT_EQ(Facts(Bmp(40, 4, 4, 32, 3, 0, Masks(0x3ff00000, 0x000ffc00, 0x000003ff))).deeperThan8Bits,
            Answer::NotRuledOut);
  EXPECT_EQ(Facts(Bmp(124, 4, 4, 32, 3, 0, Masks(0xff0000, 0xff00, 0xff, 0xffff0000u))).deeperThan8Bits,
            Answer::NotRuledOut);
  EXPECT_EQ(Facts(Bmp(52, 4, 4, 32, 3, 0, Masks(0xff0000, 0xff00, 0xff, 0xffff0000u))).deeperThan8Bits,
            Answer::No);  // 52-byte headers carry no alpha mask
  EXPECT_EQ(Facts(Bmp(40, 4, 4, 24, 0)).deeperThan8Bits, Answer::No);
  // The OS/2 64-byte header: masks after it, not at offset 40 inside it.
  EXPECT_EQ(Facts(Bmp(64, 4, 4, 32, 3, 0, Masks(0x3ff00000, 0x000ffc00, 0x000003ff))).deeperThan8Bits,
            Answer::NotRuledOut);
  Bytes insideOs2 = Bmp(64, 4, 4, 32, 3);
  const Bytes wide = Masks(0x3ff00000, 0x000ffc00, 0x000003ff);
  std::copy(wide.begin(), wide.begin() + 12, insideOs2.begin() + 14 + 40);
  EXPECT_EQ(Facts(insideOs2).deeperThan8Bits, Answer::No);  // other fields there; the defaults apply
}

TEST(HeaderFactsBmp, FilesSniffedAsAnotherTypeOrCutShortAreNotSettled) {
  Bytes fontMetrics = Bmp(40, 30, 20, 24, 0);
  fontMetrics[2] = 0x00;
  fontMetrics[3] = 0x11;  // a file size TeX font metrics claim first
  const HeaderFacts facts = Facts(fontMetrics);
  EXPECT_EQ(facts.format, ImageFormat::Bmp);
  Expect(facts, 0, 0);
  Bytes past = Bmp(40, 30, 20, 24, 0);
  past[10] = 200;  // pixel data would start past the end
  Expect(Facts(past), 0, 0);
}

// ---- TIFF

struct TiffField {
  std::uint16_t tag;
  std::uint16_t type;
  std::uint32_t count;
  std::uint32_t value;
};

// A TIFF whose directories follow 64 bytes of strip data, in either byte
// order; each directory points to the next.
Bytes Tiff(bool bigEndian, const std::vector<std::vector<TiffField>>& directories, std::size_t dataBytes = 64) {
  Writer tiff;
  const auto u16 = [&](std::uint32_t v) -> Writer& { return bigEndian ? tiff.Be16(v) : tiff.Le16(v); };
  const auto u32 = [&](std::uint32_t v) -> Writer& { return bigEndian ? tiff.Be32(v) : tiff.Le32(v); };
  tiff.Text(bigEndian ? "MM" : "II");
  u16(42);
  u32(static_cast<std::uint32_t>(8 + dataBytes));
  tiff.Zeros(dataBytes);
  for (std::size_t d = 0; d < directories.size(); ++d) {
    u16(static_cast<std::uint32_t>(directories[d].size()));
    for (const TiffField& field : directories[d]) {
      u16(field.tag);
      u16(field.type);
      u32(field.count);
      if (field.type == 3 && field.count == 1 && bigEndian) {
        u16(field.value);
        u16(0);
      } else {
        u32(field.value);
      }
    }
    const bool last = d + 1 == directories.size();
    u32(last ? 0 : static_cast<std::uint32_t>(tiff.bytes.size() + 4));
  }
  return tiff.bytes;
}

std::vector<TiffField> RgbDirectory(std::uint32_t width, std::uint32_t height, std::uint32_t bits = 8,
                                    std::uint32_t sampleFormat = 1) {
  return {{256, 4, 1, width},       {257, 4, 1, height},     {258, 3, 1, bits},  {259, 3, 1, 1},
          {262, 3, 1, 1},           {273, 4, 1, 8},          {277, 3, 1, 1},     {279, 4, 1, 64},
          {339, 3, 1, sampleFormat}};
}

TEST(HeaderFactsTiff, FirstDirectoryInBothByteOrders) {
  for (bool bigEndian : {false, true}) {
    const Bytes tiff = Tiff(bigEndian, {RgbDirectory(40, 30)});
    const HeaderFacts facts = Facts(tiff);
    EXPECT_EQ(facts.format, ImageFormat::Tiff);
    Expect(facts, 40, 30);
    EXPECT_EQ(facts.moreThanOneImage, Answer::No);
    EXPECT_EQ(facts.deeperThan8Bits, Answer::No);
    EXPECT_EQ(facts.largestImagePixels, 1200u);
    EXPECT_LE(ReadsFor(tiff), 2);
  }
}

TEST(HeaderFactsTiff, SampleDepthsAndFormats) {
  const HeaderFacts sixteen = Facts(Tiff(false, {RgbDirectory(4, 4, 16)}));
  EXPECT_EQ(sixteen.deeperThan8Bits, Answer::NotRuledOut);
  Expect(sixteen, 4, 4);
  const HeaderFacts floats = Facts(Tiff(false, {RgbDirectory(4, 4, 32, 3)}));
  EXPECT_EQ(floats.deeperThan8Bits, Answer::NotRuledOut);
  Expect(floats, 0, 0);  // the RGBA reader takes no floating point
  std::vector<TiffField> palette = RgbDirectory(4, 4);
  palette[4].value = 3;
  Expect(Facts(Tiff(false, {palette})), 0, 0);  // a palette without its colour map
}

TEST(HeaderFactsTiff, PagesAndSubImages) {
  const HeaderFacts pages = Facts(Tiff(false, {RgbDirectory(4, 4), RgbDirectory(50, 40, 16)}));
  EXPECT_EQ(pages.moreThanOneImage, Answer::NotRuledOut);
  EXPECT_EQ(pages.largestImagePixels, 2000u);
  EXPECT_EQ(pages.deeperThan8Bits, Answer::NotRuledOut);
  Expect(pages, 4, 4);
  // A SubIFD at the second directory's place holds a larger image.
  std::vector<TiffField> withSub = RgbDirectory(4, 4);
  withSub.push_back({330, 13, 1, 0});
  Bytes tiff = Tiff(false, {withSub, RgbDirectory(60, 50)});
  const std::uint32_t second = 8 + 64 + 2 + 12 * 10 + 4;
  tiff[8 + 64 + 2 + 12 * 9 + 8] = static_cast<std::uint8_t>(second);  // the SubIFD offset
  tiff[8 + 64 + 2 + 12 * 10] = 0;                                      // and no next page
  const HeaderFacts sub = Facts(tiff);
  EXPECT_EQ(sub.moreThanOneImage, Answer::NotRuledOut);
  EXPECT_EQ(sub.largestImagePixels, 3000u);
}

TEST(HeaderFactsTiff, OddFilesEndInTime) {
  Bytes loop = Tiff(false, {RgbDirectory(4, 4)});
  loop[loop.size() - 4] = 72;  // the next directory is this one
  EXPECT_EQ(Facts(loop).width, 4u);
  Bytes big = Tiff(false, {RgbDirectory(4, 4)});
  big[2] = 43;  // BigTIFF
  const HeaderFacts bigFacts = Facts(big);
  EXPECT_EQ(bigFacts.format, ImageFormat::Tiff);
  Expect(bigFacts, 0, 0);
  EXPECT_EQ(bigFacts.moreThanOneImage, Answer::NotRuledOut);
  std::vector<TiffField> pastEnd = RgbDirectory(4, 4);
  pastEnd[7].value = 100000;  // strip bytes beyond the end of the file
  Expect(Facts(Tiff(false, {pastEnd})), 0, 0);
  Bytes kodak = Tiff(false, {RgbDirectory(4, 4)}, 300);
  std::memcpy(kodak.data() + 242, "EASTMAN KODAK COMPANY", 21);
  Expect(Facts(kodak), 0, 0);  // sniffed as a Kodak raw file
}

TEST(HeaderFactsTiff, FieldsLibtiffRefusesAreNotSettled) {
  std::vector<TiffField> directoryType = RgbDirectory(4, 4);
  directoryType[0].type = 13;  // IFD: not a type libtiff takes for the width
  Expect(Facts(Tiff(false, {directoryType})), 0, 0);
  // A per-sample field is read whole: its values must all lie in the file.
  std::vector<TiffField> perSample = RgbDirectory(4, 4);
  perSample[2] = {258, 3, 3, 16};
  Bytes inFile = Tiff(false, {perSample});
  for (std::size_t i = 0; i < 3; ++i) inFile[16 + 2 * i] = 8;
  Expect(Facts(inFile), 4, 4);
  Bytes pastEnd = inFile;
  const auto arrayAt = static_cast<std::uint32_t>(pastEnd.size());
  pastEnd.insert(pastEnd.end(), {8, 0, 8, 0});  // 4 of the 6 bytes
  const std::size_t field = 8 + 64 + 2 + 12 * 2 + 8;  // the third entry's value field
  for (std::size_t i = 0; i < 4; ++i) pastEnd[field + i] = static_cast<std::uint8_t>(arrayAt >> (8 * i));
  Expect(Facts(pastEnd), 0, 0);
}

// ---- ICO and CUR

Bytes DibEntry(int width, int height, int depth) {
  return Writer().Le32(40).Le32(static_cast<std::uint32_t>(width)).Le32(static_cast<std::uint32_t>(2 * height))
      .Le16(1).Le16(static_cast<std::uint32_t>(depth)).Zeros(24).Zeros(64).bytes;
}

Bytes Icon(int type, const std::vector<std::pair<int, Bytes>>& entries) {
  Writer icon;
  icon.Le16(0).Le16(static_cast<std::uint32_t>(type)).Le16(static_cast<std::uint32_t>(entries.size()));
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(entries.size());
  for (const auto& [side, data] : entries) {
    icon.Raw({side & 255, side & 255, 0, 0}).Le16(1).Le16(32);
    icon.Le32(static_cast<std::uint32_t>(data.size())).Le32(offset);
    offset += static_cast<std::uint32_t>(data.size());
  }
  for (const auto& entry : entries) icon.Append(entry.second);
  return icon.bytes;
}

TEST(HeaderFactsIco, OneEntryIsTheSize) {
  const HeaderFacts facts = Facts(Icon(1, {{32, DibEntry(32, 32, 32)}}));
  EXPECT_EQ(facts.format, ImageFormat::Ico);
  Expect(facts, 32, 32);
  EXPECT_EQ(facts.moreThanOneImage, Answer::No);
  EXPECT_EQ(facts.deeperThan8Bits, Answer::No);
  const HeaderFacts cursor = Facts(Icon(2, {{16, DibEntry(16, 16, 24)}}));
  EXPECT_EQ(cursor.format, ImageFormat::Cur);
  Expect(cursor, 16, 16);
  Expect(Facts(Icon(1, {{32, DibEntry(32, 16, 32)}})), 0, 0);  // the DIB disagrees with the directory
  Expect(Facts(Icon(1, {{16, DibEntry(16, 16, 8)}})), 0, 0);    // its palette runs past the end
}

TEST(HeaderFactsIco, SeveralEntriesOrPngEntries) {
  const HeaderFacts several = Facts(Icon(1, {{16, DibEntry(16, 16, 32)}, {48, DibEntry(48, 48, 32)}}));
  Expect(several, 0, 0);
  EXPECT_EQ(several.moreThanOneImage, Answer::NotRuledOut);
  EXPECT_EQ(several.largestImagePixels, 48u * 48u);
  // The directory says 256 (0); the embedded PNG is larger and deeper.
  const HeaderFacts png = Facts(Icon(1, {{0, Png(Ihdr(512, 512, 16, 6))}}));
  Expect(png, 512, 512);  // the decoder skips PNG entries: the PNG's own header tells
  EXPECT_EQ(png.largestImagePixels, 512u * 512u);
  EXPECT_EQ(png.deeperThan8Bits, Answer::NotRuledOut);
}

// ---- PNM

TEST(HeaderFactsPnm, BinarySamplesAreCounted) {
  const Bytes pixels(3 * 4 * 2, 7);
  const HeaderFacts facts = Facts(Writer().Text("P6\n# a comment\n4 2\n255\n").Append(pixels).bytes);
  EXPECT_EQ(facts.format, ImageFormat::Pnm);
  Expect(facts, 4, 2);
  EXPECT_EQ(facts.moreThanOneImage, Answer::No);
  EXPECT_EQ(facts.deeperThan8Bits, Answer::No);
  const HeaderFacts deep = Facts(Writer().Text("P5 4 2 65535\n").Zeros(16).bytes);
  EXPECT_EQ(deep.deeperThan8Bits, Answer::NotRuledOut);
  Expect(deep, 4, 2);
  Expect(Facts(Writer().Text("P4 9 2\n").Zeros(4).bytes), 9, 2);
  Expect(Facts(Writer().Text("P6\n4 2\n255\n").Zeros(23).bytes), 0, 0);  // one sample short
  EXPECT_EQ(Facts(Writer().Text("P5 2 1 255\n").Zeros(2).Text("P5 2 1 255\n").Zeros(2).bytes).moreThanOneImage,
            Answer::NotRuledOut);
  Expect(Facts(Writer().Text("P5 2 1 255#\n").Zeros(2).bytes), 0, 0);  // no blank before the samples
}

TEST(HeaderFactsPnm, TextSamplesAreLeftOpen) {
  const HeaderFacts facts = Facts(Writer().Text("P3\n2 1\n255\n1 2 3 4 5 6\n").bytes);
  Expect(facts, 0, 0);
  EXPECT_EQ(facts.largestImagePixels, 2u);
  EXPECT_EQ(facts.moreThanOneImage, Answer::NotRuledOut);
  // A vertical tab is no blank to the sniffing or the decoder.
  EXPECT_EQ(Facts(Writer().Text("P5\v2 1 255\n").Zeros(2).bytes).format, ImageFormat::Unknown);
}

// ---- WebP

Bytes Riff(const Bytes& chunks) {
  return Writer().Text("RIFF").Le32(static_cast<std::uint32_t>(chunks.size() + 4)).Text("WEBP").Append(chunks).bytes;
}

Bytes RiffChunk(const std::string& type, const Bytes& data) {
  Writer chunk;
  chunk.Text(type).Le32(static_cast<std::uint32_t>(data.size())).Append(data);
  if (data.size() % 2 == 1) chunk.Raw({0});
  return chunk.bytes;
}

Bytes Lossy(std::uint32_t width, std::uint32_t height) {
  // A shown key frame, profile 0, first partition of 16 bytes.
  return RiffChunk("VP8 ", Writer().Raw({0x10, 0x02, 0x00, 0x9d, 0x01, 0x2a}).Le16(width).Le16(height).Zeros(20).bytes);
}

Bytes Lossless(std::uint32_t width, std::uint32_t height) {
  const std::uint32_t bits = (width - 1) | (height - 1) << 14;
  return RiffChunk("VP8L", Writer().Raw({0x2f}).Le32(bits).Zeros(8).bytes);
}

Bytes Extended(std::uint32_t flags, std::uint32_t width, std::uint32_t height) {
  return RiffChunk("VP8X", Writer().Le32(flags).Raw({int((width - 1) & 255), int((width - 1) >> 8 & 255), 0,
                                                     int((height - 1) & 255), int((height - 1) >> 8 & 255), 0})
                               .bytes);
}

TEST(HeaderFactsWebP, StillImages) {
  const HeaderFacts lossy = Facts(Riff(Lossy(300, 200)));
  EXPECT_EQ(lossy.format, ImageFormat::WebP);
  Expect(lossy, 300, 200);
  EXPECT_EQ(lossy.moreThanOneImage, Answer::No);
  EXPECT_EQ(lossy.deeperThan8Bits, Answer::No);
  Expect(Facts(Riff(Lossless(17, 3))), 17, 3);
  Writer extended;
  extended.Append(Extended(0x10, 300, 200)).Append(RiffChunk("ICCP", Bytes(9, 1))).Append(RiffChunk("ALPH", {0}));
  Expect(Facts(Riff(extended.Append(Lossy(300, 200)).bytes)), 300, 200);
}

// An animation shows the canvas of its VP8X header; a still image whose
// bitstream does not fill the canvas, or a hidden frame, settles nothing.
TEST(HeaderFactsWebP, AnimationsShowTheCanvasMismatchedStillsAreNotSettled) {
  const Bytes animation = Writer().Append(Extended(0x02, 64, 48)).Append(RiffChunk("ANIM", Bytes(6))).bytes;
  const HeaderFacts animated = Facts(Riff(animation));
  Expect(animated, 64, 48);
  EXPECT_EQ(animated.bytesReason, BytesReason::ImagesNotShown);
  // 24-bit canvas fields: 300 x 70000 is beyond any 16-bit reading.
  Expect(Facts(Riff(Writer().Append(RiffChunk("VP8X", Writer().Le32(0x02).Raw({43, 1, 0, 111, 17, 1}).bytes)).bytes)),
         300, 70000);
  EXPECT_EQ(animated.moreThanOneImage, Answer::NotRuledOut);
  EXPECT_EQ(animated.largestImagePixels, 64u * 48u);
  Expect(Facts(Riff(Writer().Append(Extended(0, 300, 200)).Append(Lossy(300, 100)).bytes)), 0, 0);
  Bytes hidden = Riff(Lossy(8, 8));
  hidden[20] = 0x00;  // a frame that is not shown
  Expect(Facts(hidden), 0, 0);
}

// ---- AVIF

// An AV1 sequence header OBU of a still picture, with the reduced header
// or the full one (no timing, one operating point, no optional tools).
Bytes SequenceHeader(std::uint32_t width, std::uint32_t height, bool highBitDepth, bool reduced = true) {
  std::vector<bool> bits;
  const auto put = [&bits](std::uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) bits.push_back(((value >> i) & 1) != 0);
  };
  put(0, 3);  // profile
  put(1, 1);  // still picture
  put(reduced ? 1 : 0, 1);
  if (!reduced) put(0, 1 + 1 + 5 + 12);  // timing, display delay, operating points and their idc
  put(0, 5);  // level
  put(15, 4);
  put(15, 4);
  put(width - 1, 16);
  put(height - 1, 16);
  put(0, reduced ? 6 : 14);  // coding tools
  put(highBitDepth ? 1 : 0, 1);
  put(0, 1);  // not monochrome
  put(0, 8);  // the rest of the colour configuration
  Bytes payload((bits.size() + 7) / 8, 0);
  for (std::size_t i = 0; i < bits.size(); ++i) {
    if (bits[i]) payload[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
  }
  return Writer().Raw({0x0a, static_cast<int>(payload.size())}).Append(payload).bytes;
}

Bytes Box(const std::string& type, const Bytes& payload) {
  return Writer().Be32(static_cast<std::uint32_t>(payload.size() + 8)).Text(type).Append(payload).bytes;
}

Bytes FullBox(const std::string& type, int version, const Bytes& payload) {
  return Box(type, Writer().Raw({version, 0, 0, 0}).Append(payload).bytes);
}

struct AvifOptions {
  std::string majorBrand = "avif";
  std::uint32_t ispeWidth = 64;
  std::uint32_t ispeHeight = 48;
  std::uint32_t codedWidth = 64;
  std::uint32_t codedHeight = 48;
  bool highBitDepth = false;
  bool rotated = false;
  bool secondImage = false;
  std::string secondType = "av01";
  std::uint32_t countedItems = 0;  // in 'iinf'; 0: all it holds
  Bytes references;                 // the 'iref' boxes, if any
  int locationVersion = 0;
  bool extentIndex = false;  // 4-byte extent indexes in 'iloc'
  bool reducedHeader = true;
  Bytes moreObus;  // after the sequence header
  bool cutShort = false;
  std::vector<Bytes> properties;  // more, associated with every item
  Bytes metaBoxes;                // more children of 'meta'
  Bytes secondData;               // the second item's data, after the first's; else it shares the first's
  Bytes after;                    // after 'mdat'
};

Bytes Avif(const AvifOptions& options) {
  const Bytes av1 = Writer()
                        .Append(SequenceHeader(options.codedWidth, options.codedHeight, options.highBitDepth,
                                               options.reducedHeader))
                        .Append(options.moreObus)
                        .bytes;
  Writer infos;
  infos.Append(FullBox("infe", 2, Writer().Be16(1).Be16(0).Text("av01").Raw({0}).bytes));
  if (options.secondImage) {
    infos.Append(FullBox("infe", 2, Writer().Be16(2).Be16(0).Text(options.secondType).Raw({0}).bytes));
  }
  const std::uint32_t items = options.secondImage ? 2 : 1;
  Writer properties;
  properties.Append(FullBox("ispe", 0, Writer().Be32(options.ispeWidth).Be32(options.ispeHeight).bytes));
  properties.Append(Box("av1C", {0x81, 0x00, static_cast<std::uint8_t>(options.highBitDepth ? 0x4c : 0x0c), 0}));
  properties.Append(FullBox("pixi", 0, {3, 8, 8, 8}));
  if (options.rotated) properties.Append(Box("irot", {1}));
  for (const Bytes& property : options.properties) properties.Append(property);
  const int extra = static_cast<int>(options.properties.size());
  Writer associations;
  associations.Be32(items);
  for (std::uint32_t item = 1; item <= items; ++item) {
    associations.Be16(item).Raw({(options.rotated ? 4 : 3) + extra, 0x81, 0x82, 0x03});
    if (options.rotated) associations.Raw({0x84});
    for (int i = 0; i < extra; ++i) associations.Raw({(options.rotated ? 5 : 4) + i});
  }
  const auto meta = [&](std::uint32_t dataOffset) {
    // Offset and length sizes 4, no base offset, the index size.
    Writer locations;
    locations.Raw({0x44, options.extentIndex ? 0x04 : 0x00}).Be16(items);
    for (std::uint32_t item = 1; item <= items; ++item) {
      locations.Be16(item);
      if (options.locationVersion >= 1) locations.Be16(0);  // construction method: file offset
      locations.Be16(0).Be16(1);                            // data reference, one extent
      if (options.extentIndex) locations.Be32(0);
      const bool own = item == 2 && !options.secondData.empty();
      locations.Be32(dataOffset + (own ? static_cast<std::uint32_t>(av1.size()) : 0))
          .Be32(static_cast<std::uint32_t>(own ? options.secondData.size() : av1.size()));
    }
    Writer children;
    children.Append(FullBox("hdlr", 0, Writer().Be32(0).Text("pict").Zeros(12).Raw({0}).bytes));
    children.Append(FullBox("pitm", 0, Writer().Be16(1).bytes));
    children.Append(FullBox("iloc", options.locationVersion, locations.bytes));
    const std::uint32_t counted = options.countedItems != 0 ? options.countedItems : items;
    children.Append(FullBox("iinf", 0, Writer().Be16(counted).Append(infos.bytes).bytes));
    if (!options.references.empty()) children.Append(FullBox("iref", 0, options.references));
    const Bytes propertyBoxes = Writer().Append(Box("ipco", properties.bytes)).bytes;
    children.Append(Box("iprp", Writer().Append(propertyBoxes).Append(FullBox("ipma", 0, associations.bytes)).bytes));
    children.Append(options.metaBoxes);
    return FullBox("meta", 0, children.bytes);
  };
  const Bytes fileType = Box("ftyp", Writer().Text(options.majorBrand).Be32(0).Text("avifmif1miaf").bytes);
  const std::size_t metaSize = meta(0).size();
  Bytes file = Writer().Append(fileType).Append(meta(static_cast<std::uint32_t>(fileType.size() + metaSize + 8)))
                   .Append(Box("mdat", Writer().Append(av1).Append(options.secondData).bytes)).Append(options.after).bytes;
  if (options.cutShort) file.resize(file.size() - 2);
  return file;
}

TEST(HeaderFactsAvif, PlainPrimaryItemIsSettled) {
  const HeaderFacts facts = Facts(Avif({}));
  EXPECT_EQ(facts.format, ImageFormat::Heif);
  Expect(facts, 64, 48);
  EXPECT_EQ(facts.moreThanOneImage, Answer::No);
  EXPECT_EQ(facts.deeperThan8Bits, Answer::No);
  EXPECT_EQ(facts.largestImagePixels, 64u * 48u);
}

TEST(HeaderFactsAvif, WhatTheDecoderShowsDifferently) {
  AvifOptions rotated;  // turned a quarter, then cropped
  rotated.rotated = true;
  Expect(Facts(Avif(rotated)), 48, 64);
  rotated.properties = {Box("clap", Writer().Be32(40).Be32(1).Be32(30).Be32(1).Zeros(4).Be32(1).Zeros(4).Be32(1).bytes)};
  Expect(Facts(Avif(rotated)), 40, 30);
  AvifOptions disagreeing;
  disagreeing.codedWidth = 65;  // the decoder shows the coded frame, not 'ispe'
  Expect(Facts(Avif(disagreeing)), 0, 0);
  AvifOptions cut;
  cut.cutShort = true;
  Expect(Facts(Avif(cut)), 0, 0);
  AvifOptions deep;
  deep.highBitDepth = true;
  const HeaderFacts deepFacts = Facts(Avif(deep));
  EXPECT_EQ(deepFacts.deeperThan8Bits, Answer::NotRuledOut);
  Expect(deepFacts, 64, 48);
}

TEST(HeaderFactsAvif, SequencesAndSecondImagesAreMore) {
  AvifOptions sequence;
  sequence.majorBrand = "avis";
  EXPECT_EQ(Facts(Avif(sequence)).moreThanOneImage, Answer::NotRuledOut);
  AvifOptions two;
  two.secondImage = true;
  EXPECT_EQ(Facts(Avif(two)).moreThanOneImage, Answer::NotRuledOut);
}

// An 'iref' child box: a reference type, the item it is from, the count of
// ids it names, and those ids.
Bytes Reference(const std::string& type, std::uint32_t from, std::uint32_t count, const std::vector<int>& to) {
  Writer payload;
  payload.Be16(from).Be16(count);
  for (int id : to) payload.Be16(static_cast<std::uint32_t>(id));
  return Box(type, payload.bytes);
}

TEST(HeaderFactsAvif, EveryItemAndReferenceIsAccountedFor) {
  // A second image derived from a plain image is still an image of its own.
  AvifOptions derived;
  derived.secondImage = true;
  derived.references = Reference("dimg", 1, 1, {2});
  EXPECT_EQ(Facts(Avif(derived)).moreThanOneImage, Answer::NotRuledOut);
  // The tiles of a grid are part of it.
  AvifOptions grid = derived;
  grid.secondType = "grid";
  grid.references = Reference("dimg", 2, 1, {1});
  EXPECT_EQ(Facts(Avif(grid)).moreThanOneImage, Answer::No);
  // An item-info box that counts fewer entries than it holds.
  AvifOptions undercounted;
  undercounted.secondImage = true;
  undercounted.countedItems = 1;
  const HeaderFacts facts = Facts(Avif(undercounted));
  EXPECT_EQ(facts.moreThanOneImage, Answer::NotRuledOut);
  EXPECT_EQ(facts.bytesReason, BytesReason::HeaderUnreadable);
  Expect(facts, 0, 0);
  // A reference naming more ids than its box holds.
  AvifOptions described;
  described.references = Reference("cdsc", 1, 1, {1});
  Expect(Facts(Avif(described)), 64, 48);
  AvifOptions overlong = described;
  overlong.references = Reference("cdsc", 1, 20, {1});
  const HeaderFacts overlongFacts = Facts(Avif(overlong));
  Expect(overlongFacts, 0, 0);
  EXPECT_EQ(overlongFacts.moreThanOneImage, Answer::NotRuledOut);
  EXPECT_EQ(overlongFacts.bytesReason, BytesReason::HeaderUnreadable);
}

TEST(HeaderFactsAvif, LocationsAndSequenceHeaderVersions) {
  // 'iloc' versions 1 and 2 give each extent an index of index_size bytes.
  for (int version : {0, 1}) {
    AvifOptions indexed;
    indexed.locationVersion = version;
    indexed.extentIndex = version == 1;
    Expect(Facts(Avif(indexed)), 64, 48);
  }
  // A full sequence header lets the frame header code a smaller frame
  // than the maximum it gives.
  AvifOptions full;
  full.reducedHeader = false;
  Expect(Facts(Avif(full)), 0, 0);
  // The decoder rejects item data whose OBUs do not fit it.
  AvifOptions frame;
  frame.moreObus = {0x32, 0x02, 0x00, 0x00};  // a frame OBU of 2 bytes
  Expect(Facts(Avif(frame)), 64, 48);
  AvifOptions overrun;
  overrun.moreObus = {0x32, 0x10, 0x00, 0x00};  // claims 16 bytes, 2 remain
  Expect(Facts(Avif(overrun)), 0, 0);
}

// ---- TIFF: what a comparison accounts for

// An RGB directory with the given fields added or replacing its own, sorted
// by tag as a directory lists them; its reason as a comparison reads it.
// Out-of-line values lie in the 96 bytes after the strip's 16.
BytesReason TiffReason(std::vector<TiffField> extra, const Bytes& outOfLine = {}) {
  std::vector<TiffField> fields = RgbDirectory(4, 4);
  fields[7].value = 16;  // strip bytes
  for (const TiffField& added : extra) {
    const auto same = std::find_if(fields.begin(), fields.end(), [&](const TiffField& f) { return f.tag == added.tag; });
    if (same != fields.end()) {
      *same = added;
    } else {
      fields.push_back(added);
    }
  }
  std::stable_sort(fields.begin(), fields.end(), [](const TiffField& a, const TiffField& b) { return a.tag < b.tag; });
  Bytes tiff = Tiff(false, {fields}, 16 + 96);
  std::copy(outOfLine.begin(), outOfLine.end(), tiff.begin() + 8 + 16);
  return CompareFacts(tiff).bytesReason;
}

TEST(HeaderFactsTiffProof, EveryTagIsOnAList) {
  const std::uint32_t text = 'p' | 'i' << 8 | 'x' << 16;  // "pix", inline
  EXPECT_EQ(TiffReason({}), BytesReason::None);
  EXPECT_EQ(TiffReason({{305, 2, 4, text}}), BytesReason::None);        // Software
  EXPECT_EQ(TiffReason({{33432, 2, 4, text}}), BytesReason::None);      // Copyright
  EXPECT_EQ(TiffReason({{317, 3, 1, 1}}), BytesReason::None);           // Predictor: none
  EXPECT_EQ(TiffReason({{65000, 2, 4, text}}), BytesReason::UnknownTag);
  EXPECT_EQ(TiffReason({{32932, 4, 1, 0}}), BytesReason::UnknownTag);   // annotations some viewers draw
  // The same tag twice, whether the decoder reads it or not.
  std::vector<TiffField> twice = RgbDirectory(4, 4);
  twice.insert(twice.begin() + 8, {{305, 2, 4, text}, {305, 2, 4, text}});
  EXPECT_EQ(CompareFacts(Tiff(false, {twice})).bytesReason, BytesReason::DuplicateStructure);
  std::vector<TiffField> widthTwice = RgbDirectory(4, 4);
  widthTwice.insert(widthTwice.begin() + 1, {256, 4, 1, 8});
  const HeaderFacts facts = CompareFacts(Tiff(false, {widthTwice}));
  EXPECT_EQ(facts.bytesReason, BytesReason::DuplicateStructure);
  EXPECT_EQ(facts.width, 4u);  // libtiff keeps the first
  // A tag of the second page counts as well.
  std::vector<TiffField> second = RgbDirectory(4, 4);
  second.push_back({65000, 2, 4, text});
  EXPECT_EQ(CompareFacts(Tiff(false, {RgbDirectory(4, 4), second})).bytesReason, BytesReason::UnknownTag);
  EXPECT_EQ(CompareFacts(Tiff(false, {RgbDirectory(4, 4), RgbDirectory(4, 4)})).bytesReason, BytesReason::None);
}

// A palette of 4-bit samples: three tables of 16 SHORT entries.
Bytes PaletteMap(const std::function<std::uint32_t(std::uint32_t)>& entry) {
  Writer map;
  for (std::uint32_t i = 0; i < 48; ++i) map.Le16(entry(i));
  return map.bytes;
}

TEST(HeaderFactsTiffProof, PalettesDecodersReadAlike) {
  const std::vector<TiffField> palette = {{258, 3, 1, 4}, {262, 3, 1, 3}, {320, 3, 48, 8 + 16}};
  EXPECT_EQ(TiffReason(palette, PaletteMap([](std::uint32_t i) { return (i * 5 % 256) * 257; })), BytesReason::None);
  // Entries below 256: libtiff reads them as 8-bit values, others as the
  // high bytes of 16-bit ones.
  EXPECT_EQ(TiffReason(palette, PaletteMap([](std::uint32_t i) { return i * 5; })), BytesReason::PaletteAmbiguous);
  // Entries whose low bytes do not repeat the high ones round apart.
  EXPECT_EQ(TiffReason(palette, PaletteMap([](std::uint32_t i) { return i * 1000; })), BytesReason::PaletteAmbiguous);
  std::vector<TiffField> longs = palette;
  longs[2].type = 4;
  EXPECT_EQ(TiffReason(longs, PaletteMap([](std::uint32_t) { return 0; })), BytesReason::PaletteAmbiguous);
}

TEST(HeaderFactsTiffProof, OnlyOneAssociatedAlphaSampleIsAccountedFor) {
  const TiffField rgb = {262, 3, 1, 2};
  EXPECT_EQ(TiffReason({rgb, {277, 3, 1, 3}}), BytesReason::None);
  EXPECT_EQ(TiffReason({rgb, {277, 3, 1, 4}, {338, 3, 1, 1}}), BytesReason::None);
  EXPECT_EQ(TiffReason({rgb, {277, 3, 1, 4}, {338, 3, 1, 0}}), BytesReason::ExtraSamplesAmbiguous);  // unspecified
  EXPECT_EQ(TiffReason({rgb, {277, 3, 1, 5}, {338, 3, 2, 1 | 1 << 16}}), BytesReason::ExtraSamplesAmbiguous);
  EXPECT_EQ(TiffReason({rgb, {277, 3, 1, 3}, {338, 3, 1, 1}}), BytesReason::ExtraSamplesAmbiguous);  // two colour samples
  EXPECT_EQ(TiffReason({rgb, {277, 3, 1, 4}}), BytesReason::ExtraSamplesAmbiguous);  // a fourth sample unnamed
  EXPECT_EQ(TiffReason({{262, 3, 1, 1}, {277, 3, 1, 2}, {338, 3, 1, 1}}), BytesReason::None);  // gray and alpha
  EXPECT_EQ(TiffReason({rgb, {277, 3, 1, 5}, {338, 3, 2, 2 | 1 << 16}}), BytesReason::AlphaAltered);  // unassociated
}

// ---- Everything else, and the bounds

TEST(HeaderFactsOther, UnknownFilesAnswerUnknown) {
  for (const Bytes& bytes : {Bytes{}, Writer().Text("just some text\n").bytes, Writer().Text("P7\n").bytes}) {
    const HeaderFacts facts = Facts(bytes);
    EXPECT_EQ(facts.format, ImageFormat::Unknown);
    Expect(facts, 0, 0);
    EXPECT_EQ(facts.largestImagePixels, 0u);
    EXPECT_EQ(facts.moreThanOneImage, Answer::DecoderTells);
    EXPECT_EQ(facts.deeperThan8Bits, Answer::DecoderTells);
  }
}

// A file of any length whose bytes repeat a pattern from a given offset:
// headers that send the reader through megabytes of segments or chunks.
class EndlessFile : public ByteSource {
 public:
  EndlessFile(Bytes start, Bytes pattern) : head(std::move(start)), repeat(std::move(pattern)) {}
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
    ++reads;
    bytesRead += size;
    auto* out = static_cast<std::uint8_t*>(buffer);
    for (std::size_t i = 0; i < size; ++i) {
      const std::uint64_t at = offset + i;
      out[i] = at < head.size() ? head[at] : repeat[(at - head.size()) % repeat.size()];
    }
    return size;
  }
  std::uint64_t Size() const override { return UINT64_MAX; }
  int reads = 0;
  std::size_t bytesRead = 0;

 private:
  Bytes head;
  Bytes repeat;
};

TEST(HeaderFactsBounds, EndlessStructuresCostABoundedRead) {
  const Bytes app1 = Segment(0xe1, Bytes(65533, 0));
  const Bytes tinyChunk = Chunk("tEXt", {});
  const Bytes tinyExtension = {'!', 0xfe, 0};
  const std::vector<std::pair<Bytes, Bytes>> files = {
      {{0xff, 0xd8}, app1},
      {Writer().Raw({0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'}).Append(Ihdr(4, 4, 8, 2)).bytes, tinyChunk},
      {Writer().Text("GIF89a").Le16(4).Le16(4).Raw({0, 0, 0}).bytes, tinyExtension},
  };
  for (const auto& [start, pattern] : files) {
    EndlessFile file(start, pattern);
    const HeaderFacts facts = ReadHeaderFacts(file);
    EXPECT_EQ(facts.width, 0u);
    EXPECT_LE(file.reads, HeaderReader::MaxFetches);
    EXPECT_LE(file.bytesRead, HeaderReader::MaxFetchedBytes);
  }
}

// ---- How the pixels are to be shown

// A TIFF header and one directory holding only an orientation.
Bytes ExifBlock(bool bigEndian, int orientation) {
  Writer exif;
  if (bigEndian) return exif.Text("MM").Be16(42).Be32(8).Be16(1).Be16(0x112).Be16(3).Be32(1).Be16(orientation).Be16(0).Be32(0).bytes;
  return exif.Text("II").Le16(42).Le32(8).Le16(1).Le16(0x112).Le16(3).Le32(1).Le16(orientation).Le16(0).Le32(0).bytes;
}

Bytes S15Fixed16(double x, double y, double z) {
  Writer xyz;
  xyz.Text("XYZ ").Zeros(4);
  for (double value : {x, y, z}) xyz.Be32(static_cast<std::uint32_t>(static_cast<std::int32_t>(value * 65536 + 0.5)));
  return xyz.bytes;
}

// A display profile of RGB in XYZ with the colorants given and sRGB's
// parametric curve (or a plain gamma), as the ICC layout has it: header,
// tag table, tag data.
Bytes IccProfile(double redX, bool srgbCurve = true) {
  Writer curve;
  curve.Text("para").Zeros(4);
  if (srgbCurve) {
    curve.Be16(3).Zeros(2);
    for (double value : {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045}) {
      curve.Be32(static_cast<std::uint32_t>(value * 65536 + 0.5));
    }
  } else {
    curve.Be16(0).Zeros(2).Be32(static_cast<std::uint32_t>(1.8 * 65536));
  }
  const std::vector<std::pair<std::string, Bytes>> tags = {
      {"wtpt", S15Fixed16(0.9642, 1.0, 0.8249)}, {"rXYZ", S15Fixed16(redX, 0.2225, 0.0139)}, {"gXYZ", S15Fixed16(0.3851, 0.7169, 0.0971)},
      {"bXYZ", S15Fixed16(0.1431, 0.0606, 0.7141)}, {"rTRC", curve.bytes}, {"gTRC", curve.bytes},
      {"bTRC", curve.bytes}};
  Writer table;
  Writer data;
  std::uint32_t offset = 128 + 4 + 12 * static_cast<std::uint32_t>(tags.size());
  for (const auto& [name, bytes] : tags) {
    table.Text(name).Be32(offset + static_cast<std::uint32_t>(data.bytes.size())).Be32(static_cast<std::uint32_t>(bytes.size()));
    data.Append(bytes);
  }
  Writer header;
  const auto size = static_cast<std::uint32_t>(offset + data.bytes.size());
  header.Be32(size).Zeros(8).Text("mntrRGB XYZ ").Zeros(12).Text("acsp").Zeros(128 - 40);
  return header.Be32(static_cast<std::uint32_t>(tags.size())).Append(table.bytes).Append(data.bytes).bytes;
}

TEST(HeaderFactsShowing, OrientationFromEachFormatsExif) {
  const Bytes jpegStart = Jpeg({QuantTable, Frame(0xc0, 8, 8, 8, 1), Scan(1)});
  for (bool bigEndian : {false, true}) {
    const Bytes app1 = Segment(0xe1, Writer().Text("Exif").Zeros(2).Append(ExifBlock(bigEndian, 6)).bytes);
    Bytes jpeg = jpegStart;
    jpeg.insert(jpeg.begin() + 2, app1.begin(), app1.end());
    EXPECT_EQ(Facts(jpeg).presentation.orientation, 6) << bigEndian;
  }
  EXPECT_EQ(Facts(jpegStart).presentation.orientation, 1);
  EXPECT_EQ(Facts(Png(Ihdr(4, 4, 8, 2), {Chunk("eXIf", ExifBlock(false, 3))})).presentation.orientation, 3);
  EXPECT_EQ(Facts(Png(Ihdr(4, 4, 8, 2), {Chunk("eXIf", ExifBlock(false, 9))})).presentation.orientation, 1);
  std::vector<TiffField> rotated = RgbDirectory(4, 4);
  rotated.push_back({274, 3, 1, 8});
  std::sort(rotated.begin(), rotated.end(), [](const TiffField& a, const TiffField& b) { return a.tag < b.tag; });
  EXPECT_EQ(Facts(Tiff(true, {rotated})).presentation.orientation, 8);
  const Bytes webp = Riff(Writer().Append(Extended(0x08, 4, 4)).Append(Lossless(4, 4))
                               .Append(RiffChunk("EXIF", ExifBlock(false, 6))).bytes);
  EXPECT_EQ(CompareFacts(webp).presentation.orientation, 6);
  // An orientation no reader agrees on leaves each format to its bytes.
  EXPECT_EQ(CompareFacts(Png(Ihdr(4, 4, 8, 2), {Chunk("eXIf", ExifBlock(false, 9))})).bytesReason,
            BytesReason::OrientationUnreadable);
  const Bytes webpUnread = Riff(Writer().Append(Extended(0x08, 4, 4)).Append(Lossless(4, 4))
                                    .Append(RiffChunk("EXIF", ExifBlock(false, 0))).bytes);
  EXPECT_EQ(CompareFacts(webpUnread).bytesReason, BytesReason::OrientationUnreadable);
}

// Rotations are anticlockwise; EXIF 6 turns clockwise, 8 anticlockwise.
TEST(HeaderFactsShowing, HeifTransformsComeToExifOrientations) {
  const auto orientation = [](std::initializer_list<std::pair<char, unsigned>> steps) {
    HeifTransform transform;
    for (const auto& [kind, value] : steps) kind == 'r' ? transform.Rotate(value) : transform.Mirror(value);
    return int{transform.Orientation()};
  };
  EXPECT_EQ(orientation({}), 1);
  EXPECT_EQ(orientation({{'r', 1}}), 8);
  EXPECT_EQ(orientation({{'r', 2}}), 3);
  EXPECT_EQ(orientation({{'r', 3}}), 6);
  EXPECT_EQ(orientation({{'m', 0}}), 2);
  EXPECT_EQ(orientation({{'m', 1}}), 4);
  EXPECT_EQ(orientation({{'r', 1}, {'m', 0}}), 7);
  EXPECT_EQ(orientation({{'r', 3}, {'m', 0}}), 5);
  EXPECT_EQ(orientation({{'m', 0}, {'m', 0}}), 1);
}

TEST(HeaderFactsShowing, PngColourChunks) {
  const auto colour = [](const std::vector<Bytes>& chunks) {
    return CompareFacts(Png(Ihdr(4, 4, 8, 2), chunks)).presentation.colour;
  };
  const Bytes srgbGamma = Chunk("gAMA", Writer().Be32(45455).bytes);
  const Bytes linear = Chunk("gAMA", Writer().Be32(100000).bytes);
  Writer srgbPrimaries;
  for (std::uint32_t value : {31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000}) srgbPrimaries.Be32(value);
  Writer widePrimaries;
  for (std::uint32_t value : {34570, 35850, 73470, 26530, 15960, 84040, 3660, 100}) widePrimaries.Be32(value);
  EXPECT_EQ(colour({}), 0u);
  EXPECT_EQ(colour({Chunk("sRGB", {0})}), 0u);
  EXPECT_EQ(colour({srgbGamma, Chunk("cHRM", srgbPrimaries.bytes)}), 0u);
  EXPECT_NE(colour({linear}), 0u);
  EXPECT_NE(colour({Chunk("cHRM", widePrimaries.bytes)}), 0u);
  EXPECT_NE(colour({linear}), colour({Chunk("gAMA", Writer().Be32(50000).bytes)}));
  EXPECT_EQ(colour({Chunk("sRGB", {0}), linear}), 0u);  // the sRGB chunk overrides gAMA
  const Bytes profile = Chunk("iCCP", Writer().Text("p").Raw({0, 0, 0x78, 0x9c, 1}).bytes);
  EXPECT_NE(colour({profile}), 0u);
}

TEST(HeaderFactsShowing, IccProfilesOfSrgbAreOneDescription) {
  const auto jpegColour = [](const Bytes& profile) {
    const Bytes app2 = Segment(0xe2, Writer().Text("ICC_PROFILE").Raw({0, 1, 1}).Append(profile).bytes);
    return CompareFacts(Jpeg({app2, QuantTable, Frame(0xc0, 8, 8, 8, 1), Scan(1)})).presentation.colour;
  };
  EXPECT_EQ(jpegColour(IccProfile(0.4361)), 0u);
  EXPECT_NE(jpegColour(IccProfile(0.7977)), 0u);  // ProPhoto's red
  EXPECT_NE(jpegColour(IccProfile(0.4361, false)), 0u);  // sRGB's colorants, gamma 1.8
  EXPECT_NE(jpegColour(IccProfile(0.7977)), jpegColour(IccProfile(0.6097)));
}

TEST(HeaderFactsShowing, AnimationTimingOfGifs) {
  const auto frame = [](int delay) {
    return Writer().Raw({'!', 0xf9, 4, 0, delay, 0, 0, 0}).Raw({','}).Append(Descriptor(0, 0, 4, 4, false))
        .Raw({2, 2, 0x4c, 0x01, 0}).bytes;
  };
  const auto gif = [](const std::vector<Bytes>& frames, int loops) {
    Writer file;
    file.Text("GIF89a").Le16(4).Le16(4).Raw({0x80, 0, 0}).Zeros(6);
    if (loops >= 0) file.Raw({'!', 0xff, 11}).Text("NETSCAPE2.0").Raw({3, 1}).Le16(static_cast<std::uint32_t>(loops)).Raw({0});
    for (const Bytes& one : frames) file.Append(one);
    return CompareFacts(file.Raw({';'}).bytes);
  };
  const HeaderFacts still = gif({frame(10)}, -1);
  EXPECT_EQ(still.presentation.timing, 0u);
  EXPECT_EQ(still.bytesReason, BytesReason::None);
  const std::uint64_t base = gif({frame(10), frame(10)}, 0).presentation.timing;
  EXPECT_NE(base, 0u);
  EXPECT_EQ(gif({frame(10), frame(10)}, 0).presentation.timing, base);
  EXPECT_NE(gif({frame(10), frame(20)}, 0).presentation.timing, base);
  EXPECT_NE(gif({frame(10), frame(10)}, 1).presentation.timing, base);
  EXPECT_NE(gif({frame(10), frame(10)}, -1).presentation.timing, base);
  // Beyond 4096 frames no decoder is asked to list them.
  EXPECT_EQ(gif(std::vector<Bytes>(4096, frame(10)), 0).bytesReason, BytesReason::None);
  EXPECT_EQ(gif(std::vector<Bytes>(4097, frame(10)), 0).bytesReason, BytesReason::TimingUnreadable);
}

// A baseline JPEG, one 8 x 8 block a component, whose DC and AC tables
// each hold one code of length 1, for category 0 and end of block: each
// block is two 0 bits.
TEST(HeaderFactsShowing, JpegScanDataThatEndsBeforeTheLastBlock) {
  const auto scanned = [](std::uint32_t width, const Bytes& data, const Bytes& restarts = {}) {
    Bytes jpeg = Writer().Raw({0xff, 0xd8}).Append(QuantTable).Append(HuffmanTable(0x00)).Append(HuffmanTable(0x10))
                     .Append(restarts).Append(Frame(0xc0, 8, width, 8, 1)).Append(Scan(1)).Append(data)
                     .Raw({0xff, 0xd9}).bytes;
    return CompareFacts(jpeg).bytesReason == BytesReason::ImageDataCutShort;
  };
  EXPECT_FALSE(scanned(16, {0x0f}));  // two blocks, padded with 1 bits
  EXPECT_FALSE(scanned(32, {0x00}));  // four
  EXPECT_TRUE(scanned(40, {0x00}));   // five blocks, four coded
  EXPECT_TRUE(scanned(16, {}));
  EXPECT_FALSE(scanned(1024, Bytes(32, 0x00)));  // 128 blocks, past the look-ahead of any buffer
  EXPECT_TRUE(scanned(1032, Bytes(32, 0x00)));
  // Restart intervals of three blocks: each interval's bits padded with 1 bits before its marker.
  const Bytes everyThree = Segment(0xdd, {0, 3});
  EXPECT_FALSE(scanned(64, {0x03, 0xff, 0xd0, 0x03, 0xff, 0xd1, 0x0f}, everyThree));
  EXPECT_TRUE(scanned(64, {0x03, 0xff, 0xd0, 0x03}, everyThree));
  EXPECT_TRUE(scanned(64, {0x03, 0xff, 0xd0, 0x03, 0xff, 0xd1, 0x0f}));  // markers the frame did not announce
  // The markers count 0 to 7 over and over. One out of turn tells the
  // decoder intervals were lost: it makes up their blocks and drops data
  // at the end, though every block is there.
  EXPECT_TRUE(scanned(64, {0x03, 0xff, 0xd0, 0x03, 0xff, 0xd2, 0x0f}, everyThree));
  EXPECT_TRUE(scanned(64, {0x03, 0xff, 0xd1, 0x03, 0xff, 0xd2, 0x0f}, everyThree));
  Bytes tenIntervals;  // one block each, the markers 0 to 7, then 0 again
  for (int interval = 0; interval < 10; ++interval) {
    if (interval > 0) tenIntervals.insert(tenIntervals.end(), {0xff, static_cast<std::uint8_t>(0xd0 + (interval - 1) % 8)});
    tenIntervals.push_back(0x3f);
  }
  const Bytes everyOne = Segment(0xdd, {0, 1});
  EXPECT_FALSE(scanned(80, tenIntervals, everyOne));
  // AC symbols of a zero run and no coefficient other than sixteen zeros
  // (0xF0) and end of block (0x00) are not codes: decoders end the block
  // there. Under an AC table of '0' for the run of one, '10' for the end
  // of block, the walk would take 0x25 for two whole blocks.
  const Bytes runTable = Segment(0xc4, Writer().Raw({0x10, 1, 1}).Zeros(14).Raw({0x10, 0x00}).bytes);
  const Bytes runs = Writer().Raw({0xff, 0xd8}).Append(QuantTable).Append(HuffmanTable(0x00)).Append(runTable)
                         .Append(Frame(0xc0, 8, 16, 8, 1)).Append(Scan(1)).Raw({0x25, 0xff, 0xd9}).bytes;
  EXPECT_EQ(CompareFacts(runs).bytesReason, BytesReason::ImageDataCutShort);
}

TEST(HeaderFactsShowing, FilesWhosePixelsDoNotStandForThem) {
  EXPECT_EQ(Facts(Jpeg({QuantTable, Frame(0xc0, 8, 8, 8, 4), Scan(4)})).bytesReason, BytesReason::CmykInks);  // CMYK
  EXPECT_EQ(Facts(Jpeg({QuantTable, Frame(0xc0, 8, 8, 8, 3), Scan(3)})).bytesReason, BytesReason::None);
  const auto tiffWith = [](std::vector<TiffField> extra) {
    std::vector<TiffField> fields = RgbDirectory(4, 4);
    for (TiffField& field : fields) {
      for (const TiffField& replacement : extra) {
        if (field.tag == replacement.tag) field = replacement;
      }
    }
    for (const TiffField& added : extra) {
      if (std::none_of(fields.begin(), fields.end(), [&](const TiffField& f) { return f.tag == added.tag; })) {
        fields.push_back(added);
      }
    }
    std::sort(fields.begin(), fields.end(), [](const TiffField& a, const TiffField& b) { return a.tag < b.tag; });
    return Facts(Tiff(false, {fields})).bytesReason;
  };
  EXPECT_EQ(tiffWith({}), BytesReason::None);
  EXPECT_EQ(tiffWith({{262, 3, 1, 5}, {277, 3, 1, 4}}), BytesReason::CmykInks);  // separated inks
  EXPECT_EQ(tiffWith({{262, 3, 1, 2}, {277, 3, 1, 4}, {338, 3, 1, 2}}), BytesReason::AlphaAltered);  // unassociated alpha
  EXPECT_EQ(tiffWith({{262, 3, 1, 2}, {277, 3, 1, 4}, {338, 3, 1, 1}}), BytesReason::None);  // associated alpha
  // JPEG strips, for a comparison of decoded pixels: libjpeg fills in the
  // blocks of one cut short and libtiff only warns.
  EXPECT_EQ(tiffWith({{259, 3, 1, 7}}), BytesReason::None);
  EXPECT_EQ(TiffReason({{259, 3, 1, 7}}), BytesReason::ScanLayoutNotFollowed);
  EXPECT_EQ(Facts(Bmp(124, 4, 4, 32, 3, 0, Masks(0xff0000, 0xff00, 0xff, 0xff000000))).bytesReason, BytesReason::AlphaAltered);
  EXPECT_EQ(Facts(Bmp(40, 4, 4, 24, 0)).bytesReason, BytesReason::None);
  const auto text = [](const std::string& content) { return Facts(Writer().Text(content).bytes).bytesReason; };
  EXPECT_EQ(text("\n  <svg width=\"4\" height=\"4\"/>"), BytesReason::VectorDrawing);
  EXPECT_EQ(text("<?xml version=\"1.0\"?><svg/>"), BytesReason::VectorDrawing);
  EXPECT_EQ(text("plain notes"), BytesReason::FormatNotChecked);
  Bytes emf = Writer().Le32(1).Le32(108).Zeros(32).Text(" EMF").Zeros(64).bytes;
  EXPECT_EQ(Facts(emf).bytesReason, BytesReason::VectorDrawing);
  EXPECT_EQ(Facts(Writer().Raw({0xd7, 0xcd, 0xc6, 0x9a}).Zeros(40).bytes).bytesReason, BytesReason::VectorDrawing);  // placeable WMF
}

// The same directory as a BigTIFF: 8-byte counts and offsets, 20-byte
// entries.
TEST(HeaderFactsShowing, BigTiffDirectoriesAreRead) {
  Writer big;
  big.Text("II").Le16(43).Le16(8).Le16(0).Le32(16).Le32(0);
  const std::vector<TiffField> fields = RgbDirectory(4, 4);
  big.Le32(static_cast<std::uint32_t>(fields.size())).Le32(0);
  const std::uint32_t dataAt = 16 + 8 + 20 * static_cast<std::uint32_t>(fields.size()) + 8;
  for (const TiffField& field : fields) {
    big.Le16(field.tag).Le16(field.type).Le32(field.count).Le32(0).Le32(field.tag == 273 ? dataAt : field.value).Le32(0);
  }
  big.Le32(0).Le32(0).Zeros(64);
  const HeaderFacts facts = Facts(big.bytes);
  EXPECT_EQ(facts.moreThanOneImage, Answer::No);
  EXPECT_EQ(facts.deeperThan8Bits, Answer::No);
  EXPECT_EQ(facts.largestImagePixels, 16u);
}

// ---- AVIF: what a comparison accounts for

BytesReason AvifReason(const AvifOptions& options) { return CompareFacts(Avif(options)).bytesReason; }

TEST(HeaderFactsAvifProof, ReferencesOfKnownKinds) {
  EXPECT_EQ(AvifReason({}), BytesReason::None);
  AvifOptions premultiplied;
  premultiplied.secondImage = true;
  premultiplied.references = Reference("prem", 1, 1, {2});
  EXPECT_EQ(AvifReason(premultiplied), BytesReason::UnknownItemReference);
  AvifOptions derived = premultiplied;
  derived.references = Reference("dimg", 1, 1, {2});  // derived from a plain image
  EXPECT_EQ(AvifReason(derived), BytesReason::UnknownItemReference);
  AvifOptions grid = premultiplied;
  grid.secondType = "grid";
  grid.references = Reference("dimg", 2, 1, {1});
  EXPECT_EQ(AvifReason(grid), BytesReason::None);
  AvifOptions thumbnail = premultiplied;
  thumbnail.references = Reference("thmb", 2, 1, {1});
  EXPECT_EQ(AvifReason(thumbnail), BytesReason::None);
  AvifOptions described = premultiplied;
  described.references = Reference("cdsc", 1, 1, {2});  // an image describing another
  EXPECT_EQ(AvifReason(described), BytesReason::UnknownItemReference);
  // The decoder folds an alpha plane into the pixels; it shows no depth map.
  const auto auxiliary = [](const std::string& name) {
    AvifOptions options;
    options.secondImage = true;
    options.references = Reference("auxl", 2, 1, {1});
    options.properties = {FullBox("auxC", 0, Writer().Text(name).Raw({0}).bytes)};
    return AvifReason(options);
  };
  EXPECT_EQ(auxiliary("urn:mpeg:mpegB:cicp:systems:auxiliary:alpha"), BytesReason::None);
  EXPECT_EQ(auxiliary("urn:mpeg:hevc:2015:auxid:1"), BytesReason::None);
  EXPECT_EQ(auxiliary("urn:mpeg:mpegB:cicp:systems:auxiliary:depth"), BytesReason::ImagesNotShown);
}

TEST(HeaderFactsAvifProof, BoxesOfKnownKinds) {
  const auto with = [](std::vector<Bytes> properties, Bytes metaBoxes, Bytes after) {
    AvifOptions options;
    options.properties = std::move(properties);
    options.metaBoxes = std::move(metaBoxes);
    options.after = std::move(after);
    return AvifReason(options);
  };
  EXPECT_EQ(with({Box("pasp", Writer().Be32(1).Be32(1).bytes)}, {}, {}), BytesReason::None);
  EXPECT_EQ(with({Box("wxyz", {0})}, {}, {}), BytesReason::UnknownBox);
  EXPECT_EQ(with({}, Box("grpl", Box("altr", Bytes(12, 0))), {}), BytesReason::UnknownBox);  // alternatives
  EXPECT_EQ(with({}, FullBox("pitm", 0, Writer().Be16(1).bytes), {}), BytesReason::DuplicateStructure);
  EXPECT_EQ(with({}, Box("free", Bytes(4, 0)), Box("free", Bytes(8, 0))), BytesReason::None);
  EXPECT_EQ(with({}, {}, Box("uuid", Bytes(16, 0))), BytesReason::UnknownBox);
  EXPECT_EQ(with({}, {}, Box("abcd", {})), BytesReason::UnknownBox);
  EXPECT_EQ(with({}, {}, FullBox("meta", 0, {})), BytesReason::DuplicateStructure);
  EXPECT_EQ(with({}, {}, {1, 2, 3}), BytesReason::TrailingData);
  AvifOptions cut;
  cut.cutShort = true;
  EXPECT_EQ(AvifReason(cut), BytesReason::CutShort);
  AvifOptions overlay;
  overlay.secondImage = true;
  overlay.secondType = "iovl";
  EXPECT_EQ(AvifReason(overlay), BytesReason::UnknownItem);
  AvifOptions linked = overlay;
  linked.secondType = std::string("uri \0urn:x", 10);  // an empty name, then the URI type
  EXPECT_EQ(AvifReason(linked), BytesReason::UnknownItem);
  // MIME items: an empty name, the content type and its encoding.
  AvifOptions xmp = overlay;
  xmp.secondType = std::string("mime\0application/rdf+xml\0", 25);
  xmp.references = Reference("cdsc", 2, 1, {1});
  EXPECT_EQ(AvifReason(xmp), BytesReason::None);
  AvifOptions picture = xmp;
  picture.secondType = std::string("mime\0image/jpeg\0", 16);
  EXPECT_EQ(AvifReason(picture), BytesReason::UnknownItem);
}

Bytes Nclx(int primaries, int transfer) {
  return Box("colr", Writer().Text("nclx").Be16(static_cast<std::uint32_t>(primaries))
                         .Be16(static_cast<std::uint32_t>(transfer)).Be16(1).Raw({0x80}).bytes);
}
Bytes IccColr(double redX) { return Box("colr", Writer().Text("prof").Append(IccProfile(redX)).bytes); }

TEST(HeaderFactsAvifProof, ColourIsDescribedOnce) {
  const auto described = [](std::vector<Bytes> properties) {
    AvifOptions options;
    options.properties = std::move(properties);
    return CompareFacts(Avif(options));
  };
  const HeaderFacts wide = described({Nclx(9, 16)});
  EXPECT_EQ(wide.bytesReason, BytesReason::None);
  EXPECT_NE(wide.presentation.colour, 0u);
  EXPECT_EQ(described({Nclx(1, 13), Nclx(1, 13)}).bytesReason, BytesReason::ColourConflict);
  EXPECT_EQ(described({IccColr(0.4361), IccColr(0.4361)}).bytesReason, BytesReason::ColourConflict);
  EXPECT_EQ(described({Nclx(1, 13), IccColr(0.4361)}).bytesReason, BytesReason::None);  // both sRGB
  EXPECT_EQ(described({Nclx(1, 13), IccColr(0.7977)}).bytesReason, BytesReason::ColourConflict);
  EXPECT_EQ(described({Nclx(9, 16), IccColr(0.4361)}).bytesReason, BytesReason::ColourConflict);
  // Primaries and transfer left unspecified defer to the profile.
  const HeaderFacts profiled = described({Nclx(2, 2), IccColr(0.7977)});
  EXPECT_EQ(profiled.bytesReason, BytesReason::None);
  EXPECT_NE(profiled.presentation.colour, 0u);
}

// An Exif item describing the image: its data starts with the offset of
// the TIFF header after the "Exif" marker.
TEST(HeaderFactsAvifProof, ExifOrientationAgreesWithTheTransforms) {
  const auto withExif = [](int orientation, bool rotated) {
    AvifOptions options;
    options.secondImage = true;
    options.secondType = "Exif";
    options.references = Reference("cdsc", 2, 1, {1});
    options.secondData = Writer().Be32(6).Text("Exif").Zeros(2).Append(ExifBlock(false, orientation)).bytes;
    options.rotated = rotated;
    return AvifReason(options);
  };
  EXPECT_EQ(withExif(1, false), BytesReason::None);
  EXPECT_EQ(withExif(6, false), BytesReason::OrientationConflict);
  EXPECT_EQ(withExif(8, true), BytesReason::None);  // a quarter turn anticlockwise
  EXPECT_EQ(withExif(6, true), BytesReason::OrientationConflict);
}

}  // namespace
