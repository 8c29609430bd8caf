#pragma once
// Files for the header reader's tests, built field by field in the bytes
// each format lays down, and read from memory.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "imaging/header_facts.h"

using Bytes = std::vector<std::uint8_t>;

// A file in memory that counts how it is read.
class MemoryFile : public ByteSource {
 public:
  explicit MemoryFile(Bytes content) : bytes(std::move(content)) {}
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
    ++reads;
    bytesRead += size;
    if (offset >= bytes.size()) return 0;
    const std::size_t copied = std::min<std::size_t>(size, bytes.size() - static_cast<std::size_t>(offset));
    std::memcpy(buffer, bytes.data() + offset, copied);
    return copied;
  }
  std::uint64_t Size() const override { return bytes.size(); }
  int reads = 0;
  std::size_t bytesRead = 0;

 private:
  Bytes bytes;
};

inline HeaderFacts Facts(const Bytes& bytes) {
  MemoryFile file(bytes);
  return ReadHeaderFacts(file);
}

// Appends fields in either byte order.
struct Writer {
  Bytes bytes;
  Writer& Text(const std::string& text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
    return *this;
  }
  Writer& Raw(std::initializer_list<int> values) {
    for (int value : values) bytes.push_back(static_cast<std::uint8_t>(value));
    return *this;
  }
  Writer& Zeros(std::size_t count) {
    bytes.insert(bytes.end(), count, 0);
    return *this;
  }
  Writer& Be16(std::uint32_t v) { return Raw({int(v >> 8 & 255), int(v & 255)}); }
  Writer& Be32(std::uint32_t v) { return Be16(v >> 16).Be16(v & 0xffff); }
  Writer& Le16(std::uint32_t v) { return Raw({int(v & 255), int(v >> 8 & 255)}); }
  Writer& Le32(std::uint32_t v) { return Le16(v & 0xffff).Le16(v >> 16); }
  Writer& Append(const Bytes& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
    return *this;
  }
};
