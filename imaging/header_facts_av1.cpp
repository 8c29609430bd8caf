#include "imaging/header_facts_av1.h"

#include <algorithm>

namespace {

constexpr std::size_t MaxSequenceHeaderBytes = 512;
constexpr int MaxObusBeforeSequenceHeader = 4;
constexpr unsigned SequenceHeaderObu = 1;
constexpr int MaxObus = 64;
constexpr int MaxSizeFieldBytes = 8;

// Reads the bits of an AV1 sequence header, most significant first.
class MsbBitReader {
 public:
  MsbBitReader(const std::uint8_t* data, std::size_t dataSize) : bytes(data), size(dataSize) {}

  std::uint32_t Bits(int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
      if (position >= size * 8) {
        overrun = true;
        return 0;
      }
      value = value << 1 | ((bytes[position / 8] >> (7 - position % 8)) & 1u);
      ++position;
    }
    return value;
  }
  // Exp-Golomb style: leading zeros, then as many value bits.
  void SkipUvlc() {
    int zeros = 0;
    while (!overrun && Bits(1) == 0) ++zeros;
    if (zeros < 32) Bits(zeros);
  }
  bool Overrun() const { return overrun; }

 private:
  const std::uint8_t* bytes;
  std::size_t size;
  std::size_t position = 0;
  bool overrun = false;
};

// The flags between the frame size and the colour configuration.
void SkipCodingTools(MsbBitReader& bits, bool reduced) {
  if (!reduced && bits.Bits(1) != 0) bits.Bits(7);  // frame id numbers
  bits.Bits(3);  // superblock size, filter intra, intra edge filter
  if (!reduced) {
    bits.Bits(4);  // inter-intra, masked compound, warped motion, dual filter
    const bool orderHint = bits.Bits(1) != 0;
    if (orderHint) bits.Bits(2);
    const bool forceScreenContent = bits.Bits(1) != 0 || bits.Bits(1) != 0;
    if (forceScreenContent && bits.Bits(1) == 0) bits.Bits(1);  // integer motion vectors
    if (orderHint) bits.Bits(3);
  }
  bits.Bits(3);  // superres, CDEF, restoration
}

// The maximum frame size and the colour format of a sequence header OBU's
// payload.
Av1SequenceHeader ParseSequenceHeader(const std::uint8_t* payload, std::size_t size) {
  MsbBitReader bits(payload, size);
  const unsigned profile = bits.Bits(3);
  bits.Bits(1);  // still picture
  const bool reduced = bits.Bits(1) != 0;
  if (reduced) {
    bits.Bits(5);
  } else {
    bool decoderModel = false;
    int delayBits = 0;
    if (bits.Bits(1) != 0) {  // timing info
      bits.Bits(32);
      bits.Bits(32);
      if (bits.Bits(1) != 0) bits.SkipUvlc();
      decoderModel = bits.Bits(1) != 0;
      if (decoderModel) {
        delayBits = static_cast<int>(bits.Bits(5)) + 1;
        bits.Bits(32);
        bits.Bits(10);
      }
    }
    const bool initialDelay = bits.Bits(1) != 0;
    const std::uint32_t points = bits.Bits(5) + 1;
    for (std::uint32_t i = 0; i < points && !bits.Overrun(); ++i) {
      bits.Bits(12);
      if (bits.Bits(5) > 7) bits.Bits(1);
      if (decoderModel && bits.Bits(1) != 0) {
        bits.Bits(delayBits);
        bits.Bits(delayBits);
        bits.Bits(1);
      }
      if (initialDelay && bits.Bits(1) != 0) bits.Bits(4);
    }
  }
  const int widthBits = static_cast<int>(bits.Bits(4)) + 1;
  const int heightBits = static_cast<int>(bits.Bits(4)) + 1;
  Av1SequenceHeader sequence;
  sequence.reduced = reduced;
  sequence.width = bits.Bits(widthBits) + 1;
  sequence.height = bits.Bits(heightBits) + 1;
  SkipCodingTools(bits, reduced);
  const bool high = bits.Bits(1) != 0;
  const bool twelve = profile == 2 && high && bits.Bits(1) != 0;
  sequence.format = {profile, Av1Depth(profile, high, twelve), profile != 1 && bits.Bits(1) != 0};
  sequence.known = !bits.Overrun();
  return sequence;
}

}  // namespace

bool Av1ObusFit(HeaderReader& reader, std::uint64_t offset, std::uint64_t length) {
  std::uint64_t at = 0;
  for (int obu = 0; obu < MaxObus && at < length; ++obu) {
    std::uint8_t head[2 + MaxSizeFieldBytes];
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof head, length - at));
    const std::size_t got = reader.ReadUpTo(offset + at, head, wanted);
    if (got != wanted || (head[0] & 0x80) != 0 || (head[0] & 0x02) == 0) return false;
    std::size_t field = (head[0] & 0x04) != 0 ? 2 : 1;
    std::uint64_t payload = 0;
    bool ended = false;
    for (int i = 0; i < MaxSizeFieldBytes && field < got && !ended; ++i, ++field) {
      payload |= std::uint64_t{head[field] & 0x7fu} << (7 * i);
      ended = (head[field] & 0x80) == 0;
    }
    if (!ended || payload > length - at - field) return false;
    at += field + payload;
  }
  return at == length;
}

Av1SequenceHeader ReadAv1SequenceHeader(HeaderReader& reader, std::uint64_t offset, std::uint64_t length) {
  std::uint8_t bytes[MaxSequenceHeaderBytes];
  const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(length, sizeof bytes));
  const std::size_t size = reader.ReadUpTo(offset, bytes, wanted);
  std::size_t at = 0;
  for (int obu = 0; obu < MaxObusBeforeSequenceHeader && at < size; ++obu) {
    const std::uint8_t header = bytes[at++];
    const unsigned type = header >> 3 & 15;
    if ((header & 0x80) != 0 || (header & 0x02) == 0) return {};  // forbidden bit; no size field
    if ((header & 0x04) != 0) ++at;  // extension byte
    std::uint64_t payload = 0;
    for (int i = 0; i < 8 && at < size; ++i) {
      payload |= std::uint64_t{bytes[at] & 0x7fu} << (7 * i);
      if ((bytes[at++] & 0x80) == 0) break;
    }
    if (type == SequenceHeaderObu) {
      if (at + payload > size) return {};
      return ParseSequenceHeader(bytes + at, static_cast<std::size_t>(payload));
    }
    at += static_cast<std::size_t>(std::min<std::uint64_t>(payload, size));
  }
  return {};
}

