// HEIC sizes on files built box by box as the HEIF format lays them out: a
// plain HEVC image, a grid of tiles as phones write it, and the variations
// whose size the decoder shows differently. The AVIF reader reads every
// other fact of these files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "imaging/header_facts.h"
#include "tests/native/header_bytes.h"

namespace {

Bytes Box(const std::string& type, const Bytes& payload) {
  return Writer().Be32(static_cast<std::uint32_t>(payload.size() + 8)).Text(type).Append(payload).bytes;
}
Bytes FullBox(const std::string& type, const Bytes& payload) {
  return Box(type, Writer().Raw({0, 0, 0, 0}).Append(payload).bytes);
}
Bytes Ispe(std::uint32_t width, std::uint32_t height) { return FullBox("ispe", Writer().Be32(width).Be32(height).bytes); }

struct HeifOptions {
  std::string brands = std::string("heic\0\0\0\0mif1heic", 16);
  bool grid = false;          // item 2, the primary, a grid of the one tile, item 1
  std::vector<Bytes> transforms;  // properties of the primary, in association order
  bool secondImage = false;   // a second top-level image, item 3
  bool cutShort = false;      // the file ends inside the tile's data
};

// Item 1 is a 64 x 64 HEVC tile; without a grid it is the primary, shown
// at 64 x 64; the grid shows 64 x 48 of it.
Bytes Heif(const HeifOptions& options) {
  const Bytes tileData(40, 0x5a);
  Writer infos;
  const auto info = [&](std::uint32_t id, const char* type) {
    infos.Append(Box("infe", Writer().Raw({2, 0, 0, 0}).Be16(id).Be16(0).Text(type).Raw({0}).bytes));
  };
  info(1, "hvc1");
  if (options.grid) info(2, "grid");
  if (options.secondImage) info(3, "hvc1");
  const std::uint32_t items = 1 + (options.grid ? 1 : 0) + (options.secondImage ? 1 : 0);
  Writer properties;  // 1 hvcC, 2 ispe 64 x 64, 3 ispe 64 x 48, 4 on the transforms
  properties.Append(Box("hvcC", Bytes(23, 0)));
  properties.Append(Ispe(64, 64));
  properties.Append(Ispe(64, 48));
  for (const Bytes& transform : options.transforms) properties.Append(transform);
  const std::uint32_t primary = options.grid ? 2 : 1;
  Writer associations;
  associations.Be32(items);
  for (std::uint32_t item = 1; item <= 3; ++item) {
    if (item == 2 && !options.grid) continue;
    if (item == 3 && !options.secondImage) continue;
    const bool isGrid = item == 2;
    std::vector<int> indices = isGrid ? std::vector<int>{0x03} : std::vector<int>{0x81, 0x02};
    for (std::size_t i = 0; item == primary && i < options.transforms.size(); ++i) {
      indices.push_back(0x84 + static_cast<int>(i));
    }
    associations.Be16(item).Raw({static_cast<int>(indices.size())});
    for (int index : indices) associations.Raw({index});
  }
  const auto meta = [&](std::uint32_t dataOffset) {
    Writer locations;  // version 0: 4-byte offsets and lengths, no base offset
    locations.Raw({0x44, 0x00}).Be16(options.secondImage ? 2 : 1);
    locations.Be16(1).Be16(0).Be16(1).Be32(dataOffset).Be32(static_cast<std::uint32_t>(tileData.size()));
    if (options.secondImage) locations.Be16(3).Be16(0).Be16(1).Be32(dataOffset).Be32(8);
    Writer children;
    children.Append(FullBox("hdlr", Writer().Be32(0).Text("pict").Be32(0).Be32(0).Be32(0).Raw({0}).bytes));
    children.Append(FullBox("pitm", Writer().Be16(primary).bytes));
    children.Append(FullBox("iloc", locations.bytes));
    children.Append(FullBox("iinf", Writer().Be16(items).Append(infos.bytes).bytes));
    if (options.grid) children.Append(FullBox("iref", Box("dimg", Writer().Be16(2).Be16(1).Be16(1).bytes)));
    children.Append(Box("iprp", Writer().Append(Box("ipco", properties.bytes))
                                    .Append(FullBox("ipma", associations.bytes)).bytes));
    return FullBox("meta", children.bytes);
  };
  const Bytes fileType = Box("ftyp", Writer().Text(options.brands).bytes);
  const std::size_t metaSize = meta(0).size();
  Bytes file = Writer().Append(fileType).Append(meta(static_cast<std::uint32_t>(fileType.size() + metaSize + 8)))
                   .Append(Box("mdat", tileData)).bytes;
  if (options.cutShort) file.resize(file.size() - 2);
  return file;
}

void ExpectSize(const HeaderFacts& facts, std::uint32_t width, std::uint32_t height) {
  EXPECT_EQ(facts.width, width);
  EXPECT_EQ(facts.height, height);
}

TEST(HeaderFactsHeif, PlainImageAndGridShowTheirStoredSize) {
  const HeaderFacts plain = Facts(Heif({}));
  EXPECT_EQ(plain.format, ImageFormat::Heif);  // the box format's reader
  ExpectSize(plain, 64, 64);
  HeifOptions grid;
  grid.grid = true;
  ExpectSize(Facts(Heif(grid)), 64, 48);
}

TEST(HeaderFactsHeif, BrandsNameTheFormat) {
  HeifOptions mif1;
  mif1.brands = std::string("mif1\0\0\0\0mif1heic", 16);
  ExpectSize(Facts(Heif(mif1)), 64, 64);
  // An AVIF brand: its HEVC image is no AVIF image.
  HeifOptions avif;
  avif.brands = std::string("avif\0\0\0\0avifmif1", 16);
  ExpectSize(Facts(Heif(avif)), 0, 0);
  HeifOptions other;
  other.brands = std::string("isom\0\0\0\0isommp41", 16);
  EXPECT_EQ(Facts(Heif(other)).format, ImageFormat::Unknown);
}

Bytes Rotation(int quarterTurns) { return Box("irot", {static_cast<std::uint8_t>(quarterTurns)}); }
Bytes Mirror() { return Box("imir", {1}); }
// A clean aperture: width, height, horizontal and vertical offset, each a
// numerator and a denominator.
Bytes CleanAperture(std::uint32_t widthN, std::uint32_t widthD, std::uint32_t heightN, std::uint32_t heightD,
                    std::int32_t horizontalN = 0, std::uint32_t horizontalD = 1, std::int32_t verticalN = 0,
                    std::uint32_t verticalD = 1) {
  return Box("clap", Writer().Be32(widthN).Be32(widthD).Be32(heightN).Be32(heightD)
                         .Be32(static_cast<std::uint32_t>(horizontalN)).Be32(horizontalD)
                         .Be32(static_cast<std::uint32_t>(verticalN)).Be32(verticalD).bytes);
}

std::pair<std::uint32_t, std::uint32_t> GridShown(std::vector<Bytes> transforms) {
  HeifOptions options;
  options.grid = true;  // 64 x 48
  options.transforms = std::move(transforms);
  const HeaderFacts facts = Facts(Heif(options));
  return {facts.width, facts.height};
}
using Size = std::pair<std::uint32_t, std::uint32_t>;

// The decoder turns, mirrors and crops the primary image in the order its
// associations list the transforms.
TEST(HeaderFactsHeif, TransformsTurnAndCropTheShownSize) {
  EXPECT_EQ(GridShown({Rotation(1)}), Size(48, 64));
  EXPECT_EQ(GridShown({Rotation(3)}), Size(48, 64));
  EXPECT_EQ(GridShown({Rotation(2)}), Size(64, 48));
  EXPECT_EQ(GridShown({Rotation(5)}), Size(48, 64));  // the low two bits count
  EXPECT_EQ(GridShown({Mirror()}), Size(64, 48));
  EXPECT_EQ(GridShown({CleanAperture(40, 1, 30, 1)}), Size(40, 30));
  // Cropped after a turn, or turned after a crop.
  EXPECT_EQ(GridShown({Rotation(1), CleanAperture(40, 1, 30, 1)}), Size(40, 30));
  EXPECT_EQ(GridShown({CleanAperture(40, 1, 30, 1), Rotation(1)}), Size(30, 40));
  EXPECT_EQ(GridShown({Rotation(1), Mirror(), Rotation(1)}), Size(64, 48));
  // The plain image is turned too.
  HeifOptions plain;
  plain.transforms = {CleanAperture(20, 1, 10, 1), Rotation(3)};
  ExpectSize(Facts(Heif(plain)), 10, 20);
}

// Half-pixel apertures: the first column is rounded down, the first row
// to nearest, and the last of each to nearest; an aperture past the
// picture is clamped to it.
TEST(HeaderFactsHeif, CleanApertureRoundsAndClampsAsTheDecoder) {
  EXPECT_EQ(GridShown({CleanAperture(81, 2, 61, 2)}), Size(41, 31));
  EXPECT_EQ(GridShown({CleanAperture(80, 2, 60, 2, 1, 2, 1, 2)}), Size(40, 30));
  EXPECT_EQ(GridShown({CleanAperture(100, 1, 100, 1)}), Size(64, 48));
  EXPECT_EQ(GridShown({CleanAperture(10, 1, 10, 1, -30, 1, 0, 1)}), Size(7, 10));
}

// Apertures the decoder refuses (a zero denominator, a term past 31 bits,
// a crop wholly outside the picture, a short box), and one whose arithmetic
// overflows the decoder's integers: no size.
TEST(HeaderFactsHeif, ApertureTheDecoderCannotApplyLeavesTheSizeOpen) {
  EXPECT_EQ(GridShown({CleanAperture(40, 0, 30, 1)}), Size(0, 0));
  EXPECT_EQ(GridShown({CleanAperture(0x80000000u, 1, 30, 1)}), Size(0, 0));
  EXPECT_EQ(GridShown({CleanAperture(10, 1, 10, 1, 100, 1, 0, 1)}), Size(0, 0));
  EXPECT_EQ(GridShown({Box("clap", Bytes(31, 0))}), Size(0, 0));
  EXPECT_EQ(GridShown({Box("irot", {})}), Size(0, 0));
  EXPECT_EQ(GridShown({CleanAperture(40, 65535, 30, 1, 7, 65521, 0, 1)}), Size(0, 0));
}

TEST(HeaderFactsHeif, CutDataLeavesTheSizeOpen) {
  HeifOptions cut;
  cut.cutShort = true;
  ExpectSize(Facts(Heif(cut)), 0, 0);
  Bytes noMeta = Heif({});
  noMeta.resize(40);
  ExpectSize(Facts(noMeta), 0, 0);
}

TEST(HeaderFactsHeif, ASecondTopLevelImageLeavesThePrimarysSize) {
  HeifOptions two;
  two.secondImage = true;
  const HeaderFacts facts = Facts(Heif(two));
  EXPECT_EQ(facts.moreThanOneImage, Answer::NotRuledOut);
  ExpectSize(facts, 64, 64);  // the decoder shows the primary
}

// What a comparison accounts for in a phone's grid: all of it, until a
// property no list names.
TEST(HeaderFactsHeif, PropertiesOfKnownKinds) {
  HeifOptions grid;
  grid.grid = true;
  MemoryFile phone(Heif(grid));
  EXPECT_EQ(ReadHeaderFacts(phone, Reach::Comparison).bytesReason, BytesReason::None);
  grid.transforms = {Box("wxyz", {0})};
  MemoryFile unknown(Heif(grid));
  const HeaderFacts facts = ReadHeaderFacts(unknown, Reach::Comparison);
  EXPECT_EQ(facts.bytesReason, BytesReason::UnknownBox);
  ExpectSize(facts, 64, 48);
}

}  // namespace
