#pragma once
// An open regular file as the decoders read it: its descriptor, its size,
// the name the host gave it, whose extension helps to tell formats apart
// that have no signature of their own, and what watches the decoder's
// reads, if anything does.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "plugin/read_watch.h"

struct OpenFile {
  int fd = -1;
  std::uint64_t size = 0;
  std::string name;
  std::shared_ptr<ReadWatch> watch;
};

// Reads up to size bytes at offset, carrying on after short reads and
// interruptions; returns how many it read.
std::size_t ReadFileAt(int fd, std::uint64_t offset, void* buffer, std::size_t size);

// A read of the decoder: counted in the file's watch, and none at all (0)
// once the watch stops reads.
std::size_t ReadForDecoder(const OpenFile& file, std::uint64_t offset, void* buffer, std::size_t size);
