// GIF: the decoder shows the logical screen, whatever size or position the
// frames have; it fails when the first frame has no colour table to use.
// A comparison walks every block to the trailer for the frames' delays and
// the loop count, and accounts for each block on the way.
#include <algorithm>
#include <cstring>

#include "base/limits.h"
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
constexpr int MaxTimingSteps = 1 << 22;  // sub-blocks and blocks of a whole animation
// More frames than an animation is made with: a decoder would take
// seconds to list them, so the bytes decide.
constexpr int MaxFrames = 4096;
constexpr std::uint8_t ColorTableFlag = 0x80;
constexpr std::uint8_t MaxLzwCodeSize = 11;

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
                 rowstride * height < Int31Max;
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

// The application blocks a comparison accounts for, by their 11-byte
// identifier: two that hold the loop count, XMP, and ImageMagick's note of
// the gamma it wrote the colours in.
constexpr std::size_t ApplicationIdBytes = 11;
constexpr char NetscapeLoop[] = "NETSCAPE2.0";
constexpr char AnimExtsLoop[] = "ANIMEXTS1.0";
constexpr char XmpData[] = "XMP DataXMP";
// A colour profile, whose identifier ends in a 3-byte code of its version.
constexpr char IccProfilePrefix[] = "ICCRGBG1";
constexpr char ImageMagickNote[] = "ImageMagick";
// sRGB's gamma as ImageMagick writes it: the colours as every decoder shows them.
constexpr char SrgbGammaNote[] = "gamma=0.45455";
constexpr std::uint8_t Comment = 0xfe;
constexpr std::uint8_t LoopSubBlock = 1;
constexpr std::uint8_t LoopSubBlockBytes = 3;
constexpr std::uint8_t BufferingSubBlock = 2;
constexpr std::uint8_t GraphicControlBytes = 4;

struct Walk {
  BytesReason reason = BytesReason::None;
  int frames = 0;
  bool looped = false;
  std::uint16_t loops = 0;
  bool delayPending = false;
  std::uint16_t delay = 0;
  Digest delays;
  int steps = 0;
};

// Why a read up to end failed: the file ends first, or the budget is spent.
BytesReason FailedRead(HeaderReader& reader, std::uint64_t end) {
  return end > reader.FileSize() ? BytesReason::CutShort : BytesReason::ReadBudgetSpent;
}

// Reads the sub-block at offset into bytes (up to 255); false and a reason
// when it cannot be read.
bool ReadSubBlock(HeaderReader& reader, std::uint64_t& offset, std::uint8_t* bytes, std::uint8_t& size, Walk& walk) {
  if (++walk.steps > MaxTimingSteps) {
    walk.reason = BytesReason::ReadBudgetSpent;
    return false;
  }
  if (!reader.Read(offset, &size, 1) || !reader.Read(offset + 1, bytes, size)) {
    walk.reason = FailedRead(reader, offset + 1 + size);
    return false;
  }
  offset += 1 + std::uint64_t{size};
  return true;
}

bool SkipData(HeaderReader& reader, std::uint64_t& offset, Walk& walk) {
  if (SkipSubBlocks(reader, offset, walk.steps, MaxTimingSteps)) return true;
  walk.reason = walk.steps >= MaxTimingSteps ? BytesReason::ReadBudgetSpent : FailedRead(reader, offset + 1);
  return false;
}

// A graphic control block: the next frame's delay and transparency, in
// exactly one 4-byte sub-block. A second one before the frame leaves
// decoders to pick one.
void ReadGraphicControl(HeaderReader& reader, std::uint64_t& offset, Walk& walk) {
  std::uint8_t bytes[255];
  std::uint8_t size = 0;
  if (!ReadSubBlock(reader, offset, bytes, size, walk)) return;
  if (size != GraphicControlBytes) {
    walk.reason = BytesReason::TimingUnreadable;
  } else if (walk.delayPending) {
    walk.reason = BytesReason::DuplicateStructure;
  } else {
    walk.delayPending = true;
    walk.delay = Le16(bytes + 1);
    if (!ReadSubBlock(reader, offset, bytes, size, walk)) return;
    if (size != 0) walk.reason = BytesReason::TimingUnreadable;
  }
}

// The loop count's block: sub-block 1 holds the count (viewers differ on
// which of two counts they use), sub-block 2 a buffering hint no decoder
// shows.
void ReadLoopBlock(HeaderReader& reader, std::uint64_t& offset, Walk& walk) {
  std::uint8_t bytes[255];
  std::uint8_t size = 0;
  while (ReadSubBlock(reader, offset, bytes, size, walk) && size != 0) {
    if (bytes[0] == LoopSubBlock && size == LoopSubBlockBytes) {
      if (walk.looped) {
        walk.reason = BytesReason::DuplicateStructure;
        return;
      }
      walk.looped = true;
      walk.loops = Le16(bytes + 1);
    } else if (bytes[0] != BufferingSubBlock) {
      walk.reason = BytesReason::UnknownBlock;
      return;
    }
  }
}

