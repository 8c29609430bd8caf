#include "imaging/bitmap.h"

namespace Gdiplus {

Bitmap::Bitmap(IStream* stream) {
  GpImage* local = nullptr;
  lastStatus = GdipCreateBitmapFromStream(stream, &local);
  AttachHandle(local);
}

Status Bitmap::LockPixels(const Rect* rect, std::uint32_t flags, PixelFormat format,
                          BitmapData* data) {
  return LatchStatus(GdipBitmapLockBits(handle, rect, flags, format, data));
}

Status Bitmap::UnlockPixels(BitmapData* data) {
  return LatchStatus(GdipBitmapUnlockBits(handle, data));
}

}  // namespace Gdiplus
