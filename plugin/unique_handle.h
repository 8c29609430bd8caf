#pragma once
// One owner for a handle of any kind and the function that releases it: a
// FILE*, a heap block, a file descriptor, an imaging-library object. The
// handle is released exactly once, when its owner goes out of scope or is
// given another handle; Empty is the value that means "nothing held".

#include <utility>

template <typename Handle, auto Release, Handle Empty = Handle{}>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : held(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : held(std::exchange(other.held, Empty)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    Reset(std::exchange(other.held, Empty));
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  Handle Get() const { return held; }
  explicit operator bool() const { return held != Empty; }

  void Reset(Handle handle = Empty) {
    if (held != Empty) Release(held);
    held = handle;
  }

 private:
  Handle held = Empty;
};
