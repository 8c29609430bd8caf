// wdxprobe: a small host for content plugins. It loads a plugin the way the
// file manager does and prints what the plugin answers.
//
//   wdxprobe PLUGIN [FILE...] [--compare A B]...
//     prints the detect string and the field list, a row of field values
//     for each FILE, and the content comparison of each pair A B
//   wdxprobe --version
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/plugin_library.h"

namespace {

constexpr int TextSize = 1024;
constexpr int CompareIndex = 10000;

const char* TypeName(int type) {
  switch (type) {
    case 1: return "int32";
    case 8: return "string";
    case 100: return "compare";
    default: return "?";
  }
}

void PrintCatalogue(const PluginExports& plugin) {
  char text[TextSize] = "";
  plugin.GetDetectString(text, TextSize);
  std::printf("Detect string: %s\nFields:\n", text);
  for (int index = 0;; ++index) {
    char name[TextSize] = "";
    char units[TextSize] = "";
    const int type = plugin.GetSupportedField(index, name, units, TextSize);
    if (type == 0) break;
    std::printf("  %5d  %-12s %s\n", index, name, TypeName(type));
  }
  char name[TextSize] = "";
  char units[TextSize] = "";
  const int type = plugin.GetSupportedField(CompareIndex, name, units, TextSize);
  if (type != 0) std::printf("  %5d  %-12s %s\n", CompareIndex, name, TypeName(type));
}

// One value as the host would show it: an integer, a text, or the code.
std::string Value(const PluginExports& plugin, const char* file, int field) {
  char buffer[TextSize] = "";
  const int type = plugin.GetValue(file, field, 0, buffer, TextSize, 0);
  if (type == 1) {
    std::int32_t number = 0;
    std::memcpy(&number, buffer, sizeof number);
    return std::to_string(number);
  }
  if (type == 8) return buffer;
  return "(code " + std::to_string(type) + ")";
}

void PrintValues(const PluginExports& plugin, const std::vector<const char*>& files) {
  std::printf("\n%-32s %8s %8s  %s\n", "File", "Width", "Height", "Dimensions");
  for (const char* file : files) {
    std::printf("%-32s %8s %8s  %s\n", file, Value(plugin, file, 0).c_str(),
                Value(plugin, file, 1).c_str(), Value(plugin, file, 2).c_str());
  }
}

const char* Verdict(int code) {
  switch (code) {
    case 100: return "equal: both show the same pixels";
    case 0: return "different";
    case -3: return "not supported";
    default: return "unexpected code";
  }
}

void Compare(const PluginExports& plugin, const char* first, const char* second) {
  const int code = plugin.CompareFiles(nullptr, CompareIndex, first, second, nullptr);
  std::printf("Compare %s with %s: %d %s\n", first, second, code, Verdict(code));
}

struct Request {
  const char* plugin = nullptr;
  std::vector<const char*> files;
  std::vector<std::pair<const char*, const char*>> pairs;
};

// Splits the arguments into files and --compare pairs; false when they do
// not make sense.
bool Parse(int argc, char** argv, Request& request) {
  if (argc < 2 || argv[1][0] == '-') return false;
  request.plugin = argv[1];
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--compare") != 0) {
      request.files.push_back(argv[i]);
    } else if (i + 2 < argc) {
      request.pairs.emplace_back(argv[i + 1], argv[i + 2]);
      i += 2;
    } else {
      return false;
    }
  }
  return true;
}

int Usage() {
  std::fprintf(stderr,
               "usage: wdxprobe PLUGIN [FILE...] [--compare FILE1 FILE2]...\n"
               "       wdxprobe --version\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("wdxprobe %s\n", PIXDIM_VERSION);
    return 0;
  }
  Request request;
  if (!Parse(argc, argv, request)) return Usage();

  PluginLibrary library(request.plugin);
  if (!library.Loaded()) {
    std::fprintf(stderr, "wdxprobe: %s: %s\n", request.plugin, library.Error().c_str());
    return 1;
  }
  const PluginExports& plugin = library.Exports();
  plugin.SetDefaultParams(nullptr);
  std::printf("Plugin: %s\n", request.plugin);
  PrintCatalogue(plugin);
  if (!request.files.empty()) PrintValues(plugin, request.files);
  if (!request.pairs.empty()) std::printf("\n");
  for (const auto& [first, second] : request.pairs) Compare(plugin, first, second);
  plugin.PluginUnloading();
  return 0;
}
