// The closed-world walk of PNG files for a comparison, and which ICC
// profiles count as sRGB: files built chunk by chunk and tag by tag, each
// case with the reason it must give.
#include "imaging/header_facts.h"
#include "imaging/header_facts_presentation.h"
#include "imaging/header_reader.h"
#include "tests/native/header_bytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

HeaderFacts Compared(const Bytes& bytes) {
  MemoryFile file(bytes);
  return ReadHeaderFacts(file, Reach::Comparison);
}

BytesReason ReasonOf(const std::vector<Bytes>& before, const std::vector<Bytes>& after = {}, int color = 2) {
  return BytesReasonOf(Compared(Png(Ihdr(4, 4, 8, color), before, after)));
}

Bytes Exif(int orientation) {
  return Writer().Text("II").Le16(42).Le32(8).Le16(1).Le16(0x112).Le16(3).Le32(1).Le16(orientation).Le16(0)
      .Le32(0).bytes;
}

const Bytes TextChunk = Chunk("tEXt", Writer().Text("Comment").Raw({0}).Text("hello").bytes);
const Bytes TimeChunk = Chunk("tIME", Writer().Be16(2026).Raw({12, 9, 18, 0, 0}).bytes);

TEST(ProofPng, InertChunksBeforeOrAfterTheImageDataLeaveNone) {
  EXPECT_EQ(ReasonOf({TextChunk, TimeChunk}), BytesReason::None);
  EXPECT_EQ(ReasonOf({}, {TextChunk, TimeChunk}), BytesReason::None);
  const std::vector<Bytes> hints = {Chunk("pHYs", Writer().Be32(2835).Be32(2835).Raw({1}).bytes),
                                    Chunk("sBIT", {5, 6, 5}), Chunk("bKGD", Writer().Be16(0).Be16(0).Be16(0).bytes),
                                    Chunk("zTXt", Writer().Text("k").Raw({0, 0, 0x78, 0x9c}).bytes),
                                    Chunk("iTXt", Writer().Text("k").Raw({0, 0, 0, 0, 0}).bytes)};
  EXPECT_EQ(ReasonOf(hints, hints), BytesReason::None);
  // Text after a run of image data split over several IDAT chunks.
  EXPECT_EQ(ReasonOf({}, {Chunk("IDAT", {4}), TextChunk}), BytesReason::None);
  const HeaderFacts facts = Compared(Png(Ihdr(4, 4, 8, 2), {TextChunk}, {TimeChunk}));
  EXPECT_EQ(facts.width, 4u);
  EXPECT_EQ(facts.presentation, Presentation{});
}

// HDR and colour-space chunks change what a viewer shows; private chunks
// may too. The file's sizes stay settled.
TEST(ProofPng, ChunksOffTheListsAreUnknown) {
  EXPECT_EQ(ReasonOf({Chunk("cICP", {9, 16, 0, 1})}), BytesReason::UnknownChunk);
  EXPECT_EQ(ReasonOf({Chunk("mDCv", Bytes(24, 1))}), BytesReason::UnknownChunk);
  EXPECT_EQ(ReasonOf({Chunk("prVt", {1, 2})}), BytesReason::UnknownChunk);
  EXPECT_EQ(ReasonOf({}, {Chunk("cLLi", Bytes(8, 1))}), BytesReason::UnknownChunk);
  EXPECT_EQ(ReasonOf({}, {Chunk("QUUX", {})}), BytesReason::UnknownChunk);  // critical, after IDAT
  EXPECT_EQ(Compared(Png(Ihdr(4, 4, 8, 2), {Chunk("cICP", {9, 16, 0, 1})})).width, 4u);
  EXPECT_EQ(Facts(Png(Ihdr(4, 4, 8, 2), {Chunk("cICP", {9, 16, 0, 1})})).bytesReason, BytesReason::None);
}

// libpng keeps the first of two, other decoders the last: orientation 6
// then 1 would pass for an upright image.
TEST(ProofPng, ChunksGivenTwiceAreDuplicates) {
  EXPECT_EQ(ReasonOf({Chunk("eXIf", Exif(6)), Chunk("eXIf", Exif(1))}), BytesReason::DuplicateStructure);
  const Bytes linear = Chunk("gAMA", Writer().Be32(100000).bytes);
  EXPECT_EQ(ReasonOf({linear, linear}), BytesReason::DuplicateStructure);
  const Bytes opaque = Chunk("tRNS", {255});
  EXPECT_EQ(ReasonOf({Chunk("PLTE", Bytes(6, 0)), opaque, opaque}, {}, 3), BytesReason::DuplicateStructure);
  EXPECT_EQ(ReasonOf({}, {TextChunk, Chunk("IDAT", {4})}), BytesReason::DuplicateStructure);  // a second run
}

