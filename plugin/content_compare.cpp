#include "plugin/content_compare.h"

#include <cstring>

#include "imaging/bitmap.h"
#include "plugin/codes.h"
#include "plugin/file_bytes.h"
#include "plugin/pixel_lock.h"
#include "text/code_pages.h"

namespace {

// Compares the pixel blocks row by row, each with its own stride, and stops
// at the first differing row.
bool SamePixels(const PixelLock& first, const PixelLock& second, std::uint32_t width,
                std::uint32_t height) {
  const std::size_t rowBytes = std::size_t{width} * 4;
  for (std::uint32_t y = 0; y < height; ++y) {
    if (std::memcmp(first.Row(y), second.Row(y), rowBytes) != 0) return false;
  }
  return true;
}

enum class PixelVerdict { Same, Different, Undecidable };

// Decodes both files and compares their pixels. Undecidable when a file
// does not decode or a lock fails: the pixels prove nothing then.
PixelVerdict ComparePixels(const char* fileName1, const char* fileName2) {
  char16_t path1[PathBufferUnits];
  char16_t path2[PathBufferUnits];
  WidenFileName(fileName1, path1);
  WidenFileName(fileName2, path2);
  Gdiplus::Bitmap first(path1, false);
  Gdiplus::Bitmap second(path2, false);
  const std::uint32_t width1 = first.ReadWidth();
  const std::uint32_t width2 = second.ReadWidth();
  const std::uint32_t height1 = first.ReadHeight();
  const std::uint32_t height2 = second.ReadHeight();
  if (width1 != width2 || height1 != height2) return PixelVerdict::Different;
  if (width1 == 0 || height1 == 0) return PixelVerdict::Undecidable;

  const PixelLock lock1(first, width1, height1);
  if (!lock1.Locked()) return PixelVerdict::Undecidable;
  const PixelLock lock2(second, width1, height1);
  if (!lock2.Locked()) return PixelVerdict::Undecidable;
  return SamePixels(lock1, lock2, width1, height1) ? PixelVerdict::Same : PixelVerdict::Different;
}

}  // namespace

int CompareContent(const char* fileName1, const char* fileName2) {
  switch (ComparePixels(fileName1, fileName2)) {
    case PixelVerdict::Same:
      return CompareEqual;
    case PixelVerdict::Different:
      return CompareDifferent;
    case PixelVerdict::Undecidable:
      break;
  }
  // Both bitmaps are released by now, so neither file is held open.
  return SameFileBytes(fileName1, fileName2) ? CompareEqual : CompareDifferent;
}
