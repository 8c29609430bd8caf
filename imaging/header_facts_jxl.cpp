// JPEG XL: a bare codestream (FF 0A, then its SizeHeader), or an ISO base
// media container (a signature box, 'ftyp' of brand 'jxl ') whose
// codestream lies in one 'jxlc' box or in 'jxlp' boxes, each starting with
// a 4-byte index. The size shown is the SizeHeader's: the stored size of
// the image (of an animation's canvas), before the orientation the image
// header may give, as for other formats. No decoder here reads the format:
// a comparison goes by the bytes.
#include <algorithm>
#include <cstring>

#include "imaging/header_facts_avif_boxes.h"
#include "imaging/header_facts_formats.h"

namespace {

constexpr std::uint8_t ContainerSignature[12] = {0, 0, 0, 12, 'J', 'X', 'L', ' ', 0x0d, 0x0a, 0x87, 0x0a};
constexpr std::uint8_t CodestreamSignature[2] = {0xff, 0x0a};
// The signature and the largest SizeHeader: 1 + 2 + 30 + 3 + 2 + 30 bits.
constexpr std::size_t SizeHeaderBytes = 2 + 9;
constexpr std::uint64_t PartIndexBytes = 4;
constexpr int MaxBoxes = 64;
constexpr std::uint32_t SmallUnit = 8;
constexpr int SmallBits = 5;
constexpr int SizeBits[4] = {9, 13, 18, 30};
// The aspect ratios a SizeHeader may give instead of the width (codes 1 to 7).
constexpr std::uint32_t RatioNumerator[8] = {0, 1, 12, 4, 3, 16, 5, 2};
constexpr std::uint32_t RatioDenominator[8] = {1, 1, 10, 3, 2, 9, 4, 1};

// Reads bits from the least significant bit of each byte first.
class LsbBitReader {
 public:
  LsbBitReader(const std::uint8_t* data, std::size_t size) : bytes(data), bits(size * 8) {}
  std::uint32_t Read(int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i, ++position) {
      if (position >= bits) {
        overrun = true;
        return 0;
      }
      value |= std::uint32_t{(bytes[position / 8] >> (position % 8)) & 1u} << i;
    }
    return value;
  }
  // A size: a selector of 2 bits, then a field of the selected width.
  std::uint32_t Size() {
    const std::uint32_t selector = Read(2);
    return Read(SizeBits[selector]) + 1;
  }
  bool Overrun() const { return overrun; }

 private:
  const std::uint8_t* bytes;
  std::size_t bits;
  std::size_t position = 0;
  bool overrun = false;
};

bool ReadSizeHeader(const std::uint8_t* bytes, std::size_t size, std::uint32_t& width, std::uint32_t& height) {
  if (size < sizeof CodestreamSignature || std::memcmp(bytes, CodestreamSignature, sizeof CodestreamSignature) != 0) {
    return false;
  }
  LsbBitReader in(bytes + sizeof CodestreamSignature, size - sizeof CodestreamSignature);
  const bool small = in.Read(1) != 0;
  height = small ? (in.Read(SmallBits) + 1) * SmallUnit : in.Size();
  const std::uint32_t ratio = in.Read(3);
  if (ratio == 0) {
    width = small ? (in.Read(SmallBits) + 1) * SmallUnit : in.Size();
  } else {
    width = static_cast<std::uint32_t>(std::uint64_t{height} * RatioNumerator[ratio] / RatioDenominator[ratio]);
  }
  return !in.Overrun() && width != 0 && height != 0;
}

// A box at offset ending by limit; a size of 0 runs to the end of the
// file. Early libjxl writers put a 64-bit size before the type, which
// libjxl still reads: a box whose size is 1 and whose type field is zeros
// (no box type is) is read that way.
bool ReadContainerBox(HeaderReader& reader, std::uint64_t offset, std::uint64_t limit, avif::Box& box) {
  std::uint8_t head[16];
  if (offset + 8 > limit || !reader.Read(offset, head, 8)) return false;
  if (Be32(head) == 1 && Be32(head + 4) == 0) {
    if (offset + sizeof head > limit || !reader.Read(offset, head, sizeof head)) return false;
    const std::uint64_t size = Be64(head + 4);
    if (size < sizeof head || size > limit - offset) return false;
    box.type = Be32(head + 12);
    box.start = offset + sizeof head;
    box.end = offset + size;
    return true;
  }
  if (Be32(head) != 0) return avif::ReadBox(reader, offset, limit, box);
  box.type = Be32(head + 4);
  box.start = offset + 8;
  box.end = limit;
  return true;
}

// The first bytes of the codestream of a container, gathered from its
// 'jxlc' box or its 'jxlp' boxes in order; how many it found.
std::size_t ContainedCodestream(HeaderReader& reader, std::uint8_t* out, std::size_t size) {
  const std::uint64_t end = reader.FileSize();
  avif::Box box;
  std::uint8_t brand[4];
  if (!ReadContainerBox(reader, sizeof ContainerSignature, end, box) || box.type != FourCC("ftyp") ||
      !reader.Read(box.start, brand, sizeof brand) || Be32(brand) != FourCC("jxl ")) {
    return 0;
  }
  std::size_t found = 0;
  std::uint64_t offset = box.end;
  for (int i = 0; i < MaxBoxes && offset < end && found < size; ++i) {
    if (!ReadContainerBox(reader, offset, end, box)) break;
    offset = box.end;
    const bool whole = box.type == FourCC("jxlc");
    if (!whole && box.type != FourCC("jxlp")) continue;
    const std::uint64_t start = whole ? box.start : box.start + PartIndexBytes;
    if (start > box.end) break;
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size - found, box.end - start));
    if (reader.ReadUpTo(start, out + found, wanted) != wanted) break;
    found += wanted;
    if (whole) break;
  }
  return found;
}

}  // namespace

HeaderFacts ReadJpegXlFacts(HeaderReader& reader) {
  HeaderFacts facts = Unsettled(ImageFormat::JpegXl);
  facts.bytesReason = BytesReason::JpegXl;
  std::uint8_t head[sizeof ContainerSignature] = {};
  const bool contained = reader.Read(0, head, sizeof head) && std::memcmp(head, ContainerSignature, sizeof head) == 0;
  std::uint8_t bytes[SizeHeaderBytes] = {};
  const std::size_t size =
      contained ? ContainedCodestream(reader, bytes, sizeof bytes) : reader.ReadUpTo(0, bytes, sizeof bytes);
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  if (ReadSizeHeader(bytes, size, width, height)) {
    facts.width = width;
    facts.height = height;
  }
  return facts;
}
