// Files per second for the Width column of a whole folder with the Linux
// plugin, against decoding every file fully with the same library.
//   bench_width_folder PLUGIN FOLDER
#include <dirent.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_support.h"

namespace {

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> files;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return files;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] != '.') files.push_back(folder + "/" + entry->d_name);
  }
  closedir(dir);
  std::sort(files.begin(), files.end());
  return files;
}

template <typename Work>
double FilesPerSecond(const std::vector<std::string>& files, Work work) {
  const auto start = std::chrono::steady_clock::now();
  for (const auto& file : files) work(file);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  return static_cast<double>(files.size()) / elapsed.count();
}

}  // namespace

int main(int argc, char** argv) {
  const PluginExports& plugin = StartPlugin(argc, argv, 3, "bench_width_folder PLUGIN FOLDER");
  const std::vector<std::string> files = FilesIn(argv[2]);
  std::uint64_t widths = 0;
  const double plugin_rate = FilesPerSecond(files, [&](const std::string& file) {
    std::int32_t width = 0;
    plugin.GetValue(file.c_str(), 0, 0, &width, 4, 0);
    widths += static_cast<std::uint64_t>(width);
  });
  std::uint64_t decoded = 0;
  const double decode_rate = FilesPerSecond(files, [&](const std::string& file) {
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(file.c_str(), nullptr);
    if (pixbuf == nullptr) return;
    decoded += static_cast<std::uint64_t>(gdk_pixbuf_get_width(pixbuf));
    g_object_unref(pixbuf);
  });
  plugin.PluginUnloading();
  std::printf("%zu files; widths add up to %llu (plugin) and %llu (decoded)\n", files.size(),
              static_cast<unsigned long long>(widths), static_cast<unsigned long long>(decoded));
  std::printf("Width through the plugin: %10.0f files/s\n", plugin_rate);
  std::printf("Full decode:              %10.0f files/s\n", decode_rate);
  std::printf("Ratio:                    %10.1f x\n", plugin_rate / decode_rate);
  return 0;
}
