#include "plugin/file_bytes.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Two chunks live on the stack of the calling thread.
constexpr std::size_t ChunkBytes = 16 * 1024;

}  // namespace

bool SameFileBytes(const char* fileName1, const char* fileName2) {
  const File first(std::fopen(fileName1, "rb"));
  const File second(std::fopen(fileName2, "rb"));
  if (!first || !second) return false;
  char chunk1[ChunkBytes];
  char chunk2[ChunkBytes];
  for (;;) {
    const std::size_t read1 = std::fread(chunk1, 1, ChunkBytes, first.get());
    const std::size_t read2 = std::fread(chunk2, 1, ChunkBytes, second.get());
    if (read1 != read2 || std::memcmp(chunk1, chunk2, read1) != 0) return false;
    if (read1 < ChunkBytes) return std::ferror(first.get()) == 0 && std::ferror(second.get()) == 0;
  }
}
