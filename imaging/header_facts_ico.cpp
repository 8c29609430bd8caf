// ICO and CUR: a directory of entries, each a DIB or an embedded PNG. The
// size is settled for one DIB entry the decoder accepts, and for icons of
// PNG entries only, which the decoder refuses (it skips PNG entries): the
// first entry's, by its PNG header, the one GDI+ shows. A comparison accounts for
// every byte after the directory as part of one entry, and lets the PNG
// reader account for an embedded PNG's.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <utility>
#include <vector>

#include "imaging/header_facts_embedded.h"
#include "imaging/header_facts_formats.h"

namespace {

constexpr std::uint64_t DirectoryStart = 6;
constexpr std::uint64_t EntryBytes = 16;
constexpr std::size_t InfoHeaderBytes = 40;
constexpr std::int64_t MaxListedSide = 256;
constexpr std::uint16_t MaxDepth = 32;

struct IconEntry {
  std::uint32_t width = 0;   // as the directory gives it, 0 meaning 256
  std::uint32_t height = 0;
  std::uint32_t size = 0;
  std::uint32_t offset = 0;
};

bool ReadEntry(HeaderReader& reader, std::uint32_t index, IconEntry& entry) {
  std::uint8_t bytes[EntryBytes];
  if (!reader.Read(DirectoryStart + EntryBytes * index, bytes, sizeof bytes)) return false;
  entry.width = bytes[0] == 0 ? 256 : bytes[0];
  entry.height = bytes[1] == 0 ? 256 : bytes[1];
  entry.size = Le32(bytes + 8);
  entry.offset = Le32(bytes + 12);
  return true;
}

struct EntryImage {
  bool known = false;
  bool png = false;
  bool deep = false;
  std::uint64_t pixels = 0;
  // The bytes an uncompressed DIB's headers, colours and mask take; 0
  // when not known.
  std::uint64_t dibBytes = 0;
};

// An uncompressed DIB of a side the directory can list: its info header,
// palette, colour rows and 1-bit mask rows, each row in whole 4-byte words.
std::uint64_t DibBytes(const std::uint8_t* info) {
  const std::int64_t width = std::abs(std::int64_t{static_cast<std::int32_t>(Le32(info + 4))});
  const std::int64_t rows = std::abs(std::int64_t{static_cast<std::int32_t>(Le32(info + 8))}) / 2;
  const std::uint16_t depth = Le16(info + 14);
  if (Le32(info + 16) != 0 || width > MaxListedSide || rows > MaxListedSide || depth > MaxDepth) return 0;
  std::uint64_t paletteBytes = std::uint64_t{Le32(info + 32)} * 4;
  if (paletteBytes == 0 && depth <= 8) paletteBytes = std::uint64_t{4} << depth;
  const std::uint64_t colourRow = (static_cast<std::uint64_t>(width) * depth + 31) / 32 * 4;
  const std::uint64_t maskRow = (static_cast<std::uint64_t>(width) + 31) / 32 * 4;
  return std::uint64_t{Le32(info)} + paletteBytes + static_cast<std::uint64_t>(rows) * (colourRow + maskRow);
}

// The largest size the entry's own header or the directory claims.
EntryImage ReadEntryImage(HeaderReader& reader, const IconEntry& entry) {
  EntryImage image;
  std::uint8_t bytes[InfoHeaderBytes];
  const std::size_t size = reader.ReadUpTo(entry.offset, bytes, sizeof bytes);
  const std::uint64_t listed = std::uint64_t{entry.width} * entry.height;
  if (StartsWithPngSignature(bytes, size)) {
    PngHeader header;
    image.png = true;
    image.known = ReadPngHeader(reader, entry.offset, header);
    image.deep = header.bitDepth == 16;
    image.pixels = std::max(listed, std::uint64_t{header.width} * header.height);
  } else if (size == InfoHeaderBytes) {
    const std::int64_t width = static_cast<std::int32_t>(Le32(bytes + 4));
    const std::int64_t height = static_cast<std::int32_t>(Le32(bytes + 8)) / 2;
    image.known = true;
    image.pixels = std::max(listed, static_cast<std::uint64_t>(std::abs(width) * std::abs(height)));
    image.dibBytes = DibBytes(bytes);
  }
  return image;
}

// The decoder's checks of a DIB entry: uncompressed, the size the directory
// lists, a depth it draws, and the headers and palette inside the file.
bool DecoderTakesDib(HeaderReader& reader, const IconEntry& entry) {
  std::uint8_t info[InfoHeaderBytes];
  if (entry.offset > INT_MAX - InfoHeaderBytes || !reader.Read(entry.offset, info, sizeof info)) return false;
  if (Le32(info + 16) != 0) return false;
  std::int64_t width = static_cast<std::int32_t>(Le32(info + 4));
  std::int64_t height = static_cast<std::int32_t>(Le32(info + 8)) / 2;  // colours and mask together
  if (width == 0) width = 256;
  if (height == 0) height = 256;
  if (std::abs(width) != entry.width || std::abs(height) != entry.height) return false;
  const std::uint16_t depth = Le16(info + 14);
  if (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32) return false;
  std::int64_t paletteBytes = std::int64_t{static_cast<std::int32_t>(Le32(info + 32))} * 4;
  if (paletteBytes == 0 && depth <= 8) paletteBytes = std::int64_t{4} << depth;
  const std::int64_t headersEnd = std::int64_t{entry.offset} + std::int64_t{InfoHeaderBytes} + paletteBytes;
  if (paletteBytes < 0 || headersEnd > INT_MAX) return false;
  return reader.HasByteAt(static_cast<std::uint64_t>(headersEnd - 1));
}

// An embedded PNG, read by the PNG reader as a file of its own: why its
// pixels do not prove it equal, and how they are to be shown.
BytesReason ReadPngEntry(HeaderReader& reader, const IconEntry& entry, Presentation& shown) {
  const HeaderFacts facts = ReadEmbeddedPngFacts(reader, entry.offset, entry.size);
  shown = facts.presentation;
  return BytesReasonOf(facts);
}

// The bytes of every entry lie after the directory, apart from one
// another, inside the file, and together they reach its end. A DIB
// entry's extent is what its headers need, which the directory must list.
BytesReason CheckExtents(HeaderReader& reader, std::uint32_t count,
                         std::vector<std::pair<std::uint64_t, std::uint64_t>>& extents) {
  std::sort(extents.begin(), extents.end());
  std::uint64_t end = DirectoryStart + EntryBytes * count;
  for (const auto& [start, stop] : extents) {
    if (start < end) return BytesReason::EntriesOverlap;
    end = stop;
  }
  if (reader.FileSize() < end) return BytesReason::CutShort;
  return reader.FileSize() > end ? BytesReason::TrailingData : BytesReason::None;
}

}  // namespace

