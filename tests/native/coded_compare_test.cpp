// Re-tagged copies of one coded picture are equal without a decode; every
// pair that shares the coded bytes yet may show other pixels goes on to
// the decoders (which the stand-in cannot open here, so such a pair is
// different), and so does a pair whose coded bytes differ.
#include <string>
#include <vector>

#include "plugin/codes.h"
#include "plugin/exports.h"
#include "tests/native/fake_test_support.h"
#include "tests/native/header_bytes.h"
#include "tests/native/jpeg_bytes.h"
#include "tests/progress_log.h"

namespace {

int Compare(const char* first, const char* second) {
  return ContentCompareFiles(nullptr, CompareIndexContent, first, second, nullptr);
}

void AddFile(const std::string& name, const Bytes& bytes) {
  fake::AddFile(name, std::string(bytes.begin(), bytes.end()));
}

std::size_t Decodes() {
  return fake::CallsNamed("GdipCreateBitmapFromStream").size() + fake::CallsNamed("GdipLoadImageFromStream").size();
}

// A PNG of the chunks before the image data, the image data split into the
// pieces given, and the chunks after it.
Bytes PngOf(const std::vector<Bytes>& before, const std::vector<Bytes>& data, const std::vector<Bytes>& after = {},
            const Bytes& ihdr = Ihdr(64, 48, 8, 2)) {
  Writer png;
  png.Raw({0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'}).Append(ihdr);
  for (const Bytes& chunk : before) png.Append(chunk);
  for (const Bytes& piece : data) png.Append(Chunk("IDAT", piece));
  for (const Bytes& chunk : after) png.Append(chunk);
  return png.Append(Chunk("IEND", {})).bytes;
}

Bytes Data(std::size_t size, int seed = 0) {
  Bytes data(size);
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>(i * 131 + static_cast<std::size_t>(seed));
  return data;
}

Bytes Part(const Bytes& data, std::size_t from, std::size_t to) { return Bytes(data.begin() + from, data.begin() + to); }

Bytes PngExif(int orientation) {
  return Chunk("eXIf", Writer().Text("II").Le16(42).Le32(8).Le16(1).Le16(0x112).Le16(3).Le32(1).Le16(orientation)
                           .Le16(0).Le32(0).bytes);
}

const Bytes TextChunk = Chunk("tEXt", Writer().Text("Comment").Raw({0}).Text("catalogued").bytes);
const Bytes ImageData = Data(5000);
const Bytes Original = PngOf({}, {ImageData});

class CodedCompare : public OnFakeImaging {
 protected:
  // The pair goes to the decoders: both are opened, and fail here.
  void ExpectDecoded(const Bytes& first, const Bytes& second) {
    AddFile("first", first);
    AddFile("second", second);
    fake::ForgetCalls();
    EXPECT_EQ(Compare("first", "second"), CompareDifferent);
    EXPECT_EQ(Decodes(), 2u);
  }
  void ExpectEqualUndecoded(const Bytes& first, const Bytes& second) {
    AddFile("first", first);
    AddFile("second", second);
    fake::ForgetCalls();
    EXPECT_EQ(Compare("first", "second"), CompareEqual);
    EXPECT_EQ(Decodes(), 0u);
  }
};

TEST_F(CodedCompare, PngWithTextAddedAndImageDataSplitOtherwiseIsEqualUndecoded) {
  const Bytes retagged = PngOf({TextChunk, Chunk("tIME", Writer().Be16(2026).Raw({12, 9, 18, 0, 0}).bytes)},
                               {Part(ImageData, 0, 1000), Part(ImageData, 1000, 1000), Part(ImageData, 1000, 5000)},
                               {TextChunk, Chunk("pHYs", Writer().Be32(2835).Be32(2835).Raw({1}).bytes)});
  ExpectEqualUndecoded(Original, retagged);
  EXPECT_TRUE(fake::Calls().empty());  // the imaging library is not even started
}

TEST_F(CodedCompare, JpegWithACommentAddedOrItsExifTextChangedIsEqualUndecoded) {
  const Bytes jfif = Named(0xe0, "JFIF", {1, 2, 0, 0, 1, 0, 1, 0, 0});
  const Bytes original = Jpeg({jfif, Exif(ExifBlock({{0x10f, 1}, {0x112, 6}}))});
  const Bytes retagged = Jpeg({jfif, Exif(ExifBlock({{0x10f, 2}, {0x110, 7}, {0x112, 6}})),
                               Segment(0xfe, Writer().Text("a comment").bytes),
                               Named(0xe1, "http://ns.adobe.com/xap/1.0/", Writer().Text("<x:xmpmeta/>").bytes)});
  ExpectEqualUndecoded(original, retagged);
}

TEST_F(CodedCompare, OrientationOrProfileChangedIsDifferent) {
  AddFile("upright.png", PngOf({PngExif(1)}, {ImageData}));
  AddFile("turned.png", PngOf({TextChunk, PngExif(6)}, {ImageData}));
  AddFile("profiled.png", PngOf({Chunk("iCCP", Writer().Text("p").Raw({0, 0, 0x78, 0x9c, 1}).bytes)}, {ImageData}));
  EXPECT_EQ(Compare("upright.png", "turned.png"), CompareDifferent);
  EXPECT_EQ(Compare("upright.png", "profiled.png"), CompareDifferent);
  const auto piece = [](int number, int byte) {
    return Named(0xe2, "ICC_PROFILE", Writer().Raw({number, 2, byte}).bytes);
  };
  AddFile("upright.jpg", Jpeg({}));
  AddFile("turned.jpg", Jpeg({Exif(ExifBlock({{0x112, 6}}))}));
  AddFile("profiled.jpg", Jpeg({piece(1, 7), piece(2, 8)}));
  AddFile("reprofiled.jpg", Jpeg({piece(1, 7), piece(2, 9)}));
  EXPECT_EQ(Compare("upright.jpg", "turned.jpg"), CompareDifferent);
  EXPECT_EQ(Compare("upright.jpg", "profiled.jpg"), CompareDifferent);
  EXPECT_EQ(Compare("profiled.jpg", "reprofiled.jpg"), CompareDifferent);
}

// Another encoding of the same pixels is for the decoders to judge.
TEST_F(CodedCompare, CodedDataDifferingInOneByteFallsToThePixels) {
  Bytes changed = ImageData;
  changed[4999] ^= 1;
  AddFile("a.png", Original);
  AddFile("b.png", PngOf({}, {changed}));
  fake::AddImage("a.png", fake::PatternImage(64, 48));
  fake::AddImage("b.png", fake::PatternImage(64, 48));
  EXPECT_EQ(Compare("a.png", "b.png"), CompareEqual);
  EXPECT_EQ(Decodes(), 2u);
  Bytes changedJpeg = Jpeg({});
  changedJpeg[changedJpeg.size() - 3] = 0x02;  // the scan data's one byte
  ExpectDecoded(Jpeg({}), changedJpeg);
}

// A scan cut short is made up alike by the decoders when both files hold it.
TEST_F(CodedCompare, JpegScansCutShortAlikeAreEqualUndecoded) {
  Bytes cut = Jpeg({}, 3);
  cut[cut.size() - 3] = 0x0f;  // two blocks, then 1 bits
  Bytes commented = cut;
  const Bytes comment = Segment(0xfe, {'c'});
  commented.insert(commented.begin() + 2, comment.begin(), comment.end());
  ExpectEqualUndecoded(cut, commented);
}

// A JFIF header makes three components YCbCr; without one an Adobe
// transform of 0 makes them RGB.
TEST_F(CodedCompare, JpegColourConversionSegmentsMustAgree) {
  const Bytes jfif = Named(0xe0, "JFIF", {1, 2, 0, 0, 1, 0, 1, 0, 0});
  const auto adobe = [](int transform) {
    return Segment(0xee, Writer().Text("Adobe").Be16(100).Zeros(4).Raw({transform}).bytes);
  };
  ExpectDecoded(Jpeg({jfif, adobe(0)}, 3), Jpeg({adobe(0)}, 3));
  ExpectDecoded(Jpeg({adobe(0)}, 3), Jpeg({adobe(1)}, 3));
  ExpectDecoded(Jpeg({adobe(0)}, 3), Jpeg({}, 3));
  ExpectDecoded(Jpeg({jfif}, 3), Jpeg({Named(0xe0, "JFIF", {1, 1, 0, 0, 1, 0, 1, 0, 0})}, 3));
  // The JFIF header's density is not the decoder's.
  ExpectEqualUndecoded(Jpeg({jfif}, 3), Jpeg({Named(0xe0, "JFIF", {1, 2, 1, 0, 72, 0, 72, 0, 0})}, 3));
}

// A comment after scan data ends it for the decoder, which skips what
// follows up to the next marker: the bytes on either side are not the
// picture those bytes make joined. Comments in the same place may differ.
TEST_F(CodedCompare, JpegCommentsAmongTheScansMustSitAlike) {
  const Bytes plain = Jpeg({});
  Bytes commented = plain;
  const Bytes comment = Segment(0xfe, {'c'});
  commented.insert(commented.end() - 2, comment.begin(), comment.end());
  ExpectDecoded(plain, commented);
  Bytes commentedToo = plain;
  const Bytes otherComment = Segment(0xfe, {'d', 'e'});
  commentedToo.insert(commentedToo.end() - 2, otherComment.begin(), otherComment.end());
  ExpectEqualUndecoded(commented, commentedToo);
  // The comment before the scan data instead: the same bytes in the same
  // number of stretches, split elsewhere. (The scan then ends before its
  // block, which leaves the pair to its bytes.)
  Bytes commentedEarlier = plain;
  commentedEarlier.insert(commentedEarlier.end() - 3, comment.begin(), comment.end());
  AddFile("earlier", commentedEarlier);
  EXPECT_EQ(Compare("first", "earlier"), CompareDifferent);
}

// libpng rejects image data whose CRC does not hold.
TEST_F(CodedCompare, PngImageDataWithABrokenCrcIsDecoded) {
  Bytes broken = Original;
  broken[broken.size() - 12 - 1] ^= 1;  // the IDAT's CRC, before IEND
  ExpectDecoded(Original, broken);
  Bytes brokenSplit = PngOf({}, {Part(ImageData, 0, 100), Part(ImageData, 100, 5000)});
  brokenSplit[8 + 25 + 8 + 100] ^= 1;  // the first piece's CRC
  ExpectDecoded(Original, brokenSplit);
}

// sRGB's gamma within a rounding is sRGB to the presentation, but some
// decoders apply it; significant bits and a background are hints some may
// apply. All must be the same bytes.
TEST_F(CodedCompare, PngColourAndHintChunksMustBeTheSameBytes) {
  ExpectDecoded(Original, PngOf({Chunk("gAMA", Writer().Be32(45400).bytes)}, {ImageData}));
  ExpectDecoded(PngOf({Chunk("gAMA", Writer().Be32(45455).bytes)}, {ImageData}),
                PngOf({Chunk("sRGB", {0})}, {ImageData}));
  ExpectDecoded(Original, PngOf({Chunk("sBIT", {5, 6, 5})}, {ImageData}));
  ExpectDecoded(Original, PngOf({}, {ImageData}, {Chunk("bKGD", Writer().Be16(0).Be16(0).Be16(0).bytes)}));
}

// Chunk boundaries count: a palette entry moved into the transparency
// chunk, or the image data's first bytes passed off as a chunk.
TEST_F(CodedCompare, PngChunkBoundariesCannotShift) {
  const Bytes indexed = Ihdr(64, 48, 8, 3);
  ExpectDecoded(PngOf({Chunk("PLTE", Bytes(6, 1)), Chunk("tRNS", {1, 1, 1})}, {ImageData}, {}, indexed),
                PngOf({Chunk("PLTE", Bytes(9, 1)), Chunk("tRNS", {})}, {ImageData}, {}, indexed));
  // Parts of the same sizes and bytes, but image data in one file where
  // the other has whole chunks: sBIT then image data, against image data
  // then bKGD, each file's image data being the other's chunk.
  const auto withoutCrc = [](const Bytes& chunk) { return Bytes(chunk.begin(), chunk.end() - 4); };
  const Bytes bits = Chunk("sBIT", {5, 6, 5});
  const Bytes background = Chunk("bKGD", Data(4992));
  ExpectDecoded(PngOf({bits}, {withoutCrc(background)}), PngOf({}, {withoutCrc(bits)}, {background}));
}

TEST_F(CodedCompare, CancelWhileReadingStopsWithoutADecode) {
  const Bytes large = Data(3 << 20, 1);
  AddFile("large.png", PngOf({}, {large}));
  AddFile("large-retagged.png", PngOf({TextChunk}, {Part(large, 0, 1 << 20), Part(large, 1 << 20, 3 << 20)}));
  ProgressLog all;
  EXPECT_EQ(WithProgressLog(all, [](ProgressCallback callback) {
              return ContentCompareFiles(callback, CompareIndexContent, "large.png", "large-retagged.png", nullptr);
            }), CompareEqual);
  EXPECT_GE(all.Sum(), 3 << 20);
  ProgressLog stop;
  stop.stopAtCall = 1;
  fake::ForgetCalls();
  EXPECT_EQ(WithProgressLog(stop, [](ProgressCallback callback) {
              return ContentCompareFiles(callback, CompareIndexContent, "large.png", "large-retagged.png", nullptr);
            }), CompareStopped);
  EXPECT_EQ(stop.counts.size(), 1u);
  EXPECT_EQ(Decodes(), 0u);
}

// A file rewritten while it is read proves nothing.
TEST_F(CodedCompare, AFileChangedWhileReadIsNotEqual) {
  const Bytes large = Data(3 << 20, 2);
  AddFile("large.png", PngOf({}, {large}));
  AddFile("large-retagged.png", PngOf({TextChunk}, {large}));
  Bytes rewritten = PngOf({TextChunk}, {large});
  rewritten[8 + 25 + 8] = 'c';  // the text's key, the size and coded picture kept
  ProgressLog log;
  log.duringFirstCall = [&] { AddFile("large-retagged.png", rewritten); };
  EXPECT_EQ(WithProgressLog(log, [](ProgressCallback callback) {
              return ContentCompareFiles(callback, CompareIndexContent, "large.png", "large-retagged.png", nullptr);
            }), CompareDifferent);
  EXPECT_EQ(Decodes(), 0u);
}

}  // namespace
