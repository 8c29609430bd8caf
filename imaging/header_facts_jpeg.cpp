// JPEG: the markers from SOI to the first SOS, each segment skipped by its
// length. The frame header gives size, precision and sampling; the
// application and comment segments are accounted for on their own (an APP2
// "MPF" segment announces further pictures: camera MPO files, gain maps).
// The small table segments are read for the ids they define, and the
// first scan header must name the frame's components and defined tables.
// The scan data is then followed to the first EOI: the file holds one image
// only when that marker ends it. Any other marker leaves the file to its
// bytes.
#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "imaging/header_facts_formats.h"
#include "imaging/header_facts_jpeg_app.h"
#include "imaging/header_facts_jpeg_scan.h"

namespace {

constexpr int MaxMarkers = 1024;
// A decoder that shows a progressive image as it arrives passes over the
// whole image once a scan: more scans of more pixels than this (far more
// than any encoder writes: its ten scans of a 100 Mpx photo) would take it
// many seconds, so the bytes decide.
constexpr std::uint64_t MaxScanPixels = std::uint64_t{1} << 30;
// The scan data is read in pieces this large; the reader's byte budget
// bounds how much of it is followed.
constexpr std::size_t ScanPieceBytes = std::size_t{512} << 10;
constexpr int MaxComponents = 10;  // libjpeg's limit
constexpr std::uint32_t MaxSide = 65500;
constexpr int MaxBlocksPerMcu = 10;

constexpr std::uint64_t MarkerBytes = 2;  // 0xFF and the marker's code
constexpr std::uint8_t StartOfScan = 0xda;
constexpr std::uint8_t StartOfImage = 0xd8;
constexpr std::uint8_t EndOfImage = 0xd9;
constexpr std::uint8_t StuffedZero = 0x00;
constexpr std::uint8_t Comment = 0xfe;
constexpr std::uint8_t QuantTables = 0xdb;
constexpr std::uint8_t HuffmanTables = 0xc4;
constexpr std::uint8_t RestartInterval = 0xdd;

bool IsFrameMarker(std::uint8_t marker) {
  return marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
}
// Baseline, extended and progressive, Huffman or arithmetic coded.
bool DecoderTakesFrame(std::uint8_t marker) {
  return marker == 0xc0 || marker == 0xc1 || marker == 0xc2 || marker == 0xc9 || marker == 0xca;
}
// Segments of the decoder's the walk steps over by their length: tables
// (after noting their ids), arithmetic conditioning, restart interval, DNL.
bool IsTableSegment(std::uint8_t marker) {
  return marker == 0xc4 || marker == 0xcc || marker == 0xdb || marker == 0xdc || marker == 0xdd;
}
bool IsRestart(std::uint8_t marker) { return marker >= 0xd0 && marker <= 0xd7; }
bool IsParameterless(std::uint8_t marker) { return marker == 0x01 || IsRestart(marker); }

struct Component {
  std::uint8_t id = 0;
  std::uint8_t sampling = 0;  // horizontal and vertical factors
  std::uint8_t quantTable = 0;
};

struct Frame {
  bool found = false;
  std::uint8_t marker = 0;
  std::uint8_t precision = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool componentsValid = false;
  int componentCount = 0;
  Component components[MaxComponents];
};

// Gray, colour or CMYK, with sampling factors the upsampler handles and
// MCUs small enough for interleaved scans.
bool ComponentsValid(const std::uint8_t* components, int count) {
  if (count != 1 && count != 3 && count != 4) return false;
  int maxH = 1;
  int maxV = 1;
  int blocks = 0;
  for (int i = 0; i < count; ++i) {
    const int h = components[3 * i + 1] >> 4;
    const int v = components[3 * i + 1] & 15;
    if (h < 1 || h > 4 || v < 1 || v > 4 || components[3 * i + 2] > 3) return false;
    maxH = std::max(maxH, h);
    maxV = std::max(maxV, v);
    blocks += h * v;
  }
  if (count == 1) return true;
  for (int i = 0; i < count; ++i) {
    if (maxH % (components[3 * i + 1] >> 4) != 0 || maxV % (components[3 * i + 1] & 15) != 0) return false;
  }
  return blocks <= MaxBlocksPerMcu;
}

bool ReadFrame(HeaderReader& reader, std::uint64_t offset, std::uint16_t length, std::uint8_t marker,
               Frame& frame) {
  std::uint8_t bytes[8 + 3 * MaxComponents];
  if (length < 8 || !reader.Read(offset, bytes, 8)) return false;
  const int count = bytes[7];
  if (count < 1 || count > MaxComponents || length != 8 + 3 * count) return false;
  if (!reader.Read(offset + 8, bytes + 8, static_cast<std::size_t>(3 * count))) return false;
  frame.found = true;
  frame.marker = marker;
  frame.precision = bytes[2];
  frame.height = Be16(bytes + 3);
  frame.width = Be16(bytes + 5);
  frame.componentsValid = ComponentsValid(bytes + 8, count);
  frame.componentCount = count;
  for (int i = 0; i < count; ++i) frame.components[i] = {bytes[8 + 3 * i], bytes[8 + 3 * i + 1], bytes[8 + 3 * i + 2]};
  return true;
}

// Table ids defined so far, one bit per id.
struct Tables {
  unsigned quant = 0;
  unsigned dc = 0;
  unsigned ac = 0;
  jpeg::HuffmanTable dcTables[jpeg::HuffmanSlots];  // the last definition of each
  jpeg::HuffmanTable acTables[jpeg::HuffmanSlots];
  std::uint32_t restartInterval = 0;
};

// A DQT segment: tables of 64 or 128 bytes, each after its id byte.
bool ReadQuantTables(HeaderReader& reader, std::uint64_t offset, std::uint16_t length, Tables& tables) {
  std::uint64_t at = offset + 2;
  const std::uint64_t end = offset + length;
  for (int table = 0; table < 4 * 2 && at < end; ++table) {
    std::uint8_t id = 0;
    if (!reader.Read(at, &id, 1) || (id & 15) > 3) return false;
    tables.quant |= 1u << (id & 15);
    at += 1 + ((id >> 4) != 0 ? 128 : 64);
  }
  return at == end;
}

// A DHT segment: tables of an id byte, 16 code counts and their symbols.
bool ReadHuffmanTables(HeaderReader& reader, std::uint64_t offset, std::uint16_t length, Tables& tables) {
  std::uint64_t at = offset + 2;
  const std::uint64_t end = offset + length;
  for (int table = 0; table < 8 * 2 && at < end; ++table) {
    std::uint8_t head[17];
    if (!reader.Read(at, head, sizeof head) || (head[0] & 0x0f) > 3 || (head[0] >> 4) > 1) return false;
    int symbols = 0;
    for (int i = 1; i <= 16; ++i) symbols += head[i];
    if (symbols > 256) return false;
    ((head[0] >> 4) == 0 ? tables.dc : tables.ac) |= 1u << (head[0] & 0x0f);
    jpeg::HuffmanTable& defined = ((head[0] >> 4) == 0 ? tables.dcTables : tables.acTables)[head[0] & 0x0f];
    std::memcpy(defined.counts + 1, head + 1, 16);
    defined.defined = reader.Read(at + sizeof head, defined.symbols, static_cast<std::size_t>(symbols));
    at += sizeof head + static_cast<std::uint64_t>(symbols);
  }
  return at == end;
}

bool IsProgressive(std::uint8_t marker) { return marker == 0xc2 || marker == 0xca; }
bool IsArithmetic(std::uint8_t marker) { return marker >= 0xc9; }

// The Huffman tables the first scan needs: sequential decoding supplies the
// standard tables 0 and 1 when the file has none, progressive decoding
// does not, and needs only the DC or only the AC table of each component.
bool HuffmanTablesDefined(const Frame& frame, const Tables& tables, std::uint8_t selectors, int start, int high) {
  if (IsArithmetic(frame.marker)) return true;
  const unsigned dc = 1u << (selectors >> 4);
  const unsigned ac = 1u << (selectors & 15);
  if (!IsProgressive(frame.marker)) return ((tables.dc | 0b11) & dc) != 0 && ((tables.ac | 0b11) & ac) != 0;
  if (start == 0) return high != 0 || (tables.dc & dc) != 0;
  return (tables.ac & ac) != 0;
}

// The first scan: components of the frame, each once, with defined tables,
// and for progressive frames a spectral band the decoder accepts.
bool ScanValid(HeaderReader& reader, std::uint64_t offset, const Frame& frame, const Tables& tables) {
  std::uint8_t bytes[2 + 1 + 2 * 4 + 3];
  if (!reader.Read(offset, bytes, 3)) return false;
  const int count = bytes[2];
  if (count < 1 || count > 4 || Be16(bytes) != 6 + 2 * count) return false;
  if (!reader.Read(offset + 3, bytes + 3, static_cast<std::size_t>(2 * count))) return false;
  // Sequential decoding ignores the spectral band, and the decoder reads a
  // file cut off inside it as if it went on: only progressive frames need it.
  std::uint8_t* band = bytes + 3 + 2 * count;
  const bool bandRead = reader.Read(offset + 3 + static_cast<std::uint64_t>(2 * count), band, 3);
  if (!bandRead) std::fill(band, band + 3, 0);
  const int start = band[0];
  const int high = band[2] >> 4;
  // The decoder matches a scan's components as libjpeg does: slot by slot,
  // skipping frame components whose index names a filled slot.
  const Component* slots[4] = {};
  for (int i = 0; i < count; ++i) {
    const std::uint8_t id = bytes[3 + 2 * i];
    const std::uint8_t selectors = bytes[4 + 2 * i];
    const int searched = std::min(frame.componentCount, 4);
    int found = 0;
    while (found < searched && (frame.components[found].id != id || slots[found] != nullptr)) ++found;
    if (found == searched) return false;
    slots[i] = &frame.components[found];
    if (std::find(slots, slots + i, slots[i]) != slots + i) return false;
    if ((selectors >> 4) > 3 || (selectors & 15) > 3 || !HuffmanTablesDefined(frame, tables, selectors, start, high)) {
      return false;
    }
  }
  for (int i = 0; i < frame.componentCount; ++i) {
    const unsigned table = frame.components[i].quantTable;
    if (table > 3 || (tables.quant & (1u << table)) == 0) return false;
  }
  if (!IsProgressive(frame.marker)) return true;
  if (!bandRead) return false;
  const int end = band[1];
  const int low = band[2] & 15;
  const bool bandValid = start == 0 ? end == 0 : end >= start && end <= 63 && count == 1;
  return bandValid && (high == 0 || low == high - 1) && low <= 13;
}

struct MarkerWalk {
  Frame frame;
  Tables tables;
  std::uint64_t scanStart = 0;  // of the first scan's header
  bool reachedScan = false;
  bool scanValid = false;
  jpeg::ApplicationSegments segments;
  BytesReason unknownMarker = BytesReason::None;
  std::uint64_t scanDataStart = 0;  // after the first scan header
  // For a comparison: the decoder's segments, each with its marker, and the
  // segments of JFIF and Adobe, which steer its colour conversion.
  CodedPicture coded;
};

// Reads the marker at offset, past any number of fill bytes, as the
// decoder does; 0 when there is none. The reader's budget bounds the fill.
std::uint8_t NextMarker(HeaderReader& reader, std::uint64_t& offset) {
  std::uint8_t byte = 0;
  if (!reader.Read(offset, &byte, 1) || byte != 0xff) return 0;
  while (byte == 0xff) {
    ++offset;
    if (!reader.Read(offset, &byte, 1)) return 0;
  }
  ++offset;
  return byte;
}

MarkerWalk WalkToScan(HeaderReader& reader) {
  MarkerWalk walk;
  std::uint64_t offset = 2;
  for (int i = 0; i < MaxMarkers; ++i) {
    const std::uint8_t marker = NextMarker(reader, offset);
    if (IsParameterless(marker)) continue;
    if (marker == StartOfScan) {
      walk.scanStart = offset;
      std::uint8_t lengthBytes[2];
      walk.reachedScan = walk.frame.found && reader.Read(offset, lengthBytes, 2) && Be16(lengthBytes) >= 2;
      walk.scanValid = walk.reachedScan && ScanValid(reader, offset, walk.frame, walk.tables);
      if (walk.reachedScan) walk.scanDataStart = offset + Be16(lengthBytes);
      return walk;
    }
    const bool segment = IsFrameMarker(marker) || IsTableSegment(marker) || jpeg::IsApplicationSegment(marker);
    if (!segment && marker != 0 && marker != StartOfImage && marker != EndOfImage) {
      walk.unknownMarker = BytesReason::UnknownSegment;
    }
    std::uint8_t lengthBytes[2];
    if (!segment || !reader.Read(offset, lengthBytes, 2)) return walk;  // unknown marker, SOI, EOI, end
    const std::uint16_t length = Be16(lengthBytes);
    if (length < 2) return walk;
    if (reader.ForComparison() && !jpeg::IsApplicationSegment(marker)) {
      walk.coded.Add({offset - MarkerBytes, MarkerBytes + length, false, false});
    }
    if (IsFrameMarker(marker)) {
      if (walk.frame.found || !ReadFrame(reader, offset, length, marker, walk.frame)) return walk;
    } else if (marker == QuantTables) {
      if (!ReadQuantTables(reader, offset, length, walk.tables)) return walk;
    } else if (marker == HuffmanTables) {
      if (!ReadHuffmanTables(reader, offset, length, walk.tables)) return walk;
    } else if (marker == RestartInterval) {
      std::uint8_t interval[2];
      if (length != 4 || !reader.Read(offset + 2, interval, 2)) return walk;
      walk.tables.restartInterval = Be16(interval);
    } else if (jpeg::IsApplicationSegment(marker)) {
      walk.segments.Note(reader, marker, offset, length, walk.coded);
    }
    offset += length;
  }
  return walk;
}

// The first scan's components as the block walk needs them, and where its
// data starts; false when the scan does not hold every frame component.
bool ReadScanLayout(HeaderReader& reader, std::uint64_t offset, const Frame& frame, jpeg::ScanLayout& layout,
                    std::uint64_t& dataStart) {
  std::uint8_t bytes[3 + 2 * jpeg::MaxScanComponents];
  if (!reader.Read(offset, bytes, 3) || bytes[2] != frame.componentCount || bytes[2] > jpeg::MaxScanComponents ||
      !reader.Read(offset + 3, bytes + 3, 2u * bytes[2])) {
    return false;
  }
  dataStart = offset + Be16(bytes);
  layout.width = frame.width;
  layout.height = frame.height;
  layout.count = bytes[2];
  for (int i = 0; i < layout.count; ++i) {
    const Component* match = std::find_if(frame.components, frame.components + frame.componentCount,
                                          [&](const Component& c) { return c.id == bytes[3 + 2 * i]; });
    if (match == frame.components + frame.componentCount) return false;
    jpeg::ScanComponent& component = layout.components[i];
    component.h = match->sampling >> 4u;
    component.v = match->sampling & 15u;
    component.dcTable = bytes[4 + 2 * i] >> 4 & 3;
    component.acTable = bytes[4 + 2 * i] & 3;
    layout.maxH = std::max(layout.maxH, component.h);
    layout.maxV = std::max(layout.maxV, component.v);
  }
  return true;
}

// A comparison walks a baseline scan's blocks: one that ends before the
// last block leaves pixels the decoder makes up. The walk follows one scan
// of every component with tables of the file's own; a scan per component,
// the standard tables the decoder supplies, or progressive and arithmetic
// coding (whose scans a decoder fills in just as silently) leave the file
// to its bytes.
BytesReason ScanReason(HeaderReader& reader, const MarkerWalk& walk) {
  if (!reader.ForDecodedPixels() || !walk.scanValid || !walk.frame.componentsValid) return BytesReason::None;
  const bool sequentialHuffman = walk.frame.marker == 0xc0 || walk.frame.marker == 0xc1;
  if (!sequentialHuffman) return BytesReason::ScanLayoutNotFollowed;
  jpeg::ScanLayout layout;
  std::uint64_t dataStart = 0;
  layout.restartInterval = walk.tables.restartInterval;
  if (!ReadScanLayout(reader, walk.scanStart, walk.frame, layout, dataStart)) return BytesReason::ScanLayoutNotFollowed;
  for (int i = 0; i < layout.count; ++i) {
    if (!walk.tables.dcTables[layout.components[i].dcTable].defined ||
        !walk.tables.acTables[layout.components[i].acTable].defined) {
      return BytesReason::ScanLayoutNotFollowed;
    }
  }
  switch (jpeg::WalkScanData(reader, dataStart, layout, walk.tables.dcTables, walk.tables.acTables)) {
    case jpeg::ScanEnd::Complete: return BytesReason::None;
    case jpeg::ScanEnd::Early: return BytesReason::ImageDataCutShort;
    case jpeg::ScanEnd::Unknown: return BytesReason::ReadBudgetSpent;
  }
  return BytesReason::ReadBudgetSpent;
}

// The scan data, read a large piece at a time.
class ScanData {
 public:
  explicit ScanData(HeaderReader& headerReader) : reader(headerReader) {}

