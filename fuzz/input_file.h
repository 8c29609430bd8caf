#pragma once
// The fuzzed bytes as a file of this process: the plugin reads files by
// name, as the host hands them over.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

inline const std::string& InputPath() {
  static const std::string path = "/tmp/pixdim-fuzz-" + std::to_string(getpid()) + ".img";
  return path;
}

inline bool WriteInput(const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(InputPath().c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && written;
}
