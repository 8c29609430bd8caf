#pragma once
// One owner for a handle of any kind and the function that releases it: a
// file descriptor, a folder, a library object. The handle is released
// exactly once, when its owner goes out of scope or is given another one;
// Empty is the value that means "nothing held". Each platform names its
// kinds of handle in one table (linux/owners.h, windows/owners.h).

#include <utility>

template <typename Handle, auto Free, Handle Empty = Handle{}>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : held(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : held(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    Reset(other.Release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  Handle Get() const { return held; }
  explicit operator bool() const { return held != Empty; }

  void Reset(Handle handle = Empty) {
    if (held != Empty) Free(held);
    held = handle;
  }

  // Gives the handle up without freeing it: whoever takes it owns it.
  [[nodiscard]] Handle Release() { return std::exchange(held, Empty); }

 private:
  Handle held = Empty;
};
