// PNG: the IHDR chunk, and the chunks before the first IDAT, where an
// animation announces itself and where the decoder rejects a file before
// it decodes a row.
#include <cstring>

#include "imaging/header_facts_formats.h"
#include "imaging/header_facts_presentation.h"

namespace {

constexpr std::uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr std::size_t HeaderBytes = 33;  // signature, IHDR length, type, 13 bytes, CRC
// libpng refuses wider or taller images unless told otherwise.
constexpr std::uint32_t MaxSide = 1000000;
constexpr std::uint32_t Max31Bits = 0x7fffffff;  // the largest length, width or height
constexpr int MaxChunksBeforeImageData = 1024;
constexpr std::uint8_t PaletteColor = 3;
// sRGB's gamma (1 / 2.2 times 100000) and its white point and primaries
// (x, y times 100000), as the gAMA and cHRM chunks give them, with a
// rounding's margin.
constexpr std::uint32_t SrgbGamma = 45455;
constexpr std::uint32_t SrgbChromaticities[8] = {31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000};
constexpr std::uint32_t ColourMargin = 100;

constexpr std::uint32_t ChunkType(const char (&name)[5]) {
  return std::uint32_t{static_cast<std::uint8_t>(name[0])} << 24 |
         std::uint32_t{static_cast<std::uint8_t>(name[1])} << 16 |
         std::uint32_t{static_cast<std::uint8_t>(name[2])} << 8 | static_cast<std::uint8_t>(name[3]);
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xffffffffu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

bool ValidDepth(std::uint8_t colorType, std::uint8_t bitDepth) {
  switch (colorType) {
    case 0: return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8 || bitDepth == 16;
    case 2:
    case 4:
    case 6: return bitDepth == 8 || bitDepth == 16;
    case PaletteColor: return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8;
    default: return false;
  }
}

bool IsChunkLetter(std::uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The decoder stops on a damaged PLTE even where it would ignore a good one.
bool PaletteIntact(HeaderReader& reader, std::uint64_t chunkOffset, std::uint32_t length) {
  if (length == 0 || length % 3 != 0 || length > 3 * 256) return false;
  std::uint8_t bytes[4 + 3 * 256 + 4];
  if (!reader.Read(chunkOffset + 4, bytes, 4 + length + 4)) return false;
  return Crc32(bytes, 4 + length) == Be32(bytes + 4 + length);
}

bool Near(std::uint32_t value, std::uint32_t target) {
  return value + ColourMargin >= target && value <= target + ColourMargin;
}

enum class WalkEnd { ImageData, Rejected, NotReached };
struct ChunkWalk {
  WalkEnd end = WalkEnd::NotReached;
  bool animated = false;
  Exif exif;
  bool srgb = false;  // an sRGB chunk
  bool profile = false;  // an iCCP chunk, whose compressed bytes make the digest
  Digest profileDigest;
  Digest otherColour;  // gAMA and cHRM values that are not sRGB's
  bool otherColourSeen = false;
  bool unreadable = false;  // a colour chunk the reader could not read
};

// Notes what an ancillary chunk says about showing the pixels.
void NoteShowingChunk(HeaderReader& reader, std::uint32_t type, std::uint64_t data, std::uint32_t length,
                      ChunkWalk& walk) {
  if (type == ChunkType("eXIf")) {
    walk.exif = ReadExif(reader, data, length);
  } else if (type == ChunkType("sRGB")) {
    walk.srgb = true;
  } else if (type == ChunkType("iCCP")) {
    walk.profile = true;
    if (reader.ForComparison()) {
      walk.unreadable = walk.unreadable || !DigestBytes(reader, data, length, walk.profileDigest);
    }
  } else if (type == ChunkType("gAMA")) {
    std::uint8_t bytes[4];
    if (length != sizeof bytes || !reader.Read(data, bytes, sizeof bytes)) {
      walk.unreadable = true;
    } else if (!Near(Be32(bytes), SrgbGamma)) {
      walk.otherColour.Value(type).Value(Be32(bytes));
      walk.otherColourSeen = true;
    }
  } else if (type == ChunkType("cHRM")) {
    std::uint8_t bytes[32];
    if (length != sizeof bytes || !reader.Read(data, bytes, sizeof bytes)) {
      walk.unreadable = true;
      return;
    }
    bool srgb = true;
    for (int i = 0; i < 8; ++i) srgb = srgb && Near(Be32(bytes + 4 * i), SrgbChromaticities[i]);
    if (!srgb) {
      walk.otherColour.Value(type).Bytes(bytes, sizeof bytes);
      walk.otherColourSeen = true;
    }
  }
}

// An sRGB chunk overrides the rest, as a profile does gAMA and cHRM.
std::uint64_t ColourOf(const ChunkWalk& walk) {
  if (walk.srgb) return 0;
  if (walk.profile) return walk.profileDigest.Get();
  return walk.otherColourSeen ? walk.otherColour.Get() : 0;
}

// Follows the chunks from the one after IHDR to the first IDAT.
ChunkWalk WalkToImageData(HeaderReader& reader, std::uint64_t offset, std::uint8_t colorType) {
  ChunkWalk walk;
  bool havePalette = false;
  for (int chunk = 0; chunk < MaxChunksBeforeImageData; ++chunk) {
    std::uint8_t head[8];
    if (!reader.Read(offset, head, sizeof head)) return walk;
    const std::uint32_t length = Be32(head);
    if (length > Max31Bits || !IsChunkLetter(head[4]) || !IsChunkLetter(head[5]) ||
        !IsChunkLetter(head[6]) || !IsChunkLetter(head[7])) {
      walk.end = WalkEnd::Rejected;
      return walk;
    }
    const std::uint32_t type = Be32(head + 4);
    if (type == ChunkType("IDAT")) {
      walk.end = colorType != PaletteColor || havePalette ? WalkEnd::ImageData : WalkEnd::Rejected;
      return walk;
    }
    const bool critical = (head[4] & 0x20) == 0;
    if (type == ChunkType("acTL")) {
      walk.animated = true;
    } else if (type == ChunkType("PLTE")) {
      if (havePalette || !PaletteIntact(reader, offset, length)) {
        walk.end = WalkEnd::Rejected;
        return walk;
      }
      havePalette = true;
    } else if (!critical) {
      NoteShowingChunk(reader, type, offset + 8, length, walk);
    } else {  // a second IHDR, an early IEND, or one the decoder does not know
      walk.end = WalkEnd::Rejected;
      return walk;
    }
    offset += std::uint64_t{12} + length;
  }
  return walk;
}

}  // namespace

bool StartsWithPngSignature(const std::uint8_t* bytes, std::size_t size) {
  return size >= sizeof Signature && std::memcmp(bytes, Signature, sizeof Signature) == 0;
}

bool ReadPngHeader(HeaderReader& reader, std::uint64_t offset, PngHeader& header) {
  std::uint8_t bytes[HeaderBytes];
  if (!reader.Read(offset, bytes, sizeof bytes) || !StartsWithPngSignature(bytes, sizeof bytes)) {
    return false;
  }
  const std::uint8_t* ihdr = bytes + 8;
  if (Be32(ihdr) != 13 || Be32(ihdr + 4) != ChunkType("IHDR") || Crc32(ihdr + 4, 17) != Be32(ihdr + 21)) {
    return false;
  }
  header.width = Be32(ihdr + 8);
  header.height = Be32(ihdr + 12);
  header.bitDepth = ihdr[16];
  header.colorType = ihdr[17];
  header.interlace = ihdr[20];
  const bool sizeValid = header.width >= 1 && header.width <= Max31Bits && header.height >= 1 &&
                         header.height <= Max31Bits;
  const bool compressionAndFilterValid = ihdr[18] == 0 && ihdr[19] == 0;
  return sizeValid && compressionAndFilterValid && header.interlace <= 1 &&
         ValidDepth(header.colorType, header.bitDepth);
}

HeaderFacts ReadPngFacts(HeaderReader& reader) {
  PngHeader header;
  if (!ReadPngHeader(reader, 0, header)) return Unsettled(ImageFormat::Png);
  HeaderFacts facts;
  facts.format = ImageFormat::Png;
  facts.largestImagePixels = std::uint64_t{header.width} * header.height;
  facts.deeperThan8Bits = header.bitDepth == 16 ? Answer::Yes : Answer::No;
  facts.rowsInOrder = header.interlace == 0;
  const ChunkWalk walk = WalkToImageData(reader, HeaderBytes, header.colorType);
  const bool decodable = walk.end == WalkEnd::ImageData;
  facts.moreThanOneImage = walk.animated || !decodable ? Answer::Yes : Answer::No;
  facts.presentation.orientation = walk.exif.orientation;
  facts.presentation.thumbnail = walk.exif.thumbnail;
  facts.presentation.colour = ColourOf(walk);
  facts.bytesReason = walk.exif.reason;
  if (walk.unreadable) facts.bytesReason = BytesReason::ColourUnreadable;
  if (decodable && header.width <= MaxSide && header.height <= MaxSide) {
    facts.width = header.width;
    facts.height = header.height;
  }
  return facts;
}
