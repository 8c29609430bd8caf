// PNG: the IHDR chunk, and the chunks before the first IDAT, where an
// animation announces itself and where the decoder rejects a file before
// it decodes a row. A comparison walks on to IEND: every chunk must be
// one the decode or the presentation accounts for, or one that is inert.
#include <algorithm>
#include <cstring>
#include <utility>

#include "base/limits.h"
#include "imaging/crc32.h"
#include "imaging/header_facts_formats.h"
#include "imaging/header_facts_presentation.h"

namespace {

constexpr std::uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr std::size_t HeaderBytes = 33;  // signature, IHDR length, type, 13 bytes, CRC
constexpr std::uint64_t IhdrOffset = 8;
constexpr std::uint64_t IhdrBytes = 8 + 13;  // length, type and data
constexpr std::uint64_t ChunkHeadBytes = 8;  // length and type
constexpr std::uint64_t ChunkCrcBytes = 4;
constexpr std::size_t CrcPieceBytes = 4096;
// libpng refuses wider or taller images unless told otherwise.
constexpr std::uint32_t MaxSide = 1000000;
constexpr int MaxChunksBeforeImageData = 1024;
constexpr std::uint8_t PaletteColor = 3;
constexpr std::uint8_t AlphaFlag = 4;  // colour types 4 and 6 carry alpha
// sRGB's gamma (1 / 2.2 times 100000) and its white point and primaries
// (x, y times 100000), as the gAMA and cHRM chunks give them, with a
// rounding's margin.
constexpr std::uint32_t SrgbGamma = 45455;
constexpr std::uint32_t SrgbChromaticities[8] = {31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000};
constexpr std::uint32_t ColourMargin = 100;

// Chunks that change how the pixels are shown: read, and compared.
constexpr std::uint32_t ShowingChunks[] = {FourCC("sRGB"), FourCC("iCCP"), FourCC("gAMA"),
                                           FourCC("cHRM"), FourCC("eXIf")};
// Of those, the ones decoders take only before PLTE and IDAT.
constexpr std::uint32_t ColourChunks[] = {FourCC("sRGB"), FourCC("iCCP"), FourCC("gAMA"),
                                          FourCC("cHRM")};
// Chunks of an animation: frames the decoder does not show.
constexpr std::uint32_t AnimationChunks[] = {FourCC("acTL"), FourCC("fcTL"), FourCC("fdAT")};
// Chunks that change no pixel in libpng, gdk-pixbuf or GDI+: text, a time
// stamp, the pixel size, and hints (background, histogram, suggested
// palette, significant bits) that a decoder applies only when asked to.
constexpr std::uint32_t InertChunks[] = {FourCC("tEXt"), FourCC("zTXt"), FourCC("iTXt"),
                                         FourCC("tIME"), FourCC("pHYs"), FourCC("bKGD"),
                                         FourCC("hIST"), FourCC("sPLT"), FourCC("sBIT")};
// Chunks a re-tag may rewrite without touching a pixel: text, a time stamp,
// the pixel size, and the EXIF block, whose orientation and thumbnail the
// presentation compares. Every other chunk is part of the coded picture.
constexpr std::uint32_t RetaggedChunks[] = {FourCC("tEXt"), FourCC("zTXt"), FourCC("iTXt"),
                                            FourCC("tIME"), FourCC("pHYs"), FourCC("eXIf")};
// Chunks a file may hold once; decoders differ on which of two they keep.
constexpr std::uint32_t OnceOnlyChunks[] = {FourCC("sRGB"), FourCC("iCCP"), FourCC("gAMA"),
                                            FourCC("cHRM"), FourCC("eXIf"), FourCC("tRNS")};

template <std::size_t N>
bool Listed(const std::uint32_t (&list)[N], std::uint32_t type) {
  return std::find(list, list + N, type) != list + N;
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
  return Crc32(0, bytes, 4 + length) == Be32(bytes + 4 + length);
}

// Why a read of the bytes up to end failed: the file ends first, or the
// reader's budget is spent.
BytesReason ReadFailure(const HeaderReader& reader, std::uint64_t end) {
  return end > reader.FileSize() ? BytesReason::CutShort : BytesReason::ReadBudgetSpent;
}

// Whether the chunk at offset, which the file holds whole, has the CRC of
// its type and data. libpng skips an ancillary chunk whose CRC is wrong,
// where other decoders read it or reject the file.
BytesReason ChecksumReason(HeaderReader& reader, std::uint64_t offset, std::uint32_t length) {
  std::uint8_t piece[CrcPieceBytes];
  std::uint32_t crc = 0;
  const std::uint64_t end = offset + ChunkHeadBytes + length;
  for (std::uint64_t at = offset + 4; at < end;) {
    const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof piece, end - at));
    if (!reader.Read(at, piece, size)) return ReadFailure(reader, at + size);
    crc = Crc32(crc, piece, size);
    at += size;
  }
  std::uint8_t stored[ChunkCrcBytes];
  if (!reader.Read(end, stored, sizeof stored)) return ReadFailure(reader, end + sizeof stored);
  return crc == Be32(stored) ? BytesReason::None : BytesReason::ChunkChecksumWrong;
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
  // A chunk before the image data runs past the end of the file: no
  // decoder gets to the picture, though one may first hold the chunk.
  bool cutShortBeforeImageData = false;
  // The first chunk that the decode and the presentation do not account
  // for (a comparison's walk only).
  BytesReason reason = BytesReason::None;
  CodedPicture coded;  // a comparison's walk only

  void Note(BytesReason found) {
    if (reason == BytesReason::None) reason = found;
  }
};

