// Files per second over a folder of mixed pictures, per type (a file's name
// up to its first '-' or '.'), for the Linux plugin's Width and all three
// columns, against the floor (open, read 64 KiB, close), the bare
// gdk_pixbuf_get_file_info and, when given, Pillow's rates; and the time of
// the plugin's first value in a new process. Fails when a value differs
// from gdk-pixbuf's.
//   bench_folder PLUGIN FOLDER [PILLOW_RATES]   (lines "TYPE FILES_PER_SECOND")
//   bench_folder --first-call PLUGIN FILE       (in a fresh process; prints
//                                                load and first-value seconds)
#include <dirent.h>
#include <fcntl.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_support.h"

namespace {

constexpr int kRounds = 5;
constexpr int kFreshProcesses = 5;

using Files = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

std::map<std::string, Files> FilesByType(const std::string& folder) {
  std::map<std::string, Files> types;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return types;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name[0] != '.') types[name.substr(0, name.find_first_of("-."))].push_back(folder + "/" + name);
  }
  closedir(dir);
  for (auto& type : types) std::sort(type.second.begin(), type.second.end());
  return types;
}

// Reads up to `limit` bytes of the file, all of it by default.
void ReadFile(const std::string& file, std::size_t limit = SIZE_MAX) {
  static char buffer[1 << 16];
  const int fd = open(file.c_str(), O_RDONLY);
  if (fd < 0) return;
  for (std::size_t total = 0; total < limit;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) break;
    total += static_cast<std::size_t>(got);
  }
  close(fd);
}

// The table's columns; those before the first pass are timed in turns
// within each round.
enum Column { kFloor, kWidth, kAllThree, kFileInfo, kFirstPass, kPillow, kColumns };
constexpr int kTimedSides = kFirstPass;
using Seconds = std::array<double, kColumns>;  // for one type's files; 0 when not measured
using Work = std::function<void(const std::string&)>;

std::array<Work, kTimedSides> TimedSides(const PluginExports& plugin) {
  return {
      [](const std::string& file) { ReadFile(file, 1 << 16); },
      [&plugin](const std::string& file) {
        std::int32_t width = 0;
        plugin.GetValue(file.c_str(), 0, 0, &width, sizeof width, 0);
      },
      [&plugin](const std::string& file) {
        char value[64];
        for (int field = 0; field < 3; ++field)
          plugin.GetValue(file.c_str(), field, 0, value, sizeof value, 0);
      },
      [](const std::string& file) {
        int width = 0;
        int height = 0;
        gdk_pixbuf_get_file_info(file.c_str(), &width, &height);
      },
  };
}

double SecondsFor(const Files& files, const Work& work) {
  const auto start = Clock::now();
  for (const auto& file : files) work(file);
  return SecondsSince(start);
}

// The first pass (the plugin's own first look at each file), then the
// median of the rounds for the timed sides.
std::map<std::string, Seconds> Measure(const std::map<std::string, Files>& types,
                                       const PluginExports& plugin) {
  const auto sides = TimedSides(plugin);
  std::map<std::string, Seconds> seconds;
  for (const auto& [type, files] : types) seconds[type][kFirstPass] = SecondsFor(files, sides[kWidth]);
  std::map<std::string, std::array<std::vector<double>, kTimedSides>> rounds;
  for (int round = 0; round < kRounds; ++round) {
    for (const auto& [type, files] : types) {
      for (int side = 0; side < kTimedSides; ++side)
        rounds[type][side].push_back(SecondsFor(files, sides[side]));
    }
  }
  for (const auto& [type, times] : rounds) {
    for (int side = 0; side < kTimedSides; ++side) seconds[type][side] = Median(times[side]);
  }
  return seconds;
}

// Files whose three values differ from gdk-pixbuf's reading of the file.
int CountWrongValues(const PluginExports& plugin, const std::map<std::string, Files>& types) {
  int wrong = 0;
  for (const auto& entry : types) {
    for (const auto& file : entry.second) {
      int width = 0;
      int height = 0;
      if (gdk_pixbuf_get_file_info(file.c_str(), &width, &height) == nullptr) continue;
      std::int32_t values[2] = {0, 0};
      char text[64] = "";
      plugin.GetValue(file.c_str(), 0, 0, &values[0], sizeof values[0], 0);
      plugin.GetValue(file.c_str(), 1, 0, &values[1], sizeof values[1], 0);
      plugin.GetValue(file.c_str(), 2, 0, text, sizeof text, 0);
      const std::string expected = std::to_string(width) + " x " + std::to_string(height);
      if (values[0] == width && values[1] == height && text == expected) continue;
      if (++wrong <= 5) {
        std::printf("WRONG %s: %" PRId32 ", %" PRId32 ", \"%s\"; gdk-pixbuf reads %s\n", file.c_str(),
                    values[0], values[1], text, expected.c_str());
      }
    }
  }
  return wrong;
}

std::map<std::string, double> PillowRates(const char* path) {
  std::map<std::string, double> rates;
  FILE* in = std::fopen(path, "r");
  if (in == nullptr) return rates;
  char type[256];
  double rate = 0;
  while (std::fscanf(in, "%255s %lf", type, &rate) == 2) rates[type] = rate;
  std::fclose(in);
  return rates;
}

// --first-call: the plugin loaded and started, then one Width. This program
// has gdk-pixbuf linked in already, as a GTK file manager has.
int FirstCall(const char* pluginPath, const char* file) {
  const auto start = Clock::now();
  PluginLibrary library(pluginPath);
  if (!library.Loaded()) return 1;
  const PluginExports& plugin = library.Exports();
  plugin.SetDefaultParams(nullptr);
  const double loading = SecondsSince(start);
  const auto call = Clock::now();
  std::int32_t width = 0;
  plugin.GetValue(file, 0, 0, &width, sizeof width, 0);
  const double first = SecondsSince(call);
  plugin.PluginUnloading();
  std::printf("%.9f %.9f\n", loading, first);
  return 0;
}

