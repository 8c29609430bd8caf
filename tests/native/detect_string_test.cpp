#include <cstdio>
#include <cstring>
#include <string>

#include "imaging/flat_api.h"
#include "plugin/exports.h"
#include "tests/native/fake_test_support.h"

namespace {

class DetectString : public OnFakeImaging {
 protected:
  std::string Ask(int maxLen = 2048) {
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(ContentGetDetectString(buffer, maxLen), 0);
    return std::string(buffer, strnlen(buffer, sizeof buffer));
  }
  bool Untouched() const { return buffer[0] == '#' && buffer[sizeof buffer - 1] == '#'; }
  char buffer[4096];
};

TEST_F(DetectString, OneTermPerExtensionInTheLibrarysOrder) {
  fake::AddDecoder(u"*.BMP;*.DIB");
  fake::AddDecoder(u"*.PNG");
  EXPECT_EQ(Ask(), "EXT=\"BMP\" | EXT=\"DIB\" | EXT=\"PNG\"");
}

// Formats only the header reader reads come after the library's own.
TEST_F(DetectString, HeaderOnlyFormatsFollowTheDecoders) {
  fake::SetHeaderOnlyExtensions("*.WEBP;*.HEIC");
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

// Decoders named "*.Fnnn;*.Snnn": a first extension and another spelling,
// each term ten characters, thirteen with its separator.
void AddDecoders(int count, bool otherSpelling) {
  for (int i = 0; i < count; ++i) {
    char16_t number[4] = {static_cast<char16_t>(u'0' + i / 100), static_cast<char16_t>(u'0' + i / 10 % 10),
                          static_cast<char16_t>(u'0' + i % 10), u'\0'};
    fake::AddDecoder(u"*.F" + std::u16string(number) + (otherSpelling ? u";*.S" + std::u16string(number) : u""));
  }
}

std::string Term(char kind, int i) {
  char text[32];
  std::snprintf(text, sizeof text, "EXT=\"%c%03d\"", kind, i);
  return text;
}

// The host's buffer holds 2,047 characters and the terminator: 157 terms
// of 13 characters fit (2,038 without the last separator), 158 do not.
// Other spellings go first, the last listed first; every decoder keeps its
// first extension.
TEST_F(DetectString, TermsBeyondTheHostsBufferAreDroppedWhole) {
  AddDecoders(150, true);
  std::string expected;
  for (int i = 0; i < 150; ++i) {
    expected += (i == 0 ? "" : " | ") + Term('F', i);
    if (i < 7) expected += " | " + Term('S', i);
  }
  EXPECT_EQ(Ask(), expected);
  EXPECT_EQ(Ask(5000), expected);
  EXPECT_EQ(buffer[expected.size() + 1], '#');
}

// Once only first extensions are left, the last listed go.
TEST_F(DetectString, FirstExtensionsGoLastListedFirst) {
  AddDecoders(250, false);
  const std::string text = Ask();
  EXPECT_EQ(text.size(), 2038u);
  EXPECT_EQ(text.substr(text.size() - 10), Term('F', 156));
}

TEST_F(DetectString, BoundedByMaxLenInWholeTerms) {
  AddDecoders(20, true);
  EXPECT_EQ(Ask(30), Term('F', 0) + " | " + Term('F', 1));  // 23 characters; a third would need 36
  EXPECT_EQ(buffer[23], '\0');
  EXPECT_EQ(buffer[24], '#');
  EXPECT_EQ(Ask(11), Term('F', 0));
  EXPECT_EQ(Ask(10), "");  // no room for a whole term
  EXPECT_EQ(buffer[1], '#');
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
