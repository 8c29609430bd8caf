// BMP: the file header and every info header version the decoder reads
// (OS/2 12 and 64 bytes; 40, 52, 56, 108, 124), with the field
// combinations it rejects. Bit-field masks wider than 8 bits carry samples
// the decoder narrows.
#include <algorithm>
#include <climits>

#include "imaging/header_facts_formats.h"
#include "imaging/header_facts_presentation.h"

namespace {

constexpr std::size_t FileHeaderBytes = 14;
constexpr std::size_t MaxInfoHeaderBytes = 124;
constexpr std::size_t MaskBytes = 12;
constexpr std::size_t MaskOffset = 40;  // in the info header
constexpr std::uint32_t Rgb = 0;
constexpr std::uint32_t Rle8 = 1;
constexpr std::uint32_t Rle4 = 2;
constexpr std::uint32_t BitFields = 3;
constexpr std::size_t AlphaMaskAt = FileHeaderBytes + 52;
constexpr std::size_t ColourSpaceAt = FileHeaderBytes + 56;  // in 108- and 124-byte info headers
constexpr std::size_t CalibrationBytes = 48;  // end points and gammas, after the colour space type
constexpr std::size_t ProfileAt = FileHeaderBytes + 112;  // in 124-byte ones: offset from the info header, size
constexpr std::uint32_t CalibratedRgb = 0;
constexpr std::uint32_t EmbeddedProfile = 0x4d424544;  // 'MBED'
constexpr std::uint32_t LinkedProfile = 0x4c494e4b;  // 'LINK'
constexpr std::uint32_t SrgbSpace = 0x73524742;  // 'sRGB'
constexpr std::uint32_t WindowsSpace = 0x57696e20;  // 'Win ', sRGB on Windows

bool KnownInfoHeader(std::uint32_t size) {
  return size == 12 || size == 40 || size == 52 || size == 56 || size == 64 || size == 108 || size == 124;
}

struct InfoHeader {
  std::uint32_t size = 0;
  std::int64_t width = 0;
  std::int64_t height = 0;
  std::uint32_t depth = 0;
  std::uint32_t compression = 0;
  std::int64_t colorsUsed = 0;
};

InfoHeader ParseInfoHeader(const std::uint8_t* info) {
  InfoHeader header;
  header.size = Le32(info);
  if (header.size == 12) {
    header.width = static_cast<std::int16_t>(Le16(info + 4));
    header.height = static_cast<std::int16_t>(Le16(info + 6));
    header.depth = Le16(info + 10);
    return header;
  }
  header.width = static_cast<std::int32_t>(Le32(info + 4));
  header.height = static_cast<std::int32_t>(Le32(info + 8));
  header.depth = Le16(info + 14);
  header.compression = Le32(info + 16);
  header.colorsUsed = static_cast<std::int32_t>(Le32(info + 32));
  return header;
}

bool DepthAndCompressionValid(const InfoHeader& header) {
  const std::uint32_t depth = header.depth;
  if (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32) return false;
  switch (header.compression) {
    case Rgb: return true;
    case Rle8: return depth == 8 && header.height > 0;
    case Rle4: return depth == 4 && header.height > 0;
    case BitFields: return depth == 16 || depth == 32;
    default: return false;
  }
}

// The decoder compares the palette size with 1 << depth as the processor
// shifts: a 32-bit depth shifts by 0.
bool PaletteSizeValid(const InfoHeader& header) {
  if (header.size == 12) return true;
  const std::int64_t limit = std::int64_t{1} << (header.depth % 32);
  return header.colorsUsed >= 0 && header.colorsUsed <= limit;
}

// Every size product the decoder computes fits its int arithmetic.
bool SizeFitsDecoder(const InfoHeader& header) {
  if (header.width <= 0 || header.height == 0 || header.height == INT32_MIN) return false;
  const std::uint64_t width = static_cast<std::uint64_t>(header.width);
  const std::uint64_t rows = static_cast<std::uint64_t>(header.height < 0 ? -header.height : header.height);
  if (header.depth >= 8 && width * (header.depth / 8) > UINT32_MAX) return false;
  if (width * rows > INT_MAX) return false;
  const std::uint64_t channels =
      header.depth == 32 || header.compression == Rle8 || header.compression == Rle4 ? 4 : 3;
  if (width > (INT_MAX - 3) / channels) return false;
  const std::uint64_t rowstride = (width * channels + 3) & ~std::uint64_t{3};
  return rowstride * rows <= INT_MAX;
}

int SetBits(std::uint32_t mask) {
  int bits = 0;
  for (; mask != 0; mask &= mask - 1) ++bits;
  return bits;
}

// Bit-field masks sit at offset 40 of the info headers that define them
// (52, 56, 108 and 124 bytes), and right after the others: the OS/2
// 64-byte header has other fields there.
bool MasksInInfoHeader(std::uint32_t size) { return size == 52 || size == 56 || size == 108 || size == 124; }

Answer MasksWiderThan8Bits(const std::uint8_t* bytes, std::size_t size, const InfoHeader& header) {
  if (header.compression != BitFields) return Answer::No;
  const std::size_t at = FileHeaderBytes + (MasksInInfoHeader(header.size) ? MaskOffset : header.size);
  if (size < at + MaskBytes + 4) return Answer::NotRuledOut;
  const int red = SetBits(Le32(bytes + at));
  const int green = SetBits(Le32(bytes + at + 4));
  const int blue = SetBits(Le32(bytes + at + 8));
  if (red == 0 || green == 0 || blue == 0) return Answer::No;  // the decoder's defaults apply
  const bool hasAlphaMask = header.size == 56 || header.size == 108 || header.size == 124;
  const int alpha = hasAlphaMask ? SetBits(Le32(bytes + at + 12)) : 0;
  return std::max({red, green, blue, alpha}) > 8 ? Answer::NotRuledOut : Answer::No;
}

// Uncompressed pixels of more than 8 bits are read from the data offset,
// and the decoder fails when the file ends before it.
bool ReachesPixelData(HeaderReader& reader, const InfoHeader& header, std::uint32_t dataOffset) {
  if (header.compression != Rgb || header.depth <= 8 || dataOffset <= FileHeaderBytes + header.size) {
    return true;
  }
  return reader.HasByteAt(dataOffset - 1);
}

// GDI+ drops a BMP's alpha where other decoders keep it: files whose
// pixels may carry alpha (32-bit ones, bit fields with an alpha mask) are
// known by their bytes.
bool MayCarryAlpha(const std::uint8_t* bytes, std::size_t size, const InfoHeader& header) {
  if (header.depth == 32) return true;
  const bool hasAlphaMask = header.size == 56 || header.size == 108 || header.size == 124;
  return header.compression == BitFields && hasAlphaMask && (size < AlphaMaskAt + 4 || Le32(bytes + AlphaMaskAt) != 0);
}

// The colour space of the 108- and 124-byte headers: calibrated end
// points or an embedded profile. A profile linked by name lies in another
// file, which a copy of the file may not bring along.
BytesReason ColourOf(HeaderReader& reader, const std::uint8_t* bytes, std::size_t size, const InfoHeader& header,
                     std::uint64_t& colour) {
  colour = 0;
  if (header.size < 108) return BytesReason::None;
  if (size < ColourSpaceAt + 4 + CalibrationBytes) return BytesReason::ColourUnreadable;
  const std::uint32_t space = Le32(bytes + ColourSpaceAt);
  if (space == SrgbSpace || space == WindowsSpace) return BytesReason::None;
  if (space == LinkedProfile) return BytesReason::ProfileInOtherFile;
  Digest digest;
  digest.Value(space);
  if (space == CalibratedRgb) {
    colour = digest.Bytes(bytes + ColourSpaceAt + 4, CalibrationBytes).Get();
    return BytesReason::None;
  }
  if (space != EmbeddedProfile || header.size < 124 || size < ProfileAt + 8) return BytesReason::ColourUnreadable;
  const std::uint64_t at = FileHeaderBytes + std::uint64_t{Le32(bytes + ProfileAt)};
  const std::uint32_t length = Le32(bytes + ProfileAt + 4);
  const bool read = !reader.ForComparison() || IccProfileColour(reader, at, length, colour);
  return read ? BytesReason::None : BytesReason::ColourUnreadable;
}

// Where the rows of uncompressed pixels end, and an embedded profile if
// the header points past them: the file ends there. Anything between the
// headers and the rows is never shown.
BytesReason ExtentOf(HeaderReader& reader, const std::uint8_t* bytes, const InfoHeader& header,
                     std::uint32_t dataOffset) {
  const std::uint64_t width = static_cast<std::uint64_t>(header.width);
  const std::uint64_t rows = static_cast<std::uint64_t>(header.height < 0 ? -header.height : header.height);
  const std::uint64_t rowBytes = (width * header.depth + 31) / 32 * 4;
  std::uint64_t end = dataOffset + rowBytes * rows;
  if (reader.FileSize() < end) return BytesReason::ImageDataCutShort;
  if (header.size == 124 && Le32(bytes + ColourSpaceAt) == EmbeddedProfile) {
    end = std::max(end, FileHeaderBytes + std::uint64_t{Le32(bytes + ProfileAt)} + Le32(bytes + ProfileAt + 4));
  }
  return reader.FileSize() > end ? BytesReason::TrailingData : BytesReason::None;
}

}  // namespace

