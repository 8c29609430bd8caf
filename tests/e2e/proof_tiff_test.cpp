// TIFF files whose pixels match a PNG's but whose first directory holds a
// tag more: one no list accounts for sends the pair to the bytes, with its
// reason; an inert one leaves the pair equal.
#include <cstdint>
#include <string>

#include "tests/e2e/plugin_fixture.h"

namespace {

std::uint32_t Le16(const std::string& bytes, std::size_t at) {
  return static_cast<std::uint8_t>(bytes[at]) | static_cast<std::uint8_t>(bytes[at + 1]) << 8;
}
std::uint32_t Le32(const std::string& bytes, std::size_t at) { return Le16(bytes, at) | Le16(bytes, at + 2) << 16; }
void PutLe16(std::string& bytes, std::uint32_t value) {
  bytes.push_back(static_cast<char>(value & 255));
  bytes.push_back(static_cast<char>(value >> 8 & 255));
}
void PutLe32(std::string& bytes, std::uint32_t value) {
  PutLe16(bytes, value & 0xffff);
  PutLe16(bytes, value >> 16);
}

// photo.tif (little-endian) with its first directory written anew at the
// end of the file, holding one more tag: an ASCII value of three letters
// that fits the entry.
std::string WithTag(std::uint16_t tag) {
  std::string tiff = ReadFixture("photo.tif");
  if (tiff.size() % 2 != 0) tiff.push_back('\0');  // directories start on a word
  const std::uint32_t first = Le32(tiff, 4);
  const std::uint32_t count = Le16(tiff, first);
  const auto directory = static_cast<std::uint32_t>(tiff.size());
  PutLe16(tiff, count + 1);
  bool added = false;
  for (std::uint32_t i = 0; i <= count; ++i) {
    const std::size_t entry = first + 2 + 12 * std::size_t{i};
    if (!added && (i == count || Le16(tiff, entry) > tag)) {
      PutLe16(tiff, tag);
      PutLe16(tiff, 2);  // ASCII
      PutLe32(tiff, 4);
      tiff.append("pix", 4);
      added = true;
    }
    if (i < count) tiff += tiff.substr(entry, 12);
  }
  PutLe32(tiff, 0);
  for (int i = 0; i < 4; ++i) tiff[4 + i] = static_cast<char>(directory >> (8 * i) & 255);
  return tiff;
}

using TiffProof = CraftedFiles;

TEST_F(TiffProof, AnUnknownTagLeavesOnlyTheBytes) {
  const std::string unknown = Write("unknown-tag.tif", WithTag(65000));
  EXPECT_EQ(CompareWith(unknown, "photo.png"), Different);
  EXPECT_EQ(ReasonText(unknown), "holds a tag pixdim does not know");
}

TEST_F(TiffProof, AnInertTagKeepsThePairEqual) {
  const std::string software = Write("software.tif", WithTag(305));
  EXPECT_EQ(CompareWith(software, "photo.png"), Equal);
  EXPECT_EQ(ReasonText(software), "");
}

}  // namespace
