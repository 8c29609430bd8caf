#include "plugin/field_values.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "imaging/image.h"
#include "plugin/header_sizes.h"
#include "plugin/imaging_lifecycle.h"
#include "plugin/size_cache.h"
#include "text/bounded_text.h"

namespace {

SizeCache& RecentSizes() {
  static SizeCache cache;
  return cache;
}

// Reads both sizes at once, since the host asks for the other columns of
// the same file next: from the header where it settles them, else through
// the imaging library. Anything that is not a readable image, or an image
// object that cannot be allocated, reads as 0 by 0. With mayDelay, false
// where the size would need a drive that may be slow or the imaging
// library.
bool Measure(HostFile& file, bool mayDelay, ImageSize& size) {
  if (!file.IsRegular() || RecentSizes().Find(file.Stamp(), size)) return true;
  if (mayDelay && !file.OnLocalFixedDisk()) return false;
  if (!file.Open()) return true;
  const HeaderFacts& facts = file.Facts();
  if (HeaderSettlesSize(facts.format) && facts.width != 0 && facts.height != 0) {
    size = {facts.width, facts.height};
    if (file.StampSettled()) RecentSizes().Store(file.Stamp(), size);
    return true;
  }
  if (mayDelay) return false;
  const ImagingInUse imaging;
  const std::unique_ptr<Gdiplus::Image> image(new Gdiplus::Image(file.ImagingStream()));
  if (!image) return true;
  size = {image->ReadWidth(), image->ReadHeight()};
  if (image->LastStatus() == Gdiplus::Ok && file.StampSettled()) RecentSizes().Store(file.Stamp(), size);
  return true;
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

int WriteValue(HostFile& file, int fieldIndex, void* fieldValue, int maxLen, bool mayDelay) {
  ImageSize size;
  if (!Measure(file, mayDelay, size)) return ValueDelayed;
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
