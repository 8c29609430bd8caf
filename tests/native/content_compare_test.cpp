#include <cstdio>
#include <string>
#include <vector>

#include "plugin/codes.h"
#include "plugin/exports.h"
#include "tests/native/fake_test_support.h"

namespace {

int Compare(const char* first, const char* second, int index = CompareIndexContent) {
  return ContentCompareFiles(nullptr, index, first, second, nullptr);
}

class ContentCompare : public OnFakeImaging {
 protected:
  void SetUp() override {
    OnFakeImaging::SetUp();
    fake::AddImage("a.png", fake::PatternImage(64, 48));
    fake::AddImage("same.bmp", fake::PatternImage(64, 48));
  }
};

TEST_F(ContentCompare, OtherIndexesAreNotSupportedAndOpenNothing) {
  EXPECT_EQ(Compare("a.png", "a.png", 9999), CompareNotSupported);
  EXPECT_EQ(Compare("a.png", "a.png", 10001), CompareNotSupported);
  EXPECT_TRUE(fake::Calls().empty());
}

TEST_F(ContentCompare, SamePixelsAreEqual) {
  EXPECT_EQ(Compare("a.png", "same.bmp"), CompareEqual);
  const std::vector<std::string> expected = {
      "GdipCreateBitmapFromFile(a.png)", "GdipCreateBitmapFromFile(same.bmp)",
      "GdipGetImageWidth(a.png)",        "GdipGetImageWidth(same.bmp)",
      "GdipGetImageHeight(a.png)",       "GdipGetImageHeight(same.bmp)"};
  EXPECT_EQ(std::vector<std::string>(fake::Calls().begin(), fake::Calls().begin() + 6), expected);
}

TEST_F(ContentCompare, LocksWholeImageForReadingAs32BitArgb) {
  Compare("a.png", "same.bmp");
  EXPECT_EQ(fake::CallsNamed("GdipBitmapLockBits"),
            (std::vector<std::string>{
                "GdipBitmapLockBits(a.png rect=0,0,64,48 flags=1 format=0x26200a)",
                "GdipBitmapLockBits(same.bmp rect=0,0,64,48 flags=1 format=0x26200a)"}));
  EXPECT_EQ(fake::CallsNamed("GdipBitmapUnlockBits").size(), 2u);
}

TEST_F(ContentCompare, OneByteInTheLastRowDiffers) {
  fake::ScriptedImage changed = fake::PatternImage(64, 48);
  changed.argb.back() ^= 0x01000000u;  // alpha of the very last pixel
  fake::AddImage("changed.png", changed);
  EXPECT_EQ(Compare("a.png", "changed.png"), CompareDifferent);
}

TEST_F(ContentCompare, SameByteCountInAnotherShapeDiffers) {
  fake::AddImage("wide.png", fake::PatternImage(640, 480));
  fake::AddImage("tall.png", fake::PatternImage(480, 640));
  fake::AddImage("short.png", fake::PatternImage(64, 40));
  EXPECT_EQ(Compare("wide.png", "tall.png"), CompareDifferent);
  EXPECT_EQ(Compare("a.png", "short.png"), CompareDifferent);
  EXPECT_TRUE(fake::CallsNamed("GdipBitmapLockBits").empty());
}

TEST_F(ContentCompare, StridesArePaddingAndDirectionAware) {
  fake::ScriptedImage padded = fake::PatternImage(64, 48);
  padded.stridePadding = 12;
  fake::ScriptedImage bottomUp = fake::PatternImage(64, 48);
  bottomUp.bottomUp = true;
  fake::AddImage("padded.bmp", padded);
  fake::AddImage("bottom-up.bmp", bottomUp);
  EXPECT_EQ(Compare("a.png", "padded.bmp"), CompareEqual);
  EXPECT_EQ(Compare("bottom-up.bmp", "padded.bmp"), CompareEqual);

  bottomUp.argb[64 * 47] ^= 1;  // first pixel of the last row
  fake::AddImage("bottom-up-changed.bmp", bottomUp);
  EXPECT_EQ(Compare("bottom-up-changed.bmp", "a.png"), CompareDifferent);
}

TEST_F(ContentCompare, ImageAgainstUnreadableFileDiffers) {
  fake::FailLoadOf("notes.txt");
  EXPECT_EQ(Compare("a.png", "notes.txt"), CompareDifferent);
  EXPECT_EQ(Compare("missing.png", "a.png"), CompareDifferent);
}

// Files the stand-in cannot decode are compared by their bytes on disk.
class UndecodableFiles : public ContentCompare {
 protected:
  void SetUp() override {
    ContentCompare::SetUp();
    first = Write("pixdim-first.txt", "some text\n");
    copy = Write("pixdim-copy.txt", "some text\n");
    other = Write("pixdim-other.txt", "other text\n");
    for (const std::string* file : {&first, &copy, &other}) fake::FailLoadOf(*file);
  }
  void TearDown() override {
    for (const std::string* file : {&first, &copy, &other}) std::remove(file->c_str());
    ContentCompare::TearDown();
  }
  static std::string Write(const std::string& name, const std::string& text) {
    const std::string path = ::testing::TempDir() + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::fputs(text.c_str(), file);
    std::fclose(file);
    return path;
  }
  std::string first, copy, other;
};

TEST_F(UndecodableFiles, AreEqualOnlyWhenByteIdentical) {
  EXPECT_EQ(Compare(first.c_str(), copy.c_str()), CompareEqual);
  EXPECT_EQ(Compare(first.c_str(), first.c_str()), CompareEqual);
  EXPECT_EQ(Compare(first.c_str(), other.c_str()), CompareDifferent);
  EXPECT_EQ(Compare("missing-1.txt", "missing-2.txt"), CompareDifferent);
  EXPECT_EQ(Compare("missing-1.txt", "missing-1.txt"), CompareDifferent);
}

TEST_F(ContentCompare, FailedLockFallsBackToBytesAndUnlocksOnlyWhatWasLocked) {
  fake::FailLockOf("same.bmp");
  EXPECT_EQ(Compare("a.png", "same.bmp"), CompareDifferent);  // neither file exists on disk
  EXPECT_EQ(fake::CallsNamed("GdipBitmapUnlockBits"),
            std::vector<std::string>{"GdipBitmapUnlockBits(a.png)"});

  fake::Reset();
  fake::AddImage("a.png", fake::PatternImage(64, 48));
  fake::AddImage("same.bmp", fake::PatternImage(64, 48));
  fake::FailLockOf("a.png");
  EXPECT_EQ(Compare("a.png", "same.bmp"), CompareDifferent);
  EXPECT_EQ(fake::CallsNamed("GdipBitmapLockBits").size(), 1u);
  EXPECT_TRUE(fake::CallsNamed("GdipBitmapUnlockBits").empty());
}

}  // namespace
