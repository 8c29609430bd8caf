#include "plugin/imaging_lifecycle.h"

#include "imaging/flat_api.h"

std::uintptr_t StartupToken = 0;

namespace {
bool started = false;
}

void StartImaging() {
  const Gdiplus::GdiplusStartupInput input;
  GdiplusStartup(&StartupToken, &input, nullptr);
  started = true;
}

void StopImaging() {
  if (started) GdiplusShutdown(StartupToken);
}
