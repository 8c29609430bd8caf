// TIFF: the decoder shows the first directory's image through libtiff's
// RGBA reader; the size is settled only for the sample layouts, photometric
// interpretations and compressions that reader is known to take. The
// directory chain and SubIFDs hold the images it does not show. BigTIFF
// files have the same directories with wider counts and offsets.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/header_facts_formats.h"
#include "imaging/header_facts_presentation.h"
#include "imaging/tiff_tags.h"

namespace {

constexpr int MaxDirectories = 32;
constexpr std::uint32_t MaxSubDirectories = 16;
constexpr std::uint16_t MaxEntries = 4096;  // libtiff refuses larger directories
constexpr std::uint32_t MaxSamples = 16;
constexpr std::uint32_t MaxPieces = 4096;  // strips or tiles checked to lie inside the file
constexpr std::uint32_t PiecesPerPass = 1024;
constexpr std::uint16_t ClassicVersion = 42;
constexpr std::uint16_t BigVersion = 43;
constexpr std::uint16_t BigOffsetBytes = 8;
constexpr std::uint32_t UnassociatedAlpha = 2;
constexpr std::uint32_t AssociatedAlpha = 1;
// A palette of 8-bit samples has three tables of up to 256 entries.
constexpr std::uint32_t MaxPaletteEntries = 3 * 256;
// A 16-bit palette entry that every reading takes to the same 8-bit value:
// one that is a multiple of 257 (0x0101).
constexpr std::uint32_t PaletteScale = 257;
// sRGB's white point, then its red, green and blue primaries (x, y).
constexpr double SrgbWhite[2] = {0.3127, 0.3290};
constexpr double SrgbPrimaries[6] = {0.64, 0.33, 0.30, 0.60, 0.15, 0.06};
constexpr double ChromaticityMargin = 0.001;

using namespace tiff;  // the tags

enum Photometric : std::uint32_t {
  MinIsWhite = 0,
  MinIsBlack = 1,
  Rgb = 2,
  Palette = 3,
  Separated = 5,
  YCbCr = 6,
};

// Field types.
constexpr std::uint16_t Short = 3;
constexpr std::uint16_t Long = 4;
constexpr std::uint16_t Ifd = 13;
constexpr std::uint16_t Long8 = 16;
constexpr std::uint16_t Ifd8 = 18;

constexpr std::uint32_t NoCompression = 1;
constexpr std::uint32_t JpegCompression = 7;
constexpr std::uint32_t FloatSamples = 3;

// Tags the decoders read to decode the image, beside those a Directory
// keeps: subfile kinds, fax and JPEG coding, the predictor and YCbCr
// conversion.
constexpr std::uint16_t DecodeTags[] = {
    254,  // NewSubfileType
    255,  // SubfileType
    292,  // T4Options
    293,  // T6Options
    317,  // Predictor
    347,  // JPEGTables
    529,  // YCbCrCoefficients
    530,  // YCbCrSubSampling
    531,  // YCbCrPositioning
    532,  // ReferenceBlackWhite
};

// Tags that do not change what a viewer shows: text, time stamps,
// resolution and page placement, ratings, metadata packets and the EXIF and
// GPS directories they point to.
constexpr std::uint16_t InertTags[] = {
    269,    // DocumentName
    270,    // ImageDescription
    271,    // Make
    272,    // Model
    282,    // XResolution
    283,    // YResolution
    285,    // PageName
    286,    // XPosition
    287,    // YPosition
    296,    // ResolutionUnit
    297,    // PageNumber
    305,    // Software
    306,    // DateTime
    315,    // Artist
    316,    // HostComputer
    700,    // XMP packet
    18246,  // Rating
    18249,  // RatingPercent
    33432,  // Copyright
    33723,  // IPTC record
    34665,  // EXIF directory
    34853,  // GPS directory
    40091,  // XPTitle
    40092,  // XPComment
    40093,  // XPAuthor
    40094,  // XPKeywords
    40095,  // XPSubject
};

struct Entry {
  bool present = false;
  std::uint16_t type = 0;
  std::uint32_t count = 0;  // larger BigTIFF counts read as UINT32_MAX
  std::uint8_t field[8] = {};
};

struct Directory {
  bool readable = false;
  // UnknownTag or DuplicateStructure when a tag is neither kept here nor
  // on a list above, or comes twice.
  BytesReason tagsReason = BytesReason::None;
  std::uint64_t next = 0;
  Entry width, height, bitsPerSample, compression, photometric, fillOrder, stripOffsets, samplesPerPixel,
      rowsPerStrip, stripByteCounts, planarConfig, colorMap, tileWidth, tileLength, tileOffsets, tileByteCounts,
      subIfds, inkSet, extraSamples, sampleFormat, orientation, transferFunction, whitePoint, primaries, iccProfile;
};

Entry* Slot(Directory& directory, std::uint16_t tag) {
  switch (tag) {
    case ImageWidth: return &directory.width;
    case ImageLength: return &directory.height;
    case BitsPerSample: return &directory.bitsPerSample;
    case Compression: return &directory.compression;
    case PhotometricInterpretation: return &directory.photometric;
    case FillOrder: return &directory.fillOrder;
    case StripOffsets: return &directory.stripOffsets;
    case SamplesPerPixel: return &directory.samplesPerPixel;
    case RowsPerStrip: return &directory.rowsPerStrip;
    case StripByteCounts: return &directory.stripByteCounts;
    case PlanarConfig: return &directory.planarConfig;
    case ColorMap: return &directory.colorMap;
    case TileWidth: return &directory.tileWidth;
    case TileLength: return &directory.tileLength;
    case TileOffsets: return &directory.tileOffsets;
    case TileByteCounts: return &directory.tileByteCounts;
    case SubIfds: return &directory.subIfds;
    case InkSet: return &directory.inkSet;
    case ExtraSamples: return &directory.extraSamples;
    case SampleFormat: return &directory.sampleFormat;
    case Orientation: return &directory.orientation;
    case TransferFunction: return &directory.transferFunction;
    case WhitePoint: return &directory.whitePoint;
    case PrimaryChromaticities: return &directory.primaries;
    case IccProfile: return &directory.iccProfile;
    default: return nullptr;
  }
}

// Why a directory's tags are not all accounted for, from the tags it
// lists.
BytesReason TagsReason(Directory& directory, std::vector<std::uint16_t>& tags) {
  std::sort(tags.begin(), tags.end());
  if (std::adjacent_find(tags.begin(), tags.end()) != tags.end()) return BytesReason::DuplicateStructure;
  const auto accounted = [&directory](std::uint16_t tag) {
    return Slot(directory, tag) != nullptr ||
           std::find(std::begin(DecodeTags), std::end(DecodeTags), tag) != std::end(DecodeTags) ||
           std::find(std::begin(InertTags), std::end(InertTags), tag) != std::end(InertTags);
  };
  return std::all_of(tags.begin(), tags.end(), accounted) ? BytesReason::None : BytesReason::UnknownTag;
}

class TiffFile {
 public:
  TiffFile(HeaderReader& headerReader, bool bigEndianFile, bool bigTiff)
      : reader(headerReader), bigEndian(bigEndianFile), big(bigTiff) {}