  bool Byte(std::uint64_t offset, std::uint8_t& byte) {
    if (!Holds(offset) && !Load(offset)) return false;
    byte = piece[static_cast<std::size_t>(offset - pieceStart)];
    return true;
  }

  // Moves offset to the next 0xFF byte; false when none is read.
  bool FindMarkerPrefix(std::uint64_t& offset) {
    for (;;) {
      if (!Holds(offset) && !Load(offset)) return false;
      const auto skip = static_cast<std::size_t>(offset - pieceStart);
      const std::uint8_t* from = piece.data() + skip;
      const auto* found = static_cast<const std::uint8_t*>(std::memchr(from, 0xff, pieceSize - skip));
      if (found != nullptr) {
        offset += static_cast<std::uint64_t>(found - from);
        return true;
      }
      offset = pieceStart + pieceSize;
    }
  }

 private:
  bool Holds(std::uint64_t offset) const { return offset >= pieceStart && offset - pieceStart < pieceSize; }

  bool Load(std::uint64_t offset) {
    const std::uint64_t size = reader.FileSize();
    if (offset >= size) return false;
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(ScanPieceBytes, size - offset));
    pieceStart = offset;
    pieceSize = reader.ReadUpTo(offset, piece.data(), wanted);
    return pieceSize != 0;
  }

