#include "imaging/header_facts_presentation.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <vector>

#include "imaging/tiff_tags.h"

namespace {

constexpr std::uint64_t FnvPrime = 0x100000001b3u;
// Directories hold a few dozen entries; one with more than this is not
// read through, so a tag past the cap cannot hide.
constexpr std::uint16_t MaxExifEntries = 512;
constexpr std::size_t TiffHeaderBytes = 8;
constexpr std::size_t EntryBytes = 12;
constexpr std::size_t NextDirectoryBytes = 4;

constexpr std::size_t IccHeaderBytes = 128;
constexpr std::uint32_t MaxIccTags = 100;
constexpr std::size_t IccTagEntryBytes = 12;
constexpr std::size_t XyzTagBytes = 20;  // type, reserved, three s15Fixed16 numbers
constexpr std::size_t CurveHeadBytes = 12;  // type, reserved, entry count or function
constexpr std::uint32_t MaxCurveEntries = 4096;
constexpr std::size_t DigestChunkBytes = 4096;

struct Xyz {
  double x, y, z;
};
// sRGB's colorants as ICC profiles give them, adapted to the D50 white.
constexpr Xyz SrgbColorants[3] = {{0.4361, 0.2225, 0.0139}, {0.3851, 0.7169, 0.0971}, {0.1431, 0.0606, 0.7141}};
// The media white: D50 in profiles that adapt it (all of version 4), or
// sRGB's own D65 in older version 2 profiles of sRGB.
constexpr Xyz D50White = {0.9642, 1.0, 0.8249};
constexpr Xyz D65White = {0.9505, 1.0, 1.0891};
// Wider than the rounding of the sRGB profiles in use, far narrower than
// the distance to any other common RGB space.
constexpr double ColorantTolerance = 0.003;
// Under half an 8-bit level at every point of the curve.
constexpr double CurveTolerance = 0.5 / 255;
// Curves are checked at this many evenly spaced inputs.
constexpr int CurveProbes = 4096;
constexpr std::size_t ParameterCounts[5] = {1, 3, 4, 5, 7};  // by function type

// The tags of the sRGB profiles in wide use, identified whole: FNV-1a
// digests (as Digest makes them) of the size and bytes of rXYZ, gXYZ,
// bXYZ, rTRC, gTRC and bTRC in this order.
constexpr std::uint64_t KnownSrgbTags[] = {
    0x25e37fb073580f14u,  // 1024-entry curves: ICC's sRGB2014, Artifex's sRGB profile
};

constexpr std::uint32_t ColorantTags[3] = {FourCC("rXYZ"), FourCC("gXYZ"), FourCC("bXYZ")};
constexpr std::uint32_t CurveTags[3] = {FourCC("rTRC"), FourCC("gTRC"), FourCC("bTRC")};
// Tables from device colours to the connection space, which a colour
// system uses before the matrix and curves.
constexpr std::uint32_t LookupTables[] = {FourCC("A2B0"), FourCC("A2B1"), FourCC("D2B0"), FourCC("D2B1")};

double Fixed16(const std::uint8_t* p) { return static_cast<std::int32_t>(Be32(p)) / 65536.0; }

double SrgbCurve(double x) { return x <= 0.04045 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4); }

// False for a value that is not a number, too.
bool NearSrgbCurve(double value, double x) { return std::fabs(value - SrgbCurve(x)) <= CurveTolerance; }

bool NearXyz(const Xyz& value, const Xyz& expected) {
  return std::fabs(value.x - expected.x) <= ColorantTolerance &&
         std::fabs(value.y - expected.y) <= ColorantTolerance &&
         std::fabs(value.z - expected.z) <= ColorantTolerance;
}

// The ICC parametric curve of the given function type, parameters g, a,
// b, c, d, e, f, at x.
double Parametric(std::uint16_t function, const double (&p)[7], double x) {
  const double g = p[0], a = p[1], b = p[2], c = p[3], d = p[4], e = p[5], f = p[6];
  const auto power = [&](double at) { return std::pow(std::max(0.0, a * at + b), g); };
  switch (function) {
    case 0: return std::pow(x, g);
    case 1: return a * x + b >= 0 ? power(x) : 0;
    case 2: return a * x + b >= 0 ? power(x) + c : c;
    case 3: return x >= d ? power(x) : c * x;
    default: return x >= d ? power(x) + e : c * x + f;
  }
}

struct TagEntry {
  std::uint64_t offset = 0;
  std::uint32_t size = 0;
};