  std::uint16_t U16(const std::uint8_t* p) const { return bigEndian ? Be16(p) : Le16(p); }
  std::uint32_t U32(const std::uint8_t* p) const { return bigEndian ? Be32(p) : Le32(p); }
  std::uint64_t U64(const std::uint8_t* p) const {
    return bigEndian ? Be64(p) : std::uint64_t{Le32(p + 4)} << 32 | Le32(p);
  }
  // A count or offset: 4 bytes, 8 in BigTIFF.
  std::uint64_t Wide(const std::uint8_t* p) const { return big ? U64(p) : U32(p); }
  unsigned WideBytes() const { return big ? 8 : 4; }

  Directory ReadDirectory(std::uint64_t offset) {
    Directory directory;
    const unsigned countBytes = big ? 8 : 2;
    const unsigned entryBytes = big ? 20 : 12;
    std::uint8_t bytes[20];
    if (!reader.Read(offset, bytes, countBytes)) return directory;
    const std::uint64_t count = big ? U64(bytes) : U16(bytes);
    if (count == 0 || count > MaxEntries) return directory;
    const std::uint64_t entries = offset + countBytes;
    std::vector<std::uint16_t> tags;  // on the heap: a host's thread runs this
    tags.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) {
      if (!reader.Read(entries + entryBytes * i, bytes, entryBytes)) return directory;
      tags.push_back(U16(bytes));
      Entry* entry = Slot(directory, U16(bytes));
      if (entry == nullptr || entry->present) continue;  // libtiff keeps the first of duplicates
      entry->present = true;
      entry->type = U16(bytes + 2);
      entry->count = static_cast<std::uint32_t>(std::min<std::uint64_t>(Wide(bytes + 4), UINT32_MAX));
      std::memcpy(entry->field, bytes + 4 + WideBytes(), WideBytes());
    }
    directory.next = reader.Read(entries + entryBytes * count, bytes, WideBytes()) ? Wide(bytes) : 0;
    directory.readable = true;
    directory.tagsReason = TagsReason(directory, tags);
    return directory;
  }

