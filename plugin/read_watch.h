#pragma once
// The decoder's reads of one file, as seen from another thread: how many
// bytes they have read, and whether they must stop. Once stop is set every
// read fails, so a decoder the caller no longer waits for gives up early.

#include <atomic>
#include <cstdint>

struct ReadWatch {
  std::atomic<bool> stop{false};
  std::atomic<std::uint64_t> bytesRead{0};

  // Whether the next read may go ahead.
  bool Allows() const { return !stop.load(); }
  void Count(std::uint64_t bytes) { bytesRead.fetch_add(bytes, std::memory_order_relaxed); }
};
