#include "text/code_pages.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(NarrowText, ConvertsWholeTextThatFits) {
  char narrow[NarrowBufferBytes + 1];
  narrow[NarrowBufferBytes] = '#';
  NarrowText(u"*.BMP;*.DIB;*.\u00C4", narrow);
  EXPECT_EQ(std::string(narrow), "*.BMP;*.DIB;*.\xC3\x84");
  EXPECT_EQ(narrow[NarrowBufferBytes], '#');
}

TEST(NarrowText, TooLongTextIsCutAndTerminated) {
  char narrow[NarrowBufferBytes + 1];
  narrow[NarrowBufferBytes] = '#';
  const std::u16string wide(400, u'E');
  NarrowText(wide.c_str(), narrow);
  EXPECT_EQ(std::string(narrow), std::string(NarrowBufferBytes - 1, 'E'));
  EXPECT_EQ(narrow[NarrowBufferBytes], '#');
}

TEST(NarrowText, CutNeverSplitsAMultiByteCharacter) {
  char narrow[NarrowBufferBytes];
  const std::u16string wide = u"E" + std::u16string(200, u'\u00C4');  // 1 + 400 bytes
  NarrowText(wide.c_str(), narrow);
  const std::string text = narrow;
  EXPECT_EQ(text.size(), 259u);  // "E" and 129 two-byte characters
  EXPECT_EQ(text.substr(257), "\xC3\x84");
}

}  // namespace
