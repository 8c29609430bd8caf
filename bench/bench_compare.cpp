// Time of a content comparison against the bare imaging calls it makes (two
// bitmap loads, two locks, unlocks, disposes) on the same files.
//   bench_compare PLUGIN A B [A B]...
#include <cstdint>
#include <cstdio>
#include <string>

#include "bench/bench_support.h"
#include "imaging/flat_api.h"

namespace {

// A 24 Mpx compare varies by some 10% from call to call under Wine: the
// median of this many rounds settles to within a few per cent.
constexpr int kRounds = 9;

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

void BareLocks(const std::u16string& first, const std::u16string& second) {
  Gdiplus::GpImage* bitmaps[2] = {nullptr, nullptr};
  GdipCreateBitmapFromFile(first.c_str(), &bitmaps[0]);
  GdipCreateBitmapFromFile(second.c_str(), &bitmaps[1]);
  Gdiplus::BitmapData data[2] = {};
  for (int i = 0; i < 2; ++i) {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    GdipGetImageWidth(bitmaps[i], &width);
    GdipGetImageHeight(bitmaps[i], &height);
    const Gdiplus::Rect whole{0, 0, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
    GdipBitmapLockBits(bitmaps[i], &whole, Gdiplus::ImageLockModeRead, Gdiplus::PixelFormat32bppARGB,
                       &data[i]);
  }
  for (int i = 0; i < 2; ++i) {
    GdipBitmapUnlockBits(bitmaps[i], &data[i]);
    GdipDisposeImage(bitmaps[i]);
  }
}

std::string Name(const std::string& file) { return file.substr(file.find_last_of("/\\") + 1); }

}  // namespace

int main(int argc, char** argv) {
  const PluginExports& plugin = StartPlugin(argc, argv, 4, "bench_compare PLUGIN A B [A B]...");
  PrintHeader("plugin", "bare library");
  for (int i = 2; i + 1 < argc; i += 2) {  // an odd last file has no partner
    const std::string first = argv[i];
    const std::string second = argv[i + 1];
    const std::u16string path1 = Wide(first);
    const std::u16string path2 = Wide(second);
    int verdict = 0;
    const Pair times = MedianPair(
        [&] { verdict = plugin.CompareFiles(nullptr, 10000, first.c_str(), second.c_str(), nullptr); },
        [&] { BareLocks(path1, path2); }, 1, kRounds);
    const std::string pair = Name(first) + " vs " + Name(second);
    PrintRow(verdict == 1 ? "equal" : "different", pair.c_str(), times);
  }
  plugin.PluginUnloading();
  return 0;
}
