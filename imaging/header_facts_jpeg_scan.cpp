#include "imaging/header_facts_jpeg_scan.h"

namespace jpeg {

namespace {

constexpr int BlockCoefficients = 64;
constexpr int MaxDcCategory = 11;
constexpr int ZeroRun = 0xf0;  // sixteen zeros

enum class Bit { Zero, One, End, Unread };

// The bits of the entropy-coded data: stuffed zero bytes dropped, restart
// markers stepped over, any other marker the end.
class BitReader {
 public:
  BitReader(HeaderReader& headerReader, std::uint64_t start) : reader(headerReader), offset(start) {}

  Bit Next() {
    if (left == 0) {
      const Bit loaded = Load();
      if (loaded != Bit::One) return loaded;
    }
    --left;
    return (byte >> left & 1) != 0 ? Bit::One : Bit::Zero;
  }

 private:
  Bit Load() {
    for (;;) {
      std::uint8_t value = 0;
      if (!reader.Read(offset, &value, 1)) return offset >= reader.FileSize() ? Bit::End : Bit::Unread;
      ++offset;
      if (value != 0xff) return Take(value);
      std::uint8_t marker = 0;
      if (!reader.Read(offset, &marker, 1)) return offset >= reader.FileSize() ? Bit::End : Bit::Unread;
      ++offset;
      if (marker == 0) return Take(0xff);
      if (marker < 0xd0 || marker > 0xd7) return Bit::End;
    }
  }
  Bit Take(std::uint8_t value) {
    byte = value;
    left = 8;
    return Bit::One;
  }

  HeaderReader& reader;
  std::uint64_t offset;
  std::uint8_t byte = 0;
  int left = 0;
};

// The next symbol of a canonical Huffman code; -1 at the end of the data
// or on a code the table does not have, -2 when the data cannot be read.
int Decode(BitReader& bits, const HuffmanTable& table) {
  int code = 0;
  int first = 0;
  int index = 0;
  for (int length = 1; length <= 16; ++length) {
    const Bit bit = bits.Next();
    if (bit == Bit::Unread) return -2;
    if (bit == Bit::End) return -1;
    code |= bit == Bit::One ? 1 : 0;
    const int count = table.counts[length];
    if (code - count < first) return table.symbols[(index + code - first) & 0xff];
    index += count;
    first = (first + count) << 1;
    code <<= 1;
  }
  return -1;
}

// Skips an extra-bits field; false at the end of the data.
ScanEnd Skip(BitReader& bits, int count) {
  for (int i = 0; i < count; ++i) {
    const Bit bit = bits.Next();
    if (bit == Bit::Unread) return ScanEnd::Unknown;
    if (bit == Bit::End) return ScanEnd::Early;
  }
  return ScanEnd::Complete;
}

// One block: a DC difference, then run-length coded AC coefficients.
ScanEnd Block(BitReader& bits, const HuffmanTable& dc, const HuffmanTable& ac) {
  const int category = Decode(bits, dc);
  if (category < 0 || category > MaxDcCategory) return category == -2 ? ScanEnd::Unknown : ScanEnd::Early;
  ScanEnd end = Skip(bits, category);
  for (int k = 1; end == ScanEnd::Complete && k < BlockCoefficients;) {
    const int symbol = Decode(bits, ac);
    if (symbol < 0) return symbol == -2 ? ScanEnd::Unknown : ScanEnd::Early;
    if (symbol == 0) break;  // end of block
    if (symbol == ZeroRun) {
      k += 16;
      continue;
    }
    k += (symbol >> 4) + 1;
    if (k > BlockCoefficients) return ScanEnd::Early;
    end = Skip(bits, symbol & 15);
  }
  return end;
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
  BitReader bits(reader, dataStart);
  if (layout.count == 1) {  // not interleaved: the component's own blocks, one by one
    const ScanComponent& only = layout.components[0];
    const std::uint64_t blocks = Ceil(Ceil(std::uint64_t{layout.width} * only.h, layout.maxH), 8) *
                                 Ceil(Ceil(std::uint64_t{layout.height} * only.v, layout.maxV), 8);
    for (std::uint64_t block = 0; block < blocks; ++block) {
      const ScanEnd end = Block(bits, dc[only.dcTable], ac[only.acTable]);
      if (end != ScanEnd::Complete) return end;
    }
    return ScanEnd::Complete;
  }
  const std::uint64_t units = Ceil(layout.width, 8u * layout.maxH) * Ceil(layout.height, 8u * layout.maxV);
  for (std::uint64_t unit = 0; unit < units; ++unit) {
    for (int i = 0; i < layout.count; ++i) {
      const ScanComponent& component = layout.components[i];
      for (int block = 0; block < component.h * component.v; ++block) {
        const ScanEnd end = Block(bits, dc[component.dcTable], ac[component.acTable]);
        if (end != ScanEnd::Complete) return end;
      }
    }
  }
  return ScanEnd::Complete;
}

}  // namespace jpeg