  HeaderReader& reader;
  std::vector<std::uint8_t> piece = std::vector<std::uint8_t>(ScanPieceBytes);  // on the heap: a host's thread
  std::uint64_t pieceStart = 0;
  std::size_t pieceSize = 0;
};

// Follows the scans from the first scan's data to the first EOI and returns
// the offset just past it, 0 when it is not reached. Inside scan data 0xFF
// comes only before a stuffed zero or a restart marker; the table, scan and
// comment segments between the scans of a progressive image are skipped by
// their length, and so are application segments, which are not accounted
// for there. Any other marker (a second SOI, a frame) ends the search.
// For a comparison the stretches from the first scan's marker to EOI
// between those comment and application segments go to coded.
std::uint64_t EndOfFirstImage(HeaderReader& reader, std::uint64_t scanMarker, std::uint64_t offset, int& scans,
                              BytesReason& reason, CodedPicture& coded) {
  ScanData data(reader);
  scans = 1;
  std::uint64_t stretch = scanMarker;
  const auto endStretch = [&](std::uint64_t end) {
    if (reader.ForComparison()) coded.Add({stretch, end - stretch, false, false});
  };
  for (int segments = 0; segments < MaxMarkers;) {
    std::uint8_t marker = 0xff;
    if (!data.FindMarkerPrefix(offset)) return 0;
    const std::uint64_t prefix = offset;
    while (marker == 0xff) {
      if (!data.Byte(++offset, marker)) return 0;
    }
    ++offset;
    if (marker == StuffedZero || IsRestart(marker)) continue;
    if (marker == EndOfImage) {
      endStretch(offset);
      return offset;
    }
    std::uint8_t high = 0;
    std::uint8_t low = 0;
    const bool application = marker != Comment && jpeg::IsApplicationSegment(marker);
    if ((marker != StartOfScan && !IsTableSegment(marker) && marker != Comment && !application) ||
        !data.Byte(offset, high) || !data.Byte(offset + 1, low)) {
      return 0;
    }
    if (application) reason = BytesReason::UnknownSegment;
    const std::uint16_t length = static_cast<std::uint16_t>(high << 8 | low);
    if (length < 2) return 0;
    if (marker == Comment || application) {
      endStretch(prefix);
      stretch = offset + length;
    }
    offset += length;
    ++segments;
    if (marker == StartOfScan) ++scans;
  }
  return 0;
}

