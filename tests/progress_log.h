#pragma once
// A stand-in for the host's progress callback of a compare: it records the
// counts it is told and can stop the compare at a given call, or change a
// file during the first call. One log listens at a time.

#include <functional>
#include <vector>

struct ProgressLog {
  std::vector<int> counts;
  int stopAtCall = 0;  // 0: never stop
  std::function<void()> duringFirstCall;

  long long Sum() const {
    long long sum = 0;
    for (int count : counts) sum += count;
    return sum;
  }
};

inline ProgressLog*& ListeningLog() {
  static ProgressLog* log = nullptr;
  return log;
}

inline int PIXDIM_CALL RecordProgress(int bytes) {
  ProgressLog& log = *ListeningLog();
  log.counts.push_back(bytes);
  if (log.counts.size() == 1 && log.duringFirstCall) log.duringFirstCall();
  return static_cast<int>(log.counts.size()) == log.stopAtCall ? 1 : 0;
}

// Runs a compare with the log listening to its progress.
template <typename Compare>
int WithProgressLog(ProgressLog& log, Compare compare) {
  ListeningLog() = &log;
  const int verdict = compare(RecordProgress);
  ListeningLog() = nullptr;
  return verdict;
}
