#include "windows/gdiplus_picture.h"

#include <cstddef>

#include "base/limits.h"

namespace {
constexpr std::uint32_t MostDimensions = 4;
}  // namespace

GdiplusPicture::GdiplusPicture(IStream* stream, PictureUse use) {
  if (use == PictureUse::Size) {
    image.reset(new Gdiplus::Image(stream));
  } else {
    bitmap = new Gdiplus::Bitmap(stream);
    image.reset(bitmap);
  }
}

GdiplusPicture::~GdiplusPicture() { Unlock(); }

// Read once per selected image: every band needs the width.
ImageSize GdiplusPicture::Size() {
  if (sizeRead) return size;
  sizeRead = true;
  if (!image || image->LastStatus() != Gdiplus::Ok) return size;
  size = {image->ReadWidth(), image->ReadHeight()};
  if (image->LastStatus() != Gdiplus::Ok) size = {};
  return size;
}

bool GdiplusPicture::ReadFrameLayout() {
  std::uint32_t dimensions = 0;
  if (image->ReadFrameDimensionsCount(dimensions) != Gdiplus::Ok || dimensions == 0 ||
      dimensions > MostDimensions) {
    return false;
  }
  Gdiplus::Guid ids[MostDimensions] = {};
  if (image->ReadFrameDimensions(ids, dimensions) != Gdiplus::Ok) return false;
  std::uint32_t images = 0;
  for (std::uint32_t i = 0; i < dimensions; ++i) {
    std::uint32_t count = 0;
    if (image->ReadFrameCount(ids[i], count) != Gdiplus::Ok || count == 0 || count > MostImages - images) {
      return false;
    }
    images += count;
    layout.push_back({ids[i], count});
  }
  return true;
}

std::uint32_t GdiplusPicture::ImageCount() {
  if (!layoutRead) {
    layoutRead = true;
    if (!image || !ReadFrameLayout()) layout.clear();
  }
  std::uint32_t images = 0;
  for (const FrameDimension& dimension : layout) images += dimension.count;
  return images;
}

bool GdiplusPicture::SelectImage(std::uint32_t index) {
  Unlock();
  sizeRead = false;
  if (ImageCount() == 0) return false;
  for (const FrameDimension& dimension : layout) {
    if (index < dimension.count) return image->SelectActiveFrame(dimension.id, index) == Gdiplus::Ok;
    index -= dimension.count;
  }
  return false;
}

bool GdiplusPicture::SamplesFit8Bits() {
  Gdiplus::PixelFormat format = 0;
  return image && image->ReadPixelFormat(format) == Gdiplus::Ok && (format & Gdiplus::PixelFormatExtended) == 0;
}

bool GdiplusPicture::ReadRows(std::uint32_t top, std::uint32_t rows, RowBand& band) {
  Unlock();
  const std::uint32_t width = Size().width;
  if (bitmap == nullptr || width == 0 || width > Int31Max || top > Int31Max || rows > Int31Max - top) {
    return false;
  }
  const Gdiplus::Rect rect{0, static_cast<std::int32_t>(top), static_cast<std::int32_t>(width),
                           static_cast<std::int32_t>(rows)};
  // Read mode is required: without a mode bit some implementations refuse
  // the lock and others hand back an unconverted, zero-filled block.
  if (bitmap->LockPixels(&rect, Gdiplus::ImageLockModeRead, Gdiplus::PixelFormat32bppARGB, &locked) !=
      Gdiplus::Ok) {
    return false;
  }
  isLocked = true;
  // Read only a block that is what was asked for, with rows that do not
  // overlap.
  const std::int64_t rowBytes = std::int64_t{width} * 4;
  const std::int64_t stride = locked.Stride;
  const bool delivered = locked.Scan0 != nullptr && locked.Width == width && locked.Height == rows &&
                         locked.PixelFormat == Gdiplus::PixelFormat32bppARGB &&
                         (stride >= rowBytes || -stride >= rowBytes);
  if (!delivered) {
    Unlock();
    return false;
  }
  band = {static_cast<const std::uint8_t*>(locked.Scan0), static_cast<std::ptrdiff_t>(stride)};
  return true;
}

void GdiplusPicture::Unlock() {
  if (isLocked) bitmap->UnlockPixels(&locked);
  isLocked = false;
}
