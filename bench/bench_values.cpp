// Time per field-value call against the bare imaging calls it makes (load,
// read size, dispose) on the same files; and the three fields of a file one
// after the other, as a file manager asks for them, against the Width alone.
// Every measured call first gives the file a new modification time, so the
// plugin's size cache sees a changed file and reads it, as for a file it
// meets for the first time. The times lie an hour back, as a file's do that
// was not written in the last seconds: the plugin caches only such sizes.
//   bench_values PLUGIN IMAGE...
#include <cstdint>
#include <cstdio>
#include <string>

#include <windows.h>

#include "bench/bench_support.h"
#include "imaging/flat_api.h"

namespace {

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

void Touch(const std::u16string& path) {
  static ULONGLONG tick = 0;
  const HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), FILE_WRITE_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  FILETIME time{};
  GetSystemTimeAsFileTime(&time);
  ULARGE_INTEGER value{};
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  constexpr ULONGLONG HourTicks = 36000000000;  // 100 ns each
  value.QuadPart = value.QuadPart - HourTicks + ++tick;
  time.dwLowDateTime = value.LowPart;
  time.dwHighDateTime = value.HighPart;
  SetFileTime(file, nullptr, nullptr, &time);
  CloseHandle(file);
}

void BareSize(const std::u16string& path, bool both) {
  Touch(path);
  Gdiplus::GpImage* image = nullptr;
  GdipLoadImageFromFile(path.c_str(), &image);
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  GdipGetImageWidth(image, &width);
  if (both) GdipGetImageHeight(image, &height);
  GdipDisposeImage(image);
}

// About 0.2 s a round.
int CallsPerRound(const std::u16string& path) {
  const double once = SecondsPerCall([&] { BareSize(path, true); }, 3);
  return std::max(1, static_cast<int>(0.2 / once));
}

std::string Name(const std::string& file) { return file.substr(file.find_last_of("/\\") + 1); }

void Fields(const PluginExports& plugin, const std::string& file, int count) {
  Touch(Wide(file));
  char value[64];
  for (int field = 0; field < count; ++field) plugin.GetValue(file.c_str(), field, 0, value, sizeof value, 0);
}

}  // namespace

int main(int argc, char** argv) {
  const PluginExports& plugin = StartPlugin(argc, argv, 3, "bench_values PLUGIN IMAGE...");
  PrintHeader("plugin", "bare library");
  for (int i = 2; i < argc; ++i) {
    const std::string file = argv[i];
    const std::u16string path = Wide(file);
    const int calls = CallsPerRound(path);
    for (int field : {0, 2}) {
      char value[64];
      const Pair times = MedianPair(
          [&] {
            Touch(path);
            plugin.GetValue(file.c_str(), field, 0, value, sizeof value, 0);
          },
          [&] { BareSize(path, field == 2); }, calls, 7);
      PrintRow(field == 0 ? "Width" : "Dimensions", Name(file).c_str(), times);
    }
  }
  std::printf("\n");
  PrintHeader("all three", "Width alone");
  for (int i = 2; i < argc; ++i) {
    const std::string file = argv[i];
    const Pair times = MedianPair([&] { Fields(plugin, file, 3); }, [&] { Fields(plugin, file, 1); },
                                  CallsPerRound(Wide(file)), 7);
    PrintRow("All three", Name(file).c_str(), times);
  }
  plugin.PluginUnloading();
  return 0;
}
