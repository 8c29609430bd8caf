#include "text/code_pages.h"

#include <cstring>

namespace {

int Utf16Length(const char16_t* text) {
  int length = 0;
  while (text[length] != u'\0') ++length;
  return length;
}

// Converts the longest prefix of wideText whose narrow form fits in
// NarrowBufferBytes - 1 bytes. The narrow length grows with the prefix
// length, so a binary search finds it in a few conversions.
void NarrowLongestPrefix(const char16_t* wideText, char* narrow) {
  constexpr int room = NarrowBufferBytes - 1;
  int fits = 0;
  int tooLong = Utf16Length(wideText);
  while (tooLong - fits > 1) {
    const int middle = fits + (tooLong - fits) / 2;
    if (Utf16ToAnsi(wideText, middle, narrow, room) != 0) {
      fits = middle;
    } else {
      tooLong = middle;
    }
  }
  std::memset(narrow, 0, NarrowBufferBytes);
  if (fits > 0) Utf16ToAnsi(wideText, fits, narrow, room);
}

}  // namespace

void NarrowText(const char16_t* wideText, char* narrow) {
  std::memset(narrow, 0, NarrowBufferBytes);
  if (Utf16ToAnsi(wideText, -1, narrow, NarrowBufferBytes) == 0) {
    NarrowLongestPrefix(wideText, narrow);
  }
}
