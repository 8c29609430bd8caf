// Pictures inside containers, built as each container lays them out: a
// QuickTime image's atoms, an Apple icon's elements, an icon directory
// whose one entry is a PNG. The size is the embedded PNG's own.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "imaging/header_facts.h"
#include "tests/native/header_bytes.h"

namespace {

using Size = std::pair<std::uint32_t, std::uint32_t>;

Size SizeOf(const Bytes& bytes) {
  const HeaderFacts facts = Facts(bytes);
  return {facts.width, facts.height};
}

Bytes Atom(const std::string& type, const Bytes& payload) {
  return Writer().Be32(static_cast<std::uint32_t>(payload.size() + 8)).Text(type).Append(payload).bytes;
}

// An image description, then the image data.
Bytes QuickTime(const Bytes& picture) {
  return Writer().Append(Atom("idsc", Writer().Text("png ").Zeros(82).bytes)).Append(Atom("idat", picture)).bytes;
}

TEST(HeaderFactsContainers, QuickTimeImageShowsItsPngsSize) {
  const Bytes huge = Png(Ihdr(30000, 30000, 8, 2));
  MemoryFile file(QuickTime(huge));
  const HeaderFacts facts = ReadHeaderFacts(file);
  EXPECT_EQ(facts.format, ImageFormat::QuickTime);
  EXPECT_EQ(Size(facts.width, facts.height), Size(30000, 30000));
  EXPECT_EQ(facts.largestImagePixels, 900000000u);
  EXPECT_EQ(facts.bytesReason, BytesReason::FormatNotChecked);
  EXPECT_LE(file.reads, 2);
  // The data atom alone, first.
  EXPECT_EQ(SizeOf(Atom("idat", Png(Ihdr(40, 30, 8, 6)))), Size(40, 30));
}

TEST(HeaderFactsContainers, QuickTimeImageTheDecoderRefusesOrCannotSize) {
  Bytes broken = Png(Ihdr(40, 30, 8, 2));
  broken[29] ^= 1;  // the IHDR's CRC
  EXPECT_EQ(SizeOf(QuickTime(broken)), Size(0, 0));
  EXPECT_EQ(SizeOf(QuickTime(Writer().Raw({0xff, 0xd8, 0xff, 0xe0}).bytes)), Size(0, 0));  // not a PNG
  // An atom shorter than its own header.
  EXPECT_EQ(SizeOf(Writer().Be32(4).Text("idsc").Append(Atom("idat", Png(Ihdr(40, 30, 8, 2)))).bytes), Size(0, 0));
  // The decoder gives up after ten atoms without image data.
  Writer many;
  many.Append(Atom("idsc", Bytes(4, 0)));
  for (int i = 0; i < 9; ++i) many.Append(Atom("skip", Bytes(4, 0)));
  EXPECT_EQ(SizeOf(many.Append(Atom("idat", Png(Ihdr(40, 30, 8, 2)))).bytes), Size(0, 0));
}

Bytes Element(const std::string& type, const Bytes& payload) { return Atom(type, payload); }

Bytes Icns(const std::vector<Bytes>& elements, std::int64_t lengthChange = 0) {
  Writer body;
  for (const Bytes& element : elements) body.Append(element);
  const auto total = static_cast<std::uint32_t>(static_cast<std::int64_t>(body.bytes.size() + 8) + lengthChange);
  return Writer().Text("icns").Be32(total).Append(body.bytes).bytes;
}

// The decoder shows the last 256 or 512-pixel element; the larger kinds
// (ic10 and up) and the small ones with masks are not looked at first.
TEST(HeaderFactsContainers, AppleIconShowsItsLastLargeElement) {
  const Bytes small = Element("is32", Bytes(100, 0));
  const Bytes mask = Element("s8mk", Bytes(256, 0));
  const Bytes ic08 = Element("ic08", Png(Ihdr(256, 256, 8, 6)));
  const Bytes ic09 = Element("ic09", Png(Ihdr(512, 512, 8, 6)));
  const Bytes ic10 = Element("ic10", Png(Ihdr(1024, 1024, 8, 6)));
  const HeaderFacts facts = Facts(Icns({small, mask, ic08, ic10}));
  EXPECT_EQ(facts.format, ImageFormat::Icns);
  EXPECT_EQ(Size(facts.width, facts.height), Size(256, 256));
  EXPECT_EQ(SizeOf(Icns({ic08, ic09})), Size(512, 512));
  EXPECT_EQ(SizeOf(Icns({ic09, ic08})), Size(256, 256));
  EXPECT_EQ(SizeOf(Icns({Element("ic08", Png(Ihdr(30000, 30000, 8, 2)))})), Size(30000, 30000));
  // Without one, the decoder draws a small element: not settled here.
  EXPECT_EQ(SizeOf(Icns({small, mask, ic10})), Size(0, 0));
}

TEST(HeaderFactsContainers, AppleIconTheDecoderRefuses) {
  const Bytes ic08 = Element("ic08", Png(Ihdr(256, 256, 8, 6)));
  EXPECT_EQ(SizeOf(Icns({ic08}, 1)), Size(0, 0));  // longer than the file
  Bytes overlong = Icns({ic08, Element("is32", Bytes(16, 0))});
  overlong[overlong.size() - 24 + 3] = 200;  // the last element runs past the icon
  EXPECT_EQ(SizeOf(overlong), Size(0, 0));
  // A JPEG 2000 element has no decoder here.
  EXPECT_EQ(SizeOf(Icns({Element("ic08", Writer().Raw({0, 0, 0, 12}).Text("jP  ").Zeros(8).bytes)})), Size(0, 0));
}

Bytes Icon(const std::vector<Bytes>& entries) {
  Writer icon;
  icon.Raw({0, 0, 1, 0}).Le16(static_cast<std::uint32_t>(entries.size()));
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(entries.size());
  for (const Bytes& entry : entries) {
    icon.Raw({16, 12, 0, 0}).Le16(1).Le16(32).Le32(static_cast<std::uint32_t>(entry.size())).Le32(offset);
    offset += static_cast<std::uint32_t>(entry.size());
  }
  for (const Bytes& entry : entries) icon.Append(entry);
  return icon.bytes;
}

// The icon decoder skips PNG entries and would show nothing: an icon of
// PNG entries shows its first entry, as GDI+ does, by the PNG's header.
// Beside a DIB entry, the decoder shows a DIB of its own choice.
TEST(HeaderFactsContainers, IconOfPngEntries) {
  const HeaderFacts facts = Facts(Icon({Png(Ihdr(16, 12, 8, 6))}));
  EXPECT_EQ(facts.format, ImageFormat::Ico);
  EXPECT_EQ(Size(facts.width, facts.height), Size(16, 12));
  EXPECT_EQ(SizeOf(Icon({Png(Ihdr(16, 12, 8, 6)), Png(Ihdr(32, 32, 8, 6))})), Size(16, 12));
  EXPECT_EQ(SizeOf(Icon({Png(Ihdr(32, 32, 8, 6)), Png(Ihdr(16, 12, 8, 6))})), Size(32, 32));
  Bytes dib = Writer().Le32(40).Le32(16).Le32(24).Le16(1).Le16(32).Zeros(24).bytes;
  dib.resize(dib.size() + 16 * 12 * 4 + 12 * 4, 0);
  EXPECT_EQ(SizeOf(Icon({Png(Ihdr(16, 12, 8, 6)), dib})), Size(0, 0));
  Bytes broken = Png(Ihdr(16, 12, 8, 6));
  broken[29] ^= 1;
  EXPECT_EQ(SizeOf(Icon({broken})), Size(0, 0));
}

}  // namespace
