// "Equal" means the same picture as a viewer shows it: the same pixels and
// the same instructions for showing them (orientation, colour description,
// animation timing). Files whose decoded pixels do not stand for what they
// hold are equal only byte for byte. Each pair differs in one such respect.
#include <string>

#include "tests/e2e/plugin_fixture.h"

namespace {

int Compare(const std::string& first, const std::string& second) {
  return Exports().CompareFiles(nullptr, CompareIndexContent, Fixture(first).c_str(), Fixture(second).c_str(), nullptr);
}

using ShowingInstructions = StartedPlugin;

// No orientation tag means orientation 1.
TEST_F(ShowingInstructions, OrientationMustAgree) {
  EXPECT_EQ(Compare("orient-1.jpg", "orient-6.jpg"), Different);
  EXPECT_EQ(Compare("orient-1.png", "orient-6.png"), Different);
  EXPECT_EQ(Compare("orient-1.tif", "orient-6.tif"), Different);
  EXPECT_EQ(Compare("orient-1.tif", "orient-2.tif"), Different);
  EXPECT_EQ(Compare("photo.jpg", "orient-1.jpg"), Equal);
  EXPECT_EQ(Compare("photo.png", "orient-1.png"), Equal);
  EXPECT_EQ(Compare("photo.tif", "orient-1.tif"), Equal);
}

// None, an sRGB chunk, an sRGB profile and sRGB's gamma and primaries are
// one description (photo.png carries sRGB's gAMA and cHRM).
TEST_F(ShowingInstructions, ColourDescriptionMustAgree) {
  EXPECT_EQ(Compare("profile-srgb.jpg", "profile-romm.jpg"), Different);
  EXPECT_EQ(Compare("photo.png", "profile-romm.png"), Different);
  EXPECT_EQ(Compare("photo.png", "gamma-1.png"), Different);
  EXPECT_EQ(Compare("photo.png", "wide-gamut.png"), Different);
  EXPECT_EQ(Compare("photo.jpg", "profile-srgb.jpg"), Equal);
  EXPECT_EQ(Compare("photo.png", "srgb-chunk.png"), Equal);
  EXPECT_EQ(Compare("photo.png", "photo.tif"), Equal);
}

TEST_F(ShowingInstructions, AnimationTimingMustAgree) {
  EXPECT_EQ(Compare("frames-a.gif", "frames-a-slow.gif"), Different);
  EXPECT_EQ(Compare("frames-a.gif", "frames-a-once.gif"), Different);
}

// CMYK inks that convert to the same black, the colour of a transparent
// pixel of unassociated alpha, BMP alpha, detail below a pixel of a
// drawing, scan data cut short with the end marker put back.
TEST_F(ShowingInstructions, PixelsThatDoNotStandForTheFileLeaveItToTheBytes) {
  for (const char* pair : {"cmyk-k.tif cmyk-ck.tif", "unassociated-a.tif unassociated-b.tif",
                           "alpha-a.bmp alpha-b.bmp", "drawing-a.svg drawing-b.svg", "flat-bottom.jpg flat-bottom-cut.jpg"}) {
    const std::string names = pair;
    const std::string first = names.substr(0, names.find(' '));
    EXPECT_EQ(Compare(first, names.substr(names.find(' ') + 1)), Different) << pair;
    EXPECT_EQ(Compare(first, first), Equal) << pair;
  }
}

// The plugin tells why only the bytes count, in the words pixdim-compare
// prints after a "different".
TEST_F(ShowingInstructions, TheReasonTheBytesDecideIsTold) {
  const auto reason = [](const std::string& fixture) {
    char text[256] = {};
    Exports().BytesReason(Fixture(fixture).c_str(), text, sizeof text);
    return std::string(text);
  };
  EXPECT_EQ(reason("deep-a.png"), "has samples deeper than 8 bits");
  EXPECT_EQ(reason("apng-a.png"), "holds images a decoder does not show");
  EXPECT_EQ(reason("cmyk-k.tif"), "holds CMYK inks");
  EXPECT_EQ(reason("photo.png"), "");
}

// The same picture read along another path of the decoder.
TEST_F(ShowingInstructions, TiledTiffShowsTheSamePicture) {
  EXPECT_EQ(Compare("photo.png", "tiled-16.tif"), Equal);
  EXPECT_EQ(Compare("photo.png", "tiled-48.tif"), Equal);
}

}  // namespace
