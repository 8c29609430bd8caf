// A WebP that shows the same pixels as a PNG is equal to it only while
// every chunk it holds is accounted for: copies of one with a chunk added
// or its flags changed.
#include <cstdint>
#include <string>

#include "tests/e2e/plugin_fixture.h"

namespace {

constexpr std::size_t RiffSizeAt = 4;
constexpr std::size_t FlagsAt = 20;  // in the VP8X chunk that follows the RIFF header
constexpr char ExifFlag = 0x08;

void SetRiffSize(std::string& webp) {
  const auto size = static_cast<std::uint32_t>(webp.size() - 8);
  for (int i = 0; i < 4; ++i) webp[RiffSizeAt + i] = static_cast<char>(size >> (8 * i) & 0xff);
}

using ProofWebP = CraftedFiles;

TEST_F(ProofWebP, ChunksNotAccountedForLeaveItToTheBytes) {
  ASSERT_EQ(CompareWith(Fixture("photo-lossless.webp"), "photo.png"), Equal);
  std::string unknown = ReadFixture("photo-lossless.webp");
  unknown += std::string("ZZZZ\x02\0\0\0ab", 10);
  SetRiffSize(unknown);
  std::string unflagged = ReadFixture("orient-1.webp");
  unflagged[FlagsAt] = static_cast<char>(unflagged[FlagsAt] & ~ExifFlag);
  const std::string trailing = ReadFixture("photo-lossless.webp") + "tail";
  const struct {
    const char* name;
    std::string bytes;
    const char* reason;
  } cases[] = {
      {"unknown.webp", unknown, "holds a chunk pixdim does not know"},
      {"unflagged.webp", unflagged, "holds structures that disagree with its flags or with one another"},
      {"trailing.webp", trailing, "holds data after its end"},
  };
  for (const auto& crafted : cases) {
    const std::string path = Write(crafted.name, crafted.bytes);
    EXPECT_EQ(CompareWith(path, "photo.png"), Different) << crafted.name;
    EXPECT_EQ(ReasonText(path), crafted.reason) << crafted.name;
  }
}

}  // namespace
