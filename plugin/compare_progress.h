#pragma once
// The host's progress callback during one compare. The host moves its
// progress bar by the bytes it is told of and answers nonzero once the
// user has pressed Cancel; from then on the compare only unwinds. The
// callback is called only from within the compare, never after it.

#include <chrono>
#include <cstdint>

using ProgressCallback = int(PIXDIM_CALL*)(int bytesSinceLastCall);

class CompareProgress {
 public:
  // A null callback is allowed: nothing is reported and nothing stops.
  explicit CompareProgress(ProgressCallback hostCallback) : callback(hostCallback) {}
  CompareProgress(const CompareProgress&) = delete;
  CompareProgress& operator=(const CompareProgress&) = delete;

  // Counts bytes read or decoded and tells the host once a MiB has come
  // together. False once the user has asked to stop.
  bool Advance(std::uint64_t bytes);
  // Counts bytes read by decoders while the compare waits for them, and
  // tells the host at least every TellInterval even when none came, so
  // the host's Cancel is heard while a decoder works. False once the user
  // has asked to stop.
  bool AdvanceWhileWaiting(std::uint64_t bytes);
  // Tells the host what is still untold, once at the end of every compare
  // that was not stopped. False when the user asked to stop.
  bool Finish();
  bool Stopped() const { return stopped; }

 private:
  static constexpr std::uint64_t ReportBytes = std::uint64_t{1} << 20;
  static constexpr std::chrono::milliseconds TellInterval{250};

  void Report();

  ProgressCallback callback;
  std::uint64_t untold = 0;
  std::chrono::steady_clock::time_point lastTold = std::chrono::steady_clock::now();
  bool stopped = false;
};