  // The index-th value of a SHORT, LONG or LONG8 entry: libtiff refuses
  // the directory types (IFD, IFD8) for the fields read here.
  bool Value(const Entry& entry, std::uint32_t index, std::uint64_t& value) {
    const std::uint32_t size = entry.type == Short ? 2 : entry.type == Long ? 4 : entry.type == Long8 ? 8 : 0;
    return ValueOfSize(entry, index, size, value);
  }
  // The index-th directory offset of a SubIFDs entry: LONG, IFD, LONG8 or IFD8.
  bool DirectoryOffset(const Entry& entry, std::uint32_t index, std::uint64_t& value) {
    const bool four = entry.type == Long || entry.type == Ifd;
    const bool eight = entry.type == Long8 || entry.type == Ifd8;
    return ValueOfSize(entry, index, four ? 4 : eight ? 8 : 0, value);
  }
  // Whether all of an entry's values lie in the file, as libtiff reads
  // every value of a per-sample field.
  bool AllValuesInFile(const Entry& entry) {
    const std::uint64_t bytes = std::uint64_t{entry.count} * (entry.type == Short ? 2 : entry.type == Long8 ? 8 : 4);
    return bytes <= WideBytes() || reader.HasByteAt(Wide(entry.field) + bytes - 1);
  }

 private:
  bool ValueOfSize(const Entry& entry, std::uint32_t index, std::uint32_t size, std::uint64_t& value) {
    if (!entry.present || size == 0 || index >= entry.count) return false;
    std::uint8_t bytes[8];
    if (std::uint64_t{entry.count} * size <= WideBytes()) {
      std::memcpy(bytes, entry.field + index * size, size);
    } else if (!reader.Read(Wide(entry.field) + std::uint64_t{index} * size, bytes, size)) {
      return false;
    }
    value = size == 2 ? U16(bytes) : size == 4 ? U32(bytes) : U64(bytes);
    return true;
  }

 public:
  bool Value(const Entry& entry, std::uint32_t index, std::uint32_t& value) {
    std::uint64_t wide = 0;
    if (!Value(entry, index, wide) || wide > UINT32_MAX) return false;
    value = static_cast<std::uint32_t>(wide);
    return true;
  }

