// The image access layer on the real imaging library.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "imaging/bitmap.h"
#include "imaging/decoder_list.h"
#include "imaging/image.h"
#include "plugin/host_file.h"

namespace {

// The fixture opened the way the plugin opens a host's file.
std::unique_ptr<HostFile> OpenFixture(const std::string& name) {
  std::unique_ptr<HostFile> file = FindHostFile((std::string(PIXDIM_FIXTURES) + "/" + name).c_str());
  file->Open();
  return file;
}

class RealImaging : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
  }
  static void TearDownTestSuite() { GdiplusShutdown(token); }
  static std::uintptr_t token;
};
std::uintptr_t RealImaging::token = 0;

TEST_F(RealImaging, ImageReadsSizesOfCommonFormats) {
  for (const char* name : {"photo.png", "photo.bmp", "photo.jpg", "photo.gif"}) {
    const std::unique_ptr<HostFile> file = OpenFixture(name);
    Gdiplus::Image image(file->ImagingStream());
    EXPECT_EQ(image.ReadWidth(), 64u) << name;
    EXPECT_EQ(image.ReadHeight(), 48u) << name;
    EXPECT_EQ(image.LastStatus(), Gdiplus::Ok) << name;
  }
}

TEST_F(RealImaging, TextAndMissingFilesReadZeroByZero) {
  for (const char* name : {"notes.txt", "missing.png"}) {
    const std::unique_ptr<HostFile> file = OpenFixture(name);
    Gdiplus::Image image(file->ImagingStream());
    EXPECT_EQ(image.Handle(), nullptr) << name;
    EXPECT_EQ(image.ReadWidth(), 0u) << name;
    EXPECT_EQ(image.ReadHeight(), 0u) << name;
    EXPECT_NE(image.LastStatus(), Gdiplus::Ok) << name;
  }
}

TEST_F(RealImaging, ReadLockDeliversArgbPixelsAtItsStride) {
  const std::unique_ptr<HostFile> file = OpenFixture("photo-alpha.png");
  Gdiplus::Bitmap bitmap(file->ImagingStream());
  const Gdiplus::Rect whole{0, 0, 64, 48};
  Gdiplus::BitmapData data{};
  ASSERT_EQ(bitmap.LockPixels(&whole, Gdiplus::ImageLockModeRead, Gdiplus::PixelFormat32bppARGB, &data),
            Gdiplus::Ok);
  EXPECT_GE(data.Stride < 0 ? -data.Stride : data.Stride, 64 * 4);
  const auto pixel = [&](int x, int y) {
    std::uint32_t argb = 0;
    std::memcpy(&argb, static_cast<const std::uint8_t*>(data.Scan0) + y * data.Stride + x * 4, 4);
    return argb;
  };
  // (10, 20) is half transparent, its right neighbour opaque; alpha is
  // straight, so both keep their colour.
  EXPECT_EQ(pixel(10, 20), 0x7F788F89u);
  EXPECT_EQ(pixel(11, 20) >> 24, 0xFFu);
  EXPECT_EQ(bitmap.UnlockPixels(&data), Gdiplus::Ok);
}

TEST_F(RealImaging, DecoderListIsFilledAtTheReportedSize) {
  const Gdiplus::DecoderList decoders;
  ASSERT_GT(decoders.Count(), 0u);
  for (std::uint32_t i = 0; i < decoders.Count(); ++i) {
    ASSERT_NE(decoders[i].FilenameExtension, nullptr);
  }
}

}  // namespace
