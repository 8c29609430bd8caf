#pragma once
// A bitmap's whole pixel block locked for reading as 32-bit ARGB, unlocked
// again when the lock goes out of scope. A failed lock is never read.

#include <cstdint>

#include "imaging/bitmap.h"

class PixelLock {
 public:
  PixelLock(Gdiplus::Bitmap& bitmap, std::uint32_t width, std::uint32_t height);
  ~PixelLock();
  PixelLock(const PixelLock&) = delete;
  PixelLock& operator=(const PixelLock&) = delete;

  bool Locked() const { return locked; }

  // Row y of the block; rows lie Stride bytes apart, which can be padded
  // or negative.
  const std::uint8_t* Row(std::uint32_t y) const;

 private:
  Gdiplus::Bitmap& bitmap;
  Gdiplus::BitmapData data{};
  bool locked = false;
};