  // Adds the bytes of an entry's values to digest: types of 1, 2, 4 and 8
  // bytes a value.
  bool DigestValues(const Entry& entry, Digest& digest) {
    static constexpr std::uint8_t TypeBytes[19] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4, 0, 0, 8, 8, 8};
    if (entry.type >= sizeof TypeBytes || TypeBytes[entry.type] == 0) return false;
    const std::uint64_t bytes = std::uint64_t{entry.count} * TypeBytes[entry.type];
    digest.Value(entry.type).Value(entry.count);
    if (bytes <= WideBytes()) {
      digest.Bytes(entry.field, static_cast<std::size_t>(bytes));
      return true;
    }
    return DigestBytes(reader, Wide(entry.field), bytes, digest);
  }

  HeaderReader& Reader() { return reader; }

  bool HasByteAt(std::uint64_t offset) { return reader.HasByteAt(offset); }

  // A field that holds one value, or its default when absent.
  bool Single(const Entry& entry, std::uint32_t fallback, std::uint32_t& value) {
    if (!entry.present) {
      value = fallback;
      return true;
    }
    return entry.count == 1 && Value(entry, 0, value);
  }

  // A per-sample field libtiff takes only when every sample has the same value.
  bool Uniform(const Entry& entry, std::uint32_t samples, std::uint32_t fallback, std::uint32_t& value) {
    if (!entry.present || entry.count == 1) return Single(entry, fallback, value);
    if (entry.count < samples || !AllValuesInFile(entry) || !Value(entry, 0, value)) return false;
    for (std::uint32_t i = 1; i < samples; ++i) {
      std::uint32_t other = 0;
      if (!Value(entry, i, other) || other != value) return false;
    }
    return true;
  }

  // Whether any of the first values of a per-sample field satisfies test; a
  // field it cannot read counts as satisfying it.
  template <typename Test>
  bool AnyValue(const Entry& entry, Test test) {
    if (!entry.present) return false;
    if (entry.count > MaxSamples) return true;
    for (std::uint32_t i = 0; i < entry.count; ++i) {
      std::uint32_t value = 0;
      if (!Value(entry, i, value) || test(value)) return true;
    }
    return false;
  }

 private:
  HeaderReader& reader;
  bool bigEndian;
  bool big;
};

bool Deep(TiffFile& tiff, const Directory& directory) {
  return tiff.AnyValue(directory.bitsPerSample, [](std::uint32_t bits) { return bits > 8; }) ||
         tiff.AnyValue(directory.sampleFormat, [](std::uint32_t format) { return format == FloatSamples; });
}

// 0 when the directory does not give both sides.
std::uint64_t Pixels(TiffFile& tiff, const Directory& directory) {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  if (!directory.width.present || !directory.height.present || !tiff.Single(directory.width, 0, width) ||
      !tiff.Single(directory.height, 0, height)) {
    return 0;
  }
  return std::uint64_t{width} * height;
}

struct Layout {
  std::uint32_t samples = 1;
  std::uint32_t bits = 1;
  std::uint32_t compression = NoCompression;
  std::uint32_t planar = 1;
  std::uint32_t photometric = MinIsBlack;
  std::uint32_t extras = 0;
};

bool CompressionTaken(const Layout& layout) {
  switch (layout.compression) {
    case NoCompression:
    case 5:       // LZW
    case 8:       // Deflate
    case 32946:   // Deflate, old code
    case 32773:   // PackBits
    case 34925:   // LZMA
    case 50000:   // Zstandard
      return true;
    case 2:  // CCITT: bilevel only
    case 3:
    case 4: return layout.bits == 1 && layout.samples == 1 && layout.photometric <= MinIsBlack;
    case JpegCompression:
      return layout.bits == 8 && layout.planar == 1 &&
             (layout.photometric == MinIsBlack || layout.photometric == Rgb || layout.photometric == YCbCr);
    default: return false;
  }
}

bool PhotometricTaken(TiffFile& tiff, const Directory& directory, const Layout& layout) {
  const bool contiguous = layout.planar == 1 || layout.samples == 1;
  switch (layout.photometric) {
    case MinIsWhite:
    case MinIsBlack:
      if (contiguous) return layout.samples == 1 || layout.bits >= 8;
      return layout.bits == 8 || layout.bits == 16;
    case Rgb: return layout.samples - layout.extras >= 3 && (layout.bits == 8 || layout.bits == 16);
    case Palette: {
      // Three SHORT tables of 1 << bits entries, inside the file.
      const Entry& map = directory.colorMap;
      std::uint32_t first = 0;
      return layout.samples == 1 && layout.bits <= 8 && map.present && map.type == Short &&
             map.count == 3u << layout.bits && tiff.Value(map, 0, first) && tiff.Value(map, map.count - 1, first);
    }
    case Separated: {
      std::uint32_t inks = 1;
      return tiff.Single(directory.inkSet, 1, inks) && inks == 1 && layout.samples >= 4 &&
             layout.bits == 8 && (contiguous || layout.samples == 4);
    }
    case YCbCr:  // only as JPEG, which libjpeg turns into RGB
      return layout.compression == JpegCompression && layout.samples == 3 && layout.bits == 8;
    default: return false;
  }
}

