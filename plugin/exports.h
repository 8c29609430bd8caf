#pragma once
// The six functions the host calls, under their plain names. PIXDIM_CALL is
// the system calling convention of the target (stdcall on 32-bit Windows).

#include <cstdint>

#include "plugin/compare_progress.h"

extern "C" {

int PIXDIM_CALL ContentGetDetectString(char* detectString, int maxLen);
void PIXDIM_CALL ContentSetDefaultParams(void* defaultParams);
void PIXDIM_CALL ContentPluginUnloading();
int PIXDIM_CALL ContentGetSupportedField(int fieldIndex, char* fieldName, char* units, int maxLen);
int PIXDIM_CALL ContentGetValue(const char* fileName, int fieldIndex, int unitIndex,
                                void* fieldValue, int maxLen, int flags);
int PIXDIM_CALL ContentCompareFiles(ProgressCallback progressCallback, int compareIndex,
                                    const char* fileName1, const char* fileName2,
                                    void* defaultParams);
// Not the host's: why a "different" came from the bytes, for the probe and
// for pixdim-compare.
int PIXDIM_CALL PixdimBytesReason(const char* fileName, char* text, int maxLen);

}  // extern "C"
