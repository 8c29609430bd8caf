// Sizes of readable files whose headers lie far apart or far in: the
// header reader finds them within its budget by hopping over bodies by
// their lengths, and the budget still binds a file that would have it
// hop for ever.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/header_facts.h"
#include "imaging/header_reader.h"
#include "tests/native/header_bytes.h"

namespace {

Bytes Segment(int marker, const Bytes& payload) {
  return Writer().Raw({0xff, marker}).Be16(static_cast<std::uint32_t>(payload.size() + 2)).Append(payload).bytes;
}

// An extended XMP segment as a camera app writes it: the name, a GUID,
// the full length and this piece's offset, then the piece, filling the
// segment to its largest length.
Bytes ExtendedXmp(std::uint32_t piece) {
  Writer payload;
  payload.Text("http://ns.adobe.com/xmp/extension/").Raw({0});
  payload.Text(std::string(32, 'A')).Be32(64 * 65000).Be32(piece * 65000);
  payload.Zeros(65533 - payload.bytes.size());
  return Segment(0xe1, payload.bytes);
}

// A baseline JPEG, 400 x 300, grey, after the given segments.
Bytes JpegAfter(const std::vector<Bytes>& segments) {
  Writer jpeg;
  jpeg.Raw({0xff, 0xd8});
  for (const Bytes& segment : segments) jpeg.Append(segment);
  jpeg.Append(Segment(0xdb, Writer().Raw({0}).Zeros(64).bytes));
  jpeg.Append(Segment(0xc0, Writer().Raw({8}).Be16(300).Be16(400).Raw({1, 1, 0x11, 0}).bytes));
  jpeg.Append(Segment(0xc4, Writer().Raw({0x00, 1}).Zeros(15).Raw({0}).bytes));
  jpeg.Append(Segment(0xc4, Writer().Raw({0x10, 1}).Zeros(15).Raw({0}).bytes));
  jpeg.Append(Segment(0xda, Writer().Raw({1, 1, 0x00, 0, 63, 0}).bytes));
  return jpeg.Raw({0x12, 0x34, 0xff, 0xd9}).bytes;
}

// The JPEG above after count extended XMP segments.
Bytes JpegAfterExtendedXmp(std::uint32_t count) {
  std::vector<Bytes> segments;
  for (std::uint32_t i = 0; i < count; ++i) segments.push_back(ExtendedXmp(i));
  return JpegAfter(segments);
}

TEST(HeaderBudget, JpegFrameAfterSixtyFourExtendedXmpSegments) {
  MemoryFile file(JpegAfterExtendedXmp(64));
  const HeaderFacts facts = ReadHeaderFacts(file);
  EXPECT_EQ(facts.width, 400u);
  EXPECT_EQ(facts.height, 300u);
  // One window per hop: the bodies are never read.
  EXPECT_LE(file.reads, 64 + 4);
  EXPECT_LE(file.bytesRead, std::size_t{68} * HeaderReader::WindowBytes);
}

// A large TIFF as GDAL writes it: a strip per row, the strip data first,
// then the arrays of strip offsets and byte counts, then the directory at
// the very end. Only the header and the tail are held; the strip data
// reads as zeros.
class StripedTiff : public ByteSource {
 public:
  StripedTiff(std::uint32_t width, std::uint32_t rows, bool lastStripOutside = false) {
    const std::uint64_t rowBytes = width;  // 8-bit grey
    const std::uint64_t dataEnd = 8 + rowBytes * rows;
    tailStart = dataEnd;
    Writer tail;
    const auto offsetsAt = static_cast<std::uint32_t>(dataEnd);
    // Placed outside, the last strip starts a little past the end of the file.
    for (std::uint32_t row = 0; row + 1 < rows; ++row) tail.Le32(static_cast<std::uint32_t>(8 + rowBytes * row));
    tail.Le32(static_cast<std::uint32_t>(lastStripOutside ? dataEnd + 2 * rows * 4 + 200 : 8 + rowBytes * (rows - 1)));
    const auto countsAt = static_cast<std::uint32_t>(dataEnd + tail.bytes.size());
    for (std::uint32_t row = 0; row < rows; ++row) tail.Le32(static_cast<std::uint32_t>(rowBytes));
    directoryAt = dataEnd + tail.bytes.size();
    const struct {
      std::uint16_t tag, type;
      std::uint32_t count, value;
    } entries[] = {{256, 4, 1, width},  {257, 4, 1, rows},        {258, 3, 1, 8},       {259, 3, 1, 1},
                   {262, 3, 1, 1},      {273, 4, rows, offsetsAt}, {277, 3, 1, 1},       {278, 3, 1, 1},
                   {279, 4, rows, countsAt}};
    tail.Le16(static_cast<std::uint32_t>(std::size(entries)));
    for (const auto& entry : entries) tail.Le16(entry.tag).Le16(entry.type).Le32(entry.count).Le32(entry.value);
    tail.Le32(0);
    tailBytes = tail.bytes;
    head = Writer().Text("II").Le16(42).Le32(static_cast<std::uint32_t>(directoryAt)).bytes;
    size = tailStart + tailBytes.size();
  }
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t wanted) override {
    ++reads;
    bytesRead += wanted;
    if (offset >= size) return 0;
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(wanted, size - offset));
    auto* out = static_cast<std::uint8_t*>(buffer);
    for (std::size_t i = 0; i < count; ++i) out[i] = ByteAt(offset + i);
    return count;
  }
  std::uint64_t Size() const override { return size; }
  int reads = 0;
  std::size_t bytesRead = 0;

 private:
  std::uint8_t ByteAt(std::uint64_t offset) const {
    if (offset < head.size()) return head[offset];
    if (offset >= tailStart && offset - tailStart < tailBytes.size()) return tailBytes[offset - tailStart];
    return 0;
  }
  Bytes head;
  std::uint64_t tailStart = 0;
  Bytes tailBytes;
  std::uint64_t directoryAt = 0;
  std::uint64_t size = 0;
};

