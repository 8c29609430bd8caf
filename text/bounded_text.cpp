#include "text/bounded_text.h"

namespace {

bool IsValidSize(std::uint32_t size) { return size != 0 && size <= Int31Max; }

// Copies src into dest, which has room for `room` characters (terminator
// included, room >= 1); takes at most Int31Max - 1 source characters.
TextResult CopyWithRoom(char* dest, std::uint32_t room, const char* src) {
  std::uint32_t limit = Int31Max - 1;
  while (room != 0 && limit != 0 && *src != '\0') {
    *dest++ = *src++;
    --room;
    --limit;
  }
  TextResult result = TextResultOk;
  if (room == 0) {
    --dest;  // the last copied character gives way to the terminator
    result = TextResultTruncated;
  }
  *dest = '\0';
  return result;
}

}  // namespace

TextResult CopyBounded(char* dest, int maxLen, const char* src) {
  const auto size = static_cast<std::uint32_t>(maxLen);
  if (!IsValidSize(size)) return TextResultInvalidArgument;
  return CopyWithRoom(dest, size, src);
}

TextResult AppendBounded(char* dest, int maxLen, const char* src) {
  const auto size = static_cast<std::uint32_t>(maxLen);
  if (!IsValidSize(size)) return TextResultInvalidArgument;
  std::uint32_t length = 0;
  while (length < size && dest[length] != '\0') ++length;
  if (length == size) return TextResultInvalidArgument;
  return CopyWithRoom(dest + length, size - length, src);
}
