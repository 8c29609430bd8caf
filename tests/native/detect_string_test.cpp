#include <cstring>
#include <string>

#include "imaging/flat_api.h"
#include "plugin/exports.h"
#include "tests/native/fake_test_support.h"

namespace {

class DetectString : public OnFakeImaging {
 protected:
  std::string Ask(int maxLen = 2000) {
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(ContentGetDetectString(buffer, maxLen), 0);
    return std::string(buffer, strnlen(buffer, sizeof buffer));
  }
  bool Untouched() const { return buffer[0] == '#' && buffer[sizeof buffer - 1] == '#'; }
  char buffer[2001];
};

TEST_F(DetectString, OneTermPerExtensionInTheLibrarysOrder) {
  fake::AddDecoder(u"*.BMP;*.DIB");
  fake::AddDecoder(u"*.PNG");
  EXPECT_EQ(Ask(), "EXT=\"BMP\" | EXT=\"DIB\" | EXT=\"PNG\"");
}

// Formats only the header reader reads come after the library's own.
TEST_F(DetectString, HeaderOnlyFormatsFollowTheDecoders) {
  fake::SetHeaderOnlyExtensions(u"*.WEBP;*.HEIC");
  EXPECT_EQ(Ask(), "EXT=\"WEBP\" | EXT=\"HEIC\"");
  fake::AddDecoder(u"*.PNG");
  EXPECT_EQ(Ask(), "EXT=\"PNG\" | EXT=\"WEBP\" | EXT=\"HEIC\"");
}

TEST_F(DetectString, OddListsFollowTheTermRules) {
  fake::AddDecoder(u"*.png;");
  fake::AddDecoder(u"");
  fake::AddDecoder(u";;*.TAR.GZ");
  EXPECT_EQ(Ask(), "EXT=\"png\" | EXT=\"TARGZ\"");
}

// Two loaders claim AVIF on Linux; the host needs each extension once, and
// matches them without regard to case.
TEST_F(DetectString, AnExtensionClaimedTwiceIsListedOnce) {
  fake::AddDecoder(u"*.avif");
  fake::AddDecoder(u"*.HEIF;*.heic;*.AVIF");
  fake::AddDecoder(u"*.jpg;*.jpeg;*.jpg");
  EXPECT_EQ(Ask(), "EXT=\"avif\" | EXT=\"HEIF\" | EXT=\"heic\" | EXT=\"jpg\" | EXT=\"jpeg\"");
}

TEST_F(DetectString, FillGetsExactlyTheReportedSize) {
  fake::AddDecoder(u"*.BMP");
  Ask();
  ASSERT_EQ(fake::CallsNamed("GdipGetImageDecodersSize").size(), 1u);
  EXPECT_EQ(fake::CallsNamed("GdipGetImageDecoders").front(),
            "GdipGetImageDecoders(1," + std::to_string(sizeof(Gdiplus::ImageCodecInfo) + 12) + ")");
}

TEST_F(DetectString, NoDecodersOrAFailedFillGiveAnEmptyString) {
  EXPECT_EQ(Ask(), "");

  fake::AddDecoder(u"*.BMP");
  fake::FailDecoderFill();
  EXPECT_EQ(Ask(), "");
}

TEST_F(DetectString, ASizeBeyondWhatCanBeAllocatedGivesAnEmptyString) {
  fake::AddDecoder(u"*.BMP");
  fake::ReportDecoderBytes(0xFFFFFFF0u);  // above the tests' allocation limit
  EXPECT_EQ(Ask(), "");
  EXPECT_TRUE(fake::CallsNamed("GdipGetImageDecoders").empty());
}

TEST_F(DetectString, BoundedByMaxLenAndByTheWorkingText) {
  for (int i = 0; i < 60; ++i) {
    fake::AddDecoder(u"*.EXTENSION" + std::u16string{static_cast<char16_t>(u'A' + i / 26),
                                                     static_cast<char16_t>(u'A' + i % 26)});
  }
  const std::string whole = Ask(2000);
  ASSERT_EQ(whole.size(), 999u);
  EXPECT_EQ(Ask(1000), whole);
  EXPECT_EQ(Ask(1001), whole);
  EXPECT_EQ(Ask(5000), whole);  // writes at most 1000 bytes
  EXPECT_EQ(Ask(10), whole.substr(0, 9));
  EXPECT_EQ(buffer[10], '#');
  EXPECT_EQ(Ask(1), "");
}

TEST_F(DetectString, NoRoomLeavesTheBufferUntouched) {
  fake::AddDecoder(u"*.BMP");
  for (int maxLen : {0, -1}) {
    Ask(maxLen);
    EXPECT_TRUE(Untouched());
  }
}

TEST_F(DetectString, OverlongExtensionListIsCutNotOverrun) {
  fake::AddDecoder(u"*." + std::u16string(400, u'X'));
  const std::string text = Ask();
  EXPECT_EQ(text, "EXT=\"" + std::string(257, 'X') + "\"");
}

}  // namespace
