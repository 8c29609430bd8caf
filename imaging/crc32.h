#pragma once
// The CRC-32 of PNG chunks and zlib (reflected, polynomial 0xEDB88320),
// a table look-up a byte: image data runs to many megabytes.

#include <cstddef>
#include <cstdint>

// Continues crc (0 to start) over size bytes.
std::uint32_t Crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t size);
