// Copies of photo.png with chunks put in before its image data: inert ones
// keep it equal to photo.bmp, others leave the pair to the bytes, and the
// plugin names the reason.
#include <cstdint>
#include <string>

#include "imaging/bytes_reason.h"
#include "tests/e2e/plugin_fixture.h"
#include "tests/e2e/png_chunks.h"

namespace {

constexpr std::size_t AfterHeader = 33;  // signature and IHDR

// An EXIF block holding only an orientation, little-endian.
std::string Exif(int orientation) {
  return Chunk("eXIf", std::string("II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0", 18) +
                           static_cast<char>(orientation) + std::string(7, '\0'));
}

class PngChunks : public CraftedFiles {
 protected:
  // photo.png with the chunks after its IHDR.
  std::string Copy(const std::string& name, const std::string& chunks) const {
    const std::string photo = ReadFixture("photo.png");
    return Write(name, photo.substr(0, AfterHeader) + chunks + photo.substr(AfterHeader));
  }
};

TEST_F(PngChunks, TextStaysEqual) {
  EXPECT_EQ(CompareWith(Fixture("photo.png"), "photo.bmp"), Equal);
  const std::string text = Copy("text.png", Chunk("tEXt", std::string("Comment\0a note", 14)));
  EXPECT_EQ(CompareWith(text, "photo.bmp"), Equal);
  EXPECT_EQ(Reason(text), static_cast<int>(BytesReason::None));
}

// The decoders show the same pixels whatever these chunks say: fewer
// significant bits, a pixel size, a time stamp, compressed text.
TEST_F(PngChunks, InertChunksLeaveThePixelsAlone) {
  const std::string hints =
      Copy("hints.png", Chunk("sBIT", "\x05\x06\x05") + Chunk("pHYs", std::string("\0\0\x0b\x13\0\0\x0b\x13\x01", 9)) +
                            Chunk("tIME", std::string("\x07\xea\x0c\x09\x12\0\0", 7)) +
                            Chunk("zTXt", std::string("k\0\0\x78\x9c\x03\0\0\0\0\x01", 11)));
  EXPECT_EQ(CompareWith(hints, "photo.bmp"), Equal);
}

// cICP names a colour space (HDR among them) that some viewers follow.
TEST_F(PngChunks, AnUnknownChunkLeavesThePairToTheBytes) {
  const std::string cicp = Copy("cicp.png", Chunk("cICP", std::string("\x09\x10\x00\x01", 4)));
  EXPECT_EQ(CompareWith(cicp, "photo.bmp"), Different);
  EXPECT_EQ(Reason(cicp), static_cast<int>(BytesReason::UnknownChunk));
}

// libpng keeps the first EXIF block, other decoders the last.
TEST_F(PngChunks, ASecondExifChunkLeavesThePairToTheBytes) {
  const std::string upright = Copy("upright.png", Exif(1));
  EXPECT_EQ(CompareWith(upright, "photo.bmp"), Equal);
  const std::string twice = Copy("twice.png", Exif(1) + Exif(6));
  EXPECT_EQ(CompareWith(twice, "photo.bmp"), Different);
  EXPECT_EQ(Reason(twice), static_cast<int>(BytesReason::DuplicateStructure));
}

TEST_F(PngChunks, AnSrgbChunkBesideAProfileConflicts) {
  const std::string srgb = Copy("srgb.png", Chunk("sRGB", std::string(1, '\0')));
  EXPECT_EQ(CompareWith(srgb, "photo.bmp"), Equal);
  const std::string both = Copy("both.png", Chunk("sRGB", std::string(1, '\0')) +
                                                Chunk("iCCP", std::string("p\0\0\x78\x9c\x03\0\0\0\0\x01", 11)));
  EXPECT_EQ(CompareWith(both, "photo.bmp"), Different);
  EXPECT_EQ(Reason(both), static_cast<int>(BytesReason::ColourConflict));
}

}  // namespace
