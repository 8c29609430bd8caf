#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/decoder_list.h"
#include "tests/e2e/plugin_fixture.h"

namespace {

// The terms the plugin should list, worked out independently from the
// library's own decoder list, then the formats only the header reader
// reads on this platform: every extension once, whatever its case.
std::string ExpectedFromDecoders() {
  const Gdiplus::DecoderList decoders;
  std::vector<std::string> seen;
  std::string expected;
  const auto add = [&](const std::string& term) {
    std::string upper = term;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (term.empty() || std::find(seen.begin(), seen.end(), upper) != seen.end()) return;
    seen.push_back(upper);
    expected += (expected.empty() ? "EXT=\"" : " | EXT=\"") + term + "\"";
  };
  const auto addList = [&](const char16_t* extensions) {
    std::string term;
    for (const char16_t* c = extensions; *c != u'\0'; ++c) {
      if (*c == u';') {
        add(term);
        term.clear();
      } else if (*c != u'*' && *c != u'.') {
        term += static_cast<char>(*c);
      }
    }
    add(term);
  };
  for (std::uint32_t i = 0; i < decoders.Count(); ++i) addList(decoders[i].FilenameExtension);
  if (PIXDIM_DELAYS_VALUES) addList(u"*.WEBP;*.AVIF;*.HEIC;*.HEIF");
  return expected.substr(0, 999);
}

using DetectString = StartedPlugin;

TEST_F(DetectString, ListsEveryInstalledDecodersExtensions) {
  char text[2000] = "";
  EXPECT_EQ(Exports().GetDetectString(text, sizeof text), 0);
  const std::string detect = text;
  EXPECT_EQ(detect, ExpectedFromDecoders());
  // Each platform's library spells the extensions in its own case.
  std::string upper = detect;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const char* term : {"EXT=\"BMP\"", "EXT=\"JPG\"", "EXT=\"GIF\"", "EXT=\"TIF\"", "EXT=\"PNG\"",
                           "EXT=\"ICO\""}) {
    EXPECT_NE(upper.find(term), std::string::npos) << term;
  }
}

TEST_F(DetectString, CutToMaxLen) {
  char full[2000] = "";
  Exports().GetDetectString(full, sizeof full);
  char cut[16];
  std::memset(cut, '#', sizeof cut);
  Exports().GetDetectString(cut, 10);
  EXPECT_EQ(std::string(cut), std::string(full).substr(0, 9));
  EXPECT_EQ(cut[10], '#');
}

}  // namespace
