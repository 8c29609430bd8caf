// A JPEG proves its pixels only when every segment is accounted for, and
// an EXIF block only when it is read completely: each case names the
// reason that leaves the file to its bytes.
#include "imaging/header_facts.h"
#include "tests/native/header_bytes.h"
#include "tests/native/jpeg_bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

HeaderFacts CompareFacts(const Bytes& bytes) {
  MemoryFile file(bytes);
  return ReadHeaderFacts(file, Reach::Comparison);
}

BytesReason ReasonOf(const std::vector<Bytes>& segments) { return CompareFacts(Jpeg(segments)).bytesReason; }

const Entry Rotated = {0x112, 6};

// Photoshop's segment with one unnamed resource, its data padded to an
// even length.
Bytes Photoshop(int id, const Bytes& data) {
  Writer resource;
  resource.Text("8BIM").Be16(static_cast<std::uint32_t>(id)).Raw({0, 0}).Be32(static_cast<std::uint32_t>(data.size()));
  resource.Append(data);
  if (data.size() % 2 != 0) resource.Raw({0});
  return Named(0xed, "Photoshop 3.0", resource.bytes);
}

TEST(ProofJpeg, InertSegmentsKeepThePixelsProof) {
  const HeaderFacts plain = CompareFacts(Jpeg({}));
  EXPECT_EQ(plain.bytesReason, BytesReason::None);
  const Bytes jfif = Named(0xe0, "JFIF", {1, 2, 0, 0, 1, 0, 1, 0, 0});
  const Bytes xmp = Named(0xe1, "http://ns.adobe.com/xap/1.0/", Writer().Text("<x:xmpmeta/>").bytes);
  const Bytes extendedXmp = Named(0xe1, "http://ns.adobe.com/xmp/extension/", Bytes(40, 'x'));
  const Bytes ducky = Segment(0xec, Writer().Text("Ducky").Raw({0, 1, 0, 4, 0, 0, 0, 80, 0, 0}).bytes);
  const Bytes iptc = Photoshop(0x0404, {1, 2, 3});
  const Bytes adobe = Segment(0xee, Writer().Text("Adobe").Be16(100).Zeros(4).Raw({1}).bytes);
  const Bytes comment = Segment(0xfe, Writer().Text("a comment").bytes);
  const HeaderFacts annotated = CompareFacts(Jpeg({jfif, xmp, extendedXmp, ducky, iptc, adobe, comment}));
  EXPECT_EQ(annotated.bytesReason, BytesReason::None);
  EXPECT_TRUE(annotated.presentation == plain.presentation);
  EXPECT_EQ(CompareFacts(Jpeg({comment, xmp})).presentation.thumbnail, 0u);
}

TEST(ProofJpeg, SegmentsNotKnownLeaveTheFileToTheBytes) {
  const Bytes transfer = Photoshop(0x03f8, {1, 2});  // transfer functions
  const Bytes overrun = Named(0xed, "Photoshop 3.0", Writer().Text("8BIM").Be16(0x0404).Raw({0, 0}).Be32(99).bytes);
  for (const Bytes& segment : {Segment(0xe3, {1, 2, 3}), Segment(0xef, {}), Named(0xe1, "FLIR"), Named(0xe2, "FPXR"),
                               Named(0xe0, "AVI1"), Named(0xec, "Other"), transfer, overrun, Named(0xee, "Other")}) {
    EXPECT_EQ(ReasonOf({segment}), BytesReason::UnknownSegment) << int{segment[1]};
  }
  // A marker no decoder knows, after the frame; an application segment
  // between the scan data and the end.
  Bytes unknownMarker = Jpeg({});
  const Bytes jpg0 = Segment(0xf0, {0, 0});
  unknownMarker.insert(unknownMarker.end() - 3 - Scan({1}).size(), jpg0.begin(), jpg0.end());
  EXPECT_EQ(CompareFacts(unknownMarker).bytesReason, BytesReason::UnknownSegment);
  Bytes afterScan = Jpeg({});
  const Bytes app3 = Segment(0xe3, {1});
  afterScan.insert(afterScan.end() - 2, app3.begin(), app3.end());
  EXPECT_EQ(CompareFacts(afterScan).bytesReason, BytesReason::UnknownSegment);
  // A comment there is inert.
  Bytes commentAfterScan = Jpeg({});
  const Bytes comment = Segment(0xfe, {'c'});
  commentAfterScan.insert(commentAfterScan.end() - 2, comment.begin(), comment.end());
  EXPECT_EQ(CompareFacts(commentAfterScan).bytesReason, BytesReason::None);
}

