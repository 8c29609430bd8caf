// The host's entry points. Each one holds the host's arguments only for the
// duration of the call, and nothing thrown ever reaches the host.
#include "plugin/exports.h"

#include "plugin/codes.h"
#include "plugin/content_compare.h"
#include "plugin/detect_string.h"
#include "plugin/field_table.h"
#include "plugin/field_values.h"
#include "plugin/guarded.h"
#include "plugin/platform.h"
#include "plugin/imaging_lifecycle.h"

extern "C" {

int PIXDIM_CALL ContentGetDetectString(char* detectString, int maxLen) {
  return Guarded(0, [&] {
    WriteDetectString(detectString, maxLen);
    return 0;
  });
}

void PIXDIM_CALL ContentSetDefaultParams(void* /*defaultParams*/) {
  Guarded(0, [] {
    StartImaging();
    return 0;
  });
}

void PIXDIM_CALL ContentPluginUnloading() {
  Guarded(0, [] {
    StopImaging();
    return 0;
  });
}

int PIXDIM_CALL ContentGetSupportedField(int fieldIndex, char* fieldName, char* units, int maxLen) {
  return Guarded(FieldTypeNoMoreFields,
                 [&] { return GetSupportedField(fieldIndex, fieldName, units, maxLen); });
}

int PIXDIM_CALL ContentGetValue(const char* fileName, int fieldIndex, int /*unitIndex*/,
                                void* fieldValue, int maxLen, int flags) {
  return Guarded(ValueNoSuchField, [&] {
    return GetValue([&] { return FindHostFile(fileName); }, fieldIndex, fieldValue, maxLen, flags);
  });
}

// Never equal without proof: anything that goes wrong reads as different.
int PIXDIM_CALL ContentCompareFiles(ProgressCallback progressCallback, int compareIndex,
                                    const char* fileName1, const char* fileName2,
                                    void* /*defaultParams*/) {
  if (compareIndex != CompareIndexContent) return CompareNotSupported;
  return Guarded(CompareDifferent, [&] {
    CompareProgress progress(progressCallback);
    return CompareContent(*FindHostFile(fileName1), *FindHostFile(fileName2), progress);
  });
}

int PIXDIM_CALL PixdimBytesReason(const char* fileName, char* text, int maxLen) {
  return Guarded(0, [&] { return ExplainBytesReason(*FindHostFile(fileName), text, maxLen); });
}

}  // extern "C"