// One SHORT or LONG offset and byte count per strip or tile.
bool OnePerPiece(const Entry& entry, std::uint64_t pieces) {
  return entry.present && (entry.type == 3 || entry.type == 4) && entry.count == pieces;
}

// Whether the last strip or tile ends inside the file, and both arrays lie
// in it: writers store the pieces in order, so a file cut short loses its
// last piece first.
bool LastPieceInFile(TiffFile& tiff, const Entry& offsets, const Entry& byteCounts) {
  std::uint64_t start = 0;
  std::uint64_t byteCount = 0;
  if (!tiff.AllValuesInFile(offsets) || !tiff.AllValuesInFile(byteCounts) ||
      !tiff.Value(offsets, offsets.count - 1, start) || !tiff.Value(byteCounts, offsets.count - 1, byteCount) ||
      start > UINT64_MAX / 2 || byteCount > UINT64_MAX / 2) {
    return false;
  }
  return start + byteCount == 0 || tiff.HasByteAt(start + byteCount - 1);
}

// Whether every strip or tile lies inside the file: the decoder fails on
// the first it cannot read, as in a file cut short. The two arrays are read
// a window's worth at a time. Arrays too long to read within the budget
// are checked by their last piece, for a size only: a comparison decodes
// the pieces and needs them all.
bool PiecesInFile(TiffFile& tiff, const Entry& offsets, const Entry& byteCounts) {
  if (offsets.count > MaxPieces) {
    return !tiff.Reader().ForComparison() && LastPieceInFile(tiff, offsets, byteCounts);
  }
  std::uint64_t end = 0;
  std::vector<std::uint64_t> starts(PiecesPerPass);  // on the heap: a host's thread runs this
  for (std::uint32_t first = 0; first < offsets.count; first += PiecesPerPass) {
    const std::uint32_t last = std::min(offsets.count, first + PiecesPerPass);
    for (std::uint32_t i = first; i < last; ++i) {
      if (!tiff.Value(offsets, i, starts[i - first])) return false;
    }
    for (std::uint32_t i = first; i < last; ++i) {
      std::uint64_t byteCount = 0;
      if (!tiff.Value(byteCounts, i, byteCount) || starts[i - first] > UINT64_MAX / 2 || byteCount > UINT64_MAX / 2) {
        return false;
      }
      end = std::max(end, starts[i - first] + byteCount);
    }
  }
  return end == 0 || tiff.HasByteAt(end - 1);
}

std::uint64_t Pieces(std::uint64_t length, std::uint64_t pieceLength) {
  return (length + pieceLength - 1) / pieceLength;
}

bool HasImageData(TiffFile& tiff, const Directory& directory, std::uint32_t width, std::uint32_t height,
                  const Layout& layout) {
  const std::uint64_t planes = layout.planar == 2 ? layout.samples : 1;
  const bool tiled =
      directory.tileWidth.present || directory.tileLength.present || directory.tileOffsets.present;
  if (!tiled) {
    std::uint32_t rows = 0;
    if (!tiff.Single(directory.rowsPerStrip, UINT32_MAX, rows) || rows == 0) return false;
    const std::uint64_t strips = planes * Pieces(height, rows);
    return OnePerPiece(directory.stripOffsets, strips) && OnePerPiece(directory.stripByteCounts, strips) &&
           PiecesInFile(tiff, directory.stripOffsets, directory.stripByteCounts);
  }
  std::uint32_t tileWidth = 0;
  std::uint32_t tileLength = 0;
  if (!tiff.Single(directory.tileWidth, 0, tileWidth) || tileWidth == 0 ||
      !tiff.Single(directory.tileLength, 0, tileLength) || tileLength == 0) {
    return false;
  }
  const std::uint64_t tiles = planes * Pieces(width, tileWidth) * Pieces(height, tileLength);
  return OnePerPiece(directory.tileOffsets, tiles) && OnePerPiece(directory.tileByteCounts, tiles) &&
         PiecesInFile(tiff, directory.tileOffsets, directory.tileByteCounts);
}

