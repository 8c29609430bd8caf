#pragma once
// The GDI+ classes the plugin reads files through: an image, read from a
// stream over a file that is already open, and a bitmap, whose decoded
// pixels can be locked for reading. Each object owns its handle and
// disposes it when destroyed. Failures are not reported: a file that cannot
// be decoded leaves the handle null and reads as 0 by 0; the object only
// remembers the last failing status.

#include <cstddef>
#include <cstdint>

#include "imaging/flat_api.h"

namespace Gdiplus {

// Heap objects of the GDI+ classes take their memory from GDI+'s allocator.
// The allocation function is non-throwing, so a failed new-expression
// yields null without running the constructor.
class GdiplusBase {
 public:
  static void* operator new(std::size_t size) noexcept;
  static void operator delete(void* memory) noexcept;
};

class Image : public GdiplusBase {
 public:
  // The stream must outlive the object: the library may read it lazily.
  explicit Image(IStream* stream);
  virtual ~Image();
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  std::uint32_t ReadWidth();
  std::uint32_t ReadHeight();
  Status ReadPixelFormat(PixelFormat& format);

  // The images the file holds: a list of dimensions (pages, frames in
  // time), each with a count; selecting one makes it the image read.
  Status ReadFrameDimensionsCount(std::uint32_t& count);
  Status ReadFrameDimensions(Guid* dimensions, std::uint32_t count);
  Status ReadFrameCount(const Guid& dimension, std::uint32_t& count);
  Status SelectActiveFrame(const Guid& dimension, std::uint32_t index);

  // Remembers a failing (non-zero) status; returns status unchanged.
  Status LatchStatus(Status status);

  Status LastStatus() const { return lastStatus; }
  GpImage* Handle() const { return handle; }

 protected:
  Image() = default;

  GpImage* handle = nullptr;
  Status lastStatus = Ok;
};

class Bitmap : public Image {
 public:
  explicit Bitmap(IStream* stream);

  Status LockPixels(const Rect* rect, std::uint32_t flags, PixelFormat format, BitmapData* data);
  Status UnlockPixels(BitmapData* data);
};

}  // namespace Gdiplus
