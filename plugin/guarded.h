#pragma once
// Nothing thrown may ever reach the host: each export runs its work through
// Guarded, which turns any exception into the export's safe answer.

template <typename Work>
int Guarded(int fallback, Work work) noexcept {
  try {
    return work();
  } catch (...) {
    return fallback;
  }
}
