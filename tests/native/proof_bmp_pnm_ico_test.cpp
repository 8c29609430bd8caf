// What a comparison accounts for in BMP, PNM, ICO and CUR files, and the
// reason it names for what it cannot: files built field by field as the
// formats lay them down.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "imaging/header_facts.h"
#include "tests/native/header_bytes.h"

namespace {

HeaderFacts CompareFacts(const Bytes& bytes) {
  MemoryFile file(bytes);
  return ReadHeaderFacts(file, Reach::Comparison);
}

// ---- BMP

constexpr std::uint32_t Srgb = 0x73524742;
constexpr std::uint32_t Linked = 0x4c494e4b;
constexpr std::uint32_t Embedded = 0x4d424544;

// A 2 x 2 24-bit image with a 124-byte info header, its colour space, a
// gap between the headers and the rows, the rows (two of two pixels, each
// padded to 8 bytes), the bytes after them, and where a profile lies (from
// the info header).
Bytes Bmp(std::uint32_t space, std::size_t gap = 0, std::size_t rowBytes = 16, const Bytes& after = {},
          std::uint32_t profileAt = 0, std::uint32_t profileSize = 0) {
  const std::uint32_t dataOffset = 14 + 124 + static_cast<std::uint32_t>(gap);
  const auto fileSize = static_cast<std::uint32_t>(dataOffset + rowBytes + after.size());
  Writer bmp;
  bmp.Text("BM").Le32(fileSize).Le32(0).Le32(dataOffset);
  bmp.Le32(124).Le32(2).Le32(2).Le16(1).Le16(24).Le32(0).Le32(16).Zeros(16).Zeros(16);
  bmp.Le32(space).Zeros(36 + 12).Le32(4).Le32(profileAt).Le32(profileSize).Le32(0);
  return bmp.Zeros(gap).Zeros(rowBytes).Append(after).bytes;
}

TEST(ProofBmp, TheRowsAndAProfileAfterThemEndTheFile) {
  EXPECT_EQ(CompareFacts(Bmp(Srgb)).bytesReason, BytesReason::None);
  EXPECT_EQ(CompareFacts(Bmp(Srgb, 10)).bytesReason, BytesReason::None);  // a gap before the rows
  EXPECT_EQ(CompareFacts(Bmp(Srgb, 0, 16, {0})).bytesReason, BytesReason::TrailingData);
  EXPECT_EQ(CompareFacts(Bmp(Srgb, 0, 15)).bytesReason, BytesReason::ImageDataCutShort);
  const Bytes profile(8, 1);
  const HeaderFacts embedded = CompareFacts(Bmp(Embedded, 0, 16, profile, 124 + 16, 8));
  EXPECT_EQ(embedded.bytesReason, BytesReason::None);
  EXPECT_NE(embedded.presentation.colour, 0u);
  Bytes pastProfile = profile;
  pastProfile.push_back(0);
  EXPECT_EQ(CompareFacts(Bmp(Embedded, 0, 16, pastProfile, 124 + 16, 8)).bytesReason, BytesReason::TrailingData);
  EXPECT_EQ(Facts(Bmp(Srgb, 0, 16, {0})).bytesReason, BytesReason::None);  // sizes do not count the rows
}

TEST(ProofBmp, ColourSpacesThatAreNotInTheFile) {
  const Bytes name = Writer().Text("C:\\profiles\\wide.icc").Raw({0}).bytes;
  EXPECT_EQ(CompareFacts(Bmp(Linked, 0, 16, name, 124 + 16, static_cast<std::uint32_t>(name.size()))).bytesReason,
            BytesReason::ProfileInOtherFile);
  EXPECT_EQ(CompareFacts(Bmp(0x41424344)).bytesReason, BytesReason::ColourUnreadable);
}

// ---- PNM

TEST(ProofPnm, TextSamplesAreNotCounted) {
  EXPECT_EQ(CompareFacts(Writer().Text("P3\n2 1\n255\n1 2 3 4 5 6\n").bytes).bytesReason, BytesReason::TextSamples);
  EXPECT_EQ(CompareFacts(Writer().Text("P1\n2 1\n0 1\n").bytes).bytesReason, BytesReason::TextSamples);
  EXPECT_EQ(CompareFacts(Writer().Text("P5 2 1 255\n").Zeros(2).bytes).bytesReason, BytesReason::None);
  EXPECT_EQ(CompareFacts(Writer().Text("P5 2 1 255\n").Zeros(1).bytes).bytesReason, BytesReason::ImageDataCutShort);
}

// ---- ICO and CUR

// A 4 x 4 32-bit DIB: its header, colour rows and mask rows.
constexpr std::uint32_t DibBytes = 40 + 4 * 16 + 4 * 4;

Bytes Dib() {
  return Writer().Le32(40).Le32(4).Le32(8).Le16(1).Le16(32).Zeros(24).Zeros(DibBytes - 40).bytes;
}

struct Entry {
  std::uint32_t size;
  std::uint32_t offset;
};

Bytes Icon(int type, const std::vector<Entry>& entries, const Bytes& data) {
  Writer icon;
  icon.Le16(0).Le16(static_cast<std::uint32_t>(type)).Le16(static_cast<std::uint32_t>(entries.size()));
  for (const Entry& entry : entries) icon.Raw({4, 4, 0, 0}).Le16(1).Le16(32).Le32(entry.size).Le32(entry.offset);
  return icon.Append(data).bytes;
}

TEST(ProofIco, EveryByteBelongsToOneEntry) {
  constexpr std::uint32_t First = 6 + 16;
  EXPECT_EQ(CompareFacts(Icon(1, {{DibBytes, First}}, Dib())).bytesReason, BytesReason::None);
  EXPECT_EQ(CompareFacts(Icon(2, {{DibBytes, First}}, Dib())).bytesReason, BytesReason::None);
  Bytes trailing = Icon(1, {{DibBytes, First}}, Dib());
  trailing.push_back(0);
  EXPECT_EQ(CompareFacts(trailing).bytesReason, BytesReason::TrailingData);
  Bytes cut = Icon(1, {{DibBytes, First}}, Dib());
  cut.pop_back();
  EXPECT_EQ(CompareFacts(cut).bytesReason, BytesReason::CutShort);
  EXPECT_EQ(CompareFacts(Icon(1, {{DibBytes + 2, First}}, Writer().Append(Dib()).Zeros(2).bytes)).bytesReason,
            BytesReason::StructuresDisagree);  // the directory lists more than the image takes
  // Two entries of the same bytes, and an entry inside the directory.
  constexpr std::uint32_t Second = 6 + 2 * 16;
  EXPECT_EQ(CompareFacts(Icon(1, {{DibBytes, Second}, {DibBytes, Second}}, Dib())).bytesReason,
            BytesReason::EntriesOverlap);
  const Bytes twoDibs = Writer().Append(Dib()).Append(Dib()).bytes;
  const Bytes two = Icon(1, {{DibBytes, Second}, {DibBytes, Second + DibBytes}}, twoDibs);
  EXPECT_EQ(BytesReasonOf(CompareFacts(two)), BytesReason::ImagesNotShown);
  EXPECT_EQ(CompareFacts(Icon(1, {{DibBytes, 6}}, Dib())).bytesReason, BytesReason::EntriesOverlap);
  // An entry whose bytes are neither a DIB header nor a PNG.
  EXPECT_EQ(CompareFacts(Icon(1, {{8, First}}, Bytes(8, 1))).bytesReason, BytesReason::HeaderUnreadable);
}

std::uint32_t Crc(const Bytes& data) {
  std::uint32_t crc = 0xffffffffu;
  for (std::uint8_t byte : data) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

Bytes PngChunk(const std::string& type, const Bytes& data) {
  const Bytes typed = Writer().Text(type).Append(data).bytes;
  return Writer().Be32(static_cast<std::uint32_t>(data.size())).Append(typed).Be32(Crc(typed)).bytes;
}

// A 4 x 4 RGBA PNG with the chunks given before its image data.
Bytes Png(const std::vector<Bytes>& chunks) {
  Writer png;
  png.Raw({0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'});
  png.Append(PngChunk("IHDR", Writer().Be32(4).Be32(4).Raw({8, 6, 0, 0, 0}).bytes));
  for (const Bytes& chunk : chunks) png.Append(chunk);
  return png.Append(PngChunk("IDAT", {1, 2, 3})).Append(PngChunk("IEND", {})).bytes;
}

Bytes PngIcon(const Bytes& png) { return Icon(1, {{static_cast<std::uint32_t>(png.size()), 6 + 16}}, png); }

// The PNG reader accounts for an embedded PNG as for a file of its own.
TEST(ProofIco, PngEntriesAreReadAsPngs) {
  const HeaderFacts plain = CompareFacts(PngIcon(Png({})));
  EXPECT_EQ(plain.bytesReason, BytesReason::None);
  EXPECT_EQ(plain.presentation.colour, 0u);
  const HeaderFacts linear = CompareFacts(PngIcon(Png({PngChunk("gAMA", Writer().Be32(100000).bytes)})));
  EXPECT_EQ(linear.bytesReason, BytesReason::None);
  EXPECT_NE(linear.presentation.colour, 0u);
  Bytes trailing = PngIcon(Png({}));
  trailing.push_back(0);
  EXPECT_EQ(CompareFacts(trailing).bytesReason, BytesReason::TrailingData);
}

}  // namespace
