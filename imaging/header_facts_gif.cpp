// GIF: the decoder shows the logical screen, whatever size or position the
// frames have; it fails when the first frame has no colour table to use.
// A comparison walks every block for the frames' delays and the loop
// count.
#include <algorithm>
#include <cstring>

#include "imaging/header_facts_formats.h"
#include "imaging/header_facts_presentation.h"

namespace {

constexpr std::uint64_t ScreenDescriptorEnd = 13;
constexpr int MaxSteps = 4096;
constexpr std::uint8_t Trailer = ';';
constexpr std::uint8_t Extension = '!';
constexpr std::uint8_t ImageSeparator = ',';
constexpr std::uint8_t GraphicControl = 0xf9;
constexpr std::uint8_t Application = 0xff;
constexpr char LoopApplication[11] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
constexpr int MaxTimingSteps = 1 << 22;  // sub-blocks and blocks of a whole animation
// More frames than an animation is made with: a decoder would take
// seconds to list them, so the bytes decide.
constexpr int MaxFrames = 4096;
constexpr std::uint8_t ColorTableFlag = 0x80;
constexpr std::uint8_t MaxLzwCodeSize = 11;
constexpr std::uint64_t MaxIntBytes = 0x7fffffff;

std::uint64_t ColorTableBytes(std::uint8_t packed) {
  return (packed & ColorTableFlag) != 0 ? std::uint64_t{3} << ((packed & 7) + 1) : 0;
}

// Skips data sub-blocks up to and past their terminator; false when they
// run past the end or the step budget.
bool SkipSubBlocks(HeaderReader& reader, std::uint64_t& offset, int& steps, int limit) {
  for (; steps < limit; ++steps) {
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
  return SkipSubBlocks(reader, offset, steps, MaxSteps);
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

struct Timing {
  int frames = 0;
  bool looped = false;
  std::uint16_t loops = 0;
  Digest delays;
};

// Reads the extension at offset (at its label) for a frame's delay or the
// loop count, and steps past it.
bool NoteExtension(HeaderReader& reader, std::uint64_t& offset, int& steps, std::uint16_t& delay, Timing& timing) {
  std::uint8_t bytes[2 + sizeof LoopApplication + 4];
  if (!reader.Read(offset, bytes, 2)) return false;
  if (bytes[0] == GraphicControl && bytes[1] == 4 && reader.Read(offset + 2, bytes + 2, 4)) delay = Le16(bytes + 3);
  if (bytes[0] == Application && bytes[1] == sizeof LoopApplication &&
      reader.Read(offset + 2, bytes + 2, sizeof LoopApplication + 4) &&
      std::memcmp(bytes + 2, LoopApplication, sizeof LoopApplication) == 0 && bytes[13] == 3 && bytes[14] == 1) {
    timing.looped = true;
    timing.loops = Le16(bytes + 15);
  }
  offset += 1;
  return SkipSubBlocks(reader, offset, steps, MaxTimingSteps);
}

// Walks every block to the trailer or the end of the file: false when the
// walk cannot get there.
bool ReadTiming(HeaderReader& reader, std::uint64_t offset, Timing& timing) {
  int steps = 0;
  std::uint16_t delay = 0;
  for (; steps < MaxTimingSteps; ++steps) {
    std::uint8_t introducer = 0;
    if (!reader.Read(offset, &introducer, 1)) return offset >= reader.FileSize();
    if (introducer == Trailer) return true;
    ++offset;
    if (introducer == Extension && !NoteExtension(reader, offset, steps, delay, timing)) {
      return offset >= reader.FileSize();
    }
    if (introducer != ImageSeparator) continue;
    std::uint8_t descriptor[9];
    if (!reader.Read(offset, descriptor, sizeof descriptor)) return offset >= reader.FileSize();
    offset += sizeof descriptor + ColorTableBytes(descriptor[8]) + 1;  // the table, the LZW code size
    ++timing.frames;
    timing.delays.Value(delay);
    delay = 0;
    if (!SkipSubBlocks(reader, offset, steps, MaxTimingSteps)) return offset >= reader.FileSize();
  }
  return false;
}

// The timing of an animation; 0 for a still image. False when the walk
// cannot read it, or finds more frames than are worth decoding.
bool TimingOf(HeaderReader& reader, std::uint64_t firstBlock, std::uint64_t& timing) {
  Timing walk;
  if (!ReadTiming(reader, firstBlock, walk) || walk.frames > MaxFrames) return false;
  timing = walk.frames > 1 ? walk.delays.Value(walk.looped).Value(walk.loops).Get() : 0;
  return true;
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
  const std::uint64_t firstBlock = ScreenDescriptorEnd + ColorTableBytes(head[10]);
  const FirstFrame frame = FindFirstFrame(reader, firstBlock, globalTable);
  if (reader.ForComparison() && !TimingOf(reader, firstBlock, facts.presentation.timing)) {
    facts.bytesReason = BytesReason::TimingUnreadable;
  }
  facts.largestImagePixels = std::max(std::uint64_t{width} * height, frame.pixels);
  if (frame.usable && width > 0 && height > 0) {
    facts.width = width;
    facts.height = height;
  }
  return facts;
}
