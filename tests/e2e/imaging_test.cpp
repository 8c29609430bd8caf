// The pictures the platform's decoders open, on the real imaging library.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "plugin/platform.h"

namespace {

// The fixture opened the way the plugin opens a host's file.
std::unique_ptr<HostFile> OpenFixture(const std::string& name) {
  std::unique_ptr<HostFile> file = FindHostFile((std::string(PIXDIM_FIXTURES) + "/" + name).c_str());
  file->Open();
  return file;
}

class RealImaging : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(StartDecoders(token)); }
  static void TearDownTestSuite() { StopDecoders(token); }
  static std::uintptr_t token;
};
std::uintptr_t RealImaging::token = 0;

TEST_F(RealImaging, PicturesReadSizesOfCommonFormats) {
  for (const char* name : {"photo.png", "photo.bmp", "photo.jpg", "photo.gif"}) {
    const std::unique_ptr<HostFile> file = OpenFixture(name);
    const ImageSize size = file->OpenPicture(PictureUse::Size)->Size();
    EXPECT_EQ(size.width, 64u) << name;
    EXPECT_EQ(size.height, 48u) << name;
  }
}

TEST_F(RealImaging, TextAndMissingFilesReadZeroByZero) {
  for (const char* name : {"notes.txt", "missing.png"}) {
    const std::unique_ptr<HostFile> file = OpenFixture(name);
    const std::unique_ptr<Picture> picture = file->OpenPicture(PictureUse::Pixels);
    EXPECT_EQ(picture->Size().width, 0u) << name;
    EXPECT_EQ(picture->Size().height, 0u) << name;
    EXPECT_EQ(picture->ImageCount(), 0u) << name;
    RowBand band;
    EXPECT_FALSE(picture->ReadRows(0, 1, band)) << name;
  }
}

TEST_F(RealImaging, RowsAreBgraWithStraightAlphaAtTheirStride) {
  const std::unique_ptr<HostFile> file = OpenFixture("photo-alpha.png");
  const std::unique_ptr<Picture> picture = file->OpenPicture(PictureUse::Pixels);
  ASSERT_EQ(picture->ImageCount(), 1u);
  EXPECT_TRUE(picture->SamplesFit8Bits());
  RowBand band;
  ASSERT_TRUE(picture->ReadRows(0, 48, band));
  EXPECT_GE(band.stride < 0 ? -band.stride : band.stride, 64 * 4);
  const auto pixel = [&](int x, int y) {
    std::uint32_t argb = 0;
    std::memcpy(&argb, band.Row(static_cast<std::uint32_t>(y)) + x * 4, 4);
    return argb;
  };
  // (10, 20) is half transparent, its right neighbour opaque; alpha is
  // straight, so both keep their colour.
  EXPECT_EQ(pixel(10, 20), 0x7F788F89u);
  EXPECT_EQ(pixel(11, 20) >> 24, 0xFFu);
}

TEST_F(RealImaging, DecodersListTheirExtensions) {
  ASSERT_FALSE(DecoderExtensionLists().empty());
  bool named = false;
  for (const std::string& list : DecoderExtensionLists()) named = named || list.find("*.") == 0;
  EXPECT_TRUE(named);
}

}  // namespace