// What this program prints when run again, in a new process, with `args`.
std::string OutputOfNewProcess(std::vector<std::string> args) {
  int ends[2];
  if (pipe(ends) != 0) return "";
  const pid_t child = fork();
  if (child == 0) {
    dup2(ends[1], STDOUT_FILENO);
    close(ends[0]);
    close(ends[1]);
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv("/proc/self/exe", argv.data());
    _exit(127);
  }
  close(ends[1]);
  std::string output;
  char buffer[256];
  for (ssize_t got; (got = read(ends[0], buffer, sizeof buffer)) > 0;)
    output.append(buffer, static_cast<std::size_t>(got));
  close(ends[0]);
  waitpid(child, nullptr, 0);
  return output;
}

// False when a type's first call could not be measured.
bool PrintFirstCalls(const char* pluginPath, const std::map<std::string, Files>& types) {
  bool measured = true;
  std::printf("\nFirst call in a new process (median of %d processes):\n\n", kFreshProcesses);
  std::printf("| file | load + default params, ms | first Width, ms |\n|---|---:|---:|\n");
  for (const auto& entry : types) {
    const std::string& file = entry.second.front();
    std::vector<double> loading;
    std::vector<double> first;
    for (int run = 0; run < kFreshProcesses; ++run) {
      double times[2] = {0, 0};
      const std::string output = OutputOfNewProcess({"bench_folder", "--first-call", pluginPath, file});
      if (std::sscanf(output.c_str(), "%lf %lf", &times[0], &times[1]) != 2) continue;
      loading.push_back(times[0]);
      first.push_back(times[1]);
    }
    const std::string name = file.substr(file.rfind('/') + 1);
    if (first.empty()) {
      std::printf("| %s | failed | failed |\n", name.c_str());
      measured = false;
    } else {
      std::printf("| %s | %.2f | %.2f |\n", name.c_str(), Median(loading) * 1e3, Median(first) * 1e3);
    }
  }
  return measured;
}

std::string Rate(double files, double seconds) {
  if (seconds <= 0) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.0f", files / seconds);
  return text;
}

void PrintTypeRow(const std::string& type, double files, const Seconds& seconds) {
  std::printf("| %s | %.0f |", type.c_str(), files);
  for (double column : seconds) std::printf(" %s |", Rate(files, column).c_str());
  std::printf(" %.1fx | %.2fx |\n", seconds[kWidth] / seconds[kFloor], seconds[kAllThree] / seconds[kWidth]);
}

void PrintTables(const std::map<std::string, Files>& types, std::map<std::string, Seconds> seconds,
                 const std::map<std::string, double>& pillow) {
  std::printf(
      "| type | files | floor | Width | all three | gdk_pixbuf_get_file_info | Width, first pass | Pillow "
      "| Width vs floor | all three vs Width |\n|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
  Seconds all{};
  double files = 0;
  for (const auto& [type, paths] : types) {
    const double count = static_cast<double>(paths.size());
    if (pillow.count(type) != 0) seconds[type][kPillow] = count / pillow.at(type);
    PrintTypeRow(type, count, seconds[type]);
    for (int column = 0; column < kColumns; ++column) all[column] += seconds[type][column];
    files += count;
  }
  if (pillow.size() < types.size()) all[kPillow] = 0;  // no total from some of the types
  PrintTypeRow("all", files, all);
  std::printf("\n| what | files/s |\n|---|---:|\n");
  std::printf("| pixdim Width | %s |\n", Rate(files, all[kWidth]).c_str());
  std::printf("| pixdim Width, first pass | %s |\n", Rate(files, all[kFirstPass]).c_str());
  std::printf("| pixdim all three columns | %s |\n", Rate(files, all[kAllThree]).c_str());
  std::printf("| bare gdk_pixbuf_get_file_info | %s |\n", Rate(files, all[kFileInfo]).c_str());
  std::printf("| Pillow Image.open(f).size | %s |\n", Rate(files, all[kPillow]).c_str());
  std::printf("| the floor (open + read 64 KiB + close) | %s |\n", Rate(files, all[kFloor]).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--first-call") == 0) return FirstCall(argv[2], argv[3]);
  const PluginExports& plugin = StartPlugin(argc, argv, 3, "bench_folder PLUGIN FOLDER [PILLOW_RATES]");
  const auto types = FilesByType(argv[2]);
  if (types.empty()) {
    std::fprintf(stderr, "no files in %s\n", argv[2]);
    return 2;
  }
  std::size_t count = 0;
  for (const auto& entry : types) {
    for (const auto& file : entry.second) ReadFile(file);  // into the page cache
    count += entry.second.size();
  }
  const auto seconds = Measure(types, plugin);
  std::printf(
      "Linux plugin on %zu files in %s: files/s, median of %d rounds after a first pass, page cache warm\n\n",
      count, argv[2], kRounds);
  PrintTables(types, seconds, argc > 3 ? PillowRates(argv[3]) : std::map<std::string, double>{});
  const bool firstCallsMeasured = PrintFirstCalls(argv[1], types);
  const int wrong = CountWrongValues(plugin, types);
  plugin.PluginUnloading();
  if (wrong > 0) std::printf("\n%d files with values other than gdk-pixbuf's\n", wrong);
  return wrong == 0 && firstCallsMeasured ? 0 : 1;
}
