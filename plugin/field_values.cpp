#include "plugin/field_values.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "plugin/imaging_lifecycle.h"
#include "plugin/size_cache.h"
#include "plugin/value_stops.h"
#include "text/bounded_text.h"

namespace {

SizeCache& RecentSizes() {
  static SizeCache cache;
  return cache;
}

enum class Measured { Sized, Delayed, NotAFile, NoPicture };

// Reads both sizes at once, since the host asks for the other columns of
// the same file next: from the header where it settles them, else through
// the decoder. A name that cannot be opened as a regular file is
// NotAFile; a file the library cannot size (not a picture, cut short, an
// image object that cannot be allocated, a load the host stopped) holds
// NoPicture, as no picture has a size of 0. Only a size is ever cached.
// Delayed where the size would need a drive that may be slow or the
// decoder, and mayDelay allows it.
Measured Measure(HostFile& file, bool mayDelay, ImageSize& size) {
  if (!file.IsRegular()) return Measured::NotAFile;
  if (RecentSizes().Find(file.Stamp(), size)) return Measured::Sized;
  if (mayDelay && !file.OnLocalFixedDisk()) return Measured::Delayed;
  if (!file.Open()) return Measured::NotAFile;
  const HeaderFacts& facts = file.Facts();
  if (HeaderSettlesSize(facts.format) && facts.width != 0 && facts.height != 0) {
    size = {facts.width, facts.height};
    if (file.StampAtRest()) RecentSizes().Store(file.Stamp(), size);
    return Measured::Sized;
  }
  // A header cut short holds no picture, and the imaging library is not
  // asked to find that out at its own cost. It would show a raw file's
  // preview, not its picture.
  if (facts.headerCutShort || facts.format == ImageFormat::CameraRaw) {
    return Measured::NoPicture;
  }
  if (mayDelay) return Measured::Delayed;
  const ImagingInUse imaging;
  const ValueUnderWay underWay(file.Stamp().name);
  file.WatchReads(underWay.Flag());
  size = file.OpenPicture(PictureUse::Size)->Size();
  if (size.width == 0 || size.height == 0 || underWay.Stopped()) return Measured::NoPicture;
  if (file.StampAtRest()) RecentSizes().Store(file.Stamp(), size);
  return Measured::Sized;
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
  switch (Measure(file, mayDelay, size)) {
    case Measured::Delayed: return ValueDelayed;
    case Measured::NotAFile: return ValueFileError;
    case Measured::NoPicture: return ValueFieldEmpty;
    case Measured::Sized: break;
  }
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