class IccProfile {
 public:
  IccProfile(HeaderReader& headerReader, std::uint64_t start, std::uint64_t length)
      : reader(headerReader), offset(start), size(length) {}

  // A display or input profile of RGB in XYZ, with no lookup tables that a
  // colour system would use first, whose matrix and curves are those of a
  // known sRGB profile byte for byte, or else sRGB's within the
  // tolerances: every colorant and the white, every entry of every curve
  // and the lines between them.
  bool DescribesSrgb() {
    std::uint8_t header[IccHeaderBytes + 4];
    if (size < sizeof header || !reader.Read(offset, header, sizeof header)) return false;
    const std::uint32_t profileClass = Be32(header + 12);
    if ((profileClass != FourCC("mntr") && profileClass != FourCC("scnr")) ||
        Be32(header + 16) != FourCC("RGB ") || Be32(header + 20) != FourCC("XYZ ")) {
      return false;
    }
    tagCount = Be32(header + IccHeaderBytes);
    if (tagCount > MaxIccTags || IccHeaderBytes + 4 + std::uint64_t{tagCount} * IccTagEntryBytes > size) return false;
    for (std::uint32_t table : LookupTables) {
      if (Find(table).size != 0) return false;
    }
    if (KnownSrgbTagsMatch()) return true;
    Xyz white{};
    if (!ReadXyz(Find(FourCC("wtpt")), white) || !(NearXyz(white, D50White) || NearXyz(white, D65White))) {
      return false;
    }
    for (int i = 0; i < 3; ++i) {
      Xyz colorant{};
      if (!ReadXyz(Find(ColorantTags[i]), colorant) || !NearXyz(colorant, SrgbColorants[i]) ||
          !CurveIsSrgb(Find(CurveTags[i]))) {
        return false;
      }
    }
    return true;
  }

 private:
  TagEntry Find(std::uint32_t signature) {
    for (std::uint32_t i = 0; i < tagCount; ++i) {
      std::uint8_t entry[IccTagEntryBytes];
      if (!reader.Read(offset + IccHeaderBytes + 4 + i * IccTagEntryBytes, entry, sizeof entry)) return {};
      const std::uint32_t tagOffset = Be32(entry + 4);
      const std::uint32_t tagSize = Be32(entry + 8);
      if (Be32(entry) != signature) continue;
      if (tagOffset > size || tagSize > size - tagOffset) return {};
      return {offset + tagOffset, tagSize};
    }
    return {};
  }

  bool KnownSrgbTagsMatch() {
    Digest digest;
    for (const std::uint32_t* tags : {ColorantTags, CurveTags}) {
      for (int i = 0; i < 3; ++i) {
        const TagEntry tag = Find(tags[i]);
        if (tag.size == 0 || !DigestBytes(reader, tag.offset, tag.size, digest.Value(tag.size))) return false;
      }
    }
    return std::find(std::begin(KnownSrgbTags), std::end(KnownSrgbTags), digest.Get()) != std::end(KnownSrgbTags);
  }

  bool ReadXyz(const TagEntry& tag, Xyz& xyz) {
    std::uint8_t bytes[XyzTagBytes];
    if (tag.size < sizeof bytes || !reader.Read(tag.offset, bytes, sizeof bytes) || Be32(bytes) != FourCC("XYZ ")) {
      return false;
    }
    xyz = {Fixed16(bytes + 8), Fixed16(bytes + 12), Fixed16(bytes + 16)};
    return true;
  }

  // A sampled or a parametric curve that follows sRGB's.
  bool CurveIsSrgb(const TagEntry& tag) {
    std::uint8_t head[CurveHeadBytes];
    if (tag.size < sizeof head || !reader.Read(tag.offset, head, sizeof head)) return false;
    if (Be32(head) == FourCC("curv")) return SampledCurveIsSrgb(tag, Be32(head + 8));
    const std::uint16_t function = Be16(head + 8);
    if (Be32(head) != FourCC("para") || function >= std::size(ParameterCounts)) return false;
    const std::size_t count = ParameterCounts[function];
    std::uint8_t bytes[4 * 7];
    if (tag.size < sizeof head + 4 * count || !reader.Read(tag.offset + sizeof head, bytes, 4 * count)) return false;
    double parameters[7] = {};
    for (std::size_t i = 0; i < count; ++i) parameters[i] = Fixed16(bytes + 4 * i);
    for (int i = 0; i < CurveProbes; ++i) {
      const double x = static_cast<double>(i) / (CurveProbes - 1);
      if (!NearSrgbCurve(Parametric(function, parameters, x), x)) return false;
    }
    return true;
  }

