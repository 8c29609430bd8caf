#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/codes.h"
#include "plugin/exports.h"
#include "plugin/value_stops.h"
#include "tests/native/fake_test_support.h"
#include "tests/native/header_bytes.h"

namespace {

class FieldValues : public OnFakeImaging {
 protected:
  void SetUp() override {
    OnFakeImaging::SetUp();
    std::memset(buffer, '#', sizeof buffer);
    fake::ScriptedImage photo;
    photo.width = 1920;
    photo.height = 1080;
    fake::AddImage("photo.png", photo);
    fake::FailLoadOf("notes.txt");
  }

  int Ask(const char* file, int field, int maxLen = 64, int flags = 0) {
    return ContentGetValue(file, field, 0, buffer, maxLen, flags);
  }
  std::int32_t Number() const {
    std::int32_t number = 0;
    std::memcpy(&number, buffer, sizeof number);
    return number;
  }
  std::string Text() const { return std::string(buffer, strnlen(buffer, sizeof buffer)); }
  bool Untouched() const { return Text() == std::string(sizeof buffer, '#'); }

  char buffer[64];
};

TEST_F(FieldValues, WidthHeightAndDimensions) {
  EXPECT_EQ(Ask("photo.png", 0), FieldTypeInt32);
  EXPECT_EQ(Number(), 1920);
  EXPECT_EQ(Ask("photo.png", 1), FieldTypeInt32);
  EXPECT_EQ(Number(), 1080);
  EXPECT_EQ(Ask("photo.png", 2), FieldTypeString);
  EXPECT_EQ(Text(), "1920 x 1080");
}

// The host asks for the three columns of a file one after the other.
TEST_F(FieldValues, ThreeColumnsReadTheFileOnceAndReleaseIt) {
  for (int field : {0, 1, 2}) Ask("photo.png", field);
  EXPECT_EQ(fake::CallsNamed("GdipLoadImageFromStream"),
            std::vector<std::string>{"GdipLoadImageFromStream(photo.png)"});
  EXPECT_EQ(fake::CallsNamed("GdipDisposeImage").size(), 1u);
  EXPECT_EQ(fake::CallsNamed("GdipFree").size(), 1u);
  EXPECT_EQ(Text(), "1920 x 1080");
}

TEST_F(FieldValues, ARewrittenFileIsReadAgain) {
  Ask("photo.png", 0);
  fake::ScriptedImage smaller;
  smaller.width = 640;
  smaller.height = 480;
  fake::AddImage("photo.png", smaller);
  fake::AddFile("photo.png", "rewritten");
  Ask("photo.png", 0);
  EXPECT_EQ(Number(), 640);
  EXPECT_EQ(fake::CallsNamed("GdipLoadImageFromStream").size(), 2u);
}

// A file written to just now may still be under way: its size is read
// again on every ask, even under the very same stamp.
TEST_F(FieldValues, ASizeUnderARecentStampIsNeverCached) {
  fake::MakeRecent("photo.png");
  Ask("photo.png", 0);
  fake::ScriptedImage landed;
  landed.width = 640;
  landed.height = 480;
  fake::AddImage("photo.png", landed);  // the same bytes, so the same stamp
  Ask("photo.png", 0);
  EXPECT_EQ(Number(), 640);
}

// The same for a size the header settles, without the imaging library.
TEST_F(FieldValues, AHeaderSizeUnderARecentStampIsNeverCached) {
  const auto png = [](std::uint32_t width) {
    const Bytes bytes = Png(Ihdr(width, 1080, 8, 2));
    return std::string(bytes.begin(), bytes.end());
  };
  fake::AddFile("header.png", png(1920));
  fake::MakeRecent("header.png");
  Ask("header.png", 0);
  EXPECT_EQ(Number(), 1920);
  fake::AddFile("header.png", png(640));  // as long, so the same stamp
  Ask("header.png", 0);
  EXPECT_EQ(Number(), 640);
  EXPECT_TRUE(fake::CallsNamed("GdipLoadImageFromStream").empty()) << "the size came from the header";
}

// The sizes come from a header read on this platform: the value is
// answered at once even when the host would accept it later.
TEST_F(FieldValues, DelayFlagIsAnsweredAtOnce) {
  EXPECT_EQ(Ask("photo.png", 0, 64, 1), FieldTypeInt32);
  EXPECT_EQ(Number(), 1920);
  EXPECT_EQ(Ask("photo.png", 3, 64, 1), ValueNoSuchField);
}

TEST_F(FieldValues, OtherFlagBitsAreIgnored) {
  EXPECT_EQ(Ask("photo.png", 0, 64, 2), FieldTypeInt32);
  EXPECT_EQ(Number(), 1920);
}

TEST_F(FieldValues, IndexOutsideTheCatalogueOpensNothing) {
  for (int field : {3, 10000, -1}) EXPECT_EQ(Ask("photo.png", field), ValueNoSuchField);
  EXPECT_TRUE(Untouched());
  EXPECT_TRUE(fake::Calls().empty());
}

TEST_F(FieldValues, UnallocatableImageIsFieldEmptyAndNotCached) {
  fake::FailNextAlloc();
  EXPECT_EQ(Ask("photo.png", 1), ValueFieldEmpty);
  EXPECT_TRUE(Untouched());
  fake::FailNextAlloc();
  EXPECT_EQ(Ask("photo.png", 2), ValueFieldEmpty);
  EXPECT_TRUE(Untouched());
  EXPECT_EQ(Ask("photo.png", 2), FieldTypeString);
  EXPECT_EQ(Text(), "1920 x 1080");
}

// The host asks to stop the value while the library loads the file: the
// load's reads fail, the value is empty and not cached, and the next ask
// reads the file afresh.
TEST_F(FieldValues, AValueStoppedWhileLoadingIsFieldEmptyAndNotCached) {
  fake::StopWhileLoading("photo.png");
  EXPECT_EQ(Ask("photo.png", 0), ValueFieldEmpty);
  EXPECT_TRUE(Untouched());
  EXPECT_EQ(fake::CallsNamed("GdipLoadImageFromStream").size(), 1u);
  EXPECT_EQ(StopValuesOf("photo.png"), 0);  // nothing under way any more
  EXPECT_EQ(Ask("photo.png", 0), FieldTypeInt32);
  EXPECT_EQ(Number(), 1920);
}

TEST_F(FieldValues, DimensionsAreCutToMaxLen) {
  const std::pair<int, const char*> cuts[] = {{1, ""},          {5, "1920"},        {6, "1920 "},
                                              {7, "1920 x"},    {8, "1920 x "},     {11, "1920 x 108"},
                                              {12, "1920 x 1080"}, {64, "1920 x 1080"}};
  for (const auto& [maxLen, expected] : cuts) {
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(Ask("photo.png", 2, maxLen), FieldTypeString);
    EXPECT_EQ(Text().substr(0, Text().find('#')), expected) << maxLen;
    if (maxLen < 64) {
      EXPECT_EQ(buffer[maxLen], '#') << "wrote past maxLen " << maxLen;
    }
  }
}

TEST_F(FieldValues, NoRoomLeavesTextUntouchedButStillAnswers) {
  for (int maxLen : {0, -1}) {
    EXPECT_EQ(Ask("photo.png", 2, maxLen), FieldTypeString);
    EXPECT_TRUE(Untouched());
  }
}

TEST_F(FieldValues, HugeSizesPrintWithoutMinusSign) {
  fake::ScriptedImage huge;
  huge.width = 4294967295u;
  huge.height = 2147483648u;
  fake::AddImage("huge.png", huge);
  Ask("huge.png", 2);
  EXPECT_EQ(Text(), "4294967295 x 2147483648");
}

void AppendBe32(std::string& bytes, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) bytes += static_cast<char>(value >> shift & 0xff);
}

