#pragma once
// Shared by the benchmarks: loading the plugin named on the command line,
// and timing as the median of several rounds, with the two measured sides
// interleaved so that neither profits from a warmer cache or a quieter
// machine.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tools/plugin_library.h"

// Loads and starts the plugin, or exits with the usage line when the
// arguments are too few and with the reason when the plugin cannot load.
inline const PluginExports& StartPlugin(int argc, char** argv, int minimumArgs, const char* usage) {
  if (argc < minimumArgs) {
    std::fprintf(stderr, "usage: %s\n", usage);
    std::exit(2);
  }
  static PluginLibrary library(argv[1]);
  if (!library.Loaded()) {
    std::fprintf(stderr, "%s\n", library.Error().c_str());
    std::exit(1);
  }
  library.Exports().SetDefaultParams(nullptr);
  return library.Exports();
}

inline double SecondsSince(std::chrono::steady_clock::time_point start) {
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  return elapsed.count();
}

template <typename Work>
double SecondsPerCall(Work work, int calls) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < calls; ++i) work();
  return SecondsSince(start) / calls;
}

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Medians of each side's time, and the lowest and highest ratio of one
// round's pair of times: how far a single round could mislead.
struct Pair {
  double plugin;
  double bare;
  double lowRatio;
  double highRatio;
};

// Each round times both sides, the one first in even rounds the other first
// in odd ones, so neither always runs on the caches the other warmed.
template <typename Plugin, typename Bare>
Pair MedianPair(Plugin plugin, Bare bare, int calls, int rounds) {
  std::vector<double> pluginTimes;
  std::vector<double> bareTimes;
  std::vector<double> ratios;
  plugin();  // warm both up once
  bare();
  for (int round = 0; round < rounds; ++round) {
    if (round % 2 == 0) {
      pluginTimes.push_back(SecondsPerCall(plugin, calls));
      bareTimes.push_back(SecondsPerCall(bare, calls));
    } else {
      bareTimes.push_back(SecondsPerCall(bare, calls));
      pluginTimes.push_back(SecondsPerCall(plugin, calls));
    }
    ratios.push_back(pluginTimes.back() / bareTimes.back());
  }
  const auto [low, high] = std::minmax_element(ratios.begin(), ratios.end());
  return {Median(pluginTimes), Median(bareTimes), *low, *high};
}

inline void PrintRow(const char* what, const char* file, Pair times) {
  std::printf("%-12s %-28s %12.1f us %12.1f us %8.3f %6.3f-%.3f\n", what, file, times.plugin * 1e6,
              times.bare * 1e6, times.plugin / times.bare, times.lowRatio, times.highRatio);
}

// The two timed columns are named by the caller: plugin against bare
// library, or one plugin call against another.
inline void PrintHeader(const char* first, const char* second) {
  std::printf("%-12s %-28s %15s %15s %8s %13s\n", "call", "file", first, second, "ratio", "round ratios");
}
