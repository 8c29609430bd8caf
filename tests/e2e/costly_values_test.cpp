// Small files whose decode would cost a great deal (a huge picture inside a
// container, a compressed drawing that inflates a thousandfold, a huge
// AVIF turned by its header) and readable files whose headers lie far
// apart: each value comes from the header, in a child process of its own
// that must answer within a second and 256 MiB.
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/e2e/child_peak.h"
#include "tests/e2e/plugin_fixture.h"

namespace {

constexpr double MaxSeconds = 1.0;
constexpr double MaxMiB = 256.0;

using Bytes = std::string;

void Put32(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(value >> shift & 255);
}

Bytes PngChunk(const std::string& type, const Bytes& data) {
  Bytes out;
  Put32(out, static_cast<std::uint32_t>(data.size()));
  const Bytes typed = type + data;
  out += typed;
  Put32(out, static_cast<std::uint32_t>(
                 crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()))));
  return out;
}

// A PNG header of side x side, with a few bytes of image data.
Bytes HugePng(std::uint32_t side) {
  Bytes header;
  Put32(header, side);
  Put32(header, side);
  header += std::string("\x08\x02\x00\x00\x00", 5);
  return "\x89PNG\r\n\x1a\n" + PngChunk("IHDR", header) + PngChunk("IDAT", std::string("\x78\x9c\x03\x00\x00\x00\x00\x01", 8)) +
         PngChunk("IEND", "");
}

Bytes Box(const std::string& type, const Bytes& payload) {
  Bytes out;
  Put32(out, static_cast<std::uint32_t>(payload.size() + 8));
  return out + type + payload;
}

Bytes Gzip(const Bytes& text) {
  z_stream stream{};
  deflateInit2(&stream, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&stream, text.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

class CostlyValues : public StartedPlugin {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/pixdim-costly-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
  }
  void TearDown() override { EXPECT_EQ(std::system(("rm -rf " + folder).c_str()), 0); }

  std::string Write(const std::string& name, const Bytes& bytes) const {
    const std::string path = folder + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  // The Dimensions value in a child of its own, within the bounds.
  void ExpectBoundedValue(const std::string& file, const std::string& expected) const {
    int answer = 0;
    const auto start = std::chrono::steady_clock::now();
    const double mib = PeakMiBOfChild(
        [&] {
          char text[64] = "";
          Exports().GetValue(file.c_str(), 2, 0, text, sizeof text, 0);
          return expected == text ? 0 : 1;
        },
        answer);
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(answer, 0) << file << " does not show " << expected;
    EXPECT_LT(seconds.count(), 2 * MaxSeconds) << file;  // the idle child's run counts too
    EXPECT_LT(mib, MaxMiB) << file;
  }

  std::string folder;
};

TEST_F(CostlyValues, ContainersOfAHugePicture) {
  const Bytes png = HugePng(30000);
  ExpectBoundedValue(Write("huge.qtif", Box("idsc", Bytes(86, '\0')) + Box("idat", png)), "30000 x 30000");
  const Bytes element = Box("ic08", png);
  Bytes icns = "icns";
  Put32(icns, static_cast<std::uint32_t>(element.size() + 8));
  ExpectBoundedValue(Write("huge.icns", icns + element), "30000 x 30000");
}

// 8192 x 4096 of flat AV1, turned a quarter by its header: the decoder
// would decode it all for a size.
TEST_F(CostlyValues, TurnedAvif) { ExpectBoundedValue(Fixture("turned-large.avif"), "4096 x 8192"); }

// A drawing of 1.4 million shapes, 57 MB of text in 60 KB of gzip.
TEST_F(CostlyValues, CompressedDrawingInflatingFar) {
  Bytes text = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1000\" height=\"800\">";
  const Bytes shape = "<rect x=\"1\" y=\"2\" width=\"1\" height=\"1\"/>";
  text.reserve(text.size() + shape.size() * 1400000 + 8);
  for (int i = 0; i < 1400000; ++i) text += shape;
  text += "</svg>";
  ExpectBoundedValue(Write("shapes.svgz", Gzip(text)), "1000 x 800");
  // Without a size of its own, its shapes would have to be measured.
  text.replace(0, text.find('>'), "<svg xmlns=\"http://www.w3.org/2000/svg\"");
  const std::string unsized = Write("unsized.svgz", Gzip(text));
  int answer = 0;
  const double mib = PeakMiBOfChild([&] { return ValueCode(unsized); }, answer);
  EXPECT_EQ(answer, ValueFieldEmpty);
  EXPECT_LT(mib, MaxMiB);
}

// A photo with a depth map in 64 extended XMP segments before its frame.
TEST_F(CostlyValues, JpegFrameAfterManyMetadataSegments) {
  Bytes jpeg = ReadFixture("photo.jpg");
  Bytes segments;
  for (int i = 0; i < 64; ++i) {
    Bytes payload = std::string("http://ns.adobe.com/xmp/extension/", 34) + '\0' + std::string(32, 'A');
    Put32(payload, 64 * 65000);
    Put32(payload, static_cast<std::uint32_t>(i) * 65000);
    payload.resize(65533, ' ');
    segments += "\xff\xe1";
    segments += static_cast<char>(65535 >> 8);
    segments += static_cast<char>(65535 & 255);
    segments += payload;
  }
  jpeg.insert(2, segments);
  char expected[64] = "";
  Exports().GetValue(Fixture("photo.jpg").c_str(), 2, 0, expected, sizeof expected, 0);
  ExpectBoundedValue(Write("depth.jpg", jpeg), expected);
}

// 10000 x 6000 grey in 6000 strips of a row each, the directory after
// them at the end of a 60 MB file (the strips hold zeros: a sparse file).
TEST_F(CostlyValues, TiffWithItsDirectoryAfterManyStrips) {
  constexpr std::uint32_t Width = 10000;
  constexpr std::uint32_t Rows = 6000;
  const std::uint32_t dataEnd = 8 + Width * Rows;
  Bytes tail;
  const auto le16 = [&tail](std::uint32_t v) { tail += static_cast<char>(v & 255), tail += static_cast<char>(v >> 8 & 255); };
  const auto le32 = [&](std::uint32_t v) { le16(v & 0xffff), le16(v >> 16); };
  for (std::uint32_t row = 0; row < Rows; ++row) le32(8 + Width * row);
  for (std::uint32_t row = 0; row < Rows; ++row) le32(Width);
  const std::uint32_t directory = dataEnd + static_cast<std::uint32_t>(tail.size());
  const std::uint32_t entries[][4] = {{256, 4, 1, Width}, {257, 4, 1, Rows}, {258, 3, 1, 8}, {259, 3, 1, 1},
                                      {262, 3, 1, 1}, {273, 4, Rows, dataEnd}, {277, 3, 1, 1}, {278, 3, 1, 1},
                                      {279, 4, Rows, dataEnd + 4 * Rows}};
  le16(9);
  for (const auto& entry : entries) le16(entry[0]), le16(entry[1]), le32(entry[2]), le32(entry[3]);
  le32(0);
  Bytes head = "II";
  head += std::string("\x2a\x00", 2);
  for (int shift = 0; shift < 32; shift += 8) head += static_cast<char>(directory >> shift & 255);
  const std::string path = Write("strips.tif", head);
  const int fd = open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(pwrite(fd, tail.data(), tail.size(), dataEnd), static_cast<ssize_t>(tail.size()));
  close(fd);
  ExpectBoundedValue(path, "10000 x 6000");
}

}  // namespace
