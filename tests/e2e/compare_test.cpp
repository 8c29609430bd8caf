#include <string>

#include "tests/e2e/plugin_fixture.h"

namespace {

constexpr int Equal = 100;
constexpr int Different = 0;

int Compare(const std::string& first, const std::string& second, int index = 10000) {
  return Exports().CompareFiles(nullptr, index, Fixture(first).c_str(), Fixture(second).c_str(),
                                nullptr);
}

using ContentCompare = StartedPlugin;

TEST_F(ContentCompare, OnlyTheContentIndexIsSupported) {
  EXPECT_EQ(Compare("photo.png", "photo.png", 9999), -3);
  EXPECT_EQ(Compare("photo.png", "photo.png", 10001), -3);
}

TEST_F(ContentCompare, SamePixelsInAnyFormAreEqual) {
  EXPECT_EQ(Compare("photo.png", "photo.png"), Equal);
  EXPECT_EQ(Compare("photo.bmp", "photo.png"), Equal);
  EXPECT_EQ(Compare("photo.png", "photo.tif"), Equal);
  EXPECT_EQ(Compare("photo.png", "photo-interlaced.png"), Equal);
  EXPECT_EQ(Compare("photo.png", "photo-comment.png"), Equal);
}

TEST_F(ContentCompare, OneDifferingPixelIsDifferent) {
  EXPECT_EQ(Compare("photo.png", "photo-last-pixel.png"), Different);
  EXPECT_EQ(Compare("photo.bmp", "photo-last-pixel.bmp"), Different);
  EXPECT_EQ(Compare("photo.png", "photo-alpha.png"), Different);
}

// Same-size pictures without alpha: an unconverted or zero-filled lock
// would make them look alike.
TEST_F(ContentCompare, DifferentPicturesOfTheSameSizeAreDifferent) {
  EXPECT_EQ(Compare("photo.jpg", "mirror.jpg"), Different);
}

TEST_F(ContentCompare, ShapeMatters) {
  EXPECT_EQ(Compare("wide.png", "tall.png"), Different);
  EXPECT_EQ(Compare("photo.png", "short.png"), Different);
}

TEST_F(ContentCompare, UndecodableFilesAreEqualOnlyWhenByteIdentical) {
  EXPECT_EQ(Compare("notes.txt", "notes-copy.txt"), Equal);
  EXPECT_EQ(Compare("notes.txt", "other-notes.txt"), Different);
  EXPECT_EQ(Compare("photo.png", "notes.txt"), Different);
  EXPECT_EQ(Compare("photo.png", "missing.png"), Different);
  EXPECT_EQ(Compare("missing.png", "missing.png"), Different);
}

}  // namespace
