#include "imaging/image.h"

namespace Gdiplus {

Image::Image(IStream* stream) { lastStatus = GdipLoadImageFromStream(stream, &handle); }

Image::Image(GpImage* handleToOwn, Status status) {
  AttachHandle(handleToOwn);
  lastStatus = status;
}

Image::~Image() { GdipDisposeImage(handle); }

Image* Image::CloneImage() {
  GpImage* copy = nullptr;
  LatchStatus(GdipCloneImage(handle, &copy));
  auto* clone = new Image(copy, lastStatus);
  if (clone == nullptr) GdipDisposeImage(copy);  // nobody else would own the copy
  return clone;
}

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

}  // namespace Gdiplus
