#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
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
  // Camera raw files and JPEG XL: no platform decoder reads them.
  addList(u"*.JXL;*.DNG;*.CR2;*.CR3;*.NEF;*.ARW;*.ORF;*.RW2;*.PEF;*.RAF");
  return expected;
}

// The terms of a detect string, or nothing when one is not whole: each is
// EXT="..." with a name and no quote in it, and terms are joined by " | ".
std::vector<std::string> WholeTerms(const std::string& detect) {
  std::vector<std::string> terms;
  std::size_t at = 0;
  while (at < detect.size()) {
    const std::size_t end = std::min(detect.find(" | ", at), detect.size());
    const std::string term = detect.substr(at, end - at);
    if (term.size() < 7 || term.compare(0, 5, "EXT=\"") != 0 || term.back() != '"' ||
        term.find('"', 5) != term.size() - 1) {
      return {};
    }
    terms.push_back(term);
    at = end == detect.size() ? end : end + 3;
  }
  return terms;
}

// Whether every term of part stands in whole, in the same order.
bool KeepsOrder(const std::vector<std::string>& part, const std::vector<std::string>& whole) {
  auto next = whole.begin();
  for (const std::string& term : part) {
    next = std::find(next, whole.end(), term);
    if (next == whole.end()) return false;
    ++next;
  }
  return true;
}

using DetectString = StartedPlugin;

// The host's buffer: 2,048 bytes with the terminator.
constexpr int HostBuffer = 2048;

TEST_F(DetectString, ListsEveryInstalledDecodersExtensions) {
  char text[HostBuffer] = "";
  EXPECT_EQ(Exports().GetDetectString(text, sizeof text), 0);
  const std::string detect = text;
  const std::string expected = ExpectedFromDecoders();
  if (expected.size() < HostBuffer) {
    EXPECT_EQ(detect, expected);
  } else {
    EXPECT_TRUE(KeepsOrder(WholeTerms(detect), WholeTerms(expected))) << detect;
  }
  // Each platform's library spells the extensions in its own case.
  std::string upper = detect;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const char* term : {"EXT=\"BMP\"", "EXT=\"JPG\"", "EXT=\"GIF\"", "EXT=\"TIF\"", "EXT=\"PNG\"",
                           "EXT=\"ICO\""}) {
    EXPECT_NE(upper.find(term), std::string::npos) << term;
  }
}

// With every decoder this machine has (on Linux all of gdk-pixbuf's
// loaders), the string fits the host's buffer with its terminator, and
// holds whole terms only, its quotes and parentheses balanced.
TEST_F(DetectString, FitsTheHostsBufferInWholeTerms) {
  char text[2 * HostBuffer];
  std::memset(text, '#', sizeof text);
  Exports().GetDetectString(text, HostBuffer);
  const std::size_t length = strnlen(text, sizeof text);
  ASSERT_LT(length, static_cast<std::size_t>(HostBuffer));
  EXPECT_EQ(std::string(text + HostBuffer, HostBuffer), std::string(HostBuffer, '#'));
  const std::string detect(text, length);
  EXPECT_FALSE(WholeTerms(detect).empty()) << detect;
  EXPECT_EQ(std::count(detect.begin(), detect.end(), '"') % 2, 0);
  EXPECT_EQ(std::count(detect.begin(), detect.end(), '('), std::count(detect.begin(), detect.end(), ')'));
  std::printf("detect string: %zu characters, %zu terms\n", length, WholeTerms(detect).size());
}

// A short buffer gets the terms that fit in it whole, never part of one.
TEST_F(DetectString, CutToMaxLenInWholeTerms) {
  char full[HostBuffer] = "";
  Exports().GetDetectString(full, sizeof full);
  for (int maxLen : {10, 11, 30, 100}) {
    char cut[128];
    std::memset(cut, '#', sizeof cut);
    Exports().GetDetectString(cut, maxLen);
    const std::string text = cut;
    EXPECT_LT(text.size(), static_cast<std::size_t>(maxLen));
    EXPECT_EQ(cut[maxLen], '#') << maxLen;
    if (!text.empty()) {
      EXPECT_TRUE(KeepsOrder(WholeTerms(text), WholeTerms(full))) << text;
    }
  }
}

}  // namespace