// A PNG chunk: length, type and data, then the CRC of type and data.
std::string Chunk(const std::string& typeAndData, bool intactCrc = true) {
  std::uint32_t crc = 0xffffffffu;
  for (unsigned char c : typeAndData) {
    crc ^= c;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1)));
  }
  crc = ~crc ^ (intactCrc ? 0u : 1u);
  std::string chunk;
  AppendBe32(chunk, static_cast<std::uint32_t>(typeAndData.size() - 4));
  chunk += typeAndData;
  AppendBe32(chunk, crc);
  return chunk;
}

// A PNG's signature, IHDR chunk (its CRC intact unless told otherwise) and
// an empty IDAT chunk, as the format lays them out.
std::string PngHeader(std::uint32_t width, std::uint32_t height, bool intactCrc = true) {
  std::string ihdr = "IHDR";
  AppendBe32(ihdr, width);
  AppendBe32(ihdr, height);
  ihdr += std::string("\x08\x06\x00\x00\x00", 5);  // 8-bit RGBA, not interlaced
  return std::string("\x89PNG\r\n\x1a\n", 8) + Chunk(ihdr, intactCrc) + Chunk("IDAT") + Chunk("IEND");
}

// The platform's policy (here: PNG) lets the header settle the size: the
// imaging library is never started for it.
TEST_F(FieldValues, ASizeTheHeaderSettlesNeedsNoImagingLibrary) {
  fake::AddFile("header.png", PngHeader(300, 200));
  EXPECT_EQ(Ask("header.png", 0), FieldTypeInt32);
  EXPECT_EQ(Number(), 300);
  EXPECT_EQ(Ask("header.png", 2), FieldTypeString);
  EXPECT_EQ(Text(), "300 x 200");
  EXPECT_TRUE(fake::CallsNamed("GdipLoadImageFromStream").empty());
}