TEST(ProofPng, TwoColourDescriptionsConflict) {
  const Bytes profile = Chunk("iCCP", Writer().Text("p").Raw({0, 0, 0x78, 0x9c, 1}).bytes);
  EXPECT_EQ(ReasonOf({Chunk("sRGB", {0}), profile}), BytesReason::ColourConflict);
  EXPECT_EQ(ReasonOf({Chunk("sRGB", {0}), Chunk("gAMA", Writer().Be32(100000).bytes)}), BytesReason::ColourConflict);
  EXPECT_EQ(ReasonOf({Chunk("sRGB", {0}), Chunk("gAMA", Writer().Be32(45455).bytes)}), BytesReason::None);
  EXPECT_EQ(ReasonOf({profile}), BytesReason::None);
}

// Where libpng skips a chunk that other decoders may read.
TEST(ProofPng, ChunksOutOfPlace) {
  EXPECT_EQ(ReasonOf({}, {Chunk("eXIf", Exif(6))}), BytesReason::ChunkOutOfPlace);
  EXPECT_EQ(ReasonOf({}, {Chunk("sRGB", {0})}), BytesReason::ChunkOutOfPlace);
  EXPECT_EQ(ReasonOf({Chunk("PLTE", Bytes(6, 0)), Chunk("gAMA", Writer().Be32(45455).bytes)}),
            BytesReason::ChunkOutOfPlace);
  EXPECT_EQ(ReasonOf({Chunk("tRNS", {0, 0})}, {}, 6), BytesReason::ChunkOutOfPlace);  // beside alpha
  EXPECT_EQ(ReasonOf({Chunk("tRNS", {0}), Chunk("PLTE", Bytes(6, 0))}, {}, 3), BytesReason::ChunkOutOfPlace);
  EXPECT_EQ(ReasonOf({Chunk("PLTE", Bytes(6, 0)), Chunk("tRNS", {0})}, {}, 3), BytesReason::None);
}

// Frames after the image data, or without acTL, are images some decoder
// shows and another does not.
TEST(ProofPng, AnimationChunksAnywhereAreImagesNotShown) {
  EXPECT_EQ(ReasonOf({}, {Chunk("acTL", Writer().Be32(2).Be32(0).bytes)}), BytesReason::ImagesNotShown);
  EXPECT_EQ(ReasonOf({}, {Chunk("fdAT", Writer().Be32(1).Raw({1, 2}).bytes)}), BytesReason::ImagesNotShown);
}

TEST(ProofPng, TheFileMustEndWithIend) {
  Bytes trailing = Png(Ihdr(4, 4, 8, 2));
  trailing.push_back(0);
  EXPECT_EQ(BytesReasonOf(Compared(trailing)), BytesReason::TrailingData);
  Bytes noEnd = Png(Ihdr(4, 4, 8, 2));
  noEnd.resize(noEnd.size() - 12);
  EXPECT_EQ(BytesReasonOf(Compared(noEnd)), BytesReason::CutShort);
  Bytes cut = Png(Ihdr(4, 4, 8, 2), {}, {TextChunk});
  cut.resize(cut.size() - 12 - 3);  // inside tEXt's CRC
  EXPECT_EQ(BytesReasonOf(Compared(cut)), BytesReason::CutShort);
  EXPECT_EQ(Compared(cut).width, 4u);
}

// libpng skips an ancillary chunk whose CRC is wrong; others read it.
TEST(ProofPng, AChecksumThatDoesNotMatch) {
  Bytes damaged = Chunk("gAMA", Writer().Be32(45455).bytes);
  damaged.back() ^= 1;
  EXPECT_EQ(ReasonOf({damaged}), BytesReason::ChunkChecksumWrong);
  Bytes text = TextChunk;
  text[10] ^= 1;
  EXPECT_EQ(ReasonOf({}, {text}), BytesReason::ChunkChecksumWrong);
}