// ImageMagick notes the gamma of the colours it wrote; sRGB's is what
// every decoder assumes.
void ReadImageMagickNote(HeaderReader& reader, std::uint64_t& offset, Walk& walk) {
  std::uint8_t bytes[255];
  std::uint8_t size = 0;
  if (!ReadSubBlock(reader, offset, bytes, size, walk)) return;
  const std::size_t noteBytes = sizeof SrgbGammaNote - 1;
  if (size != noteBytes || std::memcmp(bytes, SrgbGammaNote, noteBytes) != 0) {
    walk.reason = BytesReason::ColourUnreadable;
    return;
  }
  if (ReadSubBlock(reader, offset, bytes, size, walk) && size != 0) walk.reason = BytesReason::ColourUnreadable;
}

bool IsApplication(const std::uint8_t* id, const char (&name)[ApplicationIdBytes + 1]) {
  return std::memcmp(id, name, ApplicationIdBytes) == 0;
}

// The application block at offset (at its identifier's sub-block).
void ReadApplication(HeaderReader& reader, std::uint64_t& offset, Walk& walk) {
  std::uint8_t id[255];
  std::uint8_t size = 0;
  if (!ReadSubBlock(reader, offset, id, size, walk)) return;
  if (size != ApplicationIdBytes) {
    walk.reason = BytesReason::UnknownBlock;
  } else if (IsApplication(id, NetscapeLoop) || IsApplication(id, AnimExtsLoop)) {
    ReadLoopBlock(reader, offset, walk);
  } else if (IsApplication(id, XmpData)) {
    SkipData(reader, offset, walk);
  } else if (IsApplication(id, ImageMagickNote)) {
    ReadImageMagickNote(reader, offset, walk);
  } else if (std::memcmp(id, IccProfilePrefix, sizeof IccProfilePrefix - 1) == 0) {
    walk.reason = BytesReason::ColourUnreadable;
  } else {
    walk.reason = BytesReason::UnknownBlock;
  }
}

// The extension at offset (at its label): graphic control, comment and
// application blocks are accounted for; plain text renders text over the
// frames, and other labels are unknown.
void ReadExtension(HeaderReader& reader, std::uint64_t& offset, Walk& walk) {
  std::uint8_t label = 0;
  if (!reader.Read(offset, &label, 1)) {
    walk.reason = FailedRead(reader, offset + 1);
    return;
  }
  ++offset;
  switch (label) {
    case GraphicControl: return ReadGraphicControl(reader, offset, walk);
    case Comment: SkipData(reader, offset, walk); return;
    case Application: return ReadApplication(reader, offset, walk);
    default: walk.reason = BytesReason::UnknownBlock;
  }
}

// The frame at offset (just past the separator), which must lie on the
// logical screen: decoders differ on what they show of the rest.
void WalkFrame(HeaderReader& reader, std::uint64_t& offset, std::uint32_t screenWidth, std::uint32_t screenHeight,
               Walk& walk) {
  std::uint8_t descriptor[9];
  if (!reader.Read(offset, descriptor, sizeof descriptor)) {
    walk.reason = FailedRead(reader, offset + sizeof descriptor);
    return;
  }
  if (std::uint32_t{Le16(descriptor)} + Le16(descriptor + 4) > screenWidth ||
      std::uint32_t{Le16(descriptor + 2)} + Le16(descriptor + 6) > screenHeight) {
    walk.reason = BytesReason::FrameBeyondCanvas;
    return;
  }
  offset += sizeof descriptor + ColorTableBytes(descriptor[8]) + 1;  // the table, the LZW code size
  if (++walk.frames > MaxFrames) {
    walk.reason = BytesReason::TimingUnreadable;
    return;
  }
  walk.delays.Value(walk.delay);
  walk.delay = 0;
  walk.delayPending = false;
  SkipData(reader, offset, walk);
}

// Walks every block to the trailer, which must end the file: decoders stop
// there. The first block that is not accounted for names the reason.
Walk WalkBlocks(HeaderReader& reader, std::uint64_t offset, std::uint32_t screenWidth, std::uint32_t screenHeight) {
  Walk walk;
  while (walk.reason == BytesReason::None) {
    if (++walk.steps > MaxTimingSteps) {
      walk.reason = BytesReason::ReadBudgetSpent;
      break;
    }
    std::uint8_t introducer = 0;
    if (!reader.Read(offset, &introducer, 1)) {
      walk.reason = FailedRead(reader, offset + 1);
      break;
    }
    ++offset;
    if (introducer == Trailer) {
      if (reader.FileSize() > offset) walk.reason = BytesReason::TrailingData;
      break;
    }
    if (introducer == Extension) {
      ReadExtension(reader, offset, walk);
    } else if (introducer == ImageSeparator) {
      WalkFrame(reader, offset, screenWidth, screenHeight, walk);
    } else {
      walk.reason = BytesReason::UnknownBlock;
    }
  }
  return walk;
}

}  // namespace

HeaderFacts ReadGifFacts(HeaderReader& reader) {
  HeaderFacts facts;
  facts.format = ImageFormat::Gif;
  facts.deeperThan8Bits = Answer::No;
  facts.moreThanOneImage = Answer::DecoderTells;
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
  if (reader.ForComparison()) {
    const Walk walk = WalkBlocks(reader, firstBlock, width, height);
    facts.bytesReason = walk.reason;
    facts.presentation.timing = walk.frames > 1 ? Digest(walk.delays).Value(walk.looped).Value(walk.loops).Get() : 0;
  }
  facts.largestImagePixels = std::max(std::uint64_t{width} * height, frame.pixels);
  if (frame.usable && width > 0 && height > 0) {
    facts.width = width;
    facts.height = height;
  }
  return facts;
}
