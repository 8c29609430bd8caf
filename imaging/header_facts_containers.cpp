// QuickTime images and Apple icons: containers whose decoders hand one
// embedded picture to whichever decoder its bytes name. The size shown is
// that picture's, read by the PNG reader from its own header, so a
// container never needs a decode for a size; other embedded pictures leave
// it open. Nothing else in them is accounted for: a comparison goes by
// their bytes.
#include "imaging/header_facts_embedded.h"
#include "imaging/header_facts_formats.h"

namespace {

constexpr std::uint64_t AtomHeaderBytes = 8;  // a length, then a type
// The QuickTime image decoder refuses longer atoms, and gives up after
// this many without image data.
constexpr std::uint64_t MaxAtomPayload = 100000000;
constexpr int MaxAtoms = 10;
constexpr std::uint32_t ImageDataAtom = 0x69646174;  // "idat"
// An Apple icon: "icns" and the file's length, then elements of a type and
// a length. The decoder shows the last 256 or 512-pixel element ("ic08",
// "ic09") if there is one.
constexpr std::uint64_t IcnsHeaderBytes = 8;
constexpr int MaxIcnsElements = 64;
constexpr std::uint32_t Icon256 = 0x69633038;  // "ic08"
constexpr std::uint32_t Icon512 = 0x69633039;  // "ic09"

HeaderFacts ContainerFacts(ImageFormat format) {
  HeaderFacts facts = Unsettled(format);
  facts.bytesReason = BytesReason::FormatNotChecked;
  return facts;
}

void TakeEmbeddedPng(HeaderReader& reader, std::uint64_t start, std::uint64_t size, HeaderFacts& facts) {
  const HeaderFacts inner = ReadEmbeddedPngFacts(reader, start, size);
  facts.width = inner.width;
  facts.height = inner.height;
  facts.largestImagePixels = inner.largestImagePixels;
}

}  // namespace

HeaderFacts ReadQuickTimeFacts(HeaderReader& reader) {
  HeaderFacts facts = ContainerFacts(ImageFormat::QuickTime);
  std::uint64_t offset = 0;
  for (int atom = 0; atom < MaxAtoms; ++atom) {
    std::uint8_t head[AtomHeaderBytes];
    if (!reader.Read(offset, head, sizeof head)) return facts;
    const std::uint32_t length = Be32(head);
    if (length < AtomHeaderBytes || length - AtomHeaderBytes > MaxAtomPayload) return facts;
    if (Be32(head + 4) == ImageDataAtom) {
      TakeEmbeddedPng(reader, offset + AtomHeaderBytes, length - AtomHeaderBytes, facts);
      return facts;
    }
    offset += length;
  }
  return facts;
}

// The decoder refuses the whole file when the length it gives is past its
// end or any element's length runs past it.
HeaderFacts ReadIcnsFacts(HeaderReader& reader) {
  HeaderFacts facts = ContainerFacts(ImageFormat::Icns);
  std::uint8_t head[IcnsHeaderBytes];
  if (!reader.Read(0, head, sizeof head)) return facts;
  const std::uint64_t total = Be32(head + 4);
  if (total < IcnsHeaderBytes || total > reader.FileSize()) return facts;
  bool found = false;
  std::uint64_t start = 0;
  std::uint64_t size = 0;
  std::uint64_t offset = IcnsHeaderBytes;
  for (int element = 0; total - offset >= IcnsHeaderBytes; ++element) {
    if (element == MaxIcnsElements || !reader.Read(offset, head, sizeof head)) return facts;
    const std::uint32_t length = Be32(head);
    if (length < IcnsHeaderBytes || length > total - offset) return facts;
    const std::uint32_t type = Be32(head + 4);
    if (type == Icon256 || type == Icon512) {
      found = true;
      start = offset + IcnsHeaderBytes;
      size = length - IcnsHeaderBytes;
    }
    offset += length;
  }
  if (found) TakeEmbeddedPng(reader, start, size, facts);
  return facts;
}