  // No entries stand for the identity and one for a plain gamma: neither
  // is sRGB's. A colour system draws straight lines between the entries,
  // so those must follow sRGB's curve at the probes as the entries do.
  bool SampledCurveIsSrgb(const TagEntry& tag, std::uint32_t entries) {
    if (entries < 2 || entries > MaxCurveEntries || CurveHeadBytes + std::uint64_t{entries} * 2 > tag.size) {
      return false;
    }
    std::vector<std::uint8_t> bytes(std::size_t{entries} * 2);
    if (!reader.Read(tag.offset + CurveHeadBytes, bytes.data(), bytes.size())) return false;
    const auto entry = [&bytes](std::uint32_t i) { return Be16(&bytes[2 * std::size_t{i}]) / 65535.0; };
    for (std::uint32_t i = 0; i < entries; ++i) {
      if (!NearSrgbCurve(entry(i), static_cast<double>(i) / (entries - 1))) return false;
    }
    for (int i = 0; i < CurveProbes; ++i) {
      const double x = static_cast<double>(i) / (CurveProbes - 1);
      const double at = x * (entries - 1);
      const auto below = std::min(static_cast<std::uint32_t>(at), entries - 2);
      if (!NearSrgbCurve(entry(below) + (at - below) * (entry(below + 1) - entry(below)), x)) return false;
    }
    return true;
  }

  HeaderReader& reader;
  std::uint64_t offset;
  std::uint64_t size;
  std::uint32_t tagCount = 0;
};

// The TIFF structure of an EXIF block, every read inside the block.
class ExifBlock {
 public:
  ExifBlock(HeaderReader& headerReader, std::uint64_t start, std::uint64_t length)
      : reader(headerReader), offset(start), size(length) {}

  // The byte order and where the image's directory starts.
  bool ReadHeader(std::uint64_t& directory) {
    std::uint8_t head[TiffHeaderBytes];
    if (size < sizeof head || !reader.Read(offset, head, sizeof head)) return false;
    bigEndian = std::memcmp(head, "MM\0*", 4) == 0;
    if (!bigEndian && std::memcmp(head, "II*\0", 4) != 0) return false;
    directory = U32(head + 4);
    return true;
  }

  // Passes each entry of the directory at the given offset to visit, and
  // gives the offset of the next directory (0 for none). False when the
  // directory or its link does not lie inside the block, or holds more
  // entries than the cap.
  template <typename Visit>
  bool Walk(std::uint64_t directory, std::uint64_t& next, Visit visit) {
    std::uint8_t countBytes[2];
    if (directory > size || size - directory < 2 || !Read(directory, countBytes, 2)) return false;
    const std::uint16_t count = U16(countBytes);
    const std::uint64_t link = directory + 2 + std::uint64_t{EntryBytes} * count;
    if (count > MaxExifEntries || link + NextDirectoryBytes > size) return false;
    for (std::uint16_t i = 0; i < count; ++i) {
      std::uint8_t entry[EntryBytes];
      if (!Read(directory + 2 + std::uint64_t{EntryBytes} * i, entry, sizeof entry)) return false;
      visit(entry);
    }
    std::uint8_t linkBytes[NextDirectoryBytes];
    if (!Read(link, linkBytes, sizeof linkBytes)) return false;
    next = U32(linkBytes);
    return true;
  }

  // The value of an entry holding one short or one long.
  bool Single(const std::uint8_t* entry, std::uint32_t& value) const {
    if (U32(entry + 4) != 1) return false;
    const std::uint16_t type = U16(entry + 2);
    if (type != tiff::ShortType && type != tiff::LongType) return false;
    value = type == tiff::ShortType ? U16(entry + 8) : U32(entry + 8);
    return true;
  }

  bool Read(std::uint64_t at, std::uint8_t* out, std::size_t count) { return reader.Read(offset + at, out, count); }
  std::uint16_t U16(const std::uint8_t* p) const { return bigEndian ? Be16(p) : Le16(p); }
  std::uint32_t U32(const std::uint8_t* p) const { return bigEndian ? Be32(p) : Le32(p); }
  HeaderReader& Reader() { return reader; }
  std::uint64_t Offset() const { return offset; }
  std::uint64_t Size() const { return size; }

 private:
  HeaderReader& reader;
  std::uint64_t offset;
  std::uint64_t size;
  bool bigEndian = false;
};

