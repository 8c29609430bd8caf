#include "plugin/content_compare.h"

#include "plugin/codes.h"
#include "plugin/file_bytes.h"
#include "plugin/imaging_lifecycle.h"
#include "plugin/pixel_compare.h"

int CompareContent(HostFile& first, HostFile& second) {
  if (!first.Open() || !second.Open()) return CompareFileError;
  // Identical bytes settle it at the cost of reading them, and the reading
  // stops at the first difference, so pairs that differ lose little.
  if (first.IsSameFileAs(second) || SameFileBytes(first, second)) return CompareEqual;
  const ImagingInUse imaging;
  return SamePixels(first, second) ? CompareEqual : CompareDifferent;
}
