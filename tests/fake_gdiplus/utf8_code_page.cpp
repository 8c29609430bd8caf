// On Linux the host's 8-bit text is UTF-8.
#include "text/code_pages.h"

namespace {

int LengthWithTerminator(const char16_t* text) {
  int length = 0;
  while (text[length] != u'\0') ++length;
  return length + 1;
}

}  // namespace

int Utf16ToAnsi(const char16_t* src, int srcLength, char* dest, int destCapacity) {
  if (srcLength < 0) srcLength = LengthWithTerminator(src);
  int written = 0;
  for (int read = 0; read < srcLength;) {
    char32_t codePoint = src[read++];
    const bool high = codePoint >= 0xD800 && codePoint <= 0xDBFF;
    const bool lowFollows = read < srcLength && src[read] >= 0xDC00 && src[read] <= 0xDFFF;
    if (high && lowFollows) {
      codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (src[read++] - 0xDC00);
    } else if (codePoint >= 0xD800 && codePoint <= 0xDFFF) {
      codePoint = '?';  // a lone surrogate has no UTF-8 form
    }
    char bytes[4];
    int size = 0;
    if (codePoint < 0x80) {
      bytes[size++] = static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
      bytes[size++] = static_cast<char>(0xC0 | (codePoint >> 6));
      bytes[size++] = static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
      bytes[size++] = static_cast<char>(0xE0 | (codePoint >> 12));
      bytes[size++] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
      bytes[size++] = static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
      bytes[size++] = static_cast<char>(0xF0 | (codePoint >> 18));
      bytes[size++] = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
      bytes[size++] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
      bytes[size++] = static_cast<char>(0x80 | (codePoint & 0x3F));
    }
    if (written + size > destCapacity) return 0;
    for (int i = 0; i < size; ++i) dest[written++] = bytes[i];
  }
  return written;
}
