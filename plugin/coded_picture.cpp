#include "plugin/coded_picture.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/crc32.h"
#include "imaging/header_facts.h"

namespace {

// Each file is read a block this large at a time, on the heap (the call
// runs on a thread of the host): large reads, yet both blocks stay in the
// processor's cache while they are compared.
constexpr std::size_t BlockBytes = std::size_t{256} << 10;
// A PNG chunk's type before its data, its CRC after it.
constexpr std::size_t ChunkTypeBytes = 4;
constexpr std::size_t ChunkCrcBytes = 4;

// A file's bytes, read forward a large block at a time.
class BlockReader {
 public:
  explicit BlockReader(HostFile& hostFile) : file(hostFile), block(BlockBytes) {}

  // Points bytes at the file's bytes from offset and returns how many of
  // them, up to most, lie in the block; 0 when the file has none there.
  std::size_t At(std::uint64_t offset, std::size_t most, const std::uint8_t*& bytes) {
    if (offset < start || offset - start >= held) {
      start = offset;
      held = file.ReadAt(offset, block.data(), BlockBytes);
      if (held == 0) return 0;
    }
    const auto skip = static_cast<std::size_t>(offset - start);
    bytes = block.data() + skip;
    return std::min(most, held - skip);
  }

  // Copies size bytes from offset; false when the file ends first.
  bool Copy(std::uint64_t offset, std::uint8_t* out, std::size_t size) {
    while (size > 0) {
      const std::uint8_t* bytes = nullptr;
      const std::size_t got = At(offset, size, bytes);
      if (got == 0) return false;
      std::memcpy(out, bytes, got);
      out += got;
      offset += got;
      size -= got;
    }
    return true;
  }

 private:
  HostFile& file;
  std::vector<std::uint8_t> block;
  std::uint64_t start = 0;
  std::size_t held = 0;
};

// The bytes of a file's ranges one after another. A checksummed range's
// CRC is checked as its last byte goes by.
class RangeBytes {
 public:
  RangeBytes(HostFile& file, const std::vector<CodedRange>& codedRanges) : reader(file), ranges(codedRanges) {
    Begin();
    Settle();
  }

  bool AtEnd() const { return index == ranges.size(); }
  // Every read so far succeeded and every CRC so far held.
  bool Intact() const { return intact; }

  // Points bytes at the next bytes of the current range that lie in one
  // block and returns how many; 0 at the end or once not intact.
  std::size_t Peek(const std::uint8_t*& bytes) {
    if (AtEnd() || !intact) return 0;
    const CodedRange& range = ranges[index];
    const std::uint64_t left = range.size - done;
    const std::size_t got =
        reader.At(range.offset + done, static_cast<std::size_t>(std::min<std::uint64_t>(left, BlockBytes)), bytes);
    if (got == 0) intact = false;
    return got;
  }

  // Moves past count of the bytes Peek pointed at; false once not intact.
  bool Advance(const std::uint8_t* bytes, std::size_t count) {
    if (ranges[index].checksummed) crc = Crc32(crc, bytes, count);
    done += count;
    Settle();
    return intact;
  }

 private:
  void Begin() {
    if (intact && !AtEnd() && ranges[index].checksummed) intact = StartCrc(ranges[index]);
  }

  // Finishes the ranges the bytes have passed (empty ones too), beginning
  // each next one.
  void Settle() {
    while (intact && !AtEnd() && done == ranges[index].size) {
      if (ranges[index].checksummed) intact = CrcHolds(ranges[index]);
      ++index;
      done = 0;
      Begin();
    }
  }

  bool StartCrc(const CodedRange& range) {
    std::uint8_t type[ChunkTypeBytes];
    if (range.offset < sizeof type || !reader.Copy(range.offset - sizeof type, type, sizeof type)) return false;
    crc = Crc32(0, type, sizeof type);
    return true;
  }

  bool CrcHolds(const CodedRange& range) {
    std::uint8_t stored[ChunkCrcBytes];
    if (!reader.Copy(range.offset + range.size, stored, sizeof stored)) return false;
    const std::uint32_t value = std::uint32_t{stored[0]} << 24 | std::uint32_t{stored[1]} << 16 |
                                std::uint32_t{stored[2]} << 8 | stored[3];
    return value == crc;
  }

  BlockReader reader;
  const std::vector<CodedRange>& ranges;
  std::size_t index = 0;
  std::uint64_t done = 0;  // bytes of the current range gone by
  std::uint32_t crc = 0;
  bool intact = true;
};

// Moves index past one part (a range and those joined to it) and returns
// its size.
std::uint64_t PartSize(const std::vector<CodedRange>& ranges, std::size_t& index) {
  std::uint64_t size = ranges[index].size;
  for (++index; index < ranges.size() && ranges[index].joinsPrevious; ++index) size += ranges[index].size;
  return size;
}

// The same parts in the same order: each of the same size and kind, so no
// part's bytes can pass for another's.
bool SameParts(const std::vector<CodedRange>& first, const std::vector<CodedRange>& second) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < first.size() && j < second.size()) {
    if (first[i].checksummed != second[j].checksummed || PartSize(first, i) != PartSize(second, j)) return false;
  }
  return i == first.size() && j == second.size();
}

bool SameRangeBytes(HostFile& first, const CodedPicture& coded1, HostFile& second, const CodedPicture& coded2,
                    CompareProgress& progress) {
  RangeBytes bytes1(first, coded1.Ranges());
  RangeBytes bytes2(second, coded2.Ranges());
  for (;;) {
    const std::uint8_t* piece1 = nullptr;
    const std::uint8_t* piece2 = nullptr;
    const std::size_t size1 = bytes1.Peek(piece1);
    const std::size_t size2 = bytes2.Peek(piece2);
    if (bytes1.AtEnd() || bytes2.AtEnd()) return bytes1.AtEnd() && bytes2.AtEnd() && bytes1.Intact() && bytes2.Intact();
    const std::size_t size = std::min(size1, size2);
    if (size == 0 || std::memcmp(piece1, piece2, size) != 0 || !bytes1.Advance(piece1, size) ||
        !bytes2.Advance(piece2, size) || !progress.Advance(size)) {
      return false;
    }
  }
}

}  // namespace

bool SameCodedPicture(HostFile& first, HostFile& second, CompareProgress& progress) {
  // The first bytes tell the format: other pairs are not read further here.
  const ImageFormat format = first.Facts().format;
  if (second.Facts().format != format || !FindsCodedPicture(format)) return false;
  const HeaderFacts& facts1 = first.Facts(Reach::CodedPicture);
  const HeaderFacts& facts2 = second.Facts(Reach::CodedPicture);
  if (facts1.coded.Empty() || facts2.coded.Empty() || facts1.format != facts2.format) return false;
  if (BytesReasonOf(facts1) != BytesReason::None || BytesReasonOf(facts2) != BytesReason::None) return false;
  if (!(facts1.presentation == facts2.presentation)) return false;
  return SameParts(facts1.coded.Ranges(), facts2.coded.Ranges()) &&
         SameRangeBytes(first, facts1.coded, second, facts2.coded, progress);
}