HeaderFacts ReadIconFacts(HeaderReader& reader, ImageFormat format) {
  std::uint8_t head[DirectoryStart];
  if (!reader.Read(0, head, sizeof head)) return Unsettled(format);
  const std::uint32_t count = Le16(head + 4);
  HeaderFacts facts;
  facts.format = format;
  facts.moreThanOneImage = count > 1 ? Answer::NotRuledOut : Answer::No;
  bool allKnown = true;
  bool allPng = true;
  bool deep = false;
  BytesReason pngReason = BytesReason::None;
  bool listedSizesFit = true;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> extents;
  IconEntry first;
  EntryImage firstImage;
  for (std::uint32_t index = 0; index < count && allKnown; ++index) {
    IconEntry entry;
    const EntryImage image = ReadEntry(reader, index, entry) ? ReadEntryImage(reader, entry) : EntryImage{};
    allKnown = image.known;
    allPng = allPng && image.png;
    deep = deep || image.deep;
    if (reader.ForComparison() && image.png && image.known && pngReason == BytesReason::None) {
      Presentation shown;
      pngReason = ReadPngEntry(reader, entry, shown);
      if (count == 1) facts.presentation = shown;
    }
    listedSizesFit = listedSizesFit && (image.dibBytes == 0 || image.dibBytes == entry.size);
    const std::uint64_t extent = std::max<std::uint64_t>(entry.size, image.dibBytes);
    extents.emplace_back(entry.offset, entry.offset + extent);
    facts.largestImagePixels = std::max(facts.largestImagePixels, image.pixels);
    if (index == 0) {
      first = entry;
      firstImage = image;
    }
  }
  facts.deeperThan8Bits = allKnown && !deep ? Answer::No : Answer::NotRuledOut;
  if (!allKnown) facts.largestImagePixels = 0;
  if (!allKnown) {
    facts.bytesReason = BytesReason::HeaderUnreadable;
  } else if (pngReason != BytesReason::None) {
    facts.bytesReason = pngReason;
  } else if (reader.ForComparison()) {
    facts.bytesReason = CheckExtents(reader, count, extents);
    if (facts.bytesReason == BytesReason::None && !listedSizesFit) facts.bytesReason = BytesReason::StructuresDisagree;
  }
  if (count == 1 && allKnown && !firstImage.png && DecoderTakesDib(reader, first)) {
    facts.width = first.width;
    facts.height = first.height;
  } else if (count >= 1 && allKnown && allPng) {
    const HeaderFacts png = ReadEmbeddedPngFacts(reader, first.offset, first.size);
    facts.width = png.width;
    facts.height = png.height;
  }
  return facts;
}
