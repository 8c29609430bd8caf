// The host's request to stop a value it asked for with the delay flag and
// is still waiting for in its background thread. The file's name is looked
// up as the value export looks it up, so both spellings of one file meet;
// the stopped value answers ValueFieldEmpty.
#include <windows.h>

#include <memory>

#include "plugin/guarded.h"
#include "plugin/value_stops.h"
#include "windows/wide_host_file.h"

namespace {

void StopValuesOfFile(const std::unique_ptr<HostFile>& file) {
  if (file->IsRegular()) StopValuesOf(file->Stamp().name);
}

}  // namespace

extern "C" {

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
