#include "plugin/detect_string.h"

#include <string>
#include <vector>

#include "imaging/decoder_list.h"
#include "plugin/header_sizes.h"
#include "plugin/imaging_lifecycle.h"
#include "text/bounded_text.h"
#include "text/code_pages.h"

namespace {

constexpr int WorkingTextSize = 1000;

// The extensions of one decoder's list ("*.BMP;*.DIB" gives BMP and DIB).
// Asterisks and full stops are dropped wherever they stand; each semicolon
// ends an extension.
std::vector<std::string> Extensions(const char16_t* list) {
  char narrow[NarrowBufferBytes];
  NarrowText(list != nullptr ? list : u"", narrow);
  std::vector<std::string> extensions(1);
  for (const char* c = narrow; *c != '\0'; ++c) {
    if (*c == ';') {
      extensions.emplace_back();
    } else if (*c != '*' && *c != '.') {
      extensions.back() += *c;
    }
  }
  return extensions;
}

// The host matches extensions without regard to case.
bool SameExtension(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

void WriteDetectString(char* detectString, int maxLen) {
  // With maxLen 0 or negative every append is refused, and so is the copy.
  const int room = maxLen > WorkingTextSize ? WorkingTextSize : maxLen;
  char text[WorkingTextSize] = {};
  const ImagingInUse imaging;
  const Gdiplus::DecoderList decoders;
  // Two decoders may claim one extension (two loaders for AVIF); an empty
  // entry ("*.PNG;") names none. Each extension is listed once. The
  // formats only the header reader reads come after the decoders'.
  std::vector<std::string> listed;
  const auto list = [&](const char16_t* extensionList) {
    for (const std::string& extension : Extensions(extensionList)) {
      if (extension.empty()) continue;
      bool repeated = false;
      for (const std::string& earlier : listed) repeated = repeated || SameExtension(earlier, extension);
      if (repeated) continue;
      if (!listed.empty()) AppendBounded(text, room, " | ");
      AppendBounded(text, room, ("EXT=\"" + extension + "\"").c_str());
      listed.push_back(extension);
    }
  };
  for (std::uint32_t i = 0; i < decoders.Count(); ++i) list(decoders[i].FilenameExtension);
  list(HeaderOnlyExtensions());
  CopyBounded(detectString, maxLen, text);
}
