#pragma once
// Start and shutdown of the imaging library. The host starts it when it
// hands over its default parameters and shuts it down before unloading the
// module; the library counts its starts process-wide, so every start that
// succeeded is shut down exactly once and nothing else is ever shut down.
// A query that comes while the host's start is not held (before the first
// start, or after the unload) starts the library for itself, so every
// query gives the same answer in every state.

#include <cstdint>

struct HeldStart;

// Starts the library and holds the start, unless one is held already. A
// failed start holds nothing.
void StartImaging();

// Shuts the held start down once the queries that began before this call
// have finished; later queries do not hold it up. With no start held it
// does nothing.
void StopImaging();

// Keeps the library started while a query uses it.
class ImagingInUse {
 public:
  ImagingInUse();
  ~ImagingInUse();
  ImagingInUse(const ImagingInUse&) = delete;
  ImagingInUse& operator=(const ImagingInUse&) = delete;

 private:
  HeldStart* hostStart = nullptr;
  bool ownStart = false;
  std::uintptr_t ownToken = 0;
};
