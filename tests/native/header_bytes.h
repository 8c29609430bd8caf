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

// ---- PNG: chunks with their CRC, and a file of a signature, IHDR, the
// chunks before the image data, one IDAT, the chunks after it, and IEND.

inline std::uint32_t PngCrc(const Bytes& data) {
  std::uint32_t crc = 0xffffffffu;
  for (std::uint8_t byte : data) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

inline Bytes Chunk(const std::string& type, const Bytes& data) {
  Writer typed;
  typed.Text(type).Append(data);
  return Writer().Be32(static_cast<std::uint32_t>(data.size())).Append(typed.bytes).Be32(PngCrc(typed.bytes)).bytes;
}

inline Bytes Ihdr(std::uint32_t width, std::uint32_t height, int depth, int color, int interlace = 0) {
  return Chunk("IHDR", Writer().Be32(width).Be32(height).Raw({depth, color, 0, 0, interlace}).bytes);
}

inline Bytes Png(const Bytes& ihdr, const std::vector<Bytes>& before = {}, const std::vector<Bytes>& after = {}) {
  Writer png;
  png.Raw({0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'}).Append(ihdr);
  for (const Bytes& chunk : before) png.Append(chunk);
  png.Append(Chunk("IDAT", {1, 2, 3}));
  for (const Bytes& chunk : after) png.Append(chunk);
  return png.Append(Chunk("IEND", {})).bytes;
}
