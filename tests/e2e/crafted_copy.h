#pragma once
// Crafted copies of fixtures, written to a folder of their own for one
// test, compared against fixtures through the plugin's exports.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/e2e/plugin_fixture.h"

inline std::string ReadFixture(const std::string& name) {
  std::ifstream file(Fixture(name), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

class CraftedCopies : public StartedPlugin {
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
  // Why the bytes decide for the file at path, as the export tells it.
  static std::string Reason(const std::string& path) {
    char text[256] = {};
    Exports().BytesReason(path.c_str(), text, sizeof text);
    return text;
  }

  std::filesystem::path folder;
};
