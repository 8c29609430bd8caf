// The exports only the Windows plugin has: the library's entry point, the
// Unicode twins of the value and compare exports, and the host's request to
// stop a value.
//
// The C runtime's own start-up runs before the entry point (and refuses the
// load when it fails); the plugin has no work of its own to do at load or
// unload, so every notification succeeds.
//
// The host calls the Unicode twins in preference when the plugin has them,
// with names in UTF-16, so any name the file system accepts reaches the
// plugin intact. Same codes and same work as the 8-bit exports, which only
// convert their names first.
//
// A stop comes for a value the host asked for with the delay flag and is
// still waiting for in its background thread. The file's name is looked up
// as the value export looks it up, so both spellings of one file meet; the
// stopped value answers ValueFieldEmpty.
#include <windows.h>

#include <memory>

#include "plugin/codes.h"
#include "plugin/content_compare.h"
#include "plugin/field_values.h"
#include "plugin/guarded.h"
#include "plugin/value_stops.h"
#include "windows/wide_host_file.h"

namespace {

void StopValuesOfFile(const std::unique_ptr<HostFile>& file) {
  if (file->IsRegular()) StopValuesOf(file->Stamp().name);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE /*instance*/, DWORD /*reason*/, LPVOID /*reserved*/) {
  return TRUE;
}

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

void PIXDIM_CALL ContentStopGetValue(const char* fileName) {
  Guarded(0, [&] {
    StopValuesOfFile(FindHostFile(fileName));
    return 0;
  });
}

void PIXDIM_CALL ContentStopGetValueW(const WCHAR* fileName) {
  Guarded(0, [&] {
    StopValuesOfFile(FindHostFileW(fileName));
    return 0;
  });
}

}  // extern "C"
