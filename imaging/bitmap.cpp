#include "imaging/bitmap.h"

namespace Gdiplus {

Bitmap::Bitmap(const char16_t* path, bool useIcm) {
  GpImage* local = nullptr;
  lastStatus = useIcm ? GdipCreateBitmapFromFileICM(path, &local) : GdipCreateBitmapFromFile(path, &local);
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
