// A header walk's reads of a host file, on the platform's own file: reads
// served from what was read ahead, reads across its end, far into the
// file and back, past the file's end, and larger than any read-ahead, all
// give the file's own bytes.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "plugin/platform.h"

namespace {

constexpr std::size_t FileBytes = 3 * 1024 * 1024 + 123;

// Each byte tells its offset apart from its neighbours' and from those one
// block (of any power of two up to 1 MiB) away.
std::uint8_t ByteAt(std::uint64_t offset) { return static_cast<std::uint8_t>(offset * 7 + (offset >> 11) * 13); }

class HostReads : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    path = std::filesystem::temp_directory_path() / ("pixdim-e2e-reads-" + std::to_string(tick));
    std::string bytes(FileBytes, '\0');
    for (std::size_t i = 0; i < FileBytes; ++i) bytes[i] = static_cast<char>(ByteAt(i));
    std::ofstream(path, std::ios::binary) << bytes;
  }
  void TearDown() override { std::filesystem::remove(path); }

  std::filesystem::path path;
};

// What a read of size bytes at offset gives: the count, and whether each
// byte is the file's.
::testing::AssertionResult ReadsFileBytes(HostFile& file, std::uint64_t offset, std::size_t size) {
  std::vector<std::uint8_t> buffer(size, 0);
  const std::size_t got = file.ReadAt(offset, buffer.data(), size);
  const std::size_t expected = offset >= FileBytes ? 0 : static_cast<std::size_t>(std::min<std::uint64_t>(size, FileBytes - offset));
  if (got != expected) {
    return ::testing::AssertionFailure() << "read " << got << " of " << size << " at " << offset << ", expected " << expected;
  }
  for (std::size_t i = 0; i < got; ++i) {
    if (buffer[i] != ByteAt(offset + i)) return ::testing::AssertionFailure() << "wrong byte at " << offset + i;
  }
  return ::testing::AssertionSuccess();
}

TEST_F(HostReads, EveryReadGivesTheFilesBytes) {
  const std::unique_ptr<HostFile> file = FindHostFile(path.string().c_str());
  ASSERT_TRUE(file->Open());
  const struct {
    std::uint64_t offset;
    std::size_t size;
  } reads[] = {
      {0, 16},                      // the start, read ahead
      {100, 4096},                  // inside what was read ahead
      {60 * 1024, 8 * 1024},        // across the end of a 64 KiB block
      {126 * 1024, 8 * 1024},       // across the end of a 128 KiB block
      {2 * 1024 * 1024 + 5, 12},    // a directory far into the file
      {2 * 1024 * 1024 - 3, 4096},  // just before it: behind what was read
      {40, 4},                      // back at the start
      {1024 * 1024, 512 * 1024},    // larger than any read-ahead
      {FileBytes - 10, 100},        // across the file's end
      {FileBytes, 4},               // at the end
      {FileBytes + 4096, 4},        // past it
      {8, 2},                       // and the start once more
  };
  for (const auto& read : reads) EXPECT_TRUE(ReadsFileBytes(*file, read.offset, read.size));
}

}  // namespace
