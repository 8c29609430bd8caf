// On Linux the 8-bit code page of file names is UTF-8.
#include <cstdint>

#include "text/ansi_code_page.h"

namespace {

// Decodes one UTF-8 sequence at text[0..length); returns its length in bytes
// (0 for a malformed or overlong sequence) and stores the code point.
int DecodeUtf8(const unsigned char* text, int length, char32_t& codePoint) {
  const unsigned char lead = text[0];
  int size = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    size = 2, minimum = 0x80, codePoint = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    size = 3, minimum = 0x800, codePoint = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    size = 4, minimum = 0x10000, codePoint = lead & 0x07;
  } else {
    return 0;
  }
  if (size > length) return 0;
  for (int i = 1; i < size; ++i) {
    if ((text[i] & 0xC0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (text[i] & 0x3F);
  }
  const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
  if (codePoint < minimum || codePoint > 0x10FFFF || surrogate) return 0;
  return size;
}

int LengthWithTerminator(const char* text) {
  int length = 0;
  while (text[length] != '\0') ++length;
  return length + 1;
}

int LengthWithTerminator(const char16_t* text) {
  int length = 0;
  while (text[length] != u'\0') ++length;
  return length + 1;
}

// Appends unit to dest when room remains; returns false when it does not.
template <typename Unit>
bool Put(Unit* dest, int capacity, int& written, Unit unit) {
  if (written == capacity) return false;
  dest[written++] = unit;
  return true;
}

}  // namespace

int AnsiToUtf16(const char* src, int srcLength, char16_t* dest, int destCapacity) {
  if (srcLength < 0) srcLength = LengthWithTerminator(src);
  const auto* bytes = reinterpret_cast<const unsigned char*>(src);
  int written = 0;
  for (int read = 0; read < srcLength;) {
    char32_t codePoint = 0;
    const int size = DecodeUtf8(bytes + read, srcLength - read, codePoint);
    if (size == 0) return 0;  // a malformed name must not turn into another name
    read += size;
    if (codePoint >= 0x10000) {
      codePoint -= 0x10000;
      if (!Put(dest, destCapacity, written, static_cast<char16_t>(0xD800 + (codePoint >> 10))) ||
          !Put(dest, destCapacity, written, static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)))) {
        return 0;
      }
    } else if (!Put(dest, destCapacity, written, static_cast<char16_t>(codePoint))) {
      return 0;
    }
  }
  return written;
}

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
