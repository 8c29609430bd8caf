#include <string>

#include "tests/e2e/plugin_fixture.h"

namespace {

int Compare(const std::string& first, const std::string& second, int index = 10000) {
  return Exports().CompareFiles(nullptr, index, Fixture(first).c_str(), Fixture(second).c_str(),
                                nullptr);
}

// "frames-%.gif" with "a" gives "frames-a.gif".
std::string Member(const std::string& pattern, const std::string& part) {
  const std::size_t at = pattern.find('%');
  return pattern.substr(0, at) + part + pattern.substr(at + 1);
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

// Pairs that differ only where a decoder does not look: a later frame,
// page or icon entry, an APNG frame, a multi-picture JPEG's second image,
// the low byte of 16-bit samples. Their byte-identical copies are equal.
TEST_F(ContentCompare, HiddenImagesAndDeepSamplesDecide) {
  for (const char* pair : {"frames-%.gif", "pages-%.tif", "entries-%.ico", "apng-%.png", "mpf-%.jpg",
                                 "deep-%.png", "deep-%.tif"}) {
    EXPECT_EQ(Compare(Member(pair, "a"), Member(pair, "b")), Different) << pair;
    EXPECT_EQ(Compare(Member(pair, "a"), Member(pair, "a-copy")), Equal) << pair;
  }
}

// Files that share their first 90,000 bytes, or differ only in length.
TEST_F(ContentCompare, EveryByteOfFilesThatDoNotDecodeCounts) {
  EXPECT_EQ(Compare("prefix-a.bin", "prefix-b.bin"), Different);
  EXPECT_EQ(Compare("prefix-a.bin", "prefix-a-copy.bin"), Equal);
  EXPECT_EQ(Compare("length-a.txt", "length-b.txt"), Different);
  EXPECT_EQ(Compare("length-a.txt", "length-a-copy.txt"), Equal);
}

// Tiny files whose headers claim images far beyond the decode budget.
TEST_F(ContentCompare, DecompressionBombsAreComparedByTheirBytes) {
  for (const char* bomb : {"bomb.gif", "bomb-rle.bmp", "bomb.tif"}) {
    std::string other = bomb;
    other.insert(other.find('.'), "-2");
    EXPECT_EQ(Compare(bomb, bomb), Equal) << bomb;
    EXPECT_EQ(Compare(bomb, other), Different) << bomb;
  }
}

TEST_F(ContentCompare, UndecodableFilesAreEqualOnlyWhenByteIdentical) {
  EXPECT_EQ(Compare("notes.txt", "notes-copy.txt"), Equal);
  EXPECT_EQ(Compare("notes.txt", "other-notes.txt"), Different);
  EXPECT_EQ(Compare("photo.png", "notes.txt"), Different);
  EXPECT_EQ(Compare("photo.png", "missing.png"), FileError);
  EXPECT_EQ(Compare("missing.png", "missing.png"), FileError);
}

}  // namespace
