#pragma once
// The built plugin, loaded once per test program as the host loads it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tools/plugin_library.h"

// The plugin under test and the folder of image fixtures; the build passes
// both as paths the test program can open. PIXDIM_PLUGIN in the environment
// names another build of the plugin to test.
inline PluginLibrary& Plugin() {
  static const char* const other = std::getenv("PIXDIM_PLUGIN");
  static PluginLibrary library(other != nullptr ? other : PIXDIM_PLUGIN);
  return library;
}

// The compare results as the host reads them.
constexpr int Equal = 1;
constexpr int Different = 0;
constexpr int FileError = -1;
constexpr int Stopped = -2;
constexpr int NotSupported = -3;

inline const PluginExports& Exports() { return Plugin().Exports(); }

inline std::string Fixture(const std::string& name) { return std::string(PIXDIM_FIXTURES) + "/" + name; }

// Test suites that read images start the imaging library the way the host
// does before its first query, and shut it down after the last.
class StartedPlugin : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(Plugin().Loaded()) << Plugin().Error();
    Exports().SetDefaultParams(nullptr);
  }
  static void TearDownTestSuite() { Exports().PluginUnloading(); }
};
