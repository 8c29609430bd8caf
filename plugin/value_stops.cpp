#include "plugin/value_stops.h"

#include <mutex>

namespace {

struct UnderWay {
  std::mutex mutex;
  std::multimap<std::string, StopFlag> values;
};

UnderWay& Values() {
  static UnderWay underWay;
  return underWay;
}

}  // namespace

ValueUnderWay::ValueUnderWay(const std::string& name) {
  UnderWay& underWay = Values();
  const std::lock_guard<std::mutex> lock(underWay.mutex);
  entry = underWay.values.emplace(name, flag);
}

ValueUnderWay::~ValueUnderWay() {
  UnderWay& underWay = Values();
  const std::lock_guard<std::mutex> lock(underWay.mutex);
  underWay.values.erase(entry);
}

int StopValuesOf(const std::string& name) {
  UnderWay& underWay = Values();
  const std::lock_guard<std::mutex> lock(underWay.mutex);
  int stopped = 0;
  const auto [first, last] = underWay.values.equal_range(name);
  for (auto value = first; value != last; ++value, ++stopped) value->second->stop.store(true);
  return stopped;
}
