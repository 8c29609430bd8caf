#include "imaging/image.h"

namespace Gdiplus {

Image::Image(const char16_t* path, bool useIcm) {
  lastStatus = useIcm ? GdipLoadImageFromFileICM(path, &handle) : GdipLoadImageFromFile(path, &handle);
}

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

Status Image::LatchStatus(Status status) {
  if (status != Ok) lastStatus = status;
  return status;
}

}  // namespace Gdiplus
