#pragma once
// A picture on GDI+: an image object for its size, a bitmap object for its
// pixels, read from a stream over the open file. GDI+ lists a file's images
// along dimensions (pages, frames in time), each with a count; the picture
// shows them as one sequence, dimension after dimension. What GDI+ calls a
// dimension says nothing about the pictures (it lists a GIF's one image
// along time, a PNG's along pages).

#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/gdiplus_image.h"
#include "plugin/picture.h"

class GdiplusPicture final : public Picture {
 public:
  // The stream must outlive the picture: GDI+ may read it lazily.
  GdiplusPicture(IStream* stream, PictureUse use);
  ~GdiplusPicture() override;
  GdiplusPicture(const GdiplusPicture&) = delete;
  GdiplusPicture& operator=(const GdiplusPicture&) = delete;

  ImageSize Size() override;
  std::uint32_t ImageCount() override;
  bool SelectImage(std::uint32_t index) override;
  bool SamplesFit8Bits() override;
  // GDI+ keeps the decoded image in its own format, at most 4 bytes a pixel
  // at 8 bits a sample, and converts only the locked band.
  std::uint32_t HeldBytesPerPixel() override { return 4; }
  bool ReadRows(std::uint32_t top, std::uint32_t rows, RowBand& band) override;

 private:
  struct FrameDimension {
    Gdiplus::Guid id;
    std::uint32_t count;
  };

  bool ReadFrameLayout();
  void Unlock();

  // From GDI+'s own allocator, which may fail: then null, and the file
  // reads 0 by 0.
  std::unique_ptr<Gdiplus::Image> image;
  Gdiplus::Bitmap* bitmap = nullptr;  // the same object, when opened for pixels
  std::vector<FrameDimension> layout;
  bool layoutRead = false;
  ImageSize size;  // of the selected image
  bool sizeRead = false;
  Gdiplus::BitmapData locked{};
  bool isLocked = false;
};
