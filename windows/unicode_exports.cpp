// The Unicode twins of the value and compare exports. The host calls them
// in preference when the plugin has them, with names in UTF-16, so any
// name the file system accepts reaches the plugin intact. Same codes and
// same work as the 8-bit exports, which only convert their names first.
#include <windows.h>

#include "plugin/codes.h"
#include "plugin/content_compare.h"
#include "plugin/field_values.h"
#include "plugin/guarded.h"
#include "windows/wide_host_file.h"

extern "C" {

int PIXDIM_CALL ContentGetValueW(const WCHAR* fileName, int fieldIndex, int /*unitIndex*/, void* fieldValue,
                                 int maxLen, int flags) {
  return Guarded(ValueNoSuchField, [&] {
    return GetValue([&] { return FindHostFileW(fileName); }, fieldIndex, fieldValue, maxLen, flags);
  });
}

int PIXDIM_CALL ContentCompareFilesW(ProgressCallback progressCallback, int compareIndex, const WCHAR* fileName1,
                                     const WCHAR* fileName2, void* /*defaultParams*/) {
  if (compareIndex != CompareIndexContent) return CompareNotSupported;
  return Guarded(CompareDifferent, [&] {
    CompareProgress progress(progressCallback);
    return CompareContent(*FindHostFileW(fileName1), *FindHostFileW(fileName2), progress);
  });
}

int PIXDIM_CALL PixdimBytesReasonW(const WCHAR* fileName, char* text, int maxLen) {
  return Guarded(0, [&] { return ExplainBytesReason(*FindHostFileW(fileName), text, maxLen); });
}

}  // extern "C"