// What came before a chunk, for the rules of their order.
struct ChunkOrder {
  bool palette = false;
  bool imageData = false;
  bool imageDataEnded = false;  // a chunk other than IDAT came after IDAT
  std::uint32_t seenOnce = 0;  // a bit for each of OnceOnlyChunks seen
};

// Notes what an ancillary chunk says about showing the pixels.
void NoteShowingChunk(HeaderReader& reader, std::uint32_t type, std::uint64_t data, std::uint32_t length,
                      ChunkWalk& walk) {
  if (type == FourCC("eXIf")) {
    walk.exif = ReadExif(reader, data, length);
  } else if (type == FourCC("sRGB")) {
    walk.srgb = true;
  } else if (type == FourCC("iCCP")) {
    walk.profile = true;
    if (reader.ForComparison()) {
      walk.unreadable = walk.unreadable || !DigestBytes(reader, data, length, walk.profileDigest);
    }
  } else if (type == FourCC("gAMA")) {
    std::uint8_t bytes[4];
    if (length != sizeof bytes || !reader.Read(data, bytes, sizeof bytes)) {
      walk.unreadable = true;
    } else if (!Near(Be32(bytes), SrgbGamma)) {
      walk.otherColour.Value(type).Value(Be32(bytes));
      walk.otherColourSeen = true;
    }
  } else if (type == FourCC("cHRM")) {
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

// Takes in a chunk other than IDAT and the last IEND: notes what it says about
// showing the pixels and whether its kind and place are accounted for.
// False when the decoder rejects the file.
bool TakeChunk(HeaderReader& reader, std::uint32_t type, std::uint64_t offset, std::uint32_t length,
               std::uint8_t colorType, ChunkOrder& order, ChunkWalk& walk) {
  const bool critical = (type & 0x20000000u) == 0;
  if (type == FourCC("PLTE")) {
    if (order.imageData) {
      walk.Note(BytesReason::ChunkOutOfPlace);
      return true;
    }
    if (order.palette || !PaletteIntact(reader, offset, length)) {
      if (order.palette) walk.Note(BytesReason::DuplicateStructure);
      walk.end = WalkEnd::Rejected;
      return false;
    }
    order.palette = true;
    return true;
  }
  if (Listed(AnimationChunks, type)) {
    if (type == FourCC("acTL") && !order.imageData) walk.animated = true;
    walk.Note(BytesReason::ImagesNotShown);
    return true;
  }
  if (critical) {  // a second IHDR, an early IEND, or one the decoder does not know
    walk.Note(type == FourCC("IHDR")   ? BytesReason::DuplicateStructure
              : type == FourCC("IEND") ? BytesReason::CutShort
                                          : BytesReason::UnknownChunk);
    if (order.imageData) return true;
    walk.end = WalkEnd::Rejected;
    return false;
  }
  const auto once = std::find(OnceOnlyChunks, std::end(OnceOnlyChunks), type) - OnceOnlyChunks;
  if (once < std::end(OnceOnlyChunks) - OnceOnlyChunks) {
    if ((order.seenOnce >> once & 1u) != 0) walk.Note(BytesReason::DuplicateStructure);
    order.seenOnce |= 1u << once;
  }
  if (type == FourCC("tRNS")) {
    // libpng skips it after IDAT, before a palette, or beside alpha.
    if (order.imageData || (colorType & AlphaFlag) != 0 || (colorType == PaletteColor && !order.palette)) {
      walk.Note(BytesReason::ChunkOutOfPlace);
    }
    return true;
  }
  if (Listed(ShowingChunks, type)) {
    // libpng skips these after IDAT, and the colour chunks after PLTE,
    // where other decoders may read them.
    if (order.imageData) {
      walk.Note(BytesReason::ChunkOutOfPlace);
      return true;
    }
    if (order.palette && Listed(ColourChunks, type)) walk.Note(BytesReason::ChunkOutOfPlace);
    NoteShowingChunk(reader, type, offset + ChunkHeadBytes, length, walk);
    // Decoders keep the first or the last of two descriptions.
    if ((walk.srgb && walk.profile) || ((walk.srgb || walk.profile) && walk.otherColourSeen)) {
      walk.Note(BytesReason::ColourConflict);
    }
    return true;
  }
  if (!Listed(InertChunks, type)) walk.Note(BytesReason::UnknownChunk);
  return true;
}

// Notes where a chunk of the coded picture lies: the image data chunks'
// data, joined into one run, and every other chunk whole, with its length
// and type, so that no chunk's bytes can pass for another's.
void NoteCodedChunk(std::uint32_t type, std::uint64_t offset, std::uint32_t length, std::uint32_t previous,
                    CodedPicture& coded) {
  if (type == FourCC("IDAT")) {
    coded.Add({offset + ChunkHeadBytes, length, previous == FourCC("IDAT"), true});
  } else if (type != FourCC("IEND") && !Listed(RetaggedChunks, type)) {
    coded.Add({offset, ChunkHeadBytes + length, false, false});
  }
}

// Follows the chunks after IHDR: to the first IDAT for sizes, and on to
// IEND for a comparison, which seeks over the image data and checks the
// CRC of every other chunk.
ChunkWalk WalkChunks(HeaderReader& reader, std::uint64_t offset, std::uint8_t colorType) {
  ChunkWalk walk;
  ChunkOrder order;
  const bool wholeFile = reader.ForComparison();
  if (wholeFile) walk.coded.Add({IhdrOffset, IhdrBytes, false, false});
  std::uint32_t previous = FourCC("IHDR");
  for (int chunk = 0;; ++chunk) {
    if (!order.imageData && chunk == MaxChunksBeforeImageData) {
      walk.Note(BytesReason::ReadBudgetSpent);
      return walk;
    }
    // Past the image data only a comparison reads on, to the first reason.
    if (order.imageData && (!wholeFile || walk.reason != BytesReason::None)) return walk;
    std::uint8_t head[ChunkHeadBytes];
    if (!reader.Read(offset, head, sizeof head)) {
      walk.Note(ReadFailure(reader, offset + sizeof head));
      return walk;
    }
    const std::uint32_t length = Be32(head);
    if (length > Int31Max || !IsChunkLetter(head[4]) || !IsChunkLetter(head[5]) ||
        !IsChunkLetter(head[6]) || !IsChunkLetter(head[7])) {
      if (!order.imageData) walk.end = WalkEnd::Rejected;
      walk.Note(BytesReason::UnknownChunk);
      return walk;
    }
    const std::uint32_t type = Be32(head + 4);
    const std::uint64_t next = offset + ChunkHeadBytes + length + ChunkCrcBytes;
    if (next > reader.FileSize() && !order.imageData) walk.cutShortBeforeImageData = true;
    if (wholeFile && next > reader.FileSize()) {
      walk.Note(BytesReason::CutShort);
    } else if (wholeFile && type != FourCC("IDAT") && type != FourCC("fdAT")) {
      walk.Note(ChecksumReason(reader, offset, length));
    }
    if (wholeFile) NoteCodedChunk(type, offset, length, previous, walk.coded);
    previous = type;
    if (type == FourCC("IDAT")) {
      if (!order.imageData) {
        order.imageData = true;
        walk.end = colorType != PaletteColor || order.palette ? WalkEnd::ImageData : WalkEnd::Rejected;
        if (walk.end == WalkEnd::Rejected) return walk;
      } else if (order.imageDataEnded) {  // a second run of image data
        walk.Note(BytesReason::DuplicateStructure);
      }
    } else if (type == FourCC("IEND") && order.imageData) {
      if (wholeFile && next < reader.FileSize()) walk.Note(BytesReason::TrailingData);
      return walk;
    } else {
      if (order.imageData) order.imageDataEnded = true;
      if (!TakeChunk(reader, type, offset, length, colorType, order, walk)) return walk;
    }
    offset = next;
  }
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
  if (Be32(ihdr) != 13 || Be32(ihdr + 4) != FourCC("IHDR") || Crc32(0, ihdr + 4, 17) != Be32(ihdr + 21)) {
    return false;
  }
  header.width = Be32(ihdr + 8);
  header.height = Be32(ihdr + 12);
  header.bitDepth = ihdr[16];
  header.colorType = ihdr[17];
  header.interlace = ihdr[20];
  const bool sizeValid = header.width >= 1 && header.width <= Int31Max && header.height >= 1 &&
                         header.height <= Int31Max;
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
  facts.deeperThan8Bits = header.bitDepth == 16 ? Answer::NotRuledOut : Answer::No;
  facts.rowsInOrder = header.interlace == 0;
  ChunkWalk walk = WalkChunks(reader, HeaderBytes, header.colorType);
  const bool decodable = walk.end == WalkEnd::ImageData;
  facts.headerCutShort = walk.cutShortBeforeImageData;
  facts.moreThanOneImage = walk.animated || !decodable ? Answer::NotRuledOut : Answer::No;
  facts.presentation.orientation = walk.exif.orientation;
  facts.presentation.thumbnail = walk.exif.thumbnail;
  facts.presentation.colour = ColourOf(walk);
  if (walk.unreadable) {
    facts.bytesReason = BytesReason::ColourUnreadable;
  } else if (reader.ForComparison()) {
    facts.bytesReason = walk.reason != BytesReason::None ? walk.reason : walk.exif.reason;
  }
  if (decodable && header.width <= MaxSide && header.height <= MaxSide) {
    facts.width = header.width;
    facts.height = header.height;
  }
  facts.coded = std::move(walk.coded);
  return facts;
}
