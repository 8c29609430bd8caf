#pragma once
// SVGZ: a drawing compressed with gzip, which the SVG module would inflate
// whole (a thousandfold, for some) before it told its size. It is inflated
// here under a limit of its own: the size comes from the root element of
// the text, or the text, when it is inflated whole within the limit, goes
// to the module in place of the file.

#include <cstddef>
#include <cstdint>
#include <vector>

struct CompressedDrawing {
  bool compressed = false;  // the file starts as gzip does
  bool whole = false;       // the text ends within the limit
  std::vector<std::uint8_t> text;
  std::uint32_t width = 0;  // from the root element; 0 when it does not settle it
  std::uint32_t height = 0;

  // Copies up to size bytes of the text from offset; how many it copied.
  std::size_t CopyAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) const;
};

CompressedDrawing InflateDrawing(int fd);