// A header the reader cannot vouch for leaves the size to the library.
TEST_F(FieldValues, AHeaderThatDoesNotSettleGoesToTheImagingLibrary) {
  fake::ScriptedImage image;
  image.width = 640;
  image.height = 480;
  fake::AddImage("broken.png", image);
  fake::AddFile("broken.png", PngHeader(300, 200, false));
  EXPECT_EQ(Ask("broken.png", 2), FieldTypeString);
  EXPECT_EQ(Text(), "640 x 480");
  EXPECT_EQ(fake::CallsNamed("GdipLoadImageFromStream").size(), 1u);
}

// A chunk before the image data that runs past the end of the file: no
// picture, whatever the library would make of it, and the library is not
// asked (it may first allocate what the chunk claims).
TEST_F(FieldValues, AHeaderCutShortIsNotHandedToTheImagingLibrary) {
  fake::ScriptedImage image;
  image.width = 640;
  image.height = 480;
  fake::AddImage("claims.png", image);
  const std::string header = PngHeader(300, 200);
  std::string claims = header.substr(0, 8 + 25);  // signature and IHDR
  AppendBe32(claims, 0x7fffffff);
  claims += "tEXtComment";
  fake::AddFile("claims.png", claims);
  EXPECT_EQ(Ask("claims.png", 2), ValueFieldEmpty);
  EXPECT_TRUE(fake::CallsNamed("GdipLoadImageFromStream").empty());
}

// A file that holds no picture shows nothing; a name that is no file is
// left out of the host's search. Neither touches the host's buffer, with
// or without the delay flag, and neither is cached: the file that turns
// into a picture under the same name is sized.
TEST_F(FieldValues, NoPictureIsFieldEmptyAndNoFileIsFileError) {
  fake::AddFile("empty.png", "");
  fake::AddFile("cut.png", PngHeader(300, 200).substr(0, 20));
  for (int flags : {0, DelayIfSlowFlag}) {
    for (int field : {0, 1, 2}) {
      for (const char* file : {"notes.txt", "empty.png", "cut.png"}) {
        EXPECT_EQ(Ask(file, field, 64, flags), ValueFieldEmpty) << file << " " << field;
        EXPECT_TRUE(Untouched()) << file << " " << field;
      }
      EXPECT_EQ(Ask("missing.png", field, 64, flags), ValueFileError) << field;
      EXPECT_TRUE(Untouched()) << field;
    }
  }
  fake::ScriptedImage landed;
  landed.width = 20;
  landed.height = 10;
  fake::AddImage("empty.png", landed);  // the scripted image, under the old stamp
  EXPECT_EQ(Ask("empty.png", 2), FieldTypeString);
  EXPECT_EQ(Text(), "20 x 10");
}

// A size of 0 is no picture's: the library's answer is not shown or cached.
TEST_F(FieldValues, ASizeOfZeroIsFieldEmpty) {
  fake::ScriptedImage flat;
  flat.width = 640;
  flat.height = 0;
  fake::AddImage("flat.png", flat);
  EXPECT_EQ(Ask("flat.png", 0), ValueFieldEmpty);
  EXPECT_TRUE(Untouched());
  EXPECT_EQ(Ask("flat.png", 0), ValueFieldEmpty);
  EXPECT_EQ(fake::CallsNamed("GdipLoadImageFromStream").size(), 2u);
}

}  // namespace
