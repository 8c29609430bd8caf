#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "plugin/value_stops.h"

namespace {

// A stop reaches the values of that name under way, and only those.
TEST(ValueStops, AStopReachesEveryValueOfTheNameUnderWay) {
  const ValueUnderWay first("a.ico");
  const ValueUnderWay second("a.ico");
  const ValueUnderWay other("b.ico");
  EXPECT_EQ(StopValuesOf("a.ico"), 2);
  EXPECT_TRUE(first.Stopped());
  EXPECT_TRUE(second.Stopped());
  EXPECT_FALSE(other.Stopped());
  EXPECT_EQ(StopValuesOf("A.ICO"), 0);  // the name's own bytes, as the stamp has them
}

// A stop while nothing is read is lost, and a value that ended leaves no
// trace: a later value of the same file is not stopped. The flag stays
// valid for a stream that still holds it.
TEST(ValueStops, NoStopOutlastsTheValuesItReached) {
  EXPECT_EQ(StopValuesOf("c.ico"), 0);
  StopFlag held;
  {
    const ValueUnderWay value("c.ico");
    EXPECT_FALSE(value.Stopped());
    held = value.Flag();
    EXPECT_EQ(StopValuesOf("c.ico"), 1);
  }
  EXPECT_FALSE(held->Allows());
  EXPECT_EQ(StopValuesOf("c.ico"), 0);
  const ValueUnderWay later("c.ico");
  EXPECT_FALSE(later.Stopped());
}

// The host's background threads start and end values while it stops them.
TEST(ValueStops, ValuesComeAndGoWhileStopsArrive) {
  std::atomic<bool> done{false};
  std::thread stopper([&] {
    while (!done) StopValuesOf("d.ico");
  });
  std::vector<std::thread> readers;
  for (int t = 0; t < 4; ++t) {
    readers.emplace_back([] {
      for (int i = 0; i < 2000; ++i) const ValueUnderWay value(i % 2 == 0 ? "d.ico" : "e.ico");
    });
  }
  for (auto& reader : readers) reader.join();
  done = true;
  stopper.join();
  EXPECT_EQ(StopValuesOf("d.ico") + StopValuesOf("e.ico"), 0);
}

}  // namespace
