#include "plugin/pixel_lock.h"

#include <cstddef>
#include <limits>

namespace {
constexpr std::uint32_t LargestSide = std::numeric_limits<std::int32_t>::max();
}

PixelLock::PixelLock(Gdiplus::Bitmap& bitmapToLock, std::uint32_t width, std::uint32_t top,
                     std::uint32_t rows)
    : bitmap(bitmapToLock) {
  if (width > LargestSide || top > LargestSide || rows > LargestSide - top) return;
  const Gdiplus::Rect band{0, static_cast<std::int32_t>(top), static_cast<std::int32_t>(width),
                           static_cast<std::int32_t>(rows)};
  // Read mode is required: without a mode bit some implementations refuse
  // the lock and others hand back an unconverted, zero-filled block.
  if (bitmap.LockPixels(&band, Gdiplus::ImageLockModeRead, Gdiplus::PixelFormat32bppARGB, &data) !=
      Gdiplus::Ok) {
    return;
  }
  locked = true;
  // Read only a block that is what was asked for, with rows that do not
  // overlap.
  const std::int64_t rowBytes = std::int64_t{width} * 4;
  const std::int64_t stride = data.Stride;
  const bool delivered = data.Scan0 != nullptr && data.Width == width && data.Height == rows &&
                         data.PixelFormat == Gdiplus::PixelFormat32bppARGB &&
                         (stride >= rowBytes || -stride >= rowBytes);
  if (!delivered) {
    bitmap.UnlockPixels(&data);
    locked = false;
  }
}

PixelLock::~PixelLock() {
  if (locked) bitmap.UnlockPixels(&data);
}

const std::uint8_t* PixelLock::Row(std::uint32_t y) const {
  const auto offset = static_cast<std::ptrdiff_t>(std::int64_t{y} * data.Stride);
  return static_cast<const std::uint8_t*>(data.Scan0) + offset;
}
