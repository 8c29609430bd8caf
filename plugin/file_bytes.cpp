#include "plugin/file_bytes.h"

#include <cstdlib>
#include <cstring>

#include "plugin/unique_handle.h"

namespace {

// Both chunks live on the heap: the call runs on a thread of the host.
constexpr std::size_t ChunkBytes = 256 * 1024;

using HeapBlock = UniqueHandle<void*, std::free>;

}  // namespace

bool SameFileBytes(HostFile& first, HostFile& second, CompareProgress& progress) {
  const std::uint64_t size = first.Size();
  if (second.Size() != size) return false;
  const HeapBlock chunk1(std::malloc(ChunkBytes));
  const HeapBlock chunk2(std::malloc(ChunkBytes));
  if (!chunk1 || !chunk2) return false;
  for (std::uint64_t offset = 0; offset < size; offset += ChunkBytes) {
    const std::size_t wanted = size - offset < ChunkBytes ? static_cast<std::size_t>(size - offset) : ChunkBytes;
    if (first.ReadAt(offset, chunk1.Get(), wanted) != wanted ||
        second.ReadAt(offset, chunk2.Get(), wanted) != wanted ||
        std::memcmp(chunk1.Get(), chunk2.Get(), wanted) != 0 || !progress.Advance(wanted)) {
      return false;
    }
  }
  return true;
}