TEST(HeaderBudget, TiffOfSixThousandStripsWithItsDirectoryAtTheEnd) {
  StripedTiff tiff(10000, 6000);  // 60 MB
  const HeaderFacts facts = ReadHeaderFacts(tiff);
  EXPECT_EQ(facts.width, 10000u);
  EXPECT_EQ(facts.height, 6000u);
  // The strip arrays (48 KB) are not read for a size: a few windows serve
  // the header and the directory, for the camera check and the TIFF reader.
  EXPECT_LE(tiff.bytesRead, std::size_t{10} * HeaderReader::WindowBytes);
  // A comparison decodes every strip: it leaves the size to the decoder
  // rather than read arrays that long.
  StripedTiff compared(10000, 6000);
  EXPECT_EQ(ReadHeaderFacts(compared, Reach::Comparison).width, 0u);
}

// A last strip outside the file, as in a file cut short: the decoder
// would fail there.
TEST(HeaderBudget, TiffWhoseLastStripLiesOutsideHasNoSize) {
  StripedTiff outside(10000, 6000, true);
  EXPECT_EQ(ReadHeaderFacts(outside).width, 0u);
}

// 96 bytes: a text chunk before the image data whose length claims the
// largest a PNG chunk may have. The header is cut short, not long: the
// reader says so at once, so no decoder is asked to hold the chunk.
TEST(HeaderBudget, AChunkLongerThanTheFileCutsTheHeaderShort) {
  Writer png;
  png.Raw({0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'}).Append(Ihdr(1, 1, 8, 2));
  png.Be32(0x7fffffff).Text("tEXt");
  png.Zeros(96 - png.bytes.size());
  MemoryFile file(png.bytes);
  const HeaderFacts facts = ReadHeaderFacts(file);
  EXPECT_EQ(facts.format, ImageFormat::Png);
  EXPECT_EQ(facts.width, 0u);
  EXPECT_TRUE(facts.headerCutShort);
  EXPECT_LE(file.reads, 2);
}

// Segments that never end in a frame: the walk stops at the budget, well
// before the end of the file.
TEST(HeaderBudget, EndlessSegmentsStillSpendTheBudget) {
  MemoryFile file(JpegAfterExtendedXmp(300));
  const HeaderFacts facts = ReadHeaderFacts(file);
  EXPECT_EQ(facts.width, 0u);
  EXPECT_LE(file.reads, HeaderReader::MaxFetches);
  EXPECT_LE(file.bytesRead, HeaderReader::MaxFetchedBytes);
}

}  // namespace
