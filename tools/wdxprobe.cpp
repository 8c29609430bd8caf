// wdxprobe: a small host for content plugins. It loads a plugin the way the
// file manager does and prints what the plugin answers.
//
//   wdxprobe PLUGIN [--ansi] [FILE...] [--compare A B]...
//     prints the detect string and the field list, a row of field values
//     for each FILE, and the content comparison of each pair A B. Like the
//     host, it passes names to the Unicode exports when the plugin has
//     them; --ansi makes it use the 8-bit ones. Names are read and printed
//     as UTF-8.
//   wdxprobe --version
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/plugin_library.h"
#include "tools/tool_platform.h"

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

struct Request {
  std::string plugin;
  bool ansi = false;
  std::vector<std::string> files;
  std::vector<std::pair<std::string, std::string>> pairs;
};

bool UsesUnicode(const PluginExports& plugin, const Request& request) {
  return !request.ansi && plugin.GetValueW != nullptr && plugin.CompareFilesW != nullptr;
}

// One value as the host would show it: an integer, a text, or the code.
std::string Value(const PluginExports& plugin, const Request& request, const std::string& file, int field) {
  char buffer[TextSize] = "";
  const int type = UsesUnicode(plugin, request)
                       ? plugin.GetValueW(Utf8ToUtf16(file).c_str(), field, 0, buffer, TextSize, 0)
                       : plugin.GetValue(Utf8ToHostAnsi(file).c_str(), field, 0, buffer, TextSize, 0);
  if (type == 1) {
    std::int32_t number = 0;
    std::memcpy(&number, buffer, sizeof number);
    return std::to_string(number);
  }
  if (type == 8) return buffer;
  return "(code " + std::to_string(type) + ")";
}

void PrintValues(const PluginExports& plugin, const Request& request) {
  std::printf("\n%-32s %8s %8s  %s\n", "File", "Width", "Height", "Dimensions");
  for (const std::string& file : request.files) {
    std::printf("%-32s %8s %8s  %s\n", file.c_str(), Value(plugin, request, file, 0).c_str(),
                Value(plugin, request, file, 1).c_str(), Value(plugin, request, file, 2).c_str());
  }
}

const char* Verdict(int code) {
  switch (code) {
    case 1: return "equal: both show the same pixels";
    case 0: return "different";
    case -1: return "file error: a file could not be opened";
    case -2: return "stopped";
    case -3: return "not supported";
    default: return "unexpected code";
  }
}

// After a "different": why either file could only be proven equal by its
// bytes, where the plugin tells.
void PrintBytesReasons(const PluginExports& plugin, const Request& request, const std::string& first,
                       const std::string& second) {
  for (const std::string* name : {&first, &second}) {
    char text[256] = {};
    const int reason = UsesUnicode(plugin, request) && plugin.BytesReasonW != nullptr
                           ? plugin.BytesReasonW(Utf8ToUtf16(*name).c_str(), text, sizeof text)
                       : plugin.BytesReason != nullptr
                           ? plugin.BytesReason(Utf8ToHostAnsi(*name).c_str(), text, sizeof text)
                           : 0;
    if (reason != 0) std::printf("  %s %s, so only the same bytes count (reason %d)\n", name->c_str(), text, reason);
  }
}

void Compare(const PluginExports& plugin, const Request& request, const std::string& first,
             const std::string& second) {
  const int code =
      UsesUnicode(plugin, request)
          ? plugin.CompareFilesW(nullptr, CompareIndex, Utf8ToUtf16(first).c_str(), Utf8ToUtf16(second).c_str(),
                                 nullptr)
          : plugin.CompareFiles(nullptr, CompareIndex, Utf8ToHostAnsi(first).c_str(),
                                Utf8ToHostAnsi(second).c_str(), nullptr);
  std::printf("Compare %s with %s: %d %s\n", first.c_str(), second.c_str(), code, Verdict(code));
  if (code == 0) PrintBytesReasons(plugin, request, first, second);
}

// Splits the arguments into files and --compare pairs; false when they do
// not make sense.
bool Parse(const std::vector<std::string>& arguments, Request& request) {
  if (arguments.size() < 2 || arguments[1][0] == '-') return false;
  request.plugin = arguments[1];
  for (std::size_t i = 2; i < arguments.size(); ++i) {
    if (arguments[i] == "--ansi") {
      request.ansi = true;
    } else if (arguments[i] != "--compare") {
      request.files.push_back(arguments[i]);
    } else if (i + 2 < arguments.size()) {
      request.pairs.emplace_back(arguments[i + 1], arguments[i + 2]);
      i += 2;
    } else {
      return false;
    }
  }
  return true;
}

int Usage() {
  std::fprintf(stderr,
               "usage: wdxprobe PLUGIN [--ansi] [FILE...] [--compare FILE1 FILE2]...\n"
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
  if (!Parse(Utf8Arguments(argc, argv), request)) return Usage();

  PluginLibrary library(request.plugin);
  if (!library.Loaded()) {
    std::fprintf(stderr, "wdxprobe: %s: %s\n", request.plugin.c_str(), library.Error().c_str());
    return 1;
  }
  const PluginExports& plugin = library.Exports();
  plugin.SetDefaultParams(nullptr);
  std::printf("Plugin: %s\nNames: %s exports\n", request.plugin.c_str(),
              UsesUnicode(plugin, request) ? "Unicode" : "8-bit");
  PrintCatalogue(plugin);
  if (!request.files.empty()) PrintValues(plugin, request);
  if (!request.pairs.empty()) std::printf("\n");
  for (const auto& [first, second] : request.pairs) Compare(plugin, request, first, second);
  plugin.PluginUnloading();
  return 0;
}
