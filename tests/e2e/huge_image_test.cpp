// A tiny file whose header claims 100000 x 100000 pixels: its size is
// reported from the header, and comparing it must not try to decode 40 GB.
#include <cstdint>
#include <string>

#include "tests/e2e/child_peak.h"
#include "tests/e2e/plugin_fixture.h"

namespace {

using HugeImage = StartedPlugin;

TEST_F(HugeImage, SizeComesFromTheHeader) {
  const std::string file = Fixture("huge-header.png");
  char text[64] = "";
  std::int32_t width = 0;
  EXPECT_EQ(Exports().GetValue(file.c_str(), FieldWidth, 0, &width, 4, 0), FieldTypeInt32);
  EXPECT_EQ(width, 100000);
  EXPECT_EQ(Exports().GetValue(file.c_str(), FieldDimensions, 0, text, sizeof text, 0), FieldTypeString);
  EXPECT_EQ(std::string(text), "100000 x 100000");
}

// Decoding would take 40 GB: a compare that stays within a few MiB decoded
// nothing.
TEST_F(HugeImage, ComparesByBytesWithoutDecoding) {
  const std::string file = Fixture("huge-header.png");
  const std::string copy = Fixture("huge-header-copy.png");
  EXPECT_EQ(Exports().CompareFiles(nullptr, CompareIndexContent, file.c_str(), file.c_str(), nullptr), Equal);
  int answer = 0;
  const double mib = PeakMiBOfChild(
      [&] { return Exports().CompareFiles(nullptr, CompareIndexContent, file.c_str(), copy.c_str(), nullptr); }, answer);
  EXPECT_EQ(answer, Different);
  EXPECT_LT(mib, 16.0);
}

}  // namespace
