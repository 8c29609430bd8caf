#pragma once
// The built plugin, loaded once per test program as the host loads it.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "plugin/codes.h"
#include "plugin/field_table.h"
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

constexpr int ValueCodesDiffer = 99;

inline const PluginExports& Exports() { return Plugin().Exports(); }

// The code all three fields give for the file, each asked with the host's
// buffer filled with a pattern: ValueCodesDiffer when the fields disagree
// or a code below 1 left the buffer other than it was.
inline int ValueCode(const std::string& file, int flags = 0) {
  int codes[3] = {};
  for (int field = 0; field < 3; ++field) {
    char buffer[64];
    std::memset(buffer, '#', sizeof buffer);
    codes[field] = Exports().GetValue(file.c_str(), field, 0, buffer, sizeof buffer, flags);
    if (codes[field] < 1 && std::string(buffer, sizeof buffer) != std::string(sizeof buffer, '#')) {
      return ValueCodesDiffer;
    }
  }
  return codes[0] == codes[1] && (codes[0] < 1 ? codes[1] == codes[2] : codes[2] == 8) ? codes[0] : ValueCodesDiffer;
}

inline std::string Fixture(const std::string& name) { return std::string(PIXDIM_FIXTURES) + "/" + name; }

inline std::string ReadFixture(const std::string& name) {
  std::ifstream file(Fixture(name), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

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

// Crafted copies of fixtures, written for each test in a folder of its own
// and compared through the plugin's exports.
class CraftedFiles : public StartedPlugin {
 protected:
  void SetUp() override {
    const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    folder = std::filesystem::temp_directory_path() / ("pixdim-e2e-crafted-" + std::to_string(tick));
    std::filesystem::create_directories(folder);
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string path = (folder / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  // The compare of the file at path with a fixture.
  static int CompareWith(const std::string& path, const std::string& fixture) {
    return Exports().CompareFiles(nullptr, 10000, path.c_str(), Fixture(fixture).c_str(), nullptr);
  }
  // Why only the same bytes prove the file equal to another, as the plugin
  // tells it: its number, and its text (empty when its pixels may).
  static int Reason(const std::string& path) {
    char text[256] = {};
    return Exports().BytesReason(path.c_str(), text, sizeof text);
  }
  static std::string ReasonText(const std::string& path) {
    char text[256] = {};
    Exports().BytesReason(path.c_str(), text, sizeof text);
    return text;
  }

  std::filesystem::path folder;
};
