#pragma once
// Two decodes of one compare, run at once: each on a thread of its own that
// lives as long as the compare, while the compare's own thread, the only
// one that may call the host, tells the host the bytes the decoders read
// and hears its Cancel. A Cancel stops the reads of both files, so both
// decoders give up early; nothing returns before both threads are idle, and
// nothing outlives the object.

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "plugin/compare_progress.h"
#include "plugin/read_watch.h"

class SideBySide {
 public:
  // One job for each side: it runs on that side's thread.
  using Job = std::function<bool()>;

  // The watches are those of the two files' reads.
  SideBySide(CompareProgress& progress, std::shared_ptr<ReadWatch> first, std::shared_ptr<ReadWatch> second);
  ~SideBySide();
  SideBySide(const SideBySide&) = delete;
  SideBySide& operator=(const SideBySide&) = delete;

  // Runs both jobs at once and waits for both; true when both succeeded.
  // False, once both have ended, when either failed or threw, or the user
  // stopped the compare (then every later Run is false at once).
  bool Run(const Job& first, const Job& second);

 private:
  // How long the compare waits for the decoders before it looks at their
  // reads and asks the host again: well inside the second a Cancel may take.
  static constexpr std::chrono::milliseconds WaitSlice{100};

  struct Side {
    std::shared_ptr<ReadWatch> watch;
    std::uint64_t toldBytes = 0;
    Job job;
    bool busy = false;
    bool succeeded = false;
    std::thread thread;
  };

  void Work(Side& side);
  void EndThreads();
  std::uint64_t NewlyReadBytes();
  void StopBoth();

  CompareProgress& progress;
  std::mutex mutex;
  std::condition_variable changed;
  bool ending = false;
  Side sides[2];
};
