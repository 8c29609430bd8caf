// Camera raw and JPEG XL files: each kind's rule for the size it shows,
// the signals that tell a raw file from a TIFF, and the files whose
// numbers are missing or implausible (no size, still a raw file).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "imaging/header_facts.h"
#include "tests/native/camera_bytes.h"
#include "tests/native/header_bytes.h"

namespace {

using namespace camera;

void ExpectRaw(const Bytes& bytes, std::uint32_t width, std::uint32_t height) {
  const HeaderFacts facts = Facts(bytes);
  EXPECT_EQ(facts.format, ImageFormat::CameraRaw);
  EXPECT_EQ(facts.width, width);
  EXPECT_EQ(facts.height, height);
  // Never decoded here: the bytes decide, whatever the header says.
  EXPECT_EQ(BytesReasonOf(facts), BytesReason::CameraRaw);
}

void ExpectJxl(const Bytes& bytes, std::uint32_t width, std::uint32_t height) {
  const HeaderFacts facts = Facts(bytes);
  EXPECT_EQ(facts.format, ImageFormat::JpegXl);
  EXPECT_EQ(facts.width, width);
  EXPECT_EQ(facts.height, height);
  EXPECT_EQ(BytesReasonOf(facts), BytesReason::JpegXl);
}

const std::vector<Field> Area = {Longs(50829, {8, 8, 248, 328})};  // top, left, bottom, right: 320 x 240

// ---- DNG: DefaultCropSize, scaled; else ActiveArea; else the stored size.

TEST(HeaderFactsDng, DevelopedSizeIsTheDefaultCrop) {
  ExpectRaw(Dng(336, 256, Joined(Area, {Longs(50719, {4, 4}), Longs(50720, {300, 200})})), 300, 200);
  // Rational crops (as Adobe's converter writes them) round to whole pixels.
  ExpectRaw(Dng(336, 256, Joined(Area, {Rationals(50720, {601, 2, 400, 2})})), 301, 200);
  // Non-square pixels: the crop scaled to square ones.
  ExpectRaw(Dng(336, 256, Joined(Area, {Rationals(50718, {2, 1, 1, 1}), Shorts(50720, {150, 200})})), 300, 200);
  ExpectRaw(Dng(336, 256, Area), 320, 240);
  ExpectRaw(Dng(336, 256, {}), 336, 256);
}

TEST(HeaderFactsDng, ImplausibleCropsShowNothing) {
  // A crop larger than the active area, an area beyond the stored image,
  // an area upside down, a zero scale, a crop of one value.
  ExpectRaw(Dng(336, 256, Joined(Area, {Longs(50720, {321, 200})})), 0, 0);
  ExpectRaw(Dng(336, 256, {Longs(50829, {8, 8, 248, 337})}), 0, 0);
  ExpectRaw(Dng(336, 256, {Longs(50829, {248, 8, 8, 328})}), 0, 0);
  ExpectRaw(Dng(336, 256, {Rationals(50718, {1, 0, 1, 1})}), 0, 0);
  ExpectRaw(Dng(336, 256, {Longs(50720, {300})}), 0, 0);
}

TEST(HeaderFactsDng, TheMainImageIsTheFullResolutionDirectory) {
  // Raw data in IFD0 itself, as some converters write it.
  const std::vector<Field> first = Joined(ImageFields(0, 200, 100, Cfa), {Text(271, "Pixdim"), Bytes4(50706, {1, 4, 0, 0})});
  ExpectRaw(TiffWriter(true, TiffMagic).Build({{first, -1, 0}}), 200, 100);
  // A DNG whose only directory is a preview has no main image to size.
  const std::vector<Field> preview = Joined(ImageFields(1, 200, 100, Rgb), {Bytes4(50706, {1, 4, 0, 0})});
  ExpectRaw(TiffWriter(false, TiffMagic).Build({{preview, -1, 0}}), 0, 0);
}

// ---- Other makers' TIFF-built files: the stored size of the raw image.

TEST(HeaderFactsMakerRaw, TheRawDirectoryGivesTheSize) {
  ExpectRaw(MakerRaw(true, "NIKON CORPORATION", "NIKON D850", 8288, 5520, false), 8288, 5520);  // NEF
  ExpectRaw(MakerRaw(false, "PENTAX", "PENTAX K-1", 7392, 4950, true), 7392, 4950);            // PEF
  // ARW of newer models: DNG's crop tags in the raw directory.
  ExpectRaw(MakerRaw(false, "SONY", "ILCE-7M3", 6048, 4024, false, {Shorts(50719, {12, 8}), Shorts(50720, {6000, 4000})}),
            6000, 4000);
  // Linear (demosaicked) raw data counts as raw data.
  const std::vector<Field> linear = Joined(ImageFields(0, 640, 480, LinearRaw), {Text(271, "SONY")});
  ExpectRaw(TiffWriter(false, TiffMagic).Build({{linear, -1, 0}}), 640, 480);
}

TEST(HeaderFactsMakerRaw, CameraTiffsStayTiffs) {
  // A camera's name alone (a TIFF a camera wrote), colour-filter data
  // without one, and a raw image a subfile type calls reduced.
  const std::vector<Field> rgb = Joined(ImageFields(0, 64, 48, Rgb), {Text(271, "NIKON CORPORATION")});
  EXPECT_EQ(Facts(TiffWriter(false, TiffMagic).Build({{rgb, -1, 64 * 48 * 3}})).format, ImageFormat::Tiff);
  EXPECT_EQ(Facts(TiffWriter(false, TiffMagic).Build({{ImageFields(0, 64, 48, Cfa), -1, 0}})).format, ImageFormat::Tiff);
  const std::vector<Field> reduced = Joined(ImageFields(1, 64, 48, Cfa), {Text(271, "PENTAX")});
  EXPECT_EQ(Facts(TiffWriter(false, TiffMagic).Build({{reduced, -1, 0}})).format, ImageFormat::Tiff);
}

// ---- Canon: the EXIF image size, in CR2's EXIF directory or CR3's CMT2 box.

TEST(HeaderFactsCanon, ExifSizeIsTheDevelopedSize) {
  ExpectRaw(Cr2(5760, 3840, 5760, 3840), 5760, 3840);
  ExpectRaw(Cr2(5184, 3456, 5120, 3400), 5120, 3400);  // not the preview's
  ExpectRaw(Cr3(6000, 4000), 6000, 4000);
}

TEST(HeaderFactsCanon, MarksAndBoxesMustBeCanons) {
  // Without the EXIF size nothing is shown; "CR" of another version is a TIFF.
  Bytes noExif = Cr2(5184, 3456, 0, 0);
  ExpectRaw(noExif, 0, 0);
  Bytes version3 = Cr2(5184, 3456, 5184, 3456);
  version3[10] = 3;
  EXPECT_EQ(Facts(version3).format, ImageFormat::Tiff);
  // Another brand is not a CR3; a damaged Canon id hides CMT2.
  EXPECT_NE(Facts(Cr3(6000, 4000, "isom")).format, ImageFormat::CameraRaw);
  Bytes otherId = Cr3(6000, 4000);
  const std::string text(otherId.begin(), otherId.end());
  otherId[text.find("uuid") + 4] ^= 1;
  ExpectRaw(otherId, 0, 0);
}

// ---- Olympus, Panasonic, Fujifilm.

TEST(HeaderFactsOtherRaw, EachKindsRule) {
  ExpectRaw(Orf(4640, 3472), 4640, 3472);
  ExpectRaw(Rw2(4768, 3516, 4, 8, 3468, 4616), 4608, 3464);
  ExpectRaw(Raf({{0x100, 4032, 6160}, {0x110, 2, 4}, {0x111, 4000, 6000}, {0x121, 4032, 6160}}), 6000, 4000);
  // Older files without the cropped size: the RawImageSize record.
  ExpectRaw(Raf({{0x100, 4032, 6160}, {0x121, 4016, 6032}}), 6032, 4016);
}

TEST(HeaderFactsOtherRaw, ImplausibleNumbersShowNothing) {
  ExpectRaw(Rw2(4768, 3516, 4, 8, 3468, 4800), 0, 0);  // a border beyond the sensor
  ExpectRaw(Rw2(4768, 3516, 4, 4616, 3468, 8), 0, 0);  // left of right
  Bytes sizeRecord = Raf({{0x111, 4000, 6000}});
  sizeRecord[0x100 + 4 + 3] = 6;  // a size record of 6 bytes
  ExpectRaw(sizeRecord, 0, 0);
  Bytes manyRecords = Raf({{0x111, 4000, 6000}});
  manyRecords[0x100 + 2] = 1;  // 256 records and more
  ExpectRaw(manyRecords, 0, 0);
  ExpectRaw(Raf({{0x111, 0, 6000}}), 0, 0);
}

// ---- JPEG XL: the SizeHeader, bare or in the container.

TEST(HeaderFactsJpegXl, SizeHeaderFields) {
  ExpectJxl(JxlCodestream(64, 48), 64, 48);           // 5-bit fields of eighths
  ExpectJxl(JxlCodestream(500, 333), 500, 333);       // 9-bit fields
  ExpectJxl(JxlCodestream(5000, 20000), 5000, 20000); // 13 and 18 bits
  ExpectJxl(JxlCodestream(1u << 20, 1u << 28), 1u << 20, 1u << 28);  // 30 bits
}

TEST(HeaderFactsJpegXl, RatiosGiveTheWidth) {
  // Codes 1 to 7: 1:1, 12:10, 4:3, 3:2, 16:9, 5:4, 2:1 of the height.
  const std::uint32_t widths[8] = {0, 1000, 1200, 1333, 1500, 1777, 1250, 2000};
  for (std::uint32_t ratio = 1; ratio <= 7; ++ratio) ExpectJxl(JxlCodestream(0, 1000, ratio), widths[ratio], 1000);
  ExpectJxl(JxlCodestream(0, 64, 5), 113, 64);  // a small height, 16:9
}

TEST(HeaderFactsJpegXl, Containers) {
  const Bytes stream = JxlCodestream(500, 333);
  ExpectJxl(JxlContainer(stream), 500, 333);
  // Split in two parts with a box between: the header read across them.
  ExpectJxl(JxlContainer(stream, 3), 500, 333);
  // The last box's size of 0 runs to the end of the file.
  Bytes toEnd = Writer().Append(JxlContainerHead()).Be32(0).Text("jxlc").Append(stream).bytes;
  ExpectJxl(toEnd, 500, 333);
  // 64-bit sizes: after the type, and before it as early libjxl wrote them.
  const auto boxed = static_cast<std::uint32_t>(16 + stream.size());
  ExpectJxl(Writer().Append(JxlContainerHead()).Be32(1).Text("jxlc").Be32(0).Be32(boxed).Append(stream).bytes,
            500, 333);
  ExpectJxl(Writer().Append(JxlContainerHead()).Be32(1).Be32(0).Be32(boxed).Text("jxlc").Append(stream).bytes,
            500, 333);
  // A legacy size that runs past the file.
  ExpectJxl(Writer().Append(JxlContainerHead()).Be32(1).Be32(0).Be32(boxed + 1).Text("jxlc").Append(stream).bytes,
            0, 0);
}

TEST(HeaderFactsJpegXl, BrokenHeadersShowNothing) {
  Bytes cut = JxlCodestream(5000, 20000);
  cut.resize(4);
  ExpectJxl(cut, 0, 0);
  // A container of another brand, or without a codestream.
  Bytes brand = JxlContainer(JxlCodestream(64, 48));
  brand[20] = 'x';
  ExpectJxl(brand, 0, 0);
  ExpectJxl(Writer().Append(JxlContainerHead()).Append(Box("Exif", Bytes(8))).bytes, 0, 0);
  // A codestream box that does not start with the codestream's signature.
  const Bytes stream = JxlCodestream(64, 48);
  Bytes unsignedStream = JxlContainer(stream);
  unsignedStream[unsignedStream.size() - stream.size()] = 0;
  ExpectJxl(unsignedStream, 0, 0);
}

}  // namespace
