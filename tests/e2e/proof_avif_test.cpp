// AVIF files whose pixels match a BMP's but that hold a structure more: a
// box or an item reference no list accounts for sends the pair to the
// bytes, with its reason; padding leaves the pair equal. Linux only: the
// Windows imaging library does not decode AVIF.
#include <cstdint>
#include <string>

#include "tests/e2e/plugin_fixture.h"

namespace {

std::uint32_t Be32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
  return value;
}
void SetBe32(std::string& bytes, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (24 - 8 * i) & 255);
}
std::string Be32Text(std::uint32_t value) {
  std::string text(4, '\0');
  SetBe32(text, 0, value);
  return text;
}
std::string Box(const std::string& type, const std::string& payload) {
  return Be32Text(static_cast<std::uint32_t>(8 + payload.size())) + type + payload;
}

// The original with a box inserted at the end of its 'meta' box (after
// 'ftyp'): the 'meta' box grows, and the one extent of its one item, laid
// out by a version 0 'iloc' box with 4-byte offsets and no base offset,
// moves with the data behind it. Empty when the fixture is laid out
// otherwise.
std::string WithMetaBox(const std::string& box) {
  std::string avif = ReadFixture("photo-lossless.avif");
  const std::size_t meta = Be32(avif, 0);
  const std::size_t metaEnd = meta + Be32(avif, meta);
  for (std::size_t child = meta + 12; child < metaEnd; child += Be32(avif, child)) {
    if (avif.compare(child + 4, 4, "iloc") != 0) continue;
    const std::size_t payload = child + 8;
    const bool simple = avif[payload] == 0 && avif.compare(payload + 4, 4, std::string("\x44\x00\x00\x01", 4)) == 0;
    if (!simple) return {};
    const std::size_t extentOffset = payload + 4 + 2 + 2 + 2 + 2 + 2;
    SetBe32(avif, extentOffset, Be32(avif, extentOffset) + static_cast<std::uint32_t>(box.size()));
    SetBe32(avif, meta, Be32(avif, meta) + static_cast<std::uint32_t>(box.size()));
    return avif.insert(metaEnd, box);
  }
  return {};
}

using AvifProof = CraftedFiles;


TEST_F(AvifProof, AnUnknownTopLevelBoxLeavesOnlyTheBytes) {
  const std::string unknown = Write("unknown-box.avif", ReadFixture("photo-lossless.avif") + Box("uuid", std::string(16, '\x5a')));
  EXPECT_EQ(CompareWith(unknown, "photo.bmp"), Different);
  EXPECT_EQ(ReasonText(unknown), "holds a box pixdim does not know");
  const std::string padded = Write("padded.avif", ReadFixture("photo-lossless.avif") + Box("free", std::string(16, '\0')));
  EXPECT_EQ(CompareWith(padded, "photo.bmp"), Equal);
  EXPECT_EQ(ReasonText(padded), "");
}

// A 'prem' reference (version 0 'iref'): the item's colours are
// premultiplied by another's alpha.
TEST_F(AvifProof, AnUnknownItemReferenceLeavesOnlyTheBytes) {
  const std::string reference = Box("prem", std::string("\0\x01\0\x01\0\x01", 6));
  const std::string crafted = WithMetaBox(Box("iref", std::string(4, '\0') + reference));
  ASSERT_FALSE(crafted.empty());
  const std::string premultiplied = Write("prem.avif", crafted);
  EXPECT_EQ(CompareWith(premultiplied, "photo.bmp"), Different);
  EXPECT_EQ(ReasonText(premultiplied), "holds an item reference pixdim does not know");
  // The same file with padding in place of the reference decodes alike.
  const std::string padded = Write("meta-free.avif", WithMetaBox(Box("free", std::string(14, '\0'))));
  EXPECT_EQ(CompareWith(padded, "photo.bmp"), Equal);
}

}  // namespace
