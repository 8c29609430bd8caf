#pragma once
// The values being read through the imaging library, by file name, so the
// host can ask for one to stop: that file's reads then fail and the imaging
// library gives up. A stop reaches only the reads under way when it comes;
// a later read of the same file starts afresh. Safe from several threads.

#include <atomic>
#include <map>
#include <memory>
#include <string>

#include "plugin/read_watch.h"

using StopFlag = std::shared_ptr<ReadWatch>;

// One value under way, listed under the file's name (the stamp's name) for
// as long as it lives. Its watch is shared with the file's reads, so it
// outlives this object while they hold it.
class ValueUnderWay {
 public:
  explicit ValueUnderWay(const std::string& name);
  ~ValueUnderWay();
  ValueUnderWay(const ValueUnderWay&) = delete;
  ValueUnderWay& operator=(const ValueUnderWay&) = delete;

  const StopFlag& Flag() const { return flag; }
  bool Stopped() const { return !flag->Allows(); }

 private:
  StopFlag flag = std::make_shared<ReadWatch>();
  std::multimap<std::string, StopFlag>::iterator entry;
};

// Stops every value under way for the name; returns how many it stopped.
int StopValuesOf(const std::string& name);
