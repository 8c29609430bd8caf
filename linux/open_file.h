#pragma once
// An open regular file as the decoders read it: its descriptor, its size,
// and the name the host gave it, whose extension helps to tell formats
// apart that have no signature of their own.

#include <cstddef>
#include <cstdint>
#include <string>

struct OpenFile {
  int fd = -1;
  std::uint64_t size = 0;
  std::string name;
};

// Reads up to size bytes at offset, carrying on after short reads and
// interruptions; returns how many it read.
std::size_t ReadFileAt(int fd, std::uint64_t offset, void* buffer, std::size_t size);