bool ReadLayout(TiffFile& tiff, const Directory& directory, Layout& layout) {
  std::uint32_t format = 1;
  if (!tiff.Single(directory.samplesPerPixel, 1, layout.samples) || layout.samples < 1 ||
      layout.samples > MaxSamples || !tiff.Uniform(directory.bitsPerSample, layout.samples, 1, layout.bits) ||
      !tiff.Uniform(directory.sampleFormat, layout.samples, 1, format) || format != 1 ||
      !tiff.Single(directory.compression, NoCompression, layout.compression) ||
      !tiff.Single(directory.planarConfig, 1, layout.planar) || (layout.planar != 1 && layout.planar != 2)) {
    return false;
  }
  layout.extras = directory.extraSamples.present ? directory.extraSamples.count : 0;
  if (layout.extras >= layout.samples) return false;
  if (directory.photometric.present) return tiff.Single(directory.photometric, 0, layout.photometric);
  // Without the tag, libtiff infers gray or RGB from the colour samples.
  const std::uint32_t colorSamples = layout.samples - layout.extras;
  const bool ccitt = layout.compression >= 2 && layout.compression <= 4;
  if (colorSamples == 1) layout.photometric = ccitt ? MinIsWhite : MinIsBlack;
  if (colorSamples == 3) layout.photometric = Rgb;
  return colorSamples == 1 || colorSamples == 3;
}

bool DecoderShows(TiffFile& tiff, const Directory& directory) {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  if (!directory.width.present || !directory.height.present || !tiff.Single(directory.width, 0, width) ||
      !tiff.Single(directory.height, 0, height) || width == 0 || height == 0) {
    return false;
  }
  // The decoder's RGBA buffer must fit an int.
  if (width > INT_MAX / 4 || height > INT_MAX / (width * 4)) return false;
  Layout layout;
  std::uint32_t fillOrder = 1;
  if (!ReadLayout(tiff, directory, layout) || !tiff.Single(directory.fillOrder, 1, fillOrder) || fillOrder != 1) {
    return false;
  }
  const std::uint32_t bits = layout.bits;
  return (bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16) && CompressionTaken(layout) &&
         PhotometricTaken(tiff, directory, layout) && HasImageData(tiff, directory, width, height, layout);
}

struct ChainWalk {
  int directories = 0;
  bool complete = true;
  bool subImages = false;
  bool deep = false;
  std::uint64_t largestPixels = 0;
  bool largestKnown = true;
  BytesReason tagsReason = BytesReason::None;  // of the first directory whose tags are not accounted for
};

void NoteImage(TiffFile& tiff, const Directory& directory, ChainWalk& walk) {
  const std::uint64_t pixels = Pixels(tiff, directory);
  walk.largestKnown = walk.largestKnown && pixels != 0;
  walk.largestPixels = std::max(walk.largestPixels, pixels);
  walk.deep = walk.deep || Deep(tiff, directory);
  if (walk.tagsReason == BytesReason::None) walk.tagsReason = directory.tagsReason;
}

void WalkSubDirectories(TiffFile& tiff, const Entry& subIfds, ChainWalk& walk) {
  walk.subImages = true;
  if (subIfds.count > MaxSubDirectories) walk.largestKnown = false;
  const std::uint32_t count = std::min(subIfds.count, MaxSubDirectories);
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint64_t offset = 0;
    const Directory sub = tiff.DirectoryOffset(subIfds, i, offset) ? tiff.ReadDirectory(offset) : Directory{};
    if (!sub.readable) {
      walk.largestKnown = false;
      walk.deep = true;
      continue;
    }
    NoteImage(tiff, sub, walk);
  }
}

std::uint8_t OrientationOf(TiffFile& tiff, const Directory& directory) {
  std::uint32_t orientation = 1;
  return tiff.Single(directory.orientation, 1, orientation) && orientation >= 1 && orientation <= 8
             ? static_cast<std::uint8_t>(orientation)
             : 1;
}

// Whether an entry holds count RATIONALs near the values expected.
bool RationalsAre(TiffFile& tiff, const Entry& entry, const double* expected, std::uint32_t count) {
  std::uint8_t bytes[6 * 8];
  if (entry.type != RationalType || entry.count != count || tiff.WideBytes() >= 8 * count) return false;
  if (!tiff.Reader().Read(tiff.Wide(entry.field), bytes, 8 * count)) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t denominator = tiff.U32(bytes + 8 * i + 4);
    if (denominator == 0 || std::fabs(double(tiff.U32(bytes + 8 * i)) / denominator - expected[i]) > ChromaticityMargin) {
      return false;
    }
  }
  return true;
}

