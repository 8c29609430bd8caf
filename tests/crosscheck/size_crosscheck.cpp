// size_crosscheck PLUGIN PATH...
//   For every file under the paths (files or folders, recursively), compares
//   the Width and Height the plugin gives, and the size the header reader
//   settles, with what the platform's imaging library shows: gdk-pixbuf's
//   decoded image on Linux, bare GDI+'s size on Windows (see
//   reference_*.cpp). Files the library cannot decode are listed as notes.
//   Prints each mismatch and a summary by format; exits 1 on any mismatch,
//   2 on bad arguments.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "imaging/header_facts.h"
#include "plugin/platform.h"
#include "tests/crosscheck/reference_size.h"
#include "tools/plugin_library.h"

namespace {

constexpr int WidthField = 0;
constexpr int HeightField = 1;
constexpr int IntegerValue = 1;

std::string Text(const Size& size) { return std::to_string(size.width) + " x " + std::to_string(size.height); }

std::uint32_t PluginNumber(const PluginExports& plugin, const std::string& file, int field) {
  std::int32_t value = 0;
  const int type = plugin.GetValue(file.c_str(), field, 0, &value, sizeof value, 0);
  return type == IntegerValue && value > 0 ? static_cast<std::uint32_t>(value) : 0;
}

const char* FormatName(ImageFormat format) {
  switch (format) {
    case ImageFormat::Png: return "PNG";
    case ImageFormat::Jpeg: return "JPEG";
    case ImageFormat::Gif: return "GIF";
    case ImageFormat::Bmp: return "BMP";
    case ImageFormat::Tiff: return "TIFF";
    case ImageFormat::Ico: return "ICO";
    case ImageFormat::Cur: return "CUR";
    case ImageFormat::Pnm: return "PNM";
    case ImageFormat::WebP: return "WebP";
    case ImageFormat::Heif: return "AVIF";
    case ImageFormat::QuickTime: return "QuickTime";
    case ImageFormat::Icns: return "ICNS";
    case ImageFormat::Svg: return "SVG";
    case ImageFormat::CameraRaw: return "raw";
    case ImageFormat::JpegXl: return "JXL";
    case ImageFormat::Unknown: break;
  }
  return "other";
}

struct Tally {
  int files = 0;
  int decoded = 0;
  int undecodable = 0;  // decoding fails, yet the library reads a size
  int settled = 0;
  int headerOnly = 0;  // settled, and the library reads nothing
  int mismatches = 0;
};

void CheckFile(const PluginExports& plugin, const std::string& file, std::map<std::string, Tally>& tallies) {
  // Opened as the plugin opens a host's file.
  const std::unique_ptr<HostFile> opened = FindHostFile(file.c_str());
  const HeaderFacts facts = opened->Open() ? ReadHeaderFacts(*opened) : HeaderFacts{};
  const Reference reference = ReferenceSize(file);
  const Size shown{PluginNumber(plugin, file, WidthField), PluginNumber(plugin, file, HeightField)};
  const Size header{facts.width, facts.height};
  const bool settled = header.width != 0;
  Tally& tally = tallies[FormatName(facts.format)];
  ++tally.files;
  tally.decoded += reference.decoded ? 1 : 0;
  tally.settled += settled ? 1 : 0;
  tally.headerOnly += settled && reference.size.width == 0 ? 1 : 0;
  if (!reference.decoded && reference.size.width != 0) {
    ++tally.undecodable;
    std::printf("NOTE %s: not decodable (%s); plugin %s, header %s, library's header %s\n", file.c_str(),
                reference.failure.c_str(), Text(shown).c_str(), Text(header).c_str(), Text(reference.size).c_str());
  }
  if (settled && reference.size.width == 0) {
    std::printf("NOTE %s: the library reads no size (%s); plugin %s, header %s\n", file.c_str(),
                reference.failure.c_str(), Text(shown).c_str(), Text(header).c_str());
  }
  const bool headerShown = settled && HeaderShown(facts.format);
  const Size expected = headerShown ? header : reference.size;
  const std::string source = headerShown                ? " (the header's)"
                             : reference.decoded        ? ""
                             : reference.size.width != 0 ? " (library's header size)"
                                                         : " (library reads nothing)";
  if (!(shown == expected)) {
    std::printf("MISMATCH %s: plugin %s, expected %s%s\n", file.c_str(), Text(shown).c_str(),
                Text(expected).c_str(), source.c_str());
    ++tally.mismatches;
  }
  if (settled && HeaderHeldToReference(facts.format, reference) && !(header == reference.size)) {
    std::printf("MISMATCH %s: header %s, library %s%s\n", file.c_str(), Text(header).c_str(),
                Text(reference.size).c_str(), reference.failure.empty() ? "" : (" (" + reference.failure + ")").c_str());
    ++tally.mismatches;
  }
}

// The regular files under each path, in name order.
std::vector<std::string> FilesUnder(const std::vector<std::string>& paths) {
  std::vector<std::string> files;
  for (const std::string& path : paths) {
    std::error_code error;
    if (!std::filesystem::is_directory(path, error)) {
      files.push_back(path);
      continue;
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path, error)) {
      if (entry.is_regular_file(error)) files.push_back(entry.path().string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

int PrintSummary(const std::map<std::string, Tally>& tallies) {
  Tally total;
  std::printf("%-6s %6s %8s %12s %8s %12s %11s\n", "format", "files", "decoded", "undecodable", "settled",
              "header only", "mismatches");
  const auto print = [](const char* name, const Tally& tally) {
    std::printf("%-6s %6d %8d %12d %8d %12d %11d\n", name, tally.files, tally.decoded, tally.undecodable,
                tally.settled, tally.headerOnly, tally.mismatches);
  };
  for (const auto& [name, tally] : tallies) {
    print(name.c_str(), tally);
    total.files += tally.files;
    total.decoded += tally.decoded;
    total.undecodable += tally.undecodable;
    total.settled += tally.settled;
    total.headerOnly += tally.headerOnly;
    total.mismatches += tally.mismatches;
  }
  print("all", total);
  return total.mismatches == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: size_crosscheck PLUGIN PATH...\n");
    return 2;
  }
  PluginLibrary library(argv[1]);
  if (!library.Loaded()) {
    std::fprintf(stderr, "size_crosscheck: %s\n", library.Error().c_str());
    return 2;
  }
  const PluginExports& plugin = library.Exports();
  plugin.SetDefaultParams(nullptr);
  StartReferenceLibrary();
  std::map<std::string, Tally> tallies;
  for (const std::string& file : FilesUnder(std::vector<std::string>(argv + 2, argv + argc))) {
    CheckFile(plugin, file, tallies);
  }
  plugin.PluginUnloading();
  return PrintSummary(tallies);
}
