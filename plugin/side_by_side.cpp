#include "plugin/side_by_side.h"

#include <utility>

#include "plugin/platform.h"

namespace {

// A job's answer; nothing it throws leaves it: that counts as a failure.
bool Succeeded(const SideBySide::Job& job) {
  try {
    return job();
  } catch (...) {
    return false;
  }
}

}  // namespace

SideBySide::SideBySide(CompareProgress& compareProgress, std::shared_ptr<ReadWatch> first,
                       std::shared_ptr<ReadWatch> second)
    : progress(compareProgress), onThreads(DecodesSideBySide()) {
  sides[0].watch = std::move(first);
  sides[1].watch = std::move(second);
  if (!onThreads) {
    for (Side& side : sides) side.watch->onRead = [this] { TellWhileDecoding(); };
    return;
  }
  try {
    for (Side& side : sides) side.thread = std::thread([this, &side] { Work(side); });
  } catch (...) {
    EndThreads();  // the one that did start
    throw;
  }
}

SideBySide::~SideBySide() {
  EndThreads();
  for (Side& side : sides) side.watch->onRead = nullptr;  // the files outlive this object
}

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

void SideBySide::Work(Side& side) {
  std::unique_lock<std::mutex> lock(mutex);
  while (true) {
    changed.wait(lock, [&] { return ending || side.busy; });
    if (ending) return;
    lock.unlock();
    const bool succeeded = Succeeded(side.job);
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

void SideBySide::TellWhileDecoding() {
  if (progress.Stopped()) return;  // both decoders are giving up
  if (!progress.AdvanceWhileWaiting(NewlyReadBytes())) {
    for (Side& side : sides) side.watch->stop.store(true);
  }
}

bool SideBySide::RunOneAfterTheOther(const Job& first, const Job& second) {
  return Succeeded(first) && !progress.Stopped() && Succeeded(second);
}

bool SideBySide::Run(const Job& first, const Job& second) {
  if (progress.Stopped()) return false;
  bool succeeded = false;
  if (onThreads) {
    std::unique_lock<std::mutex> lock(mutex);
    sides[0].job = first;
    sides[1].job = second;
    for (Side& side : sides) side.busy = true;
    changed.notify_all();
    const auto bothIdle = [&] { return !sides[0].busy && !sides[1].busy; };
    while (!changed.wait_for(lock, WaitSlice, bothIdle)) {
      lock.unlock();
      TellWhileDecoding();
      lock.lock();
    }
    succeeded = sides[0].succeeded && sides[1].succeeded;
  } else {
    succeeded = RunOneAfterTheOther(first, second);
  }
  // After a Cancel the host is never asked again.
  return !progress.Stopped() && progress.Advance(NewlyReadBytes()) && succeeded;
}
