#pragma once
// What the imaging library reads a host file through on Linux: the open
// regular file, the name the host gave it, whose extension helps to tell
// formats apart that have no signature of their own, and what the plugin
// read of its header, so the header is read once. The plugin keeps
// the file open for as long as any image reads from it.

#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/header_facts.h"

struct IStream {
  int fd = -1;
  std::uint64_t size = 0;
  std::string name;
  const HeaderFacts* facts = nullptr;  // the header as the plugin read it
};

// Reads up to size bytes at offset, carrying on after short reads and
// interruptions; returns how many it read.
std::size_t ReadFileAt(int fd, std::uint64_t offset, void* buffer, std::size_t size);

class StreamBytes : public ByteSource {
 public:
  explicit StreamBytes(const IStream& stream) : fd(stream.fd), fileSize(stream.size) {}
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
    return ReadFileAt(fd, offset, buffer, size);
  }
  std::uint64_t Size() const override { return fileSize; }

 private:
  int fd;
  std::uint64_t fileSize;
};
