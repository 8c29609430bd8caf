#include "plugin/field_values.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "imaging/image.h"
#include "plugin/imaging_lifecycle.h"
#include "plugin/size_cache.h"
#include "text/bounded_text.h"

namespace {

SizeCache& RecentSizes() {
  static SizeCache cache;
  return cache;
}

// Reads both sizes at once, since the host asks for the other columns of
// the same file next. Anything that is not a readable image, or an image
// object that cannot be allocated, reads as 0 by 0.
ImageSize Measure(HostFile& file) {
  ImageSize size;
  if (!file.IsRegular() || RecentSizes().Find(file.Stamp(), size) || !file.Open()) return size;
  const ImagingInUse imaging;
  const std::unique_ptr<Gdiplus::Image> image(new Gdiplus::Image(file.ImagingStream()));
  if (!image) return size;
  size = {image->ReadWidth(), image->ReadHeight()};
  if (image->LastStatus() == Gdiplus::Ok && file.StampSettled()) RecentSizes().Store(file.Stamp(), size);
  return size;
}

// Sizes are unsigned: no size may ever show a minus sign.
void WriteDimensions(char* fieldValue, int maxLen, ImageSize size) {
  char width[32] = {};
  char height[32] = {};
  std::snprintf(width, sizeof width, "%" PRIu32, size.width);
  std::snprintf(height, sizeof height, "%" PRIu32, size.height);
  CopyBounded(fieldValue, maxLen, width);
  AppendBounded(fieldValue, maxLen, " x ");
  AppendBounded(fieldValue, maxLen, height);
}

}  // namespace

int WriteValue(HostFile& file, int fieldIndex, void* fieldValue, int maxLen) {
  const ImageSize size = Measure(file);
  switch (fieldIndex) {
    case FieldWidth:
      std::memcpy(fieldValue, &size.width, sizeof size.width);
      break;
    case FieldHeight:
      std::memcpy(fieldValue, &size.height, sizeof size.height);
      break;
    default:
      WriteDimensions(static_cast<char*>(fieldValue), maxLen, size);
      break;
  }
  return FieldTable[fieldIndex].type;
}