// The colour description: an ICC profile, else the white point,
// primaries and transfer function as given.
bool ColourOf(TiffFile& tiff, const Directory& directory, std::uint64_t& colour) {
  colour = 0;
  if (!tiff.Reader().ForComparison()) return true;
  const Entry& profile = directory.iccProfile;
  if (profile.present) {
    const bool bytesType = profile.type == 1 || profile.type == 7;
    if (!bytesType || profile.count <= tiff.WideBytes()) return false;
    return IccProfileColour(tiff.Reader(), tiff.Wide(profile.field), profile.count, colour);
  }
  Digest digest;
  bool described = false;
  const Entry* entries[3] = {&directory.whitePoint, &directory.primaries, &directory.transferFunction};
  const double* srgb[3] = {SrgbWhite, SrgbPrimaries, nullptr};
  for (int i = 0; i < 3; ++i) {
    if (!entries[i]->present || (srgb[i] != nullptr && RationalsAre(tiff, *entries[i], srgb[i], i == 0 ? 2 : 6))) {
      continue;
    }
    described = true;
    if (!tiff.DigestValues(*entries[i], digest)) return false;
  }
  colour = described ? digest.Get() : 0;
  return true;
}

// The colour samples a photometric interpretation needs; 0 for those the
// decoders read in ways not followed here.
std::uint32_t ColourSamples(std::uint32_t photometric) {
  switch (photometric) {
    case MinIsWhite:
    case MinIsBlack:
    case Palette: return 1;
    case Rgb:
    case YCbCr: return 3;
    default: return 0;
  }
}

// Decoders agree on extra samples only for one associated alpha sample
// beside the colour samples the photometric interpretation needs: an
// unspecified kind, several extra samples or samples the interpretation
// leaves over are read as alpha by some and dropped by others.
BytesReason ExtraSamplesReason(TiffFile& tiff, const Directory& directory, std::uint32_t photometric) {
  std::uint32_t samples = 1;
  if (!tiff.Single(directory.samplesPerPixel, 1, samples)) return BytesReason::HeaderUnreadable;
  const Entry& extra = directory.extraSamples;
  const std::uint32_t extras = extra.present ? extra.count : 0;
  std::uint32_t kind = AssociatedAlpha;
  if (extras > 1 || extras >= samples || (extras == 1 && (!tiff.Value(extra, 0, kind) || kind != AssociatedAlpha))) {
    return BytesReason::ExtraSamplesAmbiguous;
  }
  // Without the tag, libtiff infers gray or RGB from the colour samples.
  const std::uint32_t colour = samples - extras;
  const std::uint32_t needed =
      directory.photometric.present ? ColourSamples(photometric) : (colour == 1 || colour == 3 ? colour : 1);
  return needed == 0 || needed == colour ? BytesReason::None : BytesReason::ExtraSamplesAmbiguous;
}

// libtiff takes a 16-bit palette whose entries all lie below 256 for one of
// 8-bit entries, where other decoders keep the high bytes: the readings
// agree only when every entry is a multiple of 257. The map is read for a
// comparison only.
BytesReason PaletteReason(TiffFile& tiff, const Entry& map) {
  if (!map.present || !tiff.Reader().ForComparison()) return BytesReason::None;
  if (map.type != Short || map.count == 0 || map.count > MaxPaletteEntries) return BytesReason::PaletteAmbiguous;
  for (std::uint32_t i = 0; i < map.count; ++i) {
    std::uint32_t value = 0;
    if (!tiff.Value(map, i, value) || value % PaletteScale != 0) return BytesReason::PaletteAmbiguous;
  }
  return BytesReason::None;
}

