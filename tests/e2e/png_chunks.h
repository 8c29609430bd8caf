#pragma once
// PNG chunks for the files the end-to-end tests write: length, type and
// data, then the CRC-32 of type and data, computed here bit by bit so the
// test files do not depend on the reader's own table.

#include <cstdint>
#include <string>

inline std::string Be32(std::uint32_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>(value >> 16 & 255), static_cast<char>(value >> 8 & 255),
          static_cast<char>(value & 255)};
}

inline std::uint32_t PngCrc(const std::string& bytes) {
  std::uint32_t crc = 0xffffffffu;
  for (char each : bytes) {
    crc ^= static_cast<std::uint8_t>(each);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

inline std::string Chunk(const std::string& type, const std::string& data) {
  return Be32(static_cast<std::uint32_t>(data.size())) + type + data + Be32(PngCrc(type + data));
}