TEST(ProofJpeg, ExifBlocksAreReadCompletely) {
  const HeaderFacts rotated = CompareFacts(Jpeg({Exif(ExifBlock({{0x10f, 1}, Rotated}))}));
  EXPECT_EQ(rotated.presentation.orientation, 6);
  EXPECT_EQ(rotated.bytesReason, BytesReason::None);
  EXPECT_EQ(ReasonOf({Exif(ExifBlock({})), Exif(ExifBlock({Rotated}))}), BytesReason::DuplicateStructure);
  const Bytes padded = Segment(0xe1, Writer().Text("Exif").Raw({0, 0xff}).Append(ExifBlock({Rotated})).bytes);
  EXPECT_EQ(ReasonOf({padded}), BytesReason::OrientationUnreadable);
  EXPECT_EQ(ReasonOf({Exif(ExifBlock({Rotated, Rotated}))}), BytesReason::OrientationUnreadable);
  EXPECT_EQ(ReasonOf({Exif(ExifBlock({{0x112, 9}}))}), BytesReason::OrientationUnreadable);
  EXPECT_EQ(ReasonOf({Exif(Writer().Text("XX").Zeros(20).bytes)}), BytesReason::OrientationUnreadable);
  // 512 entries are read through; the 513th is past the cap.
  std::vector<Entry> full(511, {0x10f, 1});
  full.push_back(Rotated);
  EXPECT_EQ(CompareFacts(Jpeg({Exif(ExifBlock(full))})).presentation.orientation, 6);
  full.insert(full.begin(), {0x10f, 1});
  EXPECT_EQ(ReasonOf({Exif(ExifBlock(full))}), BytesReason::OrientationUnreadable);
  // A directory that claims more entries than the block holds.
  Bytes cut = ExifBlock({Rotated});
  cut[8] = 5;
  EXPECT_EQ(ReasonOf({Exif(cut)}), BytesReason::OrientationUnreadable);
}

TEST(ProofJpeg, ThumbnailsAreDigested) {
  const Bytes thumbnail = {0xff, 0xd8, 1, 2, 3, 0xff, 0xd9};
  const Bytes other = {0xff, 0xd8, 1, 2, 4, 0xff, 0xd9};
  const auto shown = [](const std::vector<Bytes>& segments) { return CompareFacts(Jpeg(segments)).presentation; };
  const Presentation upright = shown({Exif(ExifBlock({}, thumbnail))});
  EXPECT_NE(upright.thumbnail, 0u);
  EXPECT_EQ(shown({Exif(ExifBlock({Rotated}, thumbnail))}).thumbnail, upright.thumbnail);  // re-tagged
  EXPECT_NE(shown({Exif(ExifBlock({}, other))}).thumbnail, upright.thumbnail);
  EXPECT_EQ(shown({Exif(ExifBlock({}))}).thumbnail, 0u);
  // The thumbnail's bytes past the block, or only one of its two tags.
  Bytes beyond = ExifBlock({}, thumbnail);
  beyond.resize(beyond.size() - 1);
  EXPECT_EQ(ReasonOf({Exif(beyond)}), BytesReason::ThumbnailUnreadable);
  Bytes startOnly = ExifBlock({}, thumbnail);
  startOnly[8 + 2 + 4 + 2 + 12] = 0x01;  // the length tag becomes a second start tag
  EXPECT_EQ(ReasonOf({Exif(startOnly)}), BytesReason::ThumbnailUnreadable);
  // JFIF's own thumbnail and Photoshop's are pictures too.
  const Bytes jfifThumbnail = Named(0xe0, "JFIF", {1, 2, 0, 0, 1, 0, 1, 1, 1, 10, 20, 30});
  const Bytes jfifOther = Named(0xe0, "JFIF", {1, 2, 0, 0, 1, 0, 1, 1, 1, 10, 20, 31});
  EXPECT_NE(shown({jfifThumbnail}).thumbnail, 0u);
  EXPECT_NE(shown({jfifThumbnail}).thumbnail, shown({jfifOther}).thumbnail);
  EXPECT_NE(shown({Named(0xe0, "JFXX", {0x10, 0xff, 0xd8})}).thumbnail, 0u);
  const HeaderFacts photoshop = CompareFacts(Jpeg({Photoshop(0x040c, {1, 2, 3})}));
  EXPECT_EQ(photoshop.bytesReason, BytesReason::None);
  EXPECT_NE(photoshop.presentation.thumbnail, 0u);
}