// Separated (CMYK) images show inks the decoder only approximates, and
// unassociated alpha comes out of the decoder premultiplied, losing the
// colour of transparent pixels: such files are known by their bytes, as
// are extra samples and palettes decoders read differently. So are JPEG
// strips and tiles for a comparison of decoded pixels: libjpeg fills in
// the blocks of one cut short and libtiff only warns, and no walk follows
// their scans.
BytesReason PixelsReason(TiffFile& tiff, const Directory& directory) {
  std::uint32_t photometric = MinIsBlack;
  if (directory.photometric.present && !tiff.Single(directory.photometric, 0, photometric)) {
    return BytesReason::HeaderUnreadable;
  }
  if (photometric == Separated) return BytesReason::CmykInks;
  std::uint32_t compression = NoCompression;
  if (tiff.Reader().ForDecodedPixels() && tiff.Single(directory.compression, NoCompression, compression) &&
      compression == JpegCompression) {
    return BytesReason::ScanLayoutNotFollowed;
  }
  if (tiff.AnyValue(directory.extraSamples, [](std::uint32_t kind) { return kind == UnassociatedAlpha; })) {
    return BytesReason::AlphaAltered;
  }
  const BytesReason extra = ExtraSamplesReason(tiff, directory, photometric);
  return extra != BytesReason::None ? extra : PaletteReason(tiff, directory.colorMap);
}

// The first directory's presentation, and why its pixels do not stand for
// it: tags not accounted for first, then its colour and its samples.
void NotePresentation(TiffFile& tiff, const Directory& directory, HeaderFacts& facts) {
  facts.presentation.orientation = OrientationOf(tiff, directory);
  const bool colourRead = ColourOf(tiff, directory, facts.presentation.colour);
  facts.bytesReason = directory.tagsReason != BytesReason::None ? directory.tagsReason
                      : colourRead                              ? PixelsReason(tiff, directory)
                                                                : BytesReason::ColourUnreadable;
}

}  // namespace

HeaderFacts ReadTiffFacts(HeaderReader& reader) {
  std::uint8_t head[16];
  if (!reader.Read(0, head, 8)) return Unsettled(ImageFormat::Tiff);
  const bool bigEndian = head[0] == 'M';
  const std::uint16_t version = bigEndian ? Be16(head + 2) : Le16(head + 2);
  // A BigTIFF header names 8-byte offsets and the first directory's.
  const bool big = version == BigVersion;
  if (big && (!reader.Read(0, head, 16) || TiffFile(reader, bigEndian, true).U16(head + 4) != BigOffsetBytes ||
              head[6] != 0 || head[7] != 0)) {
    return Unsettled(ImageFormat::Tiff);
  }
  if (version != ClassicVersion && !big) return Unsettled(ImageFormat::Tiff);
  TiffFile tiff(reader, bigEndian, big);
  HeaderFacts facts = Unsettled(ImageFormat::Tiff);
  ChainWalk walk;
  std::uint64_t visited[MaxDirectories];
  for (std::uint64_t offset = big ? tiff.U64(head + 8) : tiff.U32(head + 4); offset != 0;) {
    if (std::find(visited, visited + walk.directories, offset) != visited + walk.directories) break;
    if (walk.directories == MaxDirectories) {
      walk.complete = false;
      break;
    }
    const Directory directory = tiff.ReadDirectory(offset);
    if (!directory.readable) {
      walk.complete = false;
      break;
    }
    if (walk.directories == 0) {
      if (DecoderShows(tiff, directory)) {
        tiff.Single(directory.width, 0, facts.width);
        tiff.Single(directory.height, 0, facts.height);
      }
      NotePresentation(tiff, directory, facts);
    }
    visited[walk.directories++] = offset;
    NoteImage(tiff, directory, walk);
    if (directory.subIfds.present) WalkSubDirectories(tiff, directory.subIfds, walk);
    offset = directory.next;
  }
  if (walk.directories == 0) return facts;
  if (facts.bytesReason == BytesReason::None) facts.bytesReason = walk.tagsReason;
  facts.moreThanOneImage = walk.directories > 1 || walk.subImages || !walk.complete ? Answer::NotRuledOut : Answer::No;
  facts.deeperThan8Bits = walk.deep ? Answer::NotRuledOut : Answer::No;
  facts.largestImagePixels = walk.complete && walk.largestKnown ? walk.largestPixels : 0;
  return facts;
}
