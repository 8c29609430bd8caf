#include <gtest/gtest.h>

#include "plugin/exports.h"
#include "plugin/imaging_lifecycle.h"
#include "tests/fake_gdiplus/fake_gdiplus.h"

namespace {

// The module's start state lives as long as the process, so the cases run
// as one sequence in a fixed order.
TEST(Lifecycle, StartAndShutdownFollowTheNewestToken) {
  fake::Reset();

  // Unloading before any start shuts nothing down: no token was issued.
  ContentPluginUnloading();
  EXPECT_TRUE(fake::CallsNamed("GdiplusShutdown").empty());

  ContentSetDefaultParams(nullptr);
  ContentSetDefaultParams(nullptr);
  ASSERT_EQ(fake::CallsNamed("GdiplusStartup").size(), 2u);
  EXPECT_EQ(fake::CallsNamed("GdiplusStartup")[0],
            "GdiplusStartup(version=1 callback=0 suppressThread=0 suppressCodecs=0 output=0)");
  const std::uintptr_t newest = StartupToken;

  ContentPluginUnloading();
  ASSERT_EQ(fake::CallsNamed("GdiplusShutdown").size(), 1u);
  EXPECT_EQ(fake::CallsNamed("GdiplusShutdown")[0], "GdiplusShutdown(" + std::to_string(newest) + ")");
}

}  // namespace
