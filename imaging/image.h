#pragma once
// An image file read through the imaging library from a file that is
// already open. The object owns its handle and disposes it when destroyed.
// Failures are not reported: a file that cannot be decoded leaves the
// handle null and reads as 0 by 0; the object only remembers the last
// failing status.

#include <cstdint>

#include "imaging/flat_api.h"
#include "imaging/gdiplus_base.h"

namespace Gdiplus {

class Image : public GdiplusBase {
 public:
  // The stream must outlive the object: the library may read it lazily.
  explicit Image(IStream* stream);
  virtual ~Image();
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  // A new heap image holding a copy of the handle; after a failed copy it
  // holds no handle and carries the failing status. Null only when the
  // object cannot be allocated.
  virtual Image* CloneImage();

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
  Image(GpImage* handleToOwn, Status status);
  void AttachHandle(GpImage* handleToOwn) { handle = handleToOwn; }

  GpImage* handle = nullptr;
  Status lastStatus = Ok;
};

}  // namespace Gdiplus
