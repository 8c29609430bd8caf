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
    for (int i = 0; i < Beside; ++i) sides[i].watch->onRead = [this] { TellWhileDecoding(); };
    return;
  }
  try {
    for (int i = 0; i < Beside; ++i) sides[i].thread = std::thread([this, i] { Work(sides[i]); });
  } catch (...) {
    EndThreads();  // the one that did start
    throw;
  }
}

SideBySide::~SideBySide() {
  EndThreads();
  for (Side& side : sides) {
    if (side.watch) side.watch->onRead = nullptr;  // the files outlive this object
  }
}

void SideBySide::EndThreads() {
  {
    const std::lock_guard<std::mutex> lock(mutex);
    ending = true;
  }
  // The job beside may still be reading: nothing waits for it any more.
  if (sides[Beside].watch) sides[Beside].watch->stop.store(true);
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
    // A failed job beside settles the compare: the decodes need not go on.
    if (!succeeded && &side == &sides[Beside]) {
      for (int i = 0; i < Beside; ++i) sides[i].watch->stop.store(true);
    }
    changed.notify_all();
  }
}

std::uint64_t SideBySide::NewlyReadBytes() {
  std::uint64_t bytes = 0;
  for (int i = 0; i < Beside; ++i) {
    const std::uint64_t read = sides[i].watch->bytesRead.load();
    bytes += read - sides[i].toldBytes;
    sides[i].toldBytes = read;
  }
  return bytes;
}

void SideBySide::TellWhileDecoding() {
  if (progress.Stopped()) return;  // every job is giving up
  if (!progress.AdvanceWhileWaiting(NewlyReadBytes())) {
    for (Side& side : sides) {
      if (side.watch) side.watch->stop.store(true);
    }
  }
}

template <typename Done>
void SideBySide::WaitTelling(std::unique_lock<std::mutex>& lock, Done done) {
  while (!changed.wait_for(lock, WaitSlice, done)) {
    lock.unlock();
    TellWhileDecoding();
    lock.lock();
  }
}

bool SideBySide::BesideFailed() const {
  const Side& beside = sides[Beside];
  return beside.job && !beside.busy && !beside.succeeded;
}

bool SideBySide::RunOneAfterTheOther(const Job& first, const Job& second) {
  return Succeeded(first) && !progress.Stopped() && Succeeded(second);
}

bool SideBySide::Run(const Job& first, const Job& second) {
  if (progress.Stopped()) return false;
  bool succeeded = false;
  if (onThreads) {
    std::unique_lock<std::mutex> lock(mutex);
    if (BesideFailed()) return false;
    sides[0].job = first;
    sides[1].job = second;
    sides[0].busy = true;
    sides[1].busy = true;
    changed.notify_all();
    WaitTelling(lock, [&] { return !sides[0].busy && !sides[1].busy; });
    succeeded = sides[0].succeeded && sides[1].succeeded && !BesideFailed();
  } else {
    succeeded = !BesideFailed() && RunOneAfterTheOther(first, second);
  }
  // After a Cancel the host is never asked again.
  return !progress.Stopped() && progress.Advance(NewlyReadBytes()) && succeeded;
}

void SideBySide::StartBeside(Job job, std::shared_ptr<ReadWatch> watch) {
  Side& beside = sides[Beside];
  beside.watch = std::move(watch);
  beside.job = std::move(job);
  beside.busy = true;
  if (!onThreads) {
    beside.watch->onRead = [this] { TellWhileDecoding(); };
    beside.succeeded = !progress.Stopped() && Succeeded(beside.job);
    beside.busy = false;
    return;
  }
  beside.thread = std::thread([this, &beside] { Work(beside); });
}

bool SideBySide::BesideSucceeded() {
  Side& beside = sides[Beside];
  if (onThreads) {
    std::unique_lock<std::mutex> lock(mutex);
    WaitTelling(lock, [&] { return !beside.busy; });
  }
  return !progress.Stopped() && progress.Advance(NewlyReadBytes()) && beside.succeeded;
}
