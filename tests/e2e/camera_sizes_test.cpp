// Camera raw and JPEG XL files show the developed size their header gives
// on every plugin, whatever the platform's imaging library makes of them
// (the TIFF decoders would show a DNG's or NEF's preview), and compare by
// their bytes alone.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/e2e/plugin_fixture.h"
#include "tests/native/camera_bytes.h"

namespace {

using namespace camera;

std::string Dimensions(const std::string& path) {
  char text[64] = "";
  Exports().GetValue(path.c_str(), 2, 0, text, sizeof text, 0);
  return text;
}

std::string AsText(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

class CameraSizes : public CraftedFiles {};

TEST_F(CameraSizes, EachKindShowsItsDevelopedSize) {
  const Bytes dng = Dng(336, 256, {Longs(50829, {8, 8, 248, 328}), Longs(50720, {300, 200})}, 336 * 256 * 2);
  const struct {
    const char* name;
    Bytes bytes;
    const char* size;
  } files[] = {
      {"crop.dng", dng, "300 x 200"},
      {"camera.nef", MakerRaw(true, "NIKON CORPORATION", "NIKON D850", 8288, 5520, false), "8288 x 5520"},
      {"camera.arw", MakerRaw(false, "SONY", "ILCE-7M3", 6048, 4024, false, {Shorts(50720, {6000, 4000})}),
       "6000 x 4000"},
      {"camera.pef", MakerRaw(false, "PENTAX", "PENTAX K-1", 7392, 4950, true), "7392 x 4950"},
      {"camera.cr2", Cr2(5184, 3456, 5120, 3400), "5120 x 3400"},
      {"camera.cr3", Cr3(6000, 4000), "6000 x 4000"},
      {"camera.orf", Orf(4640, 3472), "4640 x 3472"},
      {"camera.rw2", Rw2(4768, 3516, 4, 8, 3468, 4616), "4608 x 3464"},
      {"camera.raf", Raf({{0x100, 4032, 6160}, {0x111, 4000, 6000}}), "6000 x 4000"},
      {"bare.jxl", JxlCodestream(500, 333), "500 x 333"},
      {"boxed.jxl", JxlContainer(JxlCodestream(0, 1000, 5), 3), "1777 x 1000"},
  };
  for (const auto& file : files) {
    EXPECT_EQ(Dimensions(Write(file.name, AsText(file.bytes))), file.size) << file.name;
  }
  // The name does not decide: a DNG named as a TIFF is still a DNG.
  EXPECT_EQ(Dimensions(Write("renamed.tif", AsText(dng))), "300 x 200");
}

// As cameras write them: IFD0 with a thumbnail, then a preview of MB, so
// the raw image's directory lies MB into the file, past what a reader of
// the file's start has read ahead.
TEST_F(CameraSizes, DirectoriesFarIntoTheFileAreFollowed) {
  constexpr std::uint32_t PreviewBytes = 2 * 1024 * 1024 + 7;
  const auto layout = [&](bool bigEndian, std::vector<Field> firstFields, const std::vector<Field>& rawFields) {
    const std::vector<Field> first = Joined(ImageFields(1, 160, 120, Rgb), Joined(firstFields, {Links(330, {1, 2})}));
    const std::vector<Field> raw =
        Joined(ImageFields(0, 6080, 4044, Cfa), Joined(rawFields, {Shorts(33421, {2, 2}), Bytes4(33422, {0, 1, 1, 2})}));
    return AsText(TiffWriter(bigEndian, TiffMagic)
                      .Build({{first, -1, 160 * 120 * 3}, {ImageFields(1, 6000, 4000, Rgb), -1, PreviewBytes}, {raw, -1, 4096}}));
  };
  const std::vector<Field> dng = {Text(271, "Pixdim"), Bytes4(50706, {1, 4, 0, 0})};
  EXPECT_EQ(Dimensions(Write("far.dng", layout(false, dng, {Longs(50720, {6000, 4000})}))), "6000 x 4000");
  EXPECT_EQ(Dimensions(Write("far.nef", layout(true, {Text(271, "NIKON CORPORATION")}, {}))), "6080 x 4044");
}

TEST_F(CameraSizes, RawFilesWithoutASizeShowNothing) {
  // A DNG whose crop is implausible: the preview in IFD0 is no answer.
  const Bytes dng = Dng(336, 256, {Longs(50720, {400, 300})}, 336 * 256 * 2);
  EXPECT_EQ(ValueCode(Write("bad-crop.dng", AsText(dng))), ValueFieldEmpty);
}

TEST_F(CameraSizes, TheBytesDecide) {
  const std::string nef = AsText(MakerRaw(true, "NIKON CORPORATION", "NIKON D850", 8288, 5520, false));
  const std::string a = Write("a.nef", nef + std::string(4, '\0'));
  const std::string copy = Write("copy.nef", nef + std::string(4, '\0'));
  const std::string b = Write("b.nef", nef + std::string(3, '\0') + '\1');  // other sensor data, the same header
  EXPECT_EQ(Exports().CompareFiles(nullptr, 10000, a.c_str(), copy.c_str(), nullptr), Equal);
  EXPECT_EQ(Exports().CompareFiles(nullptr, 10000, a.c_str(), b.c_str(), nullptr), Different);
  EXPECT_EQ(ReasonText(a), "is a camera raw file, which pixdim does not decode");
  const std::string jxl = Write("a.jxl", AsText(JxlCodestream(500, 333)));
  EXPECT_EQ(ReasonText(jxl), "is a JPEG XL file, which pixdim does not decode");
}

}  // namespace
