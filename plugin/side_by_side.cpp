#include "plugin/side_by_side.h"

#include <utility>

SideBySide::SideBySide(CompareProgress& compareProgress, std::shared_ptr<ReadWatch> first,
                       std::shared_ptr<ReadWatch> second)
    : progress(compareProgress) {
  sides[0].watch = std::move(first);
  sides[1].watch = std::move(second);
  try {
    for (Side& side : sides) side.thread = std::thread([this, &side] { Work(side); });
  } catch (...) {
    EndThreads();  // the one that did start
    throw;
  }
}

SideBySide::~SideBySide() { EndThreads(); }

void SideBySide::EndThreads() {
  {
    const std::lock_guard<std::mutex> lock(mutex);
    ending = true;
  }
  changed.notify_all();
  for (Side& side : sides) {
    if (side.thread.joinable()) side.thread.join();
  }
}

// Nothing a job throws leaves its thread: it counts as a failure.
void SideBySide::Work(Side& side) {
  std::unique_lock<std::mutex> lock(mutex);
  while (true) {
    changed.wait(lock, [&] { return ending || side.busy; });
    if (ending) return;
    lock.unlock();
    bool succeeded = false;
    try {
      succeeded = side.job();
    } catch (...) {
      succeeded = false;
    }
    lock.lock();
    side.succeeded = succeeded;
    side.busy = false;
    changed.notify_all();
  }
}

std::uint64_t SideBySide::NewlyReadBytes() {
  std::uint64_t bytes = 0;
  for (Side& side : sides) {
    const std::uint64_t read = side.watch->bytesRead.load();
    bytes += read - side.toldBytes;
    side.toldBytes = read;
  }
  return bytes;
}

void SideBySide::StopBoth() {
  for (Side& side : sides) side.watch->stop.store(true);
}

bool SideBySide::Run(const Job& first, const Job& second) {
  if (progress.Stopped()) return false;
  std::unique_lock<std::mutex> lock(mutex);
  sides[0].job = first;
  sides[1].job = second;
  for (Side& side : sides) side.busy = true;
  changed.notify_all();
  const auto bothIdle = [&] { return !sides[0].busy && !sides[1].busy; };
  while (!changed.wait_for(lock, WaitSlice, bothIdle)) {
    if (progress.Stopped()) continue;  // both decoders are giving up
    lock.unlock();
    const bool goOn = progress.AdvanceWhileWaiting(NewlyReadBytes());
    lock.lock();
    if (!goOn) StopBoth();
  }
  // After a Cancel the host is never asked again.
  if (progress.Stopped() || !progress.Advance(NewlyReadBytes())) return false;
  return sides[0].succeeded && sides[1].succeeded;
}
