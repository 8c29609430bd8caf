// Copies of photo.jpg with segments put in after its start marker: inert
// ones keep the pair equal, others leave it to the bytes, and the plugin
// names the reason.
#include <string>

#include "imaging/bytes_reason.h"
#include "tests/e2e/plugin_fixture.h"

namespace {

std::string Segment(int marker, const std::string& payload) {
  const std::size_t length = payload.size() + 2;
  return std::string{'\xff', static_cast<char>(marker), static_cast<char>(length >> 8),
                     static_cast<char>(length & 255)} + payload;
}

// An EXIF block holding only an orientation, little-endian.
std::string Exif(int orientation) {
  return Segment(0xe1, std::string("Exif\0\0II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0", 24) +
                           static_cast<char>(orientation) + std::string(7, '\0'));
}

// An EXIF block (little-endian) of orientation 1 whose second directory
// names a thumbnail: the bytes given, right after the directory.
std::string ExifWithThumbnail(const std::string& thumbnail) {
  const auto le32 = [](std::size_t value) {
    return std::string{static_cast<char>(value & 255), static_cast<char>(value >> 8 & 255),
                       static_cast<char>(value >> 16 & 255), static_cast<char>(value >> 24 & 255)};
  };
  constexpr std::size_t SecondDirectory = 8 + 2 + 12 + 4;
  constexpr std::size_t ThumbnailAt = SecondDirectory + 2 + 2 * 12 + 4;
  const std::string first = std::string("II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0\x01\0\0\0", 22) +
                            le32(SecondDirectory);
  const std::string second = std::string("\x02\0\x01\x02\x04\0\x01\0\0\0", 10) + le32(ThumbnailAt) +
                             std::string("\x02\x02\x04\0\x01\0\0\0", 8) + le32(thumbnail.size()) + le32(0);
  return Segment(0xe1, std::string("Exif\0\0", 6) + first + second + thumbnail);
}

class JpegSegments : public CraftedFiles {
 protected:
  // photo.jpg with the segments after its SOI marker.
  std::string Copy(const std::string& name, const std::string& segments) const {
    const std::string photo = ReadFixture("photo.jpg");
    return Write(name, photo.substr(0, 2) + segments + photo.substr(2));
  }
};

TEST_F(JpegSegments, CommentsAndXmpStayEqual) {
  const std::string annotated =
      Copy("annotated.jpg", Segment(0xfe, "a comment") +
                                Segment(0xe1, std::string("http://ns.adobe.com/xap/1.0/\0<x:xmpmeta/>", 41)));
  EXPECT_EQ(CompareWith(annotated, "photo.jpg"), Equal);
  EXPECT_EQ(Reason(annotated), static_cast<int>(BytesReason::None));
}

TEST_F(JpegSegments, AnUnknownSegmentLeavesThePairToTheBytes) {
  const std::string app3 = Copy("app3.jpg", Segment(0xe3, "maker data"));
  EXPECT_EQ(CompareWith(app3, "photo.jpg"), Different);
  EXPECT_EQ(Reason(app3), static_cast<int>(BytesReason::UnknownSegment));
}

// A decoder that takes the last EXIF block turns this copy; one that takes
// the first does not.
TEST_F(JpegSegments, ASecondExifBlockLeavesThePairToTheBytes) {
  const std::string upright = Copy("upright.jpg", Exif(1));
  EXPECT_EQ(CompareWith(upright, "photo.jpg"), Equal);
  const std::string twice = Copy("twice.jpg", Exif(1) + Exif(6));
  EXPECT_EQ(CompareWith(twice, "photo.jpg"), Different);
  EXPECT_EQ(Reason(twice), static_cast<int>(BytesReason::DuplicateStructure));
}

// File managers show the thumbnail in the picture's place: two files with
// other thumbnails are different, a re-tagged one that keeps it is not.
TEST_F(JpegSegments, ThumbnailsMustBeTheSame) {
  const std::string first = Copy("first.jpg", ExifWithThumbnail("\xff\xd8 one thumbnail \xff\xd9"));
  const std::string again = Copy("again.jpg", Segment(0xfe, "re-tagged") +
                                                  ExifWithThumbnail("\xff\xd8 one thumbnail \xff\xd9"));
  const std::string other = Copy("other.jpg", ExifWithThumbnail("\xff\xd8 another one \xff\xd9"));
  EXPECT_EQ(Reason(first), static_cast<int>(BytesReason::None));
  EXPECT_EQ(Exports().CompareFiles(nullptr, CompareIndexContent, first.c_str(), again.c_str(), nullptr), Equal);
  EXPECT_EQ(Exports().CompareFiles(nullptr, CompareIndexContent, first.c_str(), other.c_str(), nullptr), Different);
  EXPECT_EQ(CompareWith(first, "photo.jpg"), Different);
}

// A grey JPEG of three 8 x 8 blocks in a row, each sample step 1: a DC
// table of two codes ('0' no change, '10' a change of category 4), an AC
// table of one ('0' end of block), the frame marker given, then the
// segments and data given.
std::string GreyBlocks(int frameMarker, const std::string& segments) {
  const std::string dcTable = std::string("\x00\x01\x01", 3) + std::string(14, '\0') + std::string("\x00\x04", 2);
  const std::string acTable = std::string("\x10\x01", 2) + std::string(15, '\0') + std::string(1, '\0');
  const std::string frame = std::string("\x08\x00\x08\x00\x18\x01\x01\x11\x00", 9);
  return std::string("\xff\xd8", 2) + Segment(0xdb, std::string(1, '\0') + std::string(64, '\x01')) +
         Segment(0xc4, dcTable) + Segment(0xc4, acTable) + Segment(frameMarker, frame) + segments +
         std::string("\xff\xd9", 2);
}

std::string ScanOfBand(int start, int end) {
  return Segment(0xda, std::string{'\x01', '\x01', '\x00', static_cast<char>(start), static_cast<char>(end), '\x00'});
}

// Pairs that show the same pixels because the decoder makes up blocks the
// file does not code: restart markers out of turn (the second interval
// read as lost, the third block made up) and a progressive scan whose data
// ends a block early.
TEST_F(JpegSegments, BlocksTheDecoderMakesUpLeaveThePairToTheBytes) {
  const std::string baseline = ScanOfBand(0, 63);
  const std::string intervals = Segment(0xdd, std::string("\x00\x01", 2));
  const std::string plain = Write("plain.jpg", GreyBlocks(0xc0, baseline + std::string("\xa0\x4e", 2)));
  const std::string inTurn =
      Write("in-turn.jpg", GreyBlocks(0xc0, intervals + baseline + std::string("\xa1\xff\xd0\xa1\xff\xd1\x3f", 7)));
  const std::string outOfTurn =
      Write("out-of-turn.jpg", GreyBlocks(0xc0, intervals + baseline + std::string("\xa1\xff\xd0\xa1\xff\xd2\xa1", 7)));
  const auto compare = [](const std::string& first, const std::string& second) {
    return Exports().CompareFiles(nullptr, CompareIndexContent, first.c_str(), second.c_str(), nullptr);
  };
  EXPECT_EQ(compare(plain, inTurn), Equal);
  EXPECT_EQ(compare(plain, outOfTurn), Different);
  EXPECT_EQ(Reason(outOfTurn), static_cast<int>(BytesReason::ImageDataCutShort));
  // The third block's DC change coded to the level the cut scan's padding
  // bits give it.
  const std::string darker = Write("darker.jpg", GreyBlocks(0xc0, baseline + std::string("\xa0\x40", 2)));
  const std::string cut = Write("cut.jpg", GreyBlocks(0xc2, ScanOfBand(0, 0) + std::string("\xa1", 1) + ScanOfBand(1, 63) +
                                                                 std::string("\x1f", 1)));
  EXPECT_EQ(compare(darker, cut), Different);
  EXPECT_EQ(Reason(cut), static_cast<int>(BytesReason::ScanLayoutNotFollowed));
}

}  // namespace
