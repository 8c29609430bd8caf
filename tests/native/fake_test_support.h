#pragma once
// A fixture that starts every test on a clean stand-in, started the way the
// host starts the plugin, and checks after the test that nothing the plugin
// opened or started is still alive and that nothing was misused.

#include <gtest/gtest.h>

#include "plugin/exports.h"
#include "tests/fake_gdiplus/fake_gdiplus.h"

class OnFakeImaging : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::Reset();
    ContentSetDefaultParams(nullptr);
    fake::ForgetCalls();
  }
  void TearDown() override {
    ContentPluginUnloading();
    EXPECT_EQ(fake::LiveHandles(), 0) << "an image handle outlived the call";
    EXPECT_EQ(fake::LiveLocks(), 0) << "a pixel lock outlived the call";
    EXPECT_EQ(fake::LiveAllocations(), 0) << "imaging memory outlived the call";
    EXPECT_EQ(fake::LiveStarts(), 0) << "a start of the library was never shut down";
    EXPECT_TRUE(fake::Faults().empty()) << fake::Faults().front();
    fake::Reset();
  }
};
