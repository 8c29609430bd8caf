#include "tools/shown_name.h"

#include <cstddef>
#include <cstdio>

namespace {

constexpr unsigned char FirstPrintable = 0x20;
constexpr unsigned char Delete = 0x7f;
constexpr unsigned char LastC1 = 0x9f;  // C1 controls are U+0080..U+009F
constexpr unsigned char ContinuationLow = 0x80;
constexpr unsigned char ContinuationHigh = 0xbf;

// The length of the valid UTF-8 sequence of two to four bytes that starts
// at text[at], 0 when none does. Overlong forms, surrogates and code points
// past U+10FFFF are not valid.
std::size_t SequenceLength(const std::string& text, std::size_t at) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 0;
  unsigned char low = ContinuationLow, high = ContinuationHigh;  // bounds of the second byte
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    if (lead == 0xe0) low = 0xa0;   // overlong below
    if (lead == 0xed) high = 0x9f;  // surrogates above
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
    if (lead == 0xf0) low = 0x90;   // overlong below
    if (lead == 0xf4) high = 0x8f;  // past U+10FFFF above
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char byte = static_cast<unsigned char>(text[at + i]);
    if (byte < (i == 1 ? low : ContinuationLow) || byte > (i == 1 ? high : ContinuationHigh)) return 0;
  }
  return length;
}

void AppendHex(std::string& shown, unsigned char byte) {
  char escape[5];
  std::snprintf(escape, sizeof escape, "\\x%02x", byte);
  shown += escape;
}

}  // namespace

std::string ShownName(const std::string& name) {
  std::string shown;
  shown.reserve(name.size());
  std::size_t at = 0;
  while (at < name.size()) {
    const unsigned char byte = static_cast<unsigned char>(name[at]);
    if (byte == '\\') {
      shown += "\\\\";
    } else if (byte == '\n') {
      shown += "\\n";
    } else if (byte == '\r') {
      shown += "\\r";
    } else if (byte == '\t') {
      shown += "\\t";
    } else if (byte < FirstPrintable || byte == Delete) {
      AppendHex(shown, byte);
    } else if (byte > Delete) {
      const std::size_t length = SequenceLength(name, at);
      const bool c1 = length == 2 && byte == 0xc2 && static_cast<unsigned char>(name[at + 1]) <= LastC1;
      if (length == 0 || c1) {
        AppendHex(shown, byte);  // the next byte gets its own turn
      } else {
        shown.append(name, at, length);
        at += length;
        continue;
      }
    } else {
      shown += static_cast<char>(byte);
    }
    ++at;
  }
  return shown;
}
