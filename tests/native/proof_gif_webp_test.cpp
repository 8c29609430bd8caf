// What a comparison accounts for in GIF and WebP files, and the reason it
// names for the first block or chunk it cannot: files built block by block
// and chunk by chunk as the formats lay them down.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/header_facts.h"
#include "tests/fake_gdiplus/fake_gdiplus.h"
#include "tests/native/header_bytes.h"

namespace {

HeaderFacts CompareFacts(const Bytes& bytes) {
  MemoryFile file(bytes);
  return ReadHeaderFacts(file, Reach::Comparison);
}

// ---- GIF

// A 4 x 4 logical screen with a two-colour global table, the blocks given
// and a trailer.
Bytes Gif(const std::vector<Bytes>& blocks) {
  Writer gif;
  gif.Text("GIF89a").Le16(4).Le16(4).Raw({0x80, 0, 0}).Zeros(6);
  for (const Bytes& block : blocks) gif.Append(block);
  return gif.Raw({';'}).bytes;
}

Bytes Frame(int left = 0, int top = 0, int width = 4, int height = 4) {
  return Writer().Raw({','}).Le16(left).Le16(top).Le16(width).Le16(height).Raw({0, 2, 2, 0x4c, 0x01, 0}).bytes;
}

Bytes Control(int delay) { return Writer().Raw({'!', 0xf9, 4, 0}).Le16(delay).Raw({0, 0}).bytes; }

// An extension of the given label whose data sub-blocks are given.
Bytes Extension(int label, const std::vector<Bytes>& subBlocks) {
  Writer block;
  block.Raw({'!', label});
  for (const Bytes& sub : subBlocks) block.Raw({static_cast<int>(sub.size())}).Append(sub);
  return block.Raw({0}).bytes;
}

Bytes Text(const std::string& text) { return Writer().Text(text).bytes; }

Bytes Application(const std::string& id, const std::vector<Bytes>& subBlocks) {
  std::vector<Bytes> all = {Text(id)};
  all.insert(all.end(), subBlocks.begin(), subBlocks.end());
  return Extension(0xff, all);
}

Bytes Loops(int count) { return Writer().Raw({1}).Le16(count).bytes; }

BytesReason GifReason(const std::vector<Bytes>& blocks) { return CompareFacts(Gif(blocks)).bytesReason; }

TEST(ProofGif, KnownBlocksAreAccountedFor) {
  const Bytes buffering = Writer().Raw({2}).Le32(4096).bytes;
  EXPECT_EQ(GifReason({Application("NETSCAPE2.0", {Loops(0), buffering}), Control(10), Frame(),
                       Extension(0xfe, {Text("a comment"), Text("in two parts")}), Control(10), Frame(2, 2, 2, 2),
                       Application("XMP DataXMP", {Text("<x:xmpmeta/>")}),
                       Application("ImageMagick", {Text("gamma=0.45455")})}),
            BytesReason::None);
  // The stand-in imaging library writes its files as a GIF with a comment.
  fake::ScriptedImage image;
  image.width = 3;
  image.height = 2;
  const std::string file = fake::ImageFileBytes("file.png", image);
  EXPECT_EQ(CompareFacts(Bytes(file.begin(), file.end())).bytesReason, BytesReason::None);
}

TEST(ProofGif, UnknownAndShowingBlocksGoToTheBytes) {
  const Bytes plainText = Extension(0x01, {Writer().Zeros(12).bytes, Text("shown")});
  EXPECT_EQ(GifReason({plainText, Frame()}), BytesReason::UnknownBlock);
  EXPECT_EQ(GifReason({Application("SOMEAPP01.0", {Text("x")}), Frame()}), BytesReason::UnknownBlock);
  EXPECT_EQ(GifReason({Application("NETSCAPE", {Loops(0)}), Frame()}), BytesReason::UnknownBlock);  // short id
  EXPECT_EQ(GifReason({Application("NETSCAPE2.0", {Writer().Raw({3, 0}).bytes}), Frame()}), BytesReason::UnknownBlock);
  EXPECT_EQ(GifReason({Text("\x01"), Frame()}), BytesReason::UnknownBlock);  // a stray byte
  EXPECT_EQ(GifReason({Application("ICCRGBG1012", {Text("profile")}), Frame()}), BytesReason::ColourUnreadable);
  EXPECT_EQ(GifReason({Application("ImageMagick", {Text("gamma=1")}), Frame()}), BytesReason::ColourUnreadable);
  EXPECT_EQ(GifReason({Extension(0xf9, {Writer().Zeros(5).bytes}), Frame()}), BytesReason::TimingUnreadable);
}

// Viewers pick different ones of two loop counts or two delays.
TEST(ProofGif, TwoLoopCountsOrDelaysAreDuplicates) {
  const Bytes netscape = Application("NETSCAPE2.0", {Loops(0)});
  const Bytes animExts = Application("ANIMEXTS1.0", {Loops(3)});
  EXPECT_EQ(GifReason({netscape, Frame(), netscape, Frame()}), BytesReason::DuplicateStructure);
  EXPECT_EQ(GifReason({netscape, animExts, Frame()}), BytesReason::DuplicateStructure);
  EXPECT_EQ(GifReason({Application("NETSCAPE2.0", {Loops(0), Loops(2)}), Frame()}), BytesReason::DuplicateStructure);
  EXPECT_EQ(GifReason({Control(10), Control(20), Frame()}), BytesReason::DuplicateStructure);
  // ANIMEXTS holds the count as NETSCAPE does.
  const HeaderFacts netscapeLoops = CompareFacts(Gif({Application("NETSCAPE2.0", {Loops(3)}), Frame(), Frame()}));
  const HeaderFacts animExtsLoops = CompareFacts(Gif({animExts, Frame(), Frame()}));
  EXPECT_EQ(animExtsLoops.bytesReason, BytesReason::None);
  EXPECT_NE(animExtsLoops.presentation.timing, 0u);
  EXPECT_EQ(animExtsLoops.presentation.timing, netscapeLoops.presentation.timing);
}

TEST(ProofGif, FramesOffTheScreenAndTheFilesEnd) {
  EXPECT_EQ(GifReason({Frame(1, 0, 4, 4)}), BytesReason::FrameBeyondCanvas);
  EXPECT_EQ(GifReason({Frame(0, 3, 4, 2)}), BytesReason::FrameBeyondCanvas);
  EXPECT_EQ(GifReason({Frame(3, 3, 1, 1)}), BytesReason::None);
  Bytes trailing = Gif({Frame()});
  trailing.push_back(0);
  EXPECT_EQ(CompareFacts(trailing).bytesReason, BytesReason::TrailingData);
  Bytes noTrailer = Gif({Frame()});
  noTrailer.pop_back();
  EXPECT_EQ(CompareFacts(noTrailer).bytesReason, BytesReason::CutShort);
  Bytes cutInData = Gif({Extension(0xfe, {Text("a comment")})});
  cutInData.resize(cutInData.size() - 5);
  EXPECT_EQ(CompareFacts(cutInData).bytesReason, BytesReason::CutShort);
  // Sizes are read without the walk.
  EXPECT_EQ(Facts(trailing).bytesReason, BytesReason::None);
  EXPECT_EQ(Facts(Gif({Frame(1, 0, 4, 4)})).width, 4u);
}

// ---- WebP

Bytes Riff(const std::vector<Bytes>& chunks) {
  Writer body;
  for (const Bytes& chunk : chunks) body.Append(chunk);
  return Writer().Text("RIFF").Le32(static_cast<std::uint32_t>(body.bytes.size() + 4)).Text("WEBP").Append(body.bytes)
      .bytes;
}

Bytes Chunk(const std::string& type, const Bytes& data) {
  Writer chunk;
  chunk.Text(type).Le32(static_cast<std::uint32_t>(data.size())).Append(data);
  if (data.size() % 2 == 1) chunk.Raw({0});
  return chunk.bytes;
}

// A shown 4 x 4 key frame, profile 0, first partition of 16 bytes.
Bytes Lossy() {
  return Chunk("VP8 ", Writer().Raw({0x10, 0x02, 0x00, 0x9d, 0x01, 0x2a}).Le16(4).Le16(4).Zeros(20).bytes);
}

Bytes Lossless() { return Chunk("VP8L", Writer().Raw({0x2f}).Le32(3 | 3 << 14).Zeros(8).bytes); }

constexpr std::uint32_t Xmp = 0x04;
constexpr std::uint32_t Exif = 0x08;
constexpr std::uint32_t Alpha = 0x10;
constexpr std::uint32_t Icc = 0x20;

Bytes Extended(std::uint32_t flags) { return Chunk("VP8X", Writer().Le32(flags).Raw({3, 0, 0, 3, 0, 0}).bytes); }

const Bytes Profile = Chunk("ICCP", Bytes(9, 1));
const Bytes ExifChunk = Chunk("EXIF", Writer().Text("II").Le16(42).Le32(8).Le16(0).Le32(0).bytes);
const Bytes XmpChunk = Chunk("XMP ", Text("<x:xmpmeta/>"));
const Bytes AlphaPlane = Chunk("ALPH", {0});

BytesReason WebPReason(const std::vector<Bytes>& chunks) { return CompareFacts(Riff(chunks)).bytesReason; }

TEST(ProofWebP, EveryKnownChunkAnnouncedByItsFlag) {
  EXPECT_EQ(WebPReason({Lossy()}), BytesReason::None);
  EXPECT_EQ(WebPReason({Lossless()}), BytesReason::None);
  const HeaderFacts all =
      CompareFacts(Riff({Extended(Icc | Alpha | Exif | Xmp), Profile, AlphaPlane, Lossy(), ExifChunk, XmpChunk}));
  EXPECT_EQ(all.bytesReason, BytesReason::None);
  EXPECT_NE(all.presentation.colour, 0u);
  EXPECT_EQ(all.width, 4u);
  EXPECT_EQ(WebPReason({Extended(Alpha), Lossless()}), BytesReason::None);  // lossless alpha, its own
  EXPECT_EQ(WebPReason({Extended(0), Lossy(), Chunk("ZZZZ", {1})}), BytesReason::UnknownChunk);
  EXPECT_EQ(WebPReason({Extended(0x02), Chunk("ANIM", Bytes(6))}), BytesReason::ImagesNotShown);
}

TEST(ProofWebP, FlagsThatDisagreeWithTheChunks) {
  EXPECT_EQ(WebPReason({Extended(Icc), Lossy()}), BytesReason::StructuresDisagree);
  EXPECT_EQ(WebPReason({Extended(0), Profile, Lossy()}), BytesReason::StructuresDisagree);
  EXPECT_EQ(WebPReason({Extended(Exif), Lossy()}), BytesReason::StructuresDisagree);
  EXPECT_EQ(WebPReason({Extended(0), Lossy(), ExifChunk}), BytesReason::StructuresDisagree);
  EXPECT_EQ(WebPReason({Extended(0), AlphaPlane, Lossy()}), BytesReason::StructuresDisagree);
  EXPECT_EQ(WebPReason({Extended(Alpha), AlphaPlane, Lossless()}), BytesReason::StructuresDisagree);
  EXPECT_EQ(WebPReason({Extended(Alpha), Lossy(), AlphaPlane}), BytesReason::StructuresDisagree);
  EXPECT_EQ(WebPReason({Extended(0), Lossy(), Chunk("ANMF", Bytes(16))}), BytesReason::StructuresDisagree);
  // A simple file announces nothing: it holds its bitstream only.
  EXPECT_EQ(WebPReason({Lossy(), ExifChunk}), BytesReason::StructuresDisagree);
}

TEST(ProofWebP, DuplicatesAndTheRiffSize) {
  EXPECT_EQ(WebPReason({Extended(Exif), Lossy(), ExifChunk, ExifChunk}), BytesReason::DuplicateStructure);
  EXPECT_EQ(WebPReason({Lossy(), Lossless()}), BytesReason::DuplicateStructure);
  EXPECT_EQ(WebPReason({Extended(0), Lossy(), Extended(0)}), BytesReason::DuplicateStructure);
  Bytes trailing = Riff({Lossy()});
  trailing.push_back(0);
  EXPECT_EQ(CompareFacts(trailing).bytesReason, BytesReason::TrailingData);
  EXPECT_EQ(Facts(trailing).bytesReason, BytesReason::None);  // sizes do not walk
  Bytes cut = Riff({Extended(Exif), Lossy(), ExifChunk});
  cut.resize(cut.size() - 2);
  EXPECT_EQ(CompareFacts(cut).bytesReason, BytesReason::CutShort);
  Bytes claimsMore = Riff({Lossy()});
  claimsMore[4] += 2;
  EXPECT_EQ(CompareFacts(claimsMore).bytesReason, BytesReason::CutShort);
}

}  // namespace
