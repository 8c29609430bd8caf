#include "tools/tool_platform.h"

namespace {

constexpr char32_t Replacement = 0xFFFD;

// Decodes the UTF-8 sequence at text[at], advancing at past it; a malformed
// or overlong sequence gives the replacement character and one byte.
char32_t DecodeUtf8(const std::string& text, std::size_t& at) {
  const auto lead = static_cast<unsigned char>(text[at++]);
  int size = 0;
  char32_t minimum = 0;
  char32_t codePoint = 0;
  if (lead < 0x80) return lead;
  if ((lead & 0xE0) == 0xC0) {
    size = 1, minimum = 0x80, codePoint = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    size = 2, minimum = 0x800, codePoint = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    size = 3, minimum = 0x10000, codePoint = lead & 0x07;
  } else {
    return Replacement;
  }
  const std::size_t start = at;
  for (int i = 0; i < size; ++i, ++at) {
    if (at == text.size() || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) {
      at = start;
      return Replacement;
    }
    codePoint = (codePoint << 6) | (static_cast<unsigned char>(text[at]) & 0x3F);
  }
  const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
  if (codePoint < minimum || codePoint > 0x10FFFF || surrogate) {
    at = start;
    return Replacement;
  }
  return codePoint;
}

}  // namespace

std::u16string Utf8ToUtf16(const std::string& utf8) {
  std::u16string wide;
  for (std::size_t at = 0; at < utf8.size();) {
    char32_t codePoint = DecodeUtf8(utf8, at);
    if (codePoint >= 0x10000) {
      codePoint -= 0x10000;
      wide += static_cast<char16_t>(0xD800 + (codePoint >> 10));
      wide += static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
    } else {
      wide += static_cast<char16_t>(codePoint);
    }
  }
  return wide;
}
