#include "plugin/compare_progress.h"

#include <algorithm>
#include <climits>

bool CompareProgress::Advance(std::uint64_t bytes) {
  untold += bytes;
  if (untold >= ReportBytes) Report();
  return !stopped;
}

bool CompareProgress::AdvanceWhileWaiting(std::uint64_t bytes) {
  untold += bytes;
  if (!stopped && (untold >= ReportBytes || std::chrono::steady_clock::now() - lastTold >= TellInterval)) Report();
  return !stopped;
}

bool CompareProgress::Finish() {
  if (!stopped) Report();
  return !stopped;
}

// Counts never go negative: what does not fit an int is told in parts.
void CompareProgress::Report() {
  lastTold = std::chrono::steady_clock::now();
  if (callback == nullptr) {
    untold = 0;
    return;
  }
  do {  // a count of 0 only asks whether to go on
    const auto count = static_cast<int>(std::min<std::uint64_t>(untold, INT_MAX));
    untold -= static_cast<std::uint64_t>(count);
    stopped = callback(count) != 0;
  } while (!stopped && untold > 0);
}
