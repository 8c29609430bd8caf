// SVG sizes from the root element, as the renderer computes them: lengths
// and their units at 90 dots per inch, percentages against the viewBox,
// missing lengths as 100%, rounding to the nearest pixel; and whatever it
// cannot follow from the prolog and the root's start tag left open.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

#include "imaging/header_facts.h"
#include "tests/native/header_bytes.h"

namespace {

using Size = std::pair<std::uint32_t, std::uint32_t>;

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

Size SvgSize(const std::string& attributes, const std::string& prolog = "") {
  const HeaderFacts facts =
      Facts(Text(prolog + "<svg xmlns=\"http://www.w3.org/2000/svg\" " + attributes + "><rect width=\"1\"/></svg>"));
  return {facts.width, facts.height};
}

TEST(HeaderFactsSvg, LengthsAndUnits) {
  const HeaderFacts facts = Facts(Text("<svg xmlns='http://www.w3.org/2000/svg' width='30' height='20'/>"));
  EXPECT_EQ(facts.format, ImageFormat::Svg);
  EXPECT_EQ(facts.bytesReason, BytesReason::VectorDrawing);
  EXPECT_EQ(Size(facts.width, facts.height), Size(30, 20));
  EXPECT_EQ(SvgSize("width=\"30px\" height=\" 20px \""), Size(30, 20));
  EXPECT_EQ(SvgSize("width=\"1in\" height=\"2.54cm\""), Size(90, 90));
  EXPECT_EQ(SvgSize("width=\"10mm\" height=\"72pt\""), Size(35, 90));  // 35.43
  EXPECT_EQ(SvgSize("width=\"2pc\" height=\"1.5in\""), Size(30, 135));
  EXPECT_EQ(SvgSize("width=\"10.5\" height=\"2.4\""), Size(11, 2));  // halves round up
}

TEST(HeaderFactsSvg, PercentagesTakeTheViewBox) {
  EXPECT_EQ(SvgSize("viewBox=\"0 0 300 150\""), Size(300, 150));
  EXPECT_EQ(SvgSize("width=\"50%\" height=\"100%\" viewBox=\"10,10,300,150\""), Size(300, 150));
  EXPECT_EQ(SvgSize("width=\"600\" viewBox=\"0 0 300 150\""), Size(600, 300));
  EXPECT_EQ(SvgSize("height=\"50\" viewBox=\"0 0 300 150\""), Size(100, 50));
  // Without a viewBox the renderer measures the shapes themselves.
  EXPECT_EQ(SvgSize("width=\"600\""), Size(0, 0));
  EXPECT_EQ(SvgSize(""), Size(0, 0));
  // An empty or negative viewBox draws nothing or is dropped.
  EXPECT_EQ(SvgSize("viewBox=\"0 0 0 150\""), Size(0, 0));
  EXPECT_EQ(SvgSize("viewBox=\"0 0 -300 150\""), Size(0, 0));
  EXPECT_EQ(SvgSize("viewBox=\"0 0 0x10 16\""), Size(0, 0));
  EXPECT_EQ(SvgSize("viewBox=\"0 0 inf 16\""), Size(0, 0));
}

TEST(HeaderFactsSvg, PrologBeforeTheRoot) {
  const std::string prolog =
      "\xef\xbb\xbf<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- drawn by hand -->\n"
      "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" \"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\n";
  EXPECT_EQ(SvgSize("width=\"30\" height=\"20\"", prolog), Size(30, 20));
  // Beyond the bounded prolog, the root is not looked for.
  EXPECT_EQ(SvgSize("width=\"30\" height=\"20\"", "<!--" + std::string(20000, '-') + "-->"), Size(0, 0));
}

// What could change the size in ways not followed here: entities and the
// document type's own declarations, style sheets, font-relative units, a
// root outside SVG's namespace, a zero size.
TEST(HeaderFactsSvg, WhatItCannotFollowLeavesTheSizeOpen) {
  EXPECT_EQ(SvgSize("width=\"&w;\" height=\"20\"", "<!DOCTYPE svg [<!ENTITY w \"30\">]>"), Size(0, 0));
  EXPECT_EQ(SvgSize("width=\"30\" height=\"20\"", "<!DOCTYPE svg [<!ATTLIST svg width CDATA \"9\">]>"), Size(0, 0));
  EXPECT_EQ(SvgSize("width=\"30\" height=\"20\"", "<?xml-stylesheet href=\"size.css\"?>"), Size(0, 0));
  EXPECT_EQ(SvgSize("width=\"30\" height=\"20\" style=\"width: 40px\""), Size(0, 0));
  EXPECT_EQ(SvgSize("width=\"3em\" height=\"20\""), Size(0, 0));
  EXPECT_EQ(SvgSize("width=\"-30\" height=\"20\""), Size(0, 0));
  EXPECT_EQ(SvgSize("width=\"1e2\" height=\"20\""), Size(0, 0));
  EXPECT_EQ(SvgSize("width=\"0\" height=\"20\""), Size(0, 0));
  EXPECT_EQ(SvgSize("width=\"0.4\" height=\"20\""), Size(0, 0));
  const HeaderFacts plain = Facts(Text("<svg width=\"30\" height=\"20\"/>"));
  EXPECT_EQ(Size(plain.width, plain.height), Size(0, 0));
  const HeaderFacts page = Facts(Text("<html><body/></html>"));
  EXPECT_EQ(page.format, ImageFormat::Unknown);
  EXPECT_EQ(page.bytesReason, BytesReason::VectorDrawing);
  const HeaderFacts unclosed = Facts(Text("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"30\" height=\"20\""));
  EXPECT_EQ(Size(unclosed.width, unclosed.height), Size(0, 0));
}

}  // namespace
