// ICO and CUR: a directory of entries, each a DIB or an embedded PNG. The
// size is settled only when there is one entry to choose, and it is a DIB
// the decoder accepts (it skips PNG entries).
#include <algorithm>
#include <climits>
#include <cstdlib>

#include "imaging/header_facts_formats.h"

namespace {

constexpr std::uint64_t DirectoryStart = 6;
constexpr std::uint64_t EntryBytes = 16;
constexpr std::size_t InfoHeaderBytes = 40;

struct IconEntry {
  std::uint32_t width = 0;   // as the directory gives it, 0 meaning 256
  std::uint32_t height = 0;
  std::uint32_t offset = 0;
};

bool ReadEntry(HeaderReader& reader, std::uint32_t index, IconEntry& entry) {
  std::uint8_t bytes[EntryBytes];
  if (!reader.Read(DirectoryStart + EntryBytes * index, bytes, sizeof bytes)) return false;
  entry.width = bytes[0] == 0 ? 256 : bytes[0];
  entry.height = bytes[1] == 0 ? 256 : bytes[1];
  entry.offset = Le32(bytes + 12);
  return true;
}

struct EntryImage {
  bool known = false;
  bool png = false;
  bool deep = false;
  std::uint64_t pixels = 0;
};

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

}  // namespace

HeaderFacts ReadIconFacts(HeaderReader& reader, ImageFormat format) {
  std::uint8_t head[DirectoryStart];
  if (!reader.Read(0, head, sizeof head)) return Unsettled(format);
  const std::uint32_t count = Le16(head + 4);
  HeaderFacts facts;
  facts.format = format;
  facts.moreThanOneImage = count > 1 ? Answer::Yes : Answer::No;
  bool allKnown = true;
  bool deep = false;
  IconEntry first;
  EntryImage firstImage;
  for (std::uint32_t index = 0; index < count && allKnown; ++index) {
    IconEntry entry;
    const EntryImage image = ReadEntry(reader, index, entry) ? ReadEntryImage(reader, entry) : EntryImage{};
    allKnown = image.known;
    deep = deep || image.deep;
    facts.largestImagePixels = std::max(facts.largestImagePixels, image.pixels);
    if (index == 0) {
      first = entry;
      firstImage = image;
    }
  }
  facts.deeperThan8Bits = allKnown && !deep ? Answer::No : Answer::Yes;
  if (!allKnown) facts.largestImagePixels = 0;
  if (count == 1 && allKnown && !firstImage.png && DecoderTakesDib(reader, first)) {
    facts.width = first.width;
    facts.height = first.height;
  }
  return facts;
}
