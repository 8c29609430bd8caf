// write_bench_raws FOLDER
//   Writes one camera raw file of each kind the plugin reads (DNG, CR2, CR3,
//   NEF, ARW, ORF, RW2, PEF, RAF) into FOLDER, named TYPE-0.EXT, for the
//   folder benchmark. Each has a camera's size and layout: previews and
//   sensor data of several MB (zeros) between and after the directories, so
//   the directories a reader follows lie where a camera puts them, some at
//   the start and some MB into the file.
#include <cstdio>
#include <fstream>
#include <string>

#include "tests/native/camera_bytes.h"

using namespace camera;

namespace {

constexpr std::uint32_t KiB = 1024;
constexpr std::uint32_t MiB = 1024 * KiB;
constexpr std::uint32_t ThumbnailBytes = 160 * 120 * 3;
constexpr std::uint32_t PreviewBytes = 2 * MiB;  // a full-size JPEG preview
constexpr std::uint32_t SensorBytes = 18 * MiB;  // about 24 Mpx, losslessly packed

bool Save(const std::string& folder, const std::string& name, const Bytes& bytes) {
  std::ofstream out(folder + "/" + name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::vector<Field> CameraFields(const std::string& make, const std::string& model) {
  return {Text(271, make), Text(272, model)};
}

std::vector<Field> SensorFields(std::uint32_t width, std::uint32_t height, const std::vector<Field>& more = {}) {
  return Joined(ImageFields(0, width, height, Cfa),
                Joined(more, {Shorts(33421, {2, 2}), Bytes4(33422, {0, 1, 1, 2})}));
}

// IFD0 a thumbnail naming the camera, its SubIFDs a full-size preview and
// the sensor data, each directory written before its data: the sensor's
// directory lies after the preview, MB into the file (DNG, NEF, ARW).
Bytes PreviewThenSensor(bool bigEndian, std::vector<Field> firstFields, const std::vector<Field>& sensor) {
  const std::vector<Field> first =
      Joined(ImageFields(1, 160, 120, Rgb), Joined(std::move(firstFields), {Links(330, {1, 2})}));
  return TiffWriter(bigEndian, TiffMagic)
      .Build({{first, -1, ThumbnailBytes}, {ImageFields(1, 6000, 4000, Rgb), -1, PreviewBytes}, {sensor, -1, SensorBytes}});
}

Bytes Then(Bytes first, const Bytes& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

Bytes WithData(Bytes bytes, std::uint32_t data) {
  bytes.resize(bytes.size() + data);
  return bytes;
}

Bytes Dng() {
  const std::vector<Field> first =
      Joined(CameraFields("Pixdim", "Bench Camera"), {Bytes4(50706, {1, 4, 0, 0}), Text(50708, "Pixdim Bench")});
  return PreviewThenSensor(false, first,
                           SensorFields(6080, 4044, {Longs(50719, {12, 8}), Longs(50720, {6000, 4000}),
                                                     Longs(50829, {8, 16, 4040, 6064})}));
}

// A CR2: IFD0 the full-size preview with its JPEG data, the EXIF directory
// after that data, then the chain on to the sensor's directory and data.
Bytes Cr2() {
  const std::vector<Field> first = Joined(ImageFields(0, 6000, 4000, Rgb),
                                          Joined(CameraFields("Canon", "Canon EOS 5D Mark IV"), {Links(34665, {1})}));
  const std::vector<Field> exif = {Shorts(40962, {6720}), Shorts(40963, {4480})};
  const std::vector<Field> sensor = {Shorts(259, {6}), Longs(273, {0}), Longs(279, {0})};
  const Bytes extra = {'C', 'R', 2, 0, 0, 0, 0, 0};
  return TiffWriter(false, TiffMagic, extra).Build({{first, 2, PreviewBytes}, {exif, -1, 0}, {sensor, -1, SensorBytes}});
}

// A RAF as Fujifilm writes it: the header, the JPEG preview, the records
// after the preview, then the sensor data.
Bytes Raf() {
  constexpr std::uint32_t HeaderBytes = 0x100;
  const Bytes exif = TiffWriter(true, TiffMagic).Build({{CameraFields("FUJIFILM", "X-T3"), -1, 0}});
  Writer preview;
  preview.Raw({0xff, 0xd8, 0xff, 0xe1}).Be16(static_cast<std::uint32_t>(2 + 6 + exif.size()));
  preview.Text("Exif").Zeros(2).Append(exif).Zeros(PreviewBytes).Raw({0xff, 0xd9});
  Writer records;
  const RafRecord sizes[] = {{0x100, 4182, 6384}, {0x110, 8, 12}, {0x111, 4160, 6240}, {0x121, 4170, 6276}};
  records.Be32(4);
  for (const RafRecord& record : sizes) records.Be16(record.tag).Be16(4).Be16(record.height).Be16(record.width);
  const auto recordsAt = static_cast<std::uint32_t>(HeaderBytes + preview.bytes.size());
  const auto dataAt = static_cast<std::uint32_t>(recordsAt + records.bytes.size());
  Writer out;
  out.Text("FUJIFILMCCD-RAW ").Text("0201").Text("FF129502").Text("X-T3").Zeros(28).Text("0100").Zeros(20);
  out.Be32(HeaderBytes).Be32(static_cast<std::uint32_t>(preview.bytes.size()));
  out.Be32(recordsAt).Be32(static_cast<std::uint32_t>(records.bytes.size())).Be32(dataAt).Be32(SensorBytes);
  out.Zeros(HeaderBytes - out.bytes.size()).Append(preview.bytes).Append(records.bytes);
  return WithData(out.bytes, SensorBytes);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_bench_raws FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  const struct {
    const char* name;
    Bytes bytes;
  } files[] = {
      {"dng-0.dng", Dng()},
      {"nef-0.nef", PreviewThenSensor(true, CameraFields("NIKON CORPORATION", "NIKON D850"), SensorFields(8288, 5520))},
      {"arw-0.arw", PreviewThenSensor(false, CameraFields("SONY", "ILCE-7M3"), SensorFields(6048, 4024))},
      // Pentax and Olympus write the sensor's directory as IFD0, Panasonic
      // its borders there: one directory at the start, the data after it.
      {"pef-0.pef", MakerRaw(false, "PENTAX", "PENTAX K-1", 7392, 4950, true, {}, SensorBytes)},
      {"orf-0.orf", WithData(camera::Orf(5240, 3912), SensorBytes)},
      {"rw2-0.rw2", WithData(camera::Rw2(5248, 3920, 4, 8, 3892, 5208), SensorBytes)},
      {"cr2-0.cr2", Cr2()},
      // Canon's boxes lie at the start, the previews and sensor data after.
      {"cr3-0.cr3", Then(camera::Cr3(6000, 4000), Box("mdat", Bytes(PreviewBytes + SensorBytes)))},
      {"raf-0.raf", Raf()},
  };
  for (const auto& file : files) {
    if (!Save(folder, file.name, file.bytes)) {
      std::fprintf(stderr, "write_bench_raws: cannot write %s/%s\n", folder.c_str(), file.name);
      return 1;
    }
  }
  return 0;
}
