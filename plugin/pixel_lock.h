#pragma once
// A band of whole rows of a bitmap locked for reading as 32-bit ARGB,
// unlocked again when the lock goes out of scope. A failed lock, or one
// that delivers anything but what was asked for, is never read.

#include <cstdint>

#include "imaging/bitmap.h"

class PixelLock {
 public:
  // Locks rows [top, top + rows) of a bitmap that is width pixels wide.
  PixelLock(Gdiplus::Bitmap& bitmap, std::uint32_t width, std::uint32_t top, std::uint32_t rows);
  ~PixelLock();
  PixelLock(const PixelLock&) = delete;
  PixelLock& operator=(const PixelLock&) = delete;

  bool Locked() const { return locked; }

  // Row y of the band; rows lie Stride bytes apart, which can be padded or
  // negative.
  const std::uint8_t* Row(std::uint32_t y) const;

 private:
  Gdiplus::Bitmap& bitmap;
  Gdiplus::BitmapData data{};
  bool locked = false;
};
