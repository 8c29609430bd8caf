#pragma once
// The decoder's reads of one file, as seen from the call that waits for
// them: how many bytes they have read, and whether they must stop. Once
// stop is set every read fails, so a decoder the caller no longer waits for
// gives up early. Where the reads run on the caller's own thread, onRead
// runs after each of them, so the caller can tell the host in passing.

#include <atomic>
#include <cstdint>
#include <functional>

struct ReadWatch {
  std::atomic<bool> stop{false};
  std::atomic<std::uint64_t> bytesRead{0};
  std::function<void()> onRead;

  // Whether the next read may go ahead.
  bool Allows() const { return !stop.load(); }
  void Count(std::uint64_t bytes) {
    bytesRead.fetch_add(bytes, std::memory_order_relaxed);
    if (onRead) onRead();
  }
};
