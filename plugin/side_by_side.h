#pragma once
// The two decodes of one compare. Where the platform decodes side by side,
// each runs on a thread of its own that lives as long as the compare, while
// the compare's own thread, the only one that may call the host, tells the
// host the bytes the decoders read and hears its Cancel. Elsewhere both run
// one after the other on the compare's thread, and each of their reads
// tells the host in passing. Either way the host is asked at least every
// quarter second while a decoder reads, a Cancel stops the reads of both
// files, so both decoders give up early, nothing returns before both
// decodes are idle, and nothing outlives the object. A third job, one
// that must succeed too but that no step of the decodes waits for, may
// run beside them on a thread of its own.

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "plugin/compare_progress.h"
#include "plugin/read_watch.h"

class SideBySide {
 public:
  // One job for each side: it runs on that side's thread, if it has one.
  using Job = std::function<bool()>;

  // The watches are those of the two files' reads.
  SideBySide(CompareProgress& progress, std::shared_ptr<ReadWatch> first, std::shared_ptr<ReadWatch> second);
  ~SideBySide();
  SideBySide(const SideBySide&) = delete;
  SideBySide& operator=(const SideBySide&) = delete;

  // Runs both jobs, at once where they have threads, and waits for both;
  // true when both succeeded. False, once both have ended, when either
  // failed or threw, or the user stopped the compare (then every later Run
  // is false at once).
  bool Run(const Job& first, const Job& second);
  // Whether the jobs run at once, each on a thread of its own.
  bool OnThreads() const { return onThreads; }

  // Starts the job beside the two sides' jobs: on a thread of its own where
  // they have threads, else at once. It reads under its own watch, whose
  // bytes the host is not told of (they are read a second time), and which
  // is stopped when the user stops or the object goes. Once the job has
  // failed, every Run fails, and where it runs on a thread the sides'
  // reads stop, so their jobs give up. Only one job is started beside.
  void StartBeside(Job job, std::shared_ptr<ReadWatch> watch);
  // Waits for the job started beside, telling the host meanwhile; whether
  // it succeeded and the user did not stop.
  bool BesideSucceeded();

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

  // The sides' places in sides: the two files', then the job beside.
  static constexpr int Sides = 3;
  static constexpr int Beside = 2;

  void Work(Side& side);
  void EndThreads();
  // Waits until done() holds, telling the host in slices meanwhile.
  template <typename Done>
  void WaitTelling(std::unique_lock<std::mutex>& lock, Done done);
  bool BesideFailed() const;
  std::uint64_t NewlyReadBytes();
  // Tells the host what the decoders read since, at most every quarter
  // second, and stops both files' reads once the user has stopped.
  void TellWhileDecoding();
  bool RunOneAfterTheOther(const Job& first, const Job& second);

  CompareProgress& progress;
  std::mutex mutex;
  std::condition_variable changed;
  bool ending = false;
  const bool onThreads;
  Side sides[Sides];
};