// A file of IDAT chunks laid out on the fly: the signature and IHDR,
// chunks of dataBytes zero bytes (image data, whose CRC the walk does not
// check), and IEND.
class ImageDataChunks : public ByteSource {
 public:
  ImageDataChunks(std::uint32_t count, std::uint32_t dataBytes)
      : start(Png(Ihdr(4, 4, 8, 2))), chunks(count), chunkBytes(dataBytes + 12) {
    end.assign(start.end() - 12, start.end());
    start.resize(33);
    idat = Writer().Be32(dataBytes).Text("IDAT").bytes;
  }
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
    ++reads;
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t copied = 0;
    for (; copied < size && offset + copied < Size(); ++copied) out[copied] = ByteAt(offset + copied);
    return copied;
  }
  std::uint64_t Size() const override { return start.size() + std::uint64_t{chunks} * chunkBytes + end.size(); }
  int reads = 0;

 private:
  std::uint8_t ByteAt(std::uint64_t at) const {
    if (at < start.size()) return start[at];
    at -= start.size();
    if (at >= std::uint64_t{chunks} * chunkBytes) return end[at - std::uint64_t{chunks} * chunkBytes];
    const std::uint64_t inChunk = at % chunkBytes;
    return inChunk < idat.size() ? idat[inChunk] : 0;
  }

  Bytes start;
  Bytes end;
  Bytes idat;
  std::uint32_t chunks;
  std::uint64_t chunkBytes;
};

TEST(ProofPng, TheWalkSeeksOverImageDataWithinTheBudget) {
  ImageDataChunks large(2, 64u << 20);
  EXPECT_EQ(BytesReasonOf(ReadHeaderFacts(large, Reach::Comparison)), BytesReason::None);
  EXPECT_LE(large.reads, 4);
  ImageDataChunks many(1000, 5000);
  EXPECT_EQ(BytesReasonOf(ReadHeaderFacts(many, Reach::Comparison)), BytesReason::None);
  // One fetch a chunk, past what the reader may fetch for a comparison.
  ImageDataChunks tooMany(HeaderReader::MaxFetches + HeaderReader::MaxImageDataBytes / HeaderReader::WindowBytes,
                          5000);
  EXPECT_EQ(BytesReasonOf(ReadHeaderFacts(tooMany, Reach::Comparison)), BytesReason::ReadBudgetSpent);
  // Sizes stop at the first IDAT.
  ImageDataChunks sizes(1000, 5000);
  EXPECT_EQ(ReadHeaderFacts(sizes).width, 4u);
  EXPECT_EQ(sizes.reads, 1);
}

// ---- ICC profiles

Bytes Xyz(double x, double y, double z) {
  Writer xyz;
  xyz.Text("XYZ ").Zeros(4);
  for (double value : {x, y, z}) {
    xyz.Be32(static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(value * 65536))));
  }
  return xyz.bytes;
}

double Srgb(double x) { return x <= 0.04045 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4); }

// A sampled curve of the given entries; an entry listed in nudge is moved
// by the amount given.
Bytes SampledCurve(std::uint32_t entries, double (*curve)(double), std::pair<std::uint32_t, double> nudge = {0, 0}) {
  Writer tag;
  tag.Text("curv").Zeros(4).Be32(entries);
  for (std::uint32_t i = 0; i < entries; ++i) {
    const double value = curve(entries == 1 ? 1 : double(i) / (entries - 1)) + (i == nudge.first ? nudge.second : 0);
    tag.Be16(static_cast<std::uint32_t>(std::lround(std::min(1.0, std::max(0.0, value)) * 65535)));
  }
  return tag.bytes;
}

Bytes ParametricCurve(std::uint16_t function, std::initializer_list<double> parameters) {
  Writer tag;
  tag.Text("para").Zeros(4).Be16(function).Zeros(2);
  for (double value : parameters) tag.Be32(static_cast<std::uint32_t>(std::lround(value * 65536)));
  return tag.bytes;
}

const Bytes SrgbParametric = ParametricCurve(3, {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045});

// A display profile of RGB in XYZ with the tags given, laid out as the
// ICC layout has it: header, tag table, tag data.
Bytes Profile(const std::vector<std::pair<std::string, Bytes>>& tags) {
  Writer table;
  Writer data;
  const std::uint32_t offset = 128 + 4 + 12 * static_cast<std::uint32_t>(tags.size());
  for (const auto& [name, bytes] : tags) {
    table.Text(name).Be32(offset + static_cast<std::uint32_t>(data.bytes.size()));
    table.Be32(static_cast<std::uint32_t>(bytes.size()));
    data.Append(bytes);
  }
  Writer header;
  header.Be32(static_cast<std::uint32_t>(offset + data.bytes.size())).Zeros(8).Text("mntrRGB XYZ ").Zeros(12)
      .Text("acsp").Zeros(128 - 40);
  return header.Be32(static_cast<std::uint32_t>(tags.size())).Append(table.bytes).Append(data.bytes).bytes;
}

std::vector<std::pair<std::string, Bytes>> SrgbTags(const Bytes& curve, const Bytes& white = Xyz(0.9642, 1.0, 0.8249)) {
  return {{"wtpt", white},
          {"rXYZ", Xyz(0.4361, 0.2225, 0.0139)},
          {"gXYZ", Xyz(0.3851, 0.7169, 0.0971)},
          {"bXYZ", Xyz(0.1431, 0.0606, 0.7141)},
          {"rTRC", curve},
          {"gTRC", curve},
          {"bTRC", curve}};
}

