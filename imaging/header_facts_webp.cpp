// WebP: a RIFF container holding one VP8 (lossy) or VP8L (lossless)
// bitstream, or a VP8X header with a canvas, flags and further chunks. An
// animation is decoded frame by frame, so its size is left to the decoder.
#include <cstring>

#include "imaging/header_facts_formats.h"
#include "imaging/header_facts_presentation.h"

namespace {

constexpr std::uint32_t ChunkHeaderBytes = 8;
constexpr std::uint32_t MaxChunkPayload = 0xffffffffu - ChunkHeaderBytes - 1;
constexpr std::uint64_t FirstChunk = 12;
constexpr std::uint32_t ExtendedHeaderBytes = 10;
constexpr std::uint32_t AnimationFlag = 0x02;
constexpr std::uint32_t ExifFlag = 0x08;
constexpr std::uint32_t IccFlag = 0x20;
constexpr char ExifPrefix[6] = {'E', 'x', 'i', 'f', 0, 0};  // some writers keep JPEG's
constexpr std::uint64_t MaxCanvasArea = std::uint64_t{1} << 32;
constexpr int MaxChunks = 256;

struct Bitstream {
  bool valid = false;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

// A visible VP8 key frame whose first partition fits its chunk.
Bitstream ReadLossy(HeaderReader& reader, std::uint64_t offset, std::uint32_t chunkSize) {
  Bitstream stream;
  std::uint8_t bytes[10];
  if (!reader.Read(offset, bytes, sizeof bytes)) return stream;
  const std::uint32_t tag = Le24(bytes);
  const bool keyFrame = (tag & 1) == 0;
  const bool knownProfile = ((tag >> 1) & 7) <= 3;
  const bool shown = ((tag >> 4) & 1) != 0;
  const bool partitionFits = (tag >> 5) < chunkSize;
  const bool startCode = bytes[3] == 0x9d && bytes[4] == 0x01 && bytes[5] == 0x2a;
  stream.width = Le16(bytes + 6) & 0x3fffu;  // the top two bits ask for upscaling, which decoders ignore
  stream.height = Le16(bytes + 8) & 0x3fffu;
  stream.valid = keyFrame && knownProfile && shown && partitionFits && startCode && stream.width > 0 &&
                 stream.height > 0;
  return stream;
}

Bitstream ReadLossless(HeaderReader& reader, std::uint64_t offset) {
  Bitstream stream;
  std::uint8_t bytes[5];
  if (!reader.Read(offset, bytes, sizeof bytes)) return stream;
  const std::uint32_t bits = Le32(bytes + 1);
  stream.width = (bits & 0x3fffu) + 1;
  stream.height = ((bits >> 14) & 0x3fffu) + 1;
  stream.valid = bytes[0] == 0x2f && (bits >> 29) == 0;
  return stream;
}

// The bitstream chunk at offset, which must fit the RIFF size.
Bitstream ReadBitstream(HeaderReader& reader, std::uint64_t offset, std::uint32_t riffSize) {
  std::uint8_t head[ChunkHeaderBytes];
  if (!reader.Read(offset, head, sizeof head)) return {};
  const std::uint32_t size = Le32(head + 4);
  if (size > riffSize - FirstChunk) return {};
  if (std::memcmp(head, "VP8 ", 4) == 0) return ReadLossy(reader, offset + ChunkHeaderBytes, size);
  if (std::memcmp(head, "VP8L", 4) == 0) return ReadLossless(reader, offset + ChunkHeaderBytes);
  return {};
}

// Walks the chunks after VP8X to the bitstream, keeping the running size
// within the RIFF size as the decoder does.
Bitstream FindBitstream(HeaderReader& reader, std::uint32_t riffSize) {
  std::uint64_t offset = FirstChunk + ChunkHeaderBytes + ExtendedHeaderBytes;
  std::uint64_t total = 4 + ChunkHeaderBytes + ExtendedHeaderBytes;
  for (int chunk = 0; chunk < MaxChunks; ++chunk) {
    std::uint8_t head[ChunkHeaderBytes];
    if (!reader.Read(offset, head, sizeof head)) return {};
    const std::uint32_t size = Le32(head + 4);
    if (size > MaxChunkPayload) return {};
    const std::uint64_t onDisk = (ChunkHeaderBytes + std::uint64_t{size} + 1) & ~std::uint64_t{1};
    total += onDisk;
    if (total > riffSize) return {};
    if (std::memcmp(head, "VP8 ", 4) == 0 || std::memcmp(head, "VP8L", 4) == 0) {
      return ReadBitstream(reader, offset, riffSize);
    }
    offset += onDisk;
  }
  return {};
}

// The ICC profile and EXIF block in the chunks of an extended file; the
// reason when a chunk its flags announce cannot be read.
BytesReason NoteShowingChunks(HeaderReader& reader, std::uint32_t riffSize, std::uint32_t flags,
                              Presentation& shown) {
  std::uint64_t offset = FirstChunk + ChunkHeaderBytes + ExtendedHeaderBytes;
  const std::uint64_t end = std::uint64_t{riffSize} + 8;
  bool profileFound = (flags & IccFlag) == 0;
  for (int chunk = 0; chunk < MaxChunks && offset + ChunkHeaderBytes <= end; ++chunk) {
    std::uint8_t head[ChunkHeaderBytes + sizeof ExifPrefix];
    if (!reader.Read(offset, head, ChunkHeaderBytes)) return BytesReason::ColourUnreadable;
    const std::uint32_t size = Le32(head + 4);
    const std::uint64_t data = offset + ChunkHeaderBytes;
    if (std::memcmp(head, "ICCP", 4) == 0 && !profileFound) {
      profileFound = true;
      if (!IccProfileColour(reader, data, size, shown.colour)) return BytesReason::ColourUnreadable;
    } else if (std::memcmp(head, "EXIF", 4) == 0 && (flags & ExifFlag) != 0) {
      const bool prefixed = size >= sizeof ExifPrefix && reader.Read(data, head + ChunkHeaderBytes, sizeof ExifPrefix) &&
                            std::memcmp(head + ChunkHeaderBytes, ExifPrefix, sizeof ExifPrefix) == 0;
      const std::uint64_t skip = prefixed ? sizeof ExifPrefix : 0;
      const Exif exif = ReadExif(reader, data + skip, size - skip);
      if (exif.reason != BytesReason::None) return exif.reason;
      shown.orientation = exif.orientation;
      shown.thumbnail = exif.thumbnail;
    }
    offset = data + ((std::uint64_t{size} + 1) & ~std::uint64_t{1});
  }
  return profileFound ? BytesReason::None : BytesReason::ColourUnreadable;
}

}  // namespace

HeaderFacts ReadWebPFacts(HeaderReader& reader) {
  HeaderFacts facts = Unsettled(ImageFormat::WebP);
  facts.deeperThan8Bits = Answer::No;
  std::uint8_t head[FirstChunk + ChunkHeaderBytes + ExtendedHeaderBytes];
  if (!reader.Read(0, head, FirstChunk + ChunkHeaderBytes)) return facts;
  const std::uint32_t riffSize = Le32(head + 4);
  if (riffSize < 4 + ChunkHeaderBytes || riffSize > MaxChunkPayload) return facts;
  Bitstream stream;
  if (std::memcmp(head + FirstChunk, "VP8X", 4) != 0) {
    stream = ReadBitstream(reader, FirstChunk, riffSize);
  } else {
    if (Le32(head + 16) != ExtendedHeaderBytes || !reader.Read(0, head, sizeof head)) return facts;
    const std::uint32_t flags = Le32(head + 20);
    const std::uint32_t canvasWidth = Le24(head + 24) + 1;
    const std::uint32_t canvasHeight = Le24(head + 27) + 1;
    const std::uint64_t area = std::uint64_t{canvasWidth} * canvasHeight;
    if (area >= MaxCanvasArea) return facts;
    facts.largestImagePixels = area;
    if ((flags & AnimationFlag) != 0) return facts;
    // The chunks after the bitstream matter to a comparison only.
    const BytesReason shown = reader.ForComparison() && (flags & (ExifFlag | IccFlag)) != 0
                                  ? NoteShowingChunks(reader, riffSize, flags, facts.presentation)
                                  : BytesReason::None;
    if (shown != BytesReason::None) facts.bytesReason = shown;
    stream = FindBitstream(reader, riffSize);
    // The decoder rejects a bitstream that does not fill the canvas.
    stream.valid = stream.valid && stream.width == canvasWidth && stream.height == canvasHeight;
  }
  if (!stream.valid) return facts;
  if (facts.bytesReason == BytesReason::HeaderUnreadable) facts.bytesReason = BytesReason::None;
  facts.moreThanOneImage = Answer::No;
  facts.largestImagePixels = std::uint64_t{stream.width} * stream.height;
  facts.width = stream.width;
  facts.height = stream.height;
  return facts;
}
