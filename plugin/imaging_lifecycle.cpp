#include "plugin/imaging_lifecycle.h"

#include <condition_variable>
#include <mutex>

#include "imaging/flat_api.h"

namespace {

std::mutex mutex;
std::condition_variable queriesDone;
bool held = false;
std::uintptr_t heldToken = 0;
int queriesUsingHeldStart = 0;

bool Start(std::uintptr_t& token) {
  const Gdiplus::GdiplusStartupInput input;
  return GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
}

}  // namespace

void StartImaging() {
  const std::lock_guard<std::mutex> lock(mutex);
  if (!held) held = Start(heldToken);
}

void StopImaging() {
  std::unique_lock<std::mutex> lock(mutex);
  queriesDone.wait(lock, [] { return queriesUsingHeldStart == 0; });
  if (!held) return;
  GdiplusShutdown(heldToken);
  held = false;
}

ImagingInUse::ImagingInUse() {
  {
    const std::lock_guard<std::mutex> lock(mutex);
    if (held) {
      ++queriesUsingHeldStart;
      usesHostStart = true;
      return;
    }
  }
  ownStart = Start(ownToken);
}

ImagingInUse::~ImagingInUse() {
  if (ownStart) GdiplusShutdown(ownToken);
  if (!usesHostStart) return;
  const std::lock_guard<std::mutex> lock(mutex);
  if (--queriesUsingHeldStart == 0) queriesDone.notify_all();
}
