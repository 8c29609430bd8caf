#include "plugin/imaging_lifecycle.h"

#include <condition_variable>
#include <memory>
#include <mutex>

#include "plugin/platform.h"

// The host's start, and the queries that began while it was held.
struct HeldStart {
  std::uintptr_t token = 0;
  int queries = 0;
};

namespace {

std::mutex mutex;
std::condition_variable queryDone;
std::unique_ptr<HeldStart> held;

}  // namespace

void StartImaging() {
  const std::lock_guard<std::mutex> lock(mutex);
  if (held) return;
  auto start = std::make_unique<HeldStart>();
  if (StartDecoders(start->token)) held = std::move(start);
}

// The start is given up at once, so a query that comes from now on starts
// the library for itself; the shutdown waits only for the queries that
// were already using it, never for later ones.
void StopImaging() {
  std::unique_lock<std::mutex> lock(mutex);
  if (!held) return;
  const std::unique_ptr<HeldStart> stopping = std::move(held);
  queryDone.wait(lock, [&] { return stopping->queries == 0; });
  StopDecoders(stopping->token);
}

ImagingInUse::ImagingInUse() {
  {
    const std::lock_guard<std::mutex> lock(mutex);
    if (held) {
      hostStart = held.get();
      ++hostStart->queries;
      return;
    }
  }
  ownStart = StartDecoders(ownToken);
}

ImagingInUse::~ImagingInUse() {
  if (ownStart) StopDecoders(ownToken);
  if (hostStart == nullptr) return;
  const std::lock_guard<std::mutex> lock(mutex);
  if (--hostStart->queries == 0) queryDone.notify_all();
}