HeaderFacts ReadBmpFacts(HeaderReader& reader) {
  std::uint8_t bytes[FileHeaderBytes + MaxInfoHeaderBytes + MaskBytes + 4];
  const std::size_t size = reader.ReadUpTo(0, bytes, sizeof bytes);
  if (size < FileHeaderBytes + 4) return Unsettled(ImageFormat::Bmp);
  const std::uint32_t infoSize = Le32(bytes + FileHeaderBytes);
  if (!KnownInfoHeader(infoSize) || size < FileHeaderBytes + infoSize) return Unsettled(ImageFormat::Bmp);
  const InfoHeader header = ParseInfoHeader(bytes + FileHeaderBytes);
  HeaderFacts facts;
  facts.format = ImageFormat::Bmp;
  facts.moreThanOneImage = Answer::No;
  facts.deeperThan8Bits = MasksWiderThan8Bits(bytes, size, header);
  if (MayCarryAlpha(bytes, size, header)) {
    facts.bytesReason = BytesReason::AlphaAltered;
  } else {
    facts.bytesReason = ColourOf(reader, bytes, size, header, facts.presentation.colour);
  }
  if (!SizeFitsDecoder(header)) return facts;
  // Run-length rows end where their codes say; a comparison counts
  // uncompressed ones.
  const bool uncompressed = header.compression == Rgb || header.compression == BitFields;
  if (reader.ForComparison() && facts.bytesReason == BytesReason::None && uncompressed) {
    facts.bytesReason = ExtentOf(reader, bytes, header, Le32(bytes + 10));
  }
  // Negative heights mark top-down rows.
  const auto width = static_cast<std::uint32_t>(header.width);
  const auto height = static_cast<std::uint32_t>(header.height < 0 ? -header.height : header.height);
  facts.largestImagePixels = std::uint64_t{width} * height;
  if (DepthAndCompressionValid(header) && PaletteSizeValid(header) &&
      ReachesPixelData(reader, header, Le32(bytes + 10))) {
    facts.width = width;
    facts.height = height;
  }
  return facts;
}
