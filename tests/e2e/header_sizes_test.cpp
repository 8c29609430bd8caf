// Sizes the header settles on every plugin: WebP, AVIF and HEIC pictures
// show their stored sizes on Windows too, where GDI+ reads none of them.
// On Windows those formats compare equal only as the same bytes: nothing
// there decodes them.
#include <cstdint>
#include <string>

#include "tests/e2e/plugin_fixture.h"

namespace {

std::string Dimensions(const std::string& file) {
  char text[64] = "";
  Exports().GetValue(file.c_str(), FieldDimensions, 0, text, sizeof text, 0);
  return text;
}

int Compare(const std::string& first, const std::string& second) {
  return Exports().CompareFiles(nullptr, CompareIndexContent, Fixture(first).c_str(), Fixture(second).c_str(), nullptr);
}

using HeaderSizes = StartedPlugin;

TEST_F(HeaderSizes, WebPAvifAndHeicShowTheirSizes) {
  for (const char* file : {"photo-lossless.webp", "photo-lossy.webp", "photo-lossless.avif", "photo.heic"}) {
    EXPECT_EQ(Dimensions(Fixture(file)), "64 x 48") << file;
  }
}

// 8192 x 4096, turned a quarter by its 'irot' property.
TEST_F(HeaderSizes, ATurnedAvifShowsItsTurnedSize) {
  EXPECT_EQ(Dimensions(Fixture("turned-large.avif")), "4096 x 8192");
}

// An animation's size is its canvas, on Windows from the VP8X header: the
// fixture's 8 x 8 frames on a canvas of 20 x 10 (the 24-bit fields at 24
// and 27 hold the sides less one).
class AnimatedWebP : public CraftedFiles {};

TEST_F(AnimatedWebP, ShowsItsCanvas) {
  EXPECT_EQ(Dimensions(Fixture("anim-a.webp")), "8 x 8");
  std::string wide = ReadFixture("anim-a.webp");
  wide.replace(24, 6, std::string("\x13\0\0\x09\0\0", 6));
  EXPECT_EQ(Dimensions(Write("wide.webp", wide)), "20 x 10");
}

TEST_F(HeaderSizes, TodaysFormatsCompareAsThePlatformDecodesThem) {
  EXPECT_EQ(Compare("photo.heic", "photo-copy.heic"), Equal);
  EXPECT_EQ(Compare("anim-a.webp", "anim-a-copy.webp"), Equal);
  EXPECT_EQ(Compare("photo.heic", "photo.png"), Different);  // lossy
  // The same picture losslessly: Linux decodes both, Windows neither.
  EXPECT_EQ(Compare("photo-lossless.webp", "photo.png"), PIXDIM_DELAYS_VALUES ? Different : Equal);
  EXPECT_EQ(Compare("photo-lossless.avif", "photo-lossless.webp"), PIXDIM_DELAYS_VALUES ? Different : Equal);
}

}  // namespace
