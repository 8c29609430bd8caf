// write_camera_files FOLDER
//   Writes the crafted camera raw and JPEG XL files of the unit tests, with
//   image data where the reference tools read it, into FOLDER for the
//   cross-check against exiftool, raw-identify and jxlinfo.
#include <cstdio>
#include <fstream>
#include <string>

#include "tests/native/camera_bytes.h"

using namespace camera;

namespace {

// Samples of 16 bits for the raw image of width x height.
std::uint32_t Samples(std::uint32_t width, std::uint32_t height) { return width * height * 2; }

bool Save(const std::string& folder, const char* name, const Bytes& bytes) {
  std::ofstream out(folder + "/" + name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_camera_files FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  const std::vector<Field> area = {Longs(50829, {8, 8, 248, 328})};
  const struct {
    const char* name;
    Bytes bytes;
  } files[] = {
      {"crop.dng", Dng(336, 256, Joined(area, {Longs(50719, {4, 4}), Longs(50720, {300, 200})}), Samples(336, 256))},
      {"scaled.dng", Dng(336, 256, Joined(area, {Rationals(50718, {2, 1, 1, 1}), Shorts(50720, {150, 200})}),
                         Samples(336, 256))},
      {"area.dng", Dng(336, 256, area, Samples(336, 256))},
      {"plain.dng", Dng(336, 256, {}, Samples(336, 256))},
      {"camera.nef", MakerRaw(true, "NIKON CORPORATION", "NIKON D850", 640, 428, false, {}, Samples(640, 428))},
      {"camera.arw", MakerRaw(false, "SONY", "ILCE-7M3", 640, 428, false, {Shorts(50719, {12, 8}), Shorts(50720, {600, 400})},
                              Samples(640, 428))},
      {"camera.pef", MakerRaw(false, "PENTAX", "PENTAX K-1", 640, 428, true, {}, Samples(640, 428))},
      {"camera.cr2", Cr2(5184, 3456, 5120, 3400)},
      {"camera.cr3", Cr3(6000, 4000)},
      {"camera.orf", Orf(4640, 3472)},
      {"camera.rw2", Rw2(4768, 3516, 4, 8, 3468, 4616)},
      {"camera.raf", Raf({{0x100, 432, 640}, {0x110, 8, 12}, {0x111, 400, 600}, {0x121, 416, 624}}, Samples(640, 432))},
      {"old.raf", Raf({{0x100, 432, 640}, {0x121, 416, 624}}, Samples(640, 432))},
      {"bare.jxl", JxlCodestream(500, 333)},
      {"large.jxl", JxlCodestream(5000, 20000)},
      {"ratio.jxl", JxlCodestream(0, 1000, 5)},
      {"boxed.jxl", JxlContainer(JxlCodestream(500, 333))},
      {"split.jxl", JxlContainer(JxlCodestream(500, 333), 3)},
  };
  for (const auto& file : files) {
    if (!Save(folder, file.name, file.bytes)) {
      std::fprintf(stderr, "write_camera_files: cannot write %s/%s\n", folder.c_str(), file.name);
      return 1;
    }
  }
  return 0;
}
