// GIF: the decoder shows the logical screen, whatever size or position the
// frames have; it fails when the first frame has no colour table to use.
#include <algorithm>
#include <cstring>

#include "imaging/header_facts_formats.h"

namespace {

constexpr std::uint64_t ScreenDescriptorEnd = 13;
constexpr int MaxSteps = 4096;
constexpr std::uint8_t Trailer = ';';
constexpr std::uint8_t Extension = '!';
constexpr std::uint8_t ImageSeparator = ',';
constexpr std::uint8_t GraphicControl = 0xf9;
constexpr std::uint8_t ColorTableFlag = 0x80;
constexpr std::uint8_t MaxLzwCodeSize = 11;
constexpr std::uint64_t MaxIntBytes = 0x7fffffff;

std::uint64_t ColorTableBytes(std::uint8_t packed) {
  return (packed & ColorTableFlag) != 0 ? std::uint64_t{3} << ((packed & 7) + 1) : 0;
}

// Skips data sub-blocks up to and past their terminator; false when they
// run past the end or the step budget.
bool SkipSubBlocks(HeaderReader& reader, std::uint64_t& offset, int& steps) {
  for (; steps < MaxSteps; ++steps) {
    std::uint8_t size = 0;
    if (!reader.Read(offset, &size, 1)) return false;
    offset += 1 + std::uint64_t{size};
    if (size == 0) return true;
  }
  return false;
}

// The decoder takes a graphic control block only in its usual 4 bytes.
bool SkipExtension(HeaderReader& reader, std::uint64_t& offset, int& steps) {
  std::uint8_t label[2];
  if (!reader.Read(offset, label, 2)) return false;
  if (label[0] == GraphicControl && label[1] != 4) return false;
  offset += 1;
  return SkipSubBlocks(reader, offset, steps);
}

struct FirstFrame {
  bool usable = false;
  std::uint64_t pixels = 0;
};

// Reads the image descriptor at offset (just past the separator).
FirstFrame ReadFrame(HeaderReader& reader, std::uint64_t offset, bool globalTable) {
  FirstFrame frame;
  std::uint8_t descriptor[9];
  if (!reader.Read(offset, descriptor, sizeof descriptor)) return frame;
  const std::uint64_t width = Le16(descriptor + 4);
  const std::uint64_t height = Le16(descriptor + 6);
  frame.pixels = width * height;
  std::uint8_t codeSize = 0;
  if (!reader.Read(offset + 9 + ColorTableBytes(descriptor[8]), &codeSize, 1)) return frame;
  const bool hasTable = globalTable || (descriptor[8] & ColorTableFlag) != 0;
  // The frame is decoded into an RGBA buffer whose size must fit an int.
  const std::uint64_t rowstride = (width * 4 + 3) & ~std::uint64_t{3};
  frame.usable = hasTable && codeSize <= MaxLzwCodeSize && width > 0 && height > 0 &&
                 rowstride * height < MaxIntBytes;
  return frame;
}

FirstFrame FindFirstFrame(HeaderReader& reader, std::uint64_t offset, bool globalTable) {
  int steps = 0;
  for (; steps < MaxSteps; ++steps) {
    std::uint8_t introducer = 0;
    if (!reader.Read(offset, &introducer, 1) || introducer == Trailer) return {};
    ++offset;
    if (introducer == ImageSeparator) return ReadFrame(reader, offset, globalTable);
    // The decoder passes over any other byte.
    if (introducer == Extension && !SkipExtension(reader, offset, steps)) return {};
  }
  return {};
}

}  // namespace

HeaderFacts ReadGifFacts(HeaderReader& reader) {
  HeaderFacts facts;
  facts.format = ImageFormat::Gif;
  facts.deeperThan8Bits = Answer::No;
  facts.moreThanOneImage = Answer::Unknown;
  std::uint8_t head[ScreenDescriptorEnd];
  if (!reader.Read(0, head, sizeof head) ||
      (std::memcmp(head, "GIF87a", 6) != 0 && std::memcmp(head, "GIF89a", 6) != 0)) {
    return facts;
  }
  const std::uint32_t width = Le16(head + 6);
  const std::uint32_t height = Le16(head + 8);
  const bool globalTable = (head[10] & ColorTableFlag) != 0;
  const FirstFrame frame = FindFirstFrame(reader, ScreenDescriptorEnd + ColorTableBytes(head[10]), globalTable);
  facts.largestImagePixels = std::max(std::uint64_t{width} * height, frame.pixels);
  if (frame.usable && width > 0 && height > 0) {
    facts.width = width;
    facts.height = height;
  }
  return facts;
}
