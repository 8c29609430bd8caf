#include "imaging/header_facts_jpeg_scan.h"

namespace jpeg {

namespace {

constexpr int BlockCoefficients = 64;
constexpr int MaxDcCategory = 11;
constexpr int MaxCodeLength = 16;
constexpr int ZeroRun = 0xf0;  // sixteen zeros
constexpr int FastBits = 9;    // codes this short are found by one look-up
constexpr int AccumulatorBits = 64;
constexpr std::uint8_t FirstRestart = 0xd0;  // RST0; the markers count 0 to 7 over and over
constexpr unsigned RestartNumbers = 8;

// The bits of the entropy-coded data, a few bytes ahead: stuffed zero
// bytes dropped; at a restart marker or any other marker the bits stop,
// and only a restart lets them go on.
class ScanBitReader {
 public:
  ScanBitReader(HeaderReader& headerReader, std::uint64_t start) : reader(headerReader), offset(start) {}

  // Holds at least the bits of one code and its extra bits (32), unless
  // the data stops first.
  void Fill() {
    while (stop == Stop::None && held <= AccumulatorBits - 8) {
      std::uint8_t value = 0;
      if (!NextByte(value)) return;
      if (value == 0xff) {
        std::uint8_t marker = 0;
        if (!NextByte(marker)) return;
        if (marker != 0) {
          stop = marker >= FirstRestart && marker < FirstRestart + RestartNumbers ? Stop::Restart : Stop::Marker;
          restartMarker = marker;
          return;
        }
      }
      bits |= std::uint64_t{value} << (AccumulatorBits - 8 - held);
      held += 8;
    }
  }
  // The next count (up to 16) bits, zeros past the end.
  std::uint32_t Peek(int count) const { return static_cast<std::uint32_t>(bits >> (AccumulatorBits - count)); }
  // False when fewer bits are left.
  bool Skip(int count) {
    if (count > held) return false;
    bits = count == AccumulatorBits ? 0 : bits << count;
    held -= count;
    return true;
  }
  // At the end of a restart interval: drops the padding before the marker,
  // and goes on after it. False when no restart marker comes there, or one
  // of another number: a decoder takes that for intervals lost or doubled,
  // fills in blocks for the missing ones and drops data at the end.
  bool Restart(std::uint64_t interval) {
    Fill();
    if (stop != Stop::Restart || restartMarker != FirstRestart + interval % RestartNumbers) return false;
    bits = 0;
    held = 0;
    stop = Stop::None;
    return true;
  }
  int Held() const { return held; }
  // Whether the bits stopped because the reader's budget ran out.
  bool Unread() const { return stop == Stop::Unread; }

 private:
  enum class Stop { None, Restart, Marker, Unread };

  // The bytes come a buffer at a time: a scan is megabytes long.
  bool NextByte(std::uint8_t& value) {
    if (next == buffered) {
      buffered = reader.ReadUpTo(offset, buffer, sizeof buffer);
      next = 0;
      if (buffered == 0) {
        stop = offset >= reader.FileSize() ? Stop::Marker : Stop::Unread;
        return false;
      }
    }
    value = buffer[next++];
    ++offset;
    return true;
  }

  HeaderReader& reader;
  std::uint64_t offset;  // of the next byte
  std::uint8_t buffer[HeaderReader::WindowBytes];
  std::size_t buffered = 0;
  std::size_t next = 0;
  std::uint64_t bits = 0;  // the next held bits, from the top
  int held = 0;
  Stop stop = Stop::None;
  std::uint8_t restartMarker = 0;  // the marker that stopped the bits
};

// A canonical Huffman code: codes up to FastBits long by look-up, longer
// ones code length by code length.
class Code {
 public:
  explicit Code(const HuffmanTable& huffman) : table(huffman) {
    unsigned code = 0;
    int index = 0;
    for (int length = 1; length <= MaxCodeLength; ++length) {
      for (int i = 0; i < table.counts[length]; ++i, ++code, ++index) {
        if (length > FastBits) continue;
        const unsigned first = code << (FastBits - length);
        for (unsigned entry = first; entry < first + (1u << (FastBits - length)) && entry < (1u << FastBits); ++entry) {
          fast[entry] = static_cast<std::uint16_t>(length << 8 | table.symbols[index & 0xff]);
        }
      }
      code <<= 1;
    }
  }