std::uint64_t Colour(const Bytes& profile) {
  MemoryFile file(profile);
  HeaderReader reader(file, Reach::Comparison);
  std::uint64_t colour = 0;
  EXPECT_TRUE(IccProfileColour(reader, 0, profile.size(), colour));
  return colour;
}

TEST(IccSrgb, EveryEntryOfASampledCurveMustFollowSrgb) {
  EXPECT_EQ(Colour(Profile(SrgbTags(SampledCurve(1024, Srgb)))), 0u);
  EXPECT_EQ(Colour(Profile(SrgbTags(SampledCurve(4096, Srgb)))), 0u);
  // A straight line from 0 to 1 meets sRGB's curve at both its entries.
  const std::uint64_t linear = Colour(Profile(SrgbTags(SampledCurve(2, [](double x) { return x; }))));
  EXPECT_NE(linear, 0u);
  EXPECT_EQ(Colour(Profile(SrgbTags(SampledCurve(2, [](double x) { return x; })))), linear);
  // One entry off by two 8-bit levels, between any few probes.
  EXPECT_NE(Colour(Profile(SrgbTags(SampledCurve(1024, Srgb, {301, 2.0 / 255})))), 0u);
  EXPECT_NE(Colour(Profile(SrgbTags(SampledCurve(0, Srgb)))), 0u);  // the identity
  EXPECT_NE(Colour(Profile(SrgbTags(SampledCurve(1, [](double) { return 2.2 / 256; })))), 0u);  // a gamma
}

TEST(IccSrgb, ParametricCurvesAreCheckedAcrossTheirRange) {
  EXPECT_EQ(Colour(Profile(SrgbTags(SrgbParametric))), 0u);
  EXPECT_NE(Colour(Profile(SrgbTags(ParametricCurve(0, {2.2})))), 0u);
  EXPECT_NE(Colour(Profile(SrgbTags(ParametricCurve(3, {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.5})))), 0u);
  // Parameters that make the curve no number anywhere.
  EXPECT_NE(Colour(Profile(SrgbTags(ParametricCurve(1, {2.4, 0, -1})))), 0u);
}

TEST(IccSrgb, TheWhiteAndAllThreeCurvesMustBeThereWithoutTables) {
  EXPECT_EQ(Colour(Profile(SrgbTags(SrgbParametric, Xyz(0.9505, 1.0, 1.0891)))), 0u);  // D65, as v2 gave it
  EXPECT_NE(Colour(Profile(SrgbTags(SrgbParametric, Xyz(0.9505, 1.0, 0.8249)))), 0u);
  std::vector<std::pair<std::string, Bytes>> noWhite = SrgbTags(SrgbParametric);
  noWhite.erase(noWhite.begin());
  EXPECT_NE(Colour(Profile(noWhite)), 0u);
  std::vector<std::pair<std::string, Bytes>> noBlueCurve = SrgbTags(SrgbParametric);
  noBlueCurve.pop_back();
  EXPECT_NE(Colour(Profile(noBlueCurve)), 0u);
  std::vector<std::pair<std::string, Bytes>> withTable = SrgbTags(SrgbParametric);
  withTable.push_back({"D2B0", Bytes(32, 0)});  // used before the matrix and curves
  EXPECT_NE(Colour(Profile(withTable)), 0u);
  std::vector<std::pair<std::string, Bytes>> wideRed = SrgbTags(SrgbParametric);
  wideRed[1].second = Xyz(0.6097, 0.3111, 0.0195);  // Adobe RGB's red
  EXPECT_NE(Colour(Profile(wideRed)), 0u);
}

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Ghostscript's profiles: its sRGB one, and two with sRGB's colorants but
// other curves (the extended e-sRGB encoding and a linear one).
TEST(IccSrgb, ProfilesInstalledOnThisMachine) {
  const std::string folder = "/usr/share/color/icc/ghostscript/";
  const Bytes srgb = ReadAll(folder + "srgb.icc");
  if (srgb.empty()) GTEST_SKIP() << "no Ghostscript profiles in " << folder;
  EXPECT_EQ(Colour(srgb), 0u);
  for (const char* other : {"esrgb.icc", "scrgb.icc"}) {
    const Bytes profile = ReadAll(folder + other);
    if (!profile.empty()) {
      EXPECT_NE(Colour(profile), 0u) << other;
    }
  }
}

}  // namespace
