#include "plugin/file_bytes.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Both chunks live on the heap: the call runs on a thread of the host.
constexpr std::size_t ChunkBytes = 256 * 1024;

}  // namespace

bool SameFileBytes(HostFile& first, HostFile& second, CompareProgress& progress) {
  const std::uint64_t size = first.Size();
  if (second.Size() != size) return false;
  // No larger than the file: the chunks are filled with zeros first.
  const auto chunkBytes = static_cast<std::size_t>(std::min<std::uint64_t>(size, ChunkBytes));
  std::vector<char> chunk1(chunkBytes);
  std::vector<char> chunk2(chunkBytes);
  for (std::uint64_t offset = 0; offset < size; offset += chunkBytes) {
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size - offset, chunkBytes));
    if (first.ReadAt(offset, chunk1.data(), wanted) != wanted ||
        second.ReadAt(offset, chunk2.data(), wanted) != wanted ||
        std::memcmp(chunk1.data(), chunk2.data(), wanted) != 0 || !progress.Advance(wanted)) {
      return false;
    }
  }
  return true;
}
