// Today's formats through the Linux plugin's loaders: WebP and AVIF
// pictures show their sizes, lossless ones compare equal with the same
// picture in another format, and an animated WebP counts every frame.
#include <cstdint>
#include <string>

#include "tests/e2e/plugin_fixture.h"

namespace {

int Compare(const std::string& first, const std::string& second) {
  return Exports().CompareFiles(nullptr, CompareIndexContent, Fixture(first).c_str(), Fixture(second).c_str(), nullptr);
}

std::string Dimensions(const std::string& file) {
  char text[64] = "";
  Exports().GetValue(Fixture(file).c_str(), FieldDimensions, 0, text, sizeof text, 0);
  return text;
}

using TodaysFormats = StartedPlugin;

// The host matches the last extension of a name: "svg.gz" could never
// match, and would read as one term "svggz". Debian's AVIF and HEIF
// loaders both claim "avif": it is named once.
TEST_F(TodaysFormats, DetectStringNamesThemAndOnlyEndingsANameCanHave) {
  char text[2048] = "";
  Exports().GetDetectString(text, sizeof text);
  const std::string detect = text;
  for (const char* term : {"EXT=\"webp\"", "EXT=\"avif\"", "EXT=\"svg\""}) {
    EXPECT_NE(detect.find(term), std::string::npos) << term;
  }
  EXPECT_EQ(detect.find("svggz"), std::string::npos);
  const std::size_t avif = detect.find("EXT=\"avif\"");
  EXPECT_EQ(detect.find("EXT=\"avif\"", avif + 1), std::string::npos);
}

TEST_F(TodaysFormats, SizesOfWebPAndAvif) {
  for (const char* file : {"photo-lossless.webp", "photo-lossy.webp", "photo-lossless.avif"}) {
    EXPECT_EQ(Dimensions(file), "64 x 48") << file;
  }
  EXPECT_EQ(Dimensions("anim-a.webp"), "8 x 8");
}

TEST_F(TodaysFormats, LosslessPicturesEqualTheirTwinsInOtherFormats) {
  EXPECT_EQ(Compare("photo-lossless.webp", "photo.png"), Equal);
  EXPECT_EQ(Compare("photo-lossless.avif", "photo.bmp"), Equal);
  EXPECT_EQ(Compare("photo-lossless.avif", "photo-lossless.webp"), Equal);
  EXPECT_EQ(Compare("photo-lossy.webp", "photo.png"), Different);
}

TEST_F(TodaysFormats, AnimatedWebPCountsEveryFrame) {
  EXPECT_EQ(Compare("anim-a.webp", "anim-b.webp"), Different);
  EXPECT_EQ(Compare("anim-a.webp", "anim-a-copy.webp"), Equal);
}

// The showing instructions of the formats only gdk-pixbuf decodes, and
// HEIC compared by its pixels.
TEST_F(TodaysFormats, WebPAvifAndHeicShowingInstructions) {
  EXPECT_EQ(Compare("orient-1.webp", "orient-6.webp"), Different);
  EXPECT_EQ(Compare("photo-lossless.webp", "orient-1.webp"), Equal);
  EXPECT_EQ(Compare("photo-lossless.avif", "transfer-pq.avif"), Different);
  EXPECT_EQ(Compare("photo.heic", "photo-free.heic"), Equal);
}

// GDI+ does not read BigTIFF; gdk-pixbuf does.
TEST_F(TodaysFormats, BigTiffShowsTheSamePicture) { EXPECT_EQ(Compare("photo.png", "photo-big.tif"), Equal); }

// A readable, plausible header shows its size even where the image data
// is cut short; a header the decoder's own checks reject shows nothing.
TEST_F(TodaysFormats, SizesOfFilesThatDoNotDecodeWhole) {
  EXPECT_EQ(Dimensions("gif-cut.gif"), "64 x 48");
  EXPECT_EQ(ValueCode(Fixture("bogus-header.bmp")), ValueFieldEmpty);
}

// The sizes gdk-pixbuf decodes to: an SVG of width and height 0 renders
// as 1 x 1.
TEST_F(TodaysFormats, SizesAreTheDecodedOnes) {
  EXPECT_EQ(Dimensions("drawing-0x0.svg"), "1 x 1");
  EXPECT_EQ(Dimensions("drawing-a.svg"), "16 x 16");
  EXPECT_EQ(Dimensions("photo.heic"), "64 x 48");
}

}  // namespace
