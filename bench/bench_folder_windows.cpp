// The Windows twin of bench_folder: files per second over the folder of
// mixed pictures, per type (a file's name up to its first '-' or '.'), for
// the plugin's Width and all three columns against the floor (open, read
// 64 KiB, close) in the same process, and the share of Width values the
// plugin delays when the host allows it. Calls go through the Unicode
// export, as the host's do. With 1000 files the plugin's size cache (the
// last few files) never answers a first column.
//   bench_folder_windows PLUGIN FOLDER [ROUNDS]
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_support.h"

namespace {

constexpr int kDefaultRounds = 5;
constexpr int kDelayIfSlow = 1;
constexpr int kValueDelayed = 0;

using Files = std::vector<std::u16string>;

const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

std::map<std::string, Files> FilesByType(const std::string& folder) {
  std::map<std::string, Files> types;
  const std::u16string root(folder.begin(), folder.end());
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW(Wide(root + u"/*"), &found);
  if (search == INVALID_HANDLE_VALUE) return types;
  do {
    const std::u16string name(reinterpret_cast<const char16_t*>(found.cFileName));
    if (name[0] == u'.' || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    const std::u16string type = name.substr(0, name.find_first_of(u"-."));
    types[std::string(type.begin(), type.end())].push_back(root + u"/" + name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  for (auto& type : types) std::sort(type.second.begin(), type.second.end());
  return types;
}

// Reads up to `limit` bytes of the file, all of it by default.
void ReadFile(const std::u16string& file, std::size_t limit = SIZE_MAX) {
  static char buffer[1 << 16];
  const HANDLE handle = CreateFileW(Wide(file), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return;
  for (std::size_t total = 0; total < limit;) {
    DWORD got = 0;
    if (!::ReadFile(handle, buffer, sizeof buffer, &got, nullptr) || got == 0) break;
    total += got;
  }
  CloseHandle(handle);
}

enum Column { kFloor, kWidth, kAllThree, kColumns };
using Seconds = std::array<double, kColumns>;
using Work = std::function<void(const std::u16string&)>;

std::array<Work, kColumns> TimedSides(const PluginExports& plugin) {
  return {
      [](const std::u16string& file) { ReadFile(file, 1 << 16); },
      [&plugin](const std::u16string& file) {
        std::int32_t width = 0;
        plugin.GetValueW(file.c_str(), 0, 0, &width, sizeof width, 0);
      },
      [&plugin](const std::u16string& file) {
        char value[64];
        for (int field = 0; field < 3; ++field) plugin.GetValueW(file.c_str(), field, 0, value, sizeof value, 0);
      },
  };
}

double SecondsFor(const Files& files, const Work& work) {
  const auto start = std::chrono::steady_clock::now();
  for (const auto& file : files) work(file);
  return SecondsSince(start);
}

// The median of the rounds, each round timing every side on every type.
std::map<std::string, Seconds> Measure(const std::map<std::string, Files>& types, const PluginExports& plugin,
                                       int rounds) {
  const auto sides = TimedSides(plugin);
  std::map<std::string, std::array<std::vector<double>, kColumns>> times;
  for (int round = 0; round < rounds; ++round) {
    for (const auto& [type, files] : types) {
      for (int side = 0; side < kColumns; ++side) times[type][side].push_back(SecondsFor(files, sides[side]));
    }
  }
  std::map<std::string, Seconds> seconds;
  for (const auto& [type, sideTimes] : times) {
    for (int side = 0; side < kColumns; ++side) seconds[type][side] = Median(sideTimes[side]);
  }
  return seconds;
}

// Width asked with the delay flag, as the host's window asks it.
int DelayedValues(const PluginExports& plugin, const Files& files) {
  int delayed = 0;
  for (const auto& file : files) {
    std::int32_t width = 0;
    delayed += plugin.GetValueW(file.c_str(), 0, 0, &width, sizeof width, kDelayIfSlow) == kValueDelayed ? 1 : 0;
  }
  return delayed;
}

std::string Rate(double files, double seconds) {
  if (seconds <= 0) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.0f", files / seconds);
  return text;
}

void PrintRow(const std::string& type, double files, const Seconds& seconds, int delayed) {
  std::printf("| %s | %.0f | %s | %s | %s | %.1fx | %.2fx | %.0f%% |\n", type.c_str(), files,
              Rate(files, seconds[kFloor]).c_str(), Rate(files, seconds[kWidth]).c_str(),
              Rate(files, seconds[kAllThree]).c_str(), seconds[kWidth] / seconds[kFloor],
              seconds[kAllThree] / seconds[kWidth], 100.0 * delayed / files);
}

}  // namespace

int main(int argc, char** argv) {
  const PluginExports& plugin = StartPlugin(argc, argv, 3, "bench_folder_windows PLUGIN FOLDER [ROUNDS]");
  if (plugin.GetValueW == nullptr) {
    std::fprintf(stderr, "the plugin has no Unicode value export\n");
    return 1;
  }
  const int rounds = argc > 3 ? std::atoi(argv[3]) : kDefaultRounds;
  const auto types = FilesByType(argv[2]);
  if (types.empty() || rounds < 1) {
    std::fprintf(stderr, "no files in %s\n", argv[2]);
    return 2;
  }
  std::size_t count = 0;
  for (const auto& entry : types) {
    for (const auto& file : entry.second) ReadFile(file);  // into the page cache
    count += entry.second.size();
  }
  std::map<std::string, int> delayed;
  for (const auto& [type, files] : types) delayed[type] = DelayedValues(plugin, files);
  const auto seconds = Measure(types, plugin, rounds);
  std::printf("Windows plugin %s on %zu files in %s: files/s, median of %d rounds, page cache warm\n\n", argv[1],
              count, argv[2], rounds);
  std::printf("| type | files | floor | Width | all three | Width vs floor | all three vs Width | delayed |\n"
              "|---|---:|---:|---:|---:|---:|---:|---:|\n");
  Seconds all{};
  int allDelayed = 0;
  for (const auto& [type, files] : types) {
    PrintRow(type, static_cast<double>(files.size()), seconds.at(type), delayed[type]);
    for (int column = 0; column < kColumns; ++column) all[column] += seconds.at(type)[column];
    allDelayed += delayed[type];
  }
  PrintRow("all", static_cast<double>(count), all, allDelayed);
  plugin.PluginUnloading();
  return 0;
}
