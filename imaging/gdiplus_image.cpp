#include "imaging/gdiplus_image.h"

namespace Gdiplus {

void* GdiplusBase::operator new(std::size_t size) noexcept { return GdipAlloc(size); }

void GdiplusBase::operator delete(void* memory) noexcept { GdipFree(memory); }

Image::Image(IStream* stream) { lastStatus = GdipLoadImageFromStream(stream, &handle); }

Image::~Image() { GdipDisposeImage(handle); }

std::uint32_t Image::ReadWidth() {
  std::uint32_t width = 0;
  LatchStatus(GdipGetImageWidth(handle, &width));
  return width;
}

std::uint32_t Image::ReadHeight() {
  std::uint32_t height = 0;
  LatchStatus(GdipGetImageHeight(handle, &height));
  return height;
}

Status Image::ReadPixelFormat(PixelFormat& format) {
  return LatchStatus(GdipGetImagePixelFormat(handle, &format));
}

Status Image::ReadFrameDimensionsCount(std::uint32_t& count) {
  return LatchStatus(GdipImageGetFrameDimensionsCount(handle, &count));
}

Status Image::ReadFrameDimensions(Guid* dimensions, std::uint32_t count) {
  return LatchStatus(GdipImageGetFrameDimensionsList(handle, dimensions, count));
}

Status Image::ReadFrameCount(const Guid& dimension, std::uint32_t& count) {
  return LatchStatus(GdipImageGetFrameCount(handle, &dimension, &count));
}

Status Image::SelectActiveFrame(const Guid& dimension, std::uint32_t index) {
  return LatchStatus(GdipImageSelectActiveFrame(handle, &dimension, index));
}

Status Image::LatchStatus(Status status) {
  if (status != Ok) lastStatus = status;
  return status;
}

Bitmap::Bitmap(IStream* stream) { lastStatus = GdipCreateBitmapFromStream(stream, &handle); }

Status Bitmap::LockPixels(const Rect* rect, std::uint32_t flags, PixelFormat format, BitmapData* data) {
  return LatchStatus(GdipBitmapLockBits(handle, rect, flags, format, data));
}

Status Bitmap::UnlockPixels(BitmapData* data) { return LatchStatus(GdipBitmapUnlockBits(handle, data)); }

}  // namespace Gdiplus
