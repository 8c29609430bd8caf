// WebP: a RIFF container holding one VP8 (lossy) or VP8L (lossless)
// bitstream, or a VP8X header with a canvas, flags and further chunks. An
// animation's size is its canvas, on which its frames are shown.
// A comparison accounts for every chunk of a still image.
#include <cstring>

#include "imaging/header_facts_formats.h"
#include "imaging/header_facts_presentation.h"

namespace {

constexpr std::uint32_t ChunkHeaderBytes = 8;
constexpr std::uint32_t MaxChunkPayload = 0xffffffffu - ChunkHeaderBytes - 1;
constexpr std::uint64_t FirstChunk = 12;
constexpr std::uint32_t ExtendedHeaderBytes = 10;
constexpr std::uint32_t AnimationFlag = 0x02;
constexpr std::uint32_t XmpFlag = 0x04;
constexpr std::uint32_t ExifFlag = 0x08;
constexpr std::uint32_t AlphaFlag = 0x10;
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

// The chunks a still image may hold, each at most once.
struct ChunksFound {
  bool bitstream = false;
  bool lossless = false;
  bool alpha = false;
  bool profile = false;
  bool exif = false;
  bool xmp = false;
};

bool IsType(const std::uint8_t* head, const char (&type)[5]) { return std::memcmp(head, type, 4) == 0; }

// Notes the chunk whose header is head and whose data starts at data; the
// reason when it is one the file may not hold, or holds twice. The profile and the EXIF
// orientation are read as the flags announce them.
BytesReason NoteChunk(HeaderReader& reader, const std::uint8_t* head, std::uint64_t data, std::uint32_t flags,
                      ChunksFound& found, Presentation& shown) {
  const std::uint32_t size = Le32(head + 4);
  const auto once = [](bool& seen) {
    const bool again = seen;
    seen = true;
    return again ? BytesReason::DuplicateStructure : BytesReason::None;
  };
  if (IsType(head, "VP8 ") || IsType(head, "VP8L")) {
    found.lossless = IsType(head, "VP8L");
    return once(found.bitstream);
  }
  // An alpha plane belongs to the lossy bitstream after it.
  if (IsType(head, "ALPH")) return found.bitstream ? BytesReason::StructuresDisagree : once(found.alpha);
  if (IsType(head, "ICCP")) {
    if (found.profile) return BytesReason::DuplicateStructure;
    found.profile = true;
    const bool read = (flags & IccFlag) == 0 || IccProfileColour(reader, data, size, shown.colour);
    return read ? BytesReason::None : BytesReason::ColourUnreadable;
  }
  if (IsType(head, "EXIF")) {
    if (found.exif) return BytesReason::DuplicateStructure;
    found.exif = true;
    if ((flags & ExifFlag) == 0) return BytesReason::None;
    std::uint8_t prefix[sizeof ExifPrefix];
    const bool prefixed = size >= sizeof ExifPrefix && reader.Read(data, prefix, sizeof prefix) &&
                          std::memcmp(prefix, ExifPrefix, sizeof ExifPrefix) == 0;
    const std::uint64_t skip = prefixed ? sizeof ExifPrefix : 0;
    const Exif exif = ReadExif(reader, data + skip, size - skip);
    shown.orientation = exif.orientation;
    shown.thumbnail = exif.thumbnail;
    return exif.reason;
  }
  if (IsType(head, "XMP ")) return once(found.xmp);
  // Frames of an animation in a still image, a second header.
  if (IsType(head, "ANIM") || IsType(head, "ANMF")) return BytesReason::StructuresDisagree;
  if (IsType(head, "VP8X")) return BytesReason::DuplicateStructure;
  return BytesReason::UnknownChunk;
}

// The flags announce exactly the chunks present; an alpha plane comes
// with the alpha flag and a lossy bitstream only.
bool FlagsAgree(std::uint32_t flags, const ChunksFound& found) {
  return ((flags & IccFlag) != 0) == found.profile && ((flags & ExifFlag) != 0) == found.exif &&
         ((flags & XmpFlag) != 0) == found.xmp && (!found.alpha || ((flags & AlphaFlag) != 0 && !found.lossless));
}

// Walks every chunk of a still image from offset to the end the RIFF size
// gives, which must be the end of the file. A simple file (no VP8X) has no
// flags: it holds its bitstream only. The first chunk that is not
// accounted for names the reason.
BytesReason WalkChunks(HeaderReader& reader, std::uint64_t offset, std::uint32_t riffSize, std::uint32_t flags,
                       Presentation& shown) {
  const std::uint64_t end = std::uint64_t{riffSize} + ChunkHeaderBytes;
  if (reader.FileSize() < end) return BytesReason::CutShort;
  ChunksFound found;
  for (int chunk = 0; offset < end; ++chunk) {
    if (chunk == MaxChunks) return BytesReason::ReadBudgetSpent;
    std::uint8_t head[ChunkHeaderBytes];
    if (offset + ChunkHeaderBytes > end) return BytesReason::CutShort;
    if (!reader.Read(offset, head, sizeof head)) return BytesReason::ReadBudgetSpent;
    const std::uint64_t data = offset + ChunkHeaderBytes;
    offset = data + ((std::uint64_t{Le32(head + 4)} + 1) & ~std::uint64_t{1});
    if (offset > end) return BytesReason::CutShort;
    const BytesReason reason = NoteChunk(reader, head, data, flags, found, shown);
    if (reason != BytesReason::None) return reason;
  }
  if (!FlagsAgree(flags, found)) return BytesReason::StructuresDisagree;
  return reader.FileSize() > end ? BytesReason::TrailingData : BytesReason::None;
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
  std::uint32_t flags = 0;
  std::uint64_t walkFrom = FirstChunk;
  if (std::memcmp(head + FirstChunk, "VP8X", 4) != 0) {
    stream = ReadBitstream(reader, FirstChunk, riffSize);
  } else {
    if (Le32(head + 16) != ExtendedHeaderBytes || !reader.Read(0, head, sizeof head)) return facts;
    flags = Le32(head + 20);
    const std::uint32_t canvasWidth = Le24(head + 24) + 1;
    const std::uint32_t canvasHeight = Le24(head + 27) + 1;
    const std::uint64_t area = std::uint64_t{canvasWidth} * canvasHeight;
    if (area >= MaxCanvasArea) return facts;
    facts.largestImagePixels = area;
    // An animation shows its frames on the canvas: the canvas is its size.
    if ((flags & AnimationFlag) != 0) {
      facts.bytesReason = BytesReason::ImagesNotShown;
      facts.width = canvasWidth;
      facts.height = canvasHeight;
      return facts;
    }
    stream = FindBitstream(reader, riffSize);
    // The decoder rejects a bitstream that does not fill the canvas.
    stream.valid = stream.valid && stream.width == canvasWidth && stream.height == canvasHeight;
    walkFrom = FirstChunk + ChunkHeaderBytes + ExtendedHeaderBytes;
  }
  if (!stream.valid) return facts;
  // The chunks after the bitstream matter to a comparison only.
  facts.bytesReason =
      reader.ForComparison() ? WalkChunks(reader, walkFrom, riffSize, flags, facts.presentation) : BytesReason::None;
  facts.moreThanOneImage = Answer::No;
  facts.largestImagePixels = std::uint64_t{stream.width} * stream.height;
  facts.width = stream.width;
  facts.height = stream.height;
  return facts;
}
