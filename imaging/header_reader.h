#pragma once
// Reads of a file's header bytes for the header readers: a window of the
// last bytes fetched answers the many small reads a header walk makes, and
// a budget caps what one file can cost, whatever its fields claim: a number
// of fetches for header walks, and a number of bytes that binds the long
// reads of a comparison through a JPEG's scan data.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/header_facts.h"

class HeaderReader {
 public:
  static constexpr std::size_t WindowBytes = 4096;
  static constexpr std::size_t LookBehindBytes = 256;
  static constexpr std::size_t MaxFetchedBytes = std::size_t{1} << 20;
  // As many fetches as whole windows fit the byte budget: a walk that hops
  // from header to header over long bodies (a JPEG's metadata segments)
  // costs one window per hop.
  static constexpr int MaxFetches = int{MaxFetchedBytes / WindowBytes};
  // A comparison's reads may walk the image data of files up to this size.
  static constexpr std::size_t MaxImageDataBytes = std::size_t{256} << 20;

  explicit HeaderReader(ByteSource& source, Reach reach = Reach::Sizes)
      : file(source),
        fetchesLeft(reach == Reach::Sizes ? MaxFetches : MaxFetches + int{MaxImageDataBytes / WindowBytes}),
        bytesLeft(reach == Reach::Sizes ? MaxFetchedBytes : MaxFetchedBytes + MaxImageDataBytes),
        forComparison(reach != Reach::Sizes),
        forDecodedPixels(reach == Reach::Comparison) {}
  HeaderReader(const HeaderReader&) = delete;
  HeaderReader& operator=(const HeaderReader&) = delete;

  // Copies up to size bytes from offset and returns how many it copied:
  // fewer when the file ends first or the budget is spent. A read larger
  // than the window is fetched on its own.
  std::size_t ReadUpTo(std::uint64_t offset, std::uint8_t* out, std::size_t size);
  bool Read(std::uint64_t offset, std::uint8_t* out, std::size_t size) {
    return ReadUpTo(offset, out, size) == size;
  }
  std::uint64_t FileSize() const { return file.Size(); }
  // Whether the facts are for a comparison, which may read image data.
  bool ForComparison() const { return forComparison; }
  // Whether they are for a comparison of decoded pixels, which checks that
  // the decode carries every pixel the file codes.
  bool ForDecodedPixels() const { return forDecodedPixels; }
  // True when the file holds a byte at offset.
  bool HasByteAt(std::uint64_t offset) {
    std::uint8_t byte = 0;
    return Read(offset, &byte, 1);
  }

 private:
  bool WindowAnswers(std::uint64_t offset, std::size_t size) const;
  std::size_t Fetch(std::uint64_t offset, std::uint8_t* out, std::size_t size);

  ByteSource& file;
  // On the heap: the reader runs on a thread of the host.
  std::vector<std::uint8_t> window = std::vector<std::uint8_t>(WindowBytes);
  std::uint64_t windowStart = 0;
  std::size_t windowSize = 0;
  bool windowFilled = false;
  int fetchesLeft;
  std::size_t bytesLeft;
  bool forComparison;
  bool forDecodedPixels;
};

inline std::uint16_t Be16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}
inline std::uint32_t Be32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}
inline std::uint64_t Be64(const std::uint8_t* p) {
  return std::uint64_t{Be32(p)} << 32 | Be32(p + 4);
}
inline std::uint16_t Le16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[1] << 8 | p[0]);
}
inline std::uint32_t Le24(const std::uint8_t* p) {
  return std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}
inline std::uint32_t Le32(const std::uint8_t* p) {
  return std::uint32_t{p[3]} << 24 | Le24(p);
}

// A four-character code (a PNG chunk's type, a box's type, an ICC tag's
// signature) as the big-endian number its bytes read as.
constexpr std::uint32_t FourCC(const char (&name)[5]) {
  return std::uint32_t{static_cast<std::uint8_t>(name[0])} << 24 |
         std::uint32_t{static_cast<std::uint8_t>(name[1])} << 16 |
         std::uint32_t{static_cast<std::uint8_t>(name[2])} << 8 | static_cast<std::uint8_t>(name[3]);
}