// Whatever follows the first end-of-image marker is no part of the image
// the decoder shows: a second JPEG joined on, the video of a motion photo,
// a phone's trailer.
bool EndsAtFirstEndOfImage(HeaderReader& reader, MarkerWalk& walk, int& scans, BytesReason& reason) {
  return walk.reachedScan && EndOfFirstImage(reader, walk.scanStart - MarkerBytes, walk.scanDataStart, scans,
                                             reason, walk.coded) == reader.FileSize();
}

}  // namespace

HeaderFacts ReadJpegFacts(HeaderReader& reader) {
  MarkerWalk walk = WalkToScan(reader);
  const Frame& frame = walk.frame;
  if (!frame.found) return Unsettled(ImageFormat::Jpeg);
  HeaderFacts facts;
  facts.format = ImageFormat::Jpeg;
  facts.largestImagePixels = std::uint64_t{frame.width} * frame.height;
  facts.deeperThan8Bits = frame.precision == 8 ? Answer::No : Answer::NotRuledOut;
  // Only a comparison reads the scan data; for sizes alone nothing is proven.
  int scans = 0;
  BytesReason betweenScans = BytesReason::None;
  const bool oneImage = !walk.segments.MultiPicture() && reader.ForComparison() &&
                        EndsAtFirstEndOfImage(reader, walk, scans, betweenScans);
  facts.moreThanOneImage = oneImage ? Answer::No : Answer::NotRuledOut;
  facts.rowsInOrder = frame.marker == 0xc0 || frame.marker == 0xc1;
  const bool decodable = walk.scanValid && DecoderTakesFrame(frame.marker) && frame.precision == 8 &&
                         frame.componentsValid && frame.width >= 1 && frame.width <= MaxSide &&
                         frame.height >= 1 && frame.height <= MaxSide;
  if (decodable) {
    facts.width = frame.width;
    facts.height = frame.height;
  }
  const BytesReason segments = walk.segments.Finish(reader, facts.presentation);
  if (frame.componentCount == 4) {
    facts.bytesReason = BytesReason::CmykInks;
  } else if (segments != BytesReason::None) {
    facts.bytesReason = segments;
  } else if (walk.unknownMarker != BytesReason::None) {
    facts.bytesReason = walk.unknownMarker;
  } else if (betweenScans != BytesReason::None) {
    facts.bytesReason = betweenScans;
  } else if (std::uint64_t(scans) * facts.largestImagePixels > MaxScanPixels) {
    facts.bytesReason = BytesReason::ReadBudgetSpent;
  } else {
    facts.bytesReason = ScanReason(reader, walk);
  }
  facts.coded = std::move(walk.coded);
  return facts;
}
