#pragma once
// Where a file's coded picture lies: the byte ranges that, with the
// presentation, decide every pixel its decoder shows. Everything else in
// the file is metadata the header reader has accounted for (text, times,
// EXIF, profiles), so two files of one format whose ranges hold the same
// bytes show the same pixels, however they were re-tagged.

#include <cstddef>
#include <cstdint>
#include <vector>

struct CodedRange {
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
  // Read as one run with the range before it, as a decoder joins a PNG's
  // image data chunks; other ranges are compared each with its own size.
  bool joinsPrevious = false;
  // The data of a PNG chunk, whose CRC-32 over its four type bytes (just
  // before it) and its data is stored in the four bytes after it: a decoder
  // rejects the file when it does not hold.
  bool checksummed = false;
};

class CodedPicture {
 public:
  // More ranges than this (a PNG's image data in tiny chunks): no ranges.
  static constexpr std::size_t MaxRanges = std::size_t{1} << 16;

  // Ranges come in file order, each after the one before.
  void Add(const CodedRange& range) {
    if (overflowed) return;
    if (ranges.size() == MaxRanges || (!ranges.empty() && range.offset < End(ranges.back()))) {
      Drop();
      return;
    }
    ranges.push_back(range);
  }
  // Nothing stands for the picture: the file is left to the other proofs.
  void Drop() {
    overflowed = true;
    ranges.clear();
    ranges.shrink_to_fit();
  }
  const std::vector<CodedRange>& Ranges() const { return ranges; }
  bool Empty() const { return ranges.empty(); }

 private:
  static std::uint64_t End(const CodedRange& range) { return range.offset + range.size; }

  std::vector<CodedRange> ranges;
  bool overflowed = false;
};