// The thumbnail a file manager shows for the file: the JPEG bytes the
// thumbnail's directory points to, as a digest (0 without the directory
// or without a thumbnail in it). False when the directory or the bytes
// cannot be read, the directory names them twice or halfway, or it holds
// a thumbnail in strips, which no digest here stands for.
bool ReadThumbnail(ExifBlock& block, std::uint64_t directory, std::uint64_t& thumbnail) {
  thumbnail = 0;
  if (directory == 0) return true;
  int starts = 0;
  int lengths = 0;
  bool valuesRead = true;
  bool strips = false;
  std::uint32_t start = 0;
  std::uint32_t length = 0;
  std::uint64_t next = 0;
  const bool read = block.Walk(directory, next, [&](const std::uint8_t* entry) {
    const std::uint16_t tag = block.U16(entry);
    if (tag == tiff::JpegInterchangeFormat) {
      ++starts;
      valuesRead = valuesRead && block.Single(entry, start);
    } else if (tag == tiff::JpegInterchangeFormatLength) {
      ++lengths;
      valuesRead = valuesRead && block.Single(entry, length);
    }
    strips = strips || tag == tiff::StripOffsets;
  });
  if (!read || !valuesRead || strips || starts > 1 || lengths > 1 || starts != lengths) return false;
  if (starts == 0) return true;
  if (length == 0 || start > block.Size() || length > block.Size() - start) return false;
  Digest digest;
  if (!DigestBytes(block.Reader(), block.Offset() + start, length, digest)) return false;
  thumbnail = digest.Get();
  return true;
}

}  // namespace

Digest& Digest::Bytes(const std::uint8_t* bytes, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * FnvPrime;
  return *this;
}

Digest& Digest::Value(std::uint64_t value) {
  std::uint8_t bytes[8];
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
  return Bytes(bytes, sizeof bytes);
}

bool DigestBytes(HeaderReader& reader, std::uint64_t offset, std::uint64_t size, Digest& digest) {
  std::uint8_t chunk[DigestChunkBytes];
  for (std::uint64_t done = 0; done < size;) {
    const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof chunk, size - done));
    if (!reader.Read(offset + done, chunk, part)) return false;
    digest.Bytes(chunk, part);
    done += part;
  }
  return true;
}

Exif ReadExif(HeaderReader& reader, std::uint64_t offset, std::uint64_t size) {
  Exif exif;
  ExifBlock block(reader, offset, size);
  std::uint64_t directory = 0;
  std::uint64_t next = 0;
  int orientations = 0;
  std::uint32_t orientation = 0;
  const bool imageRead = block.ReadHeader(directory) && block.Walk(directory, next, [&](const std::uint8_t* entry) {
    if (block.U16(entry) != tiff::Orientation) return;
    ++orientations;
    if (block.U16(entry + 2) != tiff::ShortType || !block.Single(entry, orientation)) orientation = 0;
  });
  if (!imageRead || orientations > 1 || (orientations == 1 && (orientation < 1 || orientation > 8))) {
    exif.reason = BytesReason::OrientationUnreadable;
    return exif;
  }
  if (orientations == 1) exif.orientation = static_cast<std::uint8_t>(orientation);
  if (reader.ForComparison() && !ReadThumbnail(block, next, exif.thumbnail)) {
    exif.reason = BytesReason::ThumbnailUnreadable;
  }
  return exif;
}

bool IccProfileColour(HeaderReader& reader, std::uint64_t offset, std::uint64_t size, std::uint64_t& colour) {
  if (IccProfile(reader, offset, size).DescribesSrgb()) {
    colour = 0;
    return true;
  }
  Digest digest;
  digest.Value(FourCC("ICC "));
  if (!DigestBytes(reader, offset, size, digest)) return false;
  colour = digest.Get();
  return true;
}

void HeifTransform::Rotate(unsigned quarterTurnsAnticlockwise) {
  quarterTurns = (quarterTurns + 4 - quarterTurnsAnticlockwise % 4) % 4;
}

// Mirroring left to right after a clockwise turn equals turning the other
// way after it; a top-to-bottom mirror is that and a half turn.
void HeifTransform::Mirror(unsigned axis) {
  mirrored = !mirrored;
  quarterTurns = ((axis == 0 ? 4 : 6) - quarterTurns) % 4;
}

std::uint8_t HeifTransform::Orientation() const {
  static constexpr std::uint8_t Plain[4] = {1, 6, 3, 8};
  static constexpr std::uint8_t Mirrored[4] = {2, 7, 4, 5};
  return (mirrored ? Mirrored : Plain)[quarterTurns];
}
