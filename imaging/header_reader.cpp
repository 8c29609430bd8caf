#include "imaging/header_reader.h"

#include <algorithm>
#include <cstring>

std::size_t HeaderReader::ReadUpTo(std::uint64_t offset, std::uint8_t* out, std::size_t size) {
  if (size == 0 || offset > UINT64_MAX - size) return 0;
  if (!WindowAnswers(offset, size)) {
    if (size > WindowBytes) return Fetch(offset, out, size);
    // A little of what lies before the offset comes along: header walks
    // often step back a little, as to the end of the data before a
    // directory.
    const std::uint64_t back =
        size <= WindowBytes - LookBehindBytes ? std::min<std::uint64_t>(offset, LookBehindBytes) : 0;
    windowFilled = false;
    windowSize = Fetch(offset - back, window.data(), WindowBytes);
    windowStart = offset - back;
    windowFilled = true;
  }
  const std::uint64_t skip = offset - windowStart;
  if (skip >= windowSize) return 0;
  const std::size_t copied = std::min(size, windowSize - static_cast<std::size_t>(skip));
  std::memcpy(out, window.data() + skip, copied);
  return copied;
}

// The window answers what lies inside it, and everything after it when it
// holds the end of the file.
bool HeaderReader::WindowAnswers(std::uint64_t offset, std::size_t size) const {
  if (!windowFilled || offset < windowStart) return false;
  const std::uint64_t skip = offset - windowStart;
  return windowSize < WindowBytes || skip + size <= windowSize;
}

std::size_t HeaderReader::Fetch(std::uint64_t offset, std::uint8_t* out, std::size_t size) {
  if (fetchesLeft <= 0 || size > bytesLeft) {
    fetchesLeft = -1;  // spent: no later read may pass for the end of the file
    return 0;
  }
  --fetchesLeft;
  bytesLeft -= size;
  return file.ReadAt(offset, out, size);
}
