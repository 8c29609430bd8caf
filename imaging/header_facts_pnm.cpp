// PNM (P1 to P6): a text header of width, height and maximum sample value.
// The decoder fails when the samples end early, so the size is settled only
// for the binary variants, whose sample bytes can be counted.
#include <cstring>

#include "base/limits.h"
#include "imaging/header_facts_formats.h"

namespace {

constexpr std::size_t MaxHeaderBytes = 1024;
constexpr std::size_t MaxTokenLength = 128;
constexpr std::uint32_t MaxSampleValue = 65535;

// Blanks as the decoder's GLib sees them: no vertical tab.
bool IsSpace(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

// The header's text, read token by token as the decoder does.
class HeaderText {
 public:
  HeaderText(const std::uint8_t* text, std::size_t textSize) : bytes(text), size(textSize) {}

  // Reads the next decimal number, past blanks and comments; false when
  // there is none within the header bytes.
  bool Number(std::uint64_t& value) {
    if (!SkipBlanks()) return false;
    const std::size_t start = position;
    value = 0;
    while (position < size && !IsSpace(bytes[position]) && bytes[position] != '#') {
      const std::uint8_t c = bytes[position];
      if (c < '0' || c > '9' || position - start >= MaxTokenLength) return false;
      value = value * 10 + (c - '0');
      if (value > UINT32_MAX) return false;
      ++position;
    }
    return position > start && position < size;  // the number must end before the bytes do
  }
  std::size_t Position() const { return position; }
  std::uint8_t At(std::size_t index) const { return bytes[index]; }

 private:
  bool SkipBlanks() {
    while (position < size) {
      if (bytes[position] == '#') {
        const void* end = std::memchr(bytes + position, '\n', size - position);
        if (end == nullptr) return false;
        position = static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - bytes);
      } else if (!IsSpace(bytes[position])) {
        return true;
      }
      ++position;
    }
    return false;
  }

  const std::uint8_t* bytes;
  std::size_t size;
  std::size_t position = 2;
};

std::uint64_t RowBytes(char kind, std::uint64_t width, std::uint64_t maxValue) {
  const std::uint64_t sampleBytes = maxValue > 255 ? 2 : 1;
  switch (kind) {
    case '4': return (width + 7) / 8;
    case '5': return width * sampleBytes;
    default: return 3 * width * sampleBytes;
  }
}

}  // namespace

HeaderFacts ReadPnmFacts(HeaderReader& reader) {
  std::uint8_t bytes[MaxHeaderBytes];
  const std::size_t size = reader.ReadUpTo(0, bytes, sizeof bytes);
  HeaderFacts facts = Unsettled(ImageFormat::Pnm);
  const char kind = static_cast<char>(bytes[1]);
  const bool bitmap = kind == '1' || kind == '4';
  HeaderText text(bytes, size);
  std::uint64_t width = 0;
  std::uint64_t height = 0;
  std::uint64_t maxValue = 1;
  if (!text.Number(width) || !text.Number(height) || (!bitmap && !text.Number(maxValue))) return facts;
  if (width == 0 || width > Int31Max || height == 0 || height > Int31Max || maxValue == 0 ||
      maxValue > MaxSampleValue) {
    return facts;
  }
  facts.largestImagePixels = width * height;
  facts.deeperThan8Bits = maxValue > 255 ? Answer::NotRuledOut : Answer::No;
  // Text samples are not counted: whether others follow them stays open.
  if (kind < '4') {
    facts.bytesReason = BytesReason::TextSamples;
    return facts;
  }
  // Binary samples follow exactly one blank after the header.
  if (!IsSpace(text.At(text.Position()))) return facts;
  const std::uint64_t dataStart = text.Position() + 1;
  const std::uint64_t rowBytes = RowBytes(kind, width, maxValue);
  if (rowBytes > (UINT64_MAX - dataStart) / height) return facts;
  const std::uint64_t dataEnd = dataStart + height * rowBytes;
  if (!reader.HasByteAt(dataEnd - 1)) {
    facts.bytesReason = BytesReason::ImageDataCutShort;
    return facts;
  }
  // Anything after the samples may be a further image.
  const bool further = reader.HasByteAt(dataEnd);
  facts.moreThanOneImage = further ? Answer::NotRuledOut : Answer::No;
  facts.bytesReason = further ? BytesReason::TrailingData : BytesReason::None;
  facts.width = static_cast<std::uint32_t>(width);
  facts.height = static_cast<std::uint32_t>(height);
  return facts;
}
