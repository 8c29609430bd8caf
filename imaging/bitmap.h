#pragma once
// An image file read as a bitmap, whose decoded pixels can be locked for
// reading.

#include "imaging/image.h"

namespace Gdiplus {

class Bitmap : public Image {
 public:
  explicit Bitmap(IStream* stream);

  Status LockPixels(const Rect* rect, std::uint32_t flags, PixelFormat format, BitmapData* data);
  Status UnlockPixels(BitmapData* data);
};

}  // namespace Gdiplus