TEST(ProofJpeg, ProfilePiecesInOrderOnce) {
  const auto piece = [](int number, int count, int byte) {
    return Named(0xe2, "ICC_PROFILE", Writer().Raw({number, count, byte}).bytes);
  };
  const HeaderFacts whole = CompareFacts(Jpeg({piece(1, 2, 7), piece(2, 2, 8)}));
  EXPECT_EQ(whole.bytesReason, BytesReason::None);
  EXPECT_NE(whole.presentation.colour, 0u);
  EXPECT_EQ(ReasonOf({piece(2, 2, 8), piece(1, 2, 7)}), BytesReason::ColourUnreadable);
  EXPECT_EQ(ReasonOf({piece(1, 2, 7), piece(1, 2, 7), piece(2, 2, 8)}), BytesReason::DuplicateStructure);
  EXPECT_EQ(ReasonOf({piece(1, 2, 7)}), BytesReason::ColourUnreadable);  // one missing
  EXPECT_EQ(ReasonOf({piece(1, 2, 7), piece(2, 3, 8)}), BytesReason::ColourUnreadable);
  EXPECT_EQ(ReasonOf({piece(0, 0, 7)}), BytesReason::ColourUnreadable);
}

TEST(ProofJpeg, AdobeColourTransform) {
  const auto adobe = [](int transform) {
    return Segment(0xee, Writer().Text("Adobe").Be16(100).Zeros(4).Raw({transform}).bytes);
  };
  EXPECT_EQ(ReasonOf({adobe(0)}), BytesReason::None);
  EXPECT_EQ(ReasonOf({adobe(3)}), BytesReason::ColourUnreadable);
  EXPECT_EQ(ReasonOf({Segment(0xee, Writer().Text("Adobe").bytes)}), BytesReason::ColourUnreadable);
  EXPECT_EQ(ReasonOf({adobe(1), adobe(1)}), BytesReason::DuplicateStructure);
  EXPECT_EQ(CompareFacts(Jpeg({adobe(2)}, 4)).bytesReason, BytesReason::CmykInks);
}

// Scan data cut short is seen only where the block walk follows it.
TEST(ProofJpeg, ScanLayoutsTheWalkDoesNotFollow) {
  EXPECT_EQ(CompareFacts(Jpeg({}, 3)).bytesReason, BytesReason::None);
  EXPECT_EQ(CompareFacts(Jpeg({}, 1, QuantTable)).bytesReason, BytesReason::ScanLayoutNotFollowed);  // standard tables
  Bytes perComponent = Writer().Raw({0xff, 0xd8}).Append(Tables).Append(Frame(3)).Append(Scan({1})).Raw({0x3f})
                           .Append(Scan({2})).Raw({0x3f}).Append(Scan({3})).Raw({0x3f, 0xff, 0xd9}).bytes;
  EXPECT_EQ(CompareFacts(perComponent).bytesReason, BytesReason::ScanLayoutNotFollowed);
  // A followed scan of three blocks with the last one missing.
  Bytes cut = Jpeg({}, 3);
  cut[cut.size() - 3] = 0x0f;  // two blocks, then 1 bits
  EXPECT_EQ(CompareFacts(cut).bytesReason, BytesReason::ImageDataCutShort);
  // Progressive and arithmetic coding: a decoder fills in what their scans
  // leave out as silently, and the walk does not follow them.
  for (const int marker : {0xc2, 0xc9, 0xca}) {
    Bytes frame = Frame(3);
    frame[1] = static_cast<std::uint8_t>(marker);
    const bool progressive = marker != 0xc9;
    const Bytes scan = progressive ? Segment(0xda, {3, 1, 0, 2, 0, 3, 0, 0, 0, 0}) : Scan({1, 2, 3});  // DC only
    const Bytes jpeg = Writer().Raw({0xff, 0xd8}).Append(Tables).Append(frame).Append(scan).Raw({0x03, 0xff, 0xd9}).bytes;
    EXPECT_EQ(CompareFacts(jpeg).bytesReason, BytesReason::ScanLayoutNotFollowed) << marker;
    EXPECT_NE(Facts(jpeg).width, 0u) << marker;  // the decoder shows it
  }
}

}  // namespace