  // The next symbol; -1 at the end of the data or on a code the table
  // does not have.
  int Decode(ScanBitReader& bits) const {
    if (bits.Held() < 32) bits.Fill();
    const std::uint16_t entry = fast[bits.Peek(FastBits)];
    if (entry != 0) return bits.Skip(entry >> 8) ? entry & 0xff : -1;
    const std::uint32_t ahead = bits.Peek(MaxCodeLength);
    int code = 0;
    int first = 0;
    int index = 0;
    for (int length = 1; length <= MaxCodeLength; ++length) {
      code |= static_cast<int>(ahead >> (MaxCodeLength - length) & 1);
      const int count = table.counts[length];
      if (code - count < first) return bits.Skip(length) ? table.symbols[(index + code - first) & 0xff] : -1;
      index += count;
      first = (first + count) << 1;
      code <<= 1;
    }
    return -1;
  }

 private:
  const HuffmanTable& table;
  std::uint16_t fast[1u << FastBits] = {};  // code length and symbol; 0 for longer codes
};

// One block: a DC difference, then run-length coded AC coefficients.
bool Block(ScanBitReader& bits, const Code& dc, const Code& ac) {
  const int category = dc.Decode(bits);
  if (category < 0 || category > MaxDcCategory || !bits.Skip(category)) return false;
  for (int k = 1; k < BlockCoefficients;) {
    const int symbol = ac.Decode(bits);
    if (symbol < 0) return false;
    if (symbol == 0) break;  // end of block
    if (symbol == ZeroRun) {
      k += 16;
      continue;
    }
    // A run with no coefficient after it codes nothing: decoders read it
    // as the end of the block, and then the rest of the data differently.
    if ((symbol & 15) == 0) return false;
    k += (symbol >> 4) + 1;
    if (k > BlockCoefficients || !bits.Skip(symbol & 15)) return false;
  }
  return true;
}

std::uint64_t Ceil(std::uint64_t value, std::uint64_t unit) { return (value + unit - 1) / unit; }

}  // namespace

ScanEnd WalkScanData(HeaderReader& reader, std::uint64_t dataStart, const ScanLayout& layout,
                     const HuffmanTable (&dc)[HuffmanSlots], const HuffmanTable (&ac)[HuffmanSlots]) {
  for (int i = 0; i < layout.count; ++i) {
    if (!dc[layout.components[i].dcTable].defined || !ac[layout.components[i].acTable].defined) {
      return ScanEnd::Unknown;
    }
  }
  const Code dcCodes[HuffmanSlots] = {Code(dc[0]), Code(dc[1]), Code(dc[2]), Code(dc[3])};
  const Code acCodes[HuffmanSlots] = {Code(ac[0]), Code(ac[1]), Code(ac[2]), Code(ac[3])};
  // A scan of one component codes its own blocks one by one; an
  // interleaved scan codes units of every component's blocks.
  const ScanComponent& only = layout.components[0];
  const bool single = layout.count == 1;
  const std::uint64_t units =
      single ? Ceil(Ceil(std::uint64_t{layout.width} * only.h, layout.maxH), 8) *
                   Ceil(Ceil(std::uint64_t{layout.height} * only.v, layout.maxV), 8)
             : Ceil(layout.width, 8u * layout.maxH) * Ceil(layout.height, 8u * layout.maxV);
  ScanBitReader bits(reader, dataStart);
  for (std::uint64_t unit = 0; unit < units; ++unit) {
    if (layout.restartInterval != 0 && unit != 0 && unit % layout.restartInterval == 0 &&
        !bits.Restart(unit / layout.restartInterval - 1)) {
      return bits.Unread() ? ScanEnd::Unknown : ScanEnd::Early;
    }
    for (int i = 0; i < layout.count; ++i) {
      const ScanComponent& component = layout.components[i];
      const unsigned blocks = single ? 1 : component.h * component.v;
      for (unsigned block = 0; block < blocks; ++block) {
        if (!Block(bits, dcCodes[component.dcTable], acCodes[component.acTable])) {
          return bits.Unread() ? ScanEnd::Unknown : ScanEnd::Early;
        }
      }
    }
  }
  return ScanEnd::Complete;
}

}  // namespace jpeg
