#include "imaging/crc32.h"

#include <array>

namespace {

constexpr std::uint32_t Polynomial = 0xedb88320u;

constexpr std::array<std::uint32_t, 256> MakeTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t byte = 0; byte < 256; ++byte) {
    std::uint32_t crc = byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (Polynomial & (0u - (crc & 1u)));
    table[byte] = crc;
  }
  return table;
}

constexpr std::array<std::uint32_t, 256> Table = MakeTable();

}  // namespace

std::uint32_t Crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = (crc >> 8) ^ Table[(crc ^ data[i]) & 0xffu];
  return ~crc;
}
