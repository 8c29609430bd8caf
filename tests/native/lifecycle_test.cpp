#include <gtest/gtest.h>

#include <string>

#include "plugin/exports.h"
#include "tests/fake_gdiplus/fake_gdiplus.h"

namespace {

std::string DetectString() {
  char text[256] = "";
  ContentGetDetectString(text, sizeof text);
  return text;
}

// The library counts its starts process-wide: each start that succeeded is
// shut down exactly once, by the unload, and nothing else ever is.
class Lifecycle : public ::testing::Test {
 protected:
  void SetUp() override { fake::Reset(); }
  void TearDown() override {
    ContentPluginUnloading();
    EXPECT_EQ(fake::LiveStarts(), 0);
    EXPECT_TRUE(fake::Faults().empty()) << fake::Faults().front();
    fake::Reset();
  }
};

TEST_F(Lifecycle, OneStartHeldAndShutDownOnce) {
  ContentPluginUnloading();
  EXPECT_TRUE(fake::CallsNamed("GdiplusShutdown").empty());

  ContentSetDefaultParams(nullptr);
  ContentSetDefaultParams(nullptr);
  ASSERT_EQ(fake::CallsNamed("GdiplusStartup"),
            std::vector<std::string>{
                "GdiplusStartup(version=1 callback=0 suppressThread=0 suppressCodecs=0 output=0)"});
  EXPECT_EQ(fake::LiveStarts(), 1);

  ContentPluginUnloading();
  ContentPluginUnloading();
  EXPECT_EQ(fake::CallsNamed("GdiplusShutdown").size(), 1u);
}

TEST_F(Lifecycle, FailedStartIsNeverShutDown) {
  fake::FailStartup();
  ContentSetDefaultParams(nullptr);
  ContentPluginUnloading();
  EXPECT_TRUE(fake::CallsNamed("GdiplusShutdown").empty());
}

// A host may ask before its start or after the unload: the answer is the
// one it gets in between, and the query's own start does not outlive it.
TEST_F(Lifecycle, QueriesAnswerTheSameInEveryState) {
  fake::AddDecoder(u"*.BMP");
  const std::string before = DetectString();
  EXPECT_EQ(fake::LiveStarts(), 0);
  ContentSetDefaultParams(nullptr);
  const std::string started = DetectString();
  ContentPluginUnloading();
  const std::string after = DetectString();
  EXPECT_EQ(before, "EXT=\"BMP\"");
  EXPECT_EQ(started, before);
  EXPECT_EQ(after, before);
}

}  // namespace
