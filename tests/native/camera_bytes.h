#pragma once
// Camera raw and JPEG XL files for the tests, built in the bytes each
// format lays down: TIFF directories (DNG, CR2, NEF, ARW, PEF, ORF, RW2),
// Fujifilm's RAF header and records, Canon's CR3 boxes, and JPEG XL
// codestreams and containers. Sizes are the tests' own; the image data is
// zeros.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/native/header_bytes.h"

namespace camera {

constexpr std::uint16_t Byte = 1;
constexpr std::uint16_t Ascii = 2;
constexpr std::uint16_t Short = 3;
constexpr std::uint16_t Long = 4;
constexpr std::uint16_t Rational = 5;

// One tag: its values (a rational as numerator and denominator), or text,
// or the indexes of directories of the same file whose offsets it holds.
struct Field {
  std::uint16_t tag;
  std::uint16_t type;
  std::vector<std::uint32_t> values;
  std::string text;
  std::vector<int> directories;
};

inline Field Shorts(std::uint16_t tag, std::vector<std::uint32_t> values) { return {tag, Short, values, "", {}}; }
inline Field Longs(std::uint16_t tag, std::vector<std::uint32_t> values) { return {tag, Long, values, "", {}}; }
inline Field Rationals(std::uint16_t tag, std::vector<std::uint32_t> values) { return {tag, Rational, values, "", {}}; }
inline Field Bytes4(std::uint16_t tag, std::vector<std::uint32_t> values) { return {tag, Byte, values, "", {}}; }
inline Field Text(std::uint16_t tag, const std::string& text) { return {tag, Ascii, {}, text + '\0', {}}; }
inline Field Links(std::uint16_t tag, std::vector<int> directories) { return {tag, Long, {}, "", directories}; }

struct Ifd {
  std::vector<Field> fields;  // in tag order, as TIFF asks
  int next = -1;              // the directory the chain goes on to
  std::uint32_t dataBytes = 0;  // image data (zeros) after the directory, for StripOffsets
};

// A classic TIFF structure: the 8-byte header (magic as given, the first
// directory's offset), extra header bytes, then each directory followed by
// its values that do not fit the entry and its image data. StripOffsets
// (273) and StripByteCounts (279) with one value 0 are pointed at the
// directory's image data.
class TiffWriter {
 public:
  TiffWriter(bool bigEndian, std::uint16_t magic, Bytes extraHeader = {})
      : big(bigEndian), magicNumber(magic), extra(std::move(extraHeader)) {}

  Bytes Build(const std::vector<Ifd>& ifds) const {
    // Where each directory, its values and its data go.
    std::vector<std::uint32_t> at(ifds.size());
    std::uint32_t offset = static_cast<std::uint32_t>(8 + extra.size());
    for (std::size_t i = 0; i < ifds.size(); ++i) {
      at[i] = offset;
      offset += static_cast<std::uint32_t>(2 + 12 * ifds[i].fields.size() + 4);
      for (const Field& field : ifds[i].fields) {
        const std::uint32_t size = ValueBytes(field);
        if (size > 4) offset += (size + 1) & ~1u;
      }
      offset += ifds[i].dataBytes;
    }
    Writer out;
    out.Text(big ? "MM" : "II");
    U16(out, magicNumber);
    U32(out, ifds.empty() ? 0 : at[0]);
    out.Append(extra);
    for (std::size_t i = 0; i < ifds.size(); ++i) Directory(out, ifds[i], at, static_cast<std::uint32_t>(out.bytes.size()));
    return out.bytes;
  }

 private:
  static std::uint32_t TypeBytes(std::uint16_t type) { return type == Short ? 2 : type == Long ? 4 : type == Rational ? 8 : 1; }
  static std::uint32_t Count(const Field& field) {
    if (field.type == Ascii) return static_cast<std::uint32_t>(field.text.size());
    if (!field.directories.empty()) return static_cast<std::uint32_t>(field.directories.size());
    return static_cast<std::uint32_t>(field.type == Rational ? field.values.size() / 2 : field.values.size());
  }
  static std::uint32_t ValueBytes(const Field& field) { return Count(field) * TypeBytes(field.type); }

  void U16(Writer& out, std::uint32_t v) const { big ? out.Be16(v) : out.Le16(v); }
  void U32(Writer& out, std::uint32_t v) const { big ? out.Be32(v) : out.Le32(v); }

  Bytes Values(const Field& field, const std::vector<std::uint32_t>& at, std::uint32_t dataAt) const {
    Writer out;
    if (field.type == Ascii) return out.Text(field.text).bytes;
    for (int directory : field.directories) U32(out, at[static_cast<std::size_t>(directory)]);
    for (std::uint32_t value : field.values) {
      if (field.type == Short) U16(out, value);
      if (field.type == Long || field.type == Rational) U32(out, (field.tag == 273 && value == 0) ? dataAt : value);
      if (field.type == Byte) out.Raw({int(value)});
    }
    return out.bytes;
  }

  void Directory(Writer& out, const Ifd& ifd, const std::vector<std::uint32_t>& at, std::uint32_t start) const {
    std::uint32_t valuesAt = static_cast<std::uint32_t>(start + 2 + 12 * ifd.fields.size() + 4);
    std::uint32_t dataAt = valuesAt;
    for (const Field& field : ifd.fields) dataAt += ValueBytes(field) > 4 ? (ValueBytes(field) + 1) & ~1u : 0;
    Writer outside;
    U16(out, static_cast<std::uint32_t>(ifd.fields.size()));
    for (const Field& field : ifd.fields) {
      U16(out, field.tag);
      U16(out, field.type);
      U32(out, Count(field));
      Field resolved = field;
      if (field.tag == 279 && field.values == std::vector<std::uint32_t>{0}) resolved.values = {ifd.dataBytes};
      Bytes values = Values(resolved, at, dataAt);
      if (values.size() > 4) {
        U32(out, valuesAt + static_cast<std::uint32_t>(outside.bytes.size()));
        outside.Append(values);
        if (values.size() % 2 == 1) outside.Raw({0});
      } else {
        values.resize(4, 0);
        out.Append(values);
      }
    }
    U32(out, ifd.next < 0 ? 0 : at[static_cast<std::size_t>(ifd.next)]);
    out.Append(outside.bytes).Zeros(ifd.dataBytes);
  }

  bool big;
  std::uint16_t magicNumber;
  Bytes extra;
};

constexpr std::uint16_t TiffMagic = 42;

// The fields of a directory of image data: size, 16-bit samples of one
// colour-filter plane (or of RGB for previews), one strip.
inline std::vector<Field> ImageFields(std::uint32_t subfileType, std::uint32_t width, std::uint32_t height,
                                      std::uint32_t photometric) {
  const std::uint32_t samples = photometric == 2 ? 3 : 1;
  return {Longs(254, {subfileType}), Longs(256, {width}),   Longs(257, {height}),
          Shorts(258, photometric == 2 ? std::vector<std::uint32_t>{8, 8, 8} : std::vector<std::uint32_t>{16}),
          Shorts(259, {1}),          Shorts(262, {photometric}), Longs(273, {0}),
          Shorts(277, {samples}),    Longs(278, {height}),       Longs(279, {0})};
}

inline std::vector<Field> Joined(std::vector<Field> first, const std::vector<Field>& more) {
  first.insert(first.end(), more.begin(), more.end());
  std::sort(first.begin(), first.end(), [](const Field& a, const Field& b) { return a.tag < b.tag; });
  return first;
}

constexpr std::uint32_t Rgb = 2;
constexpr std::uint32_t Cfa = 32803;
constexpr std::uint32_t LinearRaw = 34892;

// A DNG: IFD0 a small RGB preview naming the camera and the DNG version,
// its SubIFD the raw image with the crop fields given (ActiveArea 50829,
// DefaultCropSize 50720, DefaultScale 50718, ...).
inline Bytes Dng(std::uint32_t width, std::uint32_t height, const std::vector<Field>& rawFields,
                 std::uint32_t rawData = 0) {
  const std::vector<Field> first =
      Joined(ImageFields(1, 32, 24, Rgb), {Text(271, "Pixdim"), Text(272, "Test Camera"), Links(330, {1}),
                                           Bytes4(50706, {1, 4, 0, 0}), Text(50708, "Pixdim Test Camera")});
  const std::vector<Field> raw =
      Joined(ImageFields(0, width, height, Cfa), Joined(rawFields, {Shorts(33421, {2, 2}), Bytes4(33422, {0, 1, 1, 2})}));
  return TiffWriter(false, TiffMagic).Build({{first, -1, 32 * 24 * 3}, {raw, -1, rawData}});
}

// A NEF-, ARW- or PEF-like file: IFD0 names the camera; the raw image is
// IFD0 itself (rawInFirst) or its SubIFD after a preview.
inline Bytes MakerRaw(bool bigEndian, const std::string& make, const std::string& model, std::uint32_t width,
                      std::uint32_t height, bool rawInFirst, const std::vector<Field>& rawFields = {},
                      std::uint32_t rawData = 0) {
  const std::vector<Field> camera = {Text(271, make), Text(272, model)};
  const std::vector<Field> raw =
      Joined(ImageFields(0, width, height, Cfa), Joined(rawFields, {Shorts(33421, {2, 2}), Bytes4(33422, {0, 1, 1, 2})}));
  if (rawInFirst) return TiffWriter(bigEndian, TiffMagic).Build({{Joined(raw, camera), -1, rawData}});
  const std::vector<Field> first = Joined(ImageFields(1, 32, 24, Rgb), Joined(camera, {Links(330, {1, 2})}));
  const std::vector<Field> preview = ImageFields(1, 64, 48, Rgb);
  return TiffWriter(bigEndian, TiffMagic).Build({{first, -1, 32 * 24 * 3}, {preview, -1, 64 * 48 * 3}, {raw, -1, rawData}});
}

// A CR2: "CR", version 2.0 and the raw directory's offset after the TIFF
// header; IFD0 a preview of the sensor's full size with its EXIF directory
// giving the developed size; the chain on to the raw directory.
inline Bytes Cr2(std::uint32_t sensorWidth, std::uint32_t sensorHeight, std::uint32_t exifWidth,
                 std::uint32_t exifHeight) {
  const std::vector<Field> first = Joined(ImageFields(0, sensorWidth, sensorHeight, Rgb),
                                          {Text(271, "Canon"), Text(272, "Canon EOS 5D Mark III"), Links(34665, {1})});
  const std::vector<Field> exif = {Shorts(40962, {exifWidth}), Shorts(40963, {exifHeight})};
  const std::vector<Field> raw = {Shorts(259, {6}), Longs(273, {0}), Longs(279, {0})};
  Bytes extra = {'C', 'R', 2, 0, 0, 0, 0, 0};
  return TiffWriter(false, TiffMagic, extra).Build({{first, 2, 0}, {exif, -1, 0}, {raw, -1, 0}});
}

// An ORF: a TIFF of Olympus's magic ("IIRO") whose IFD0 is the raw image.
inline Bytes Orf(std::uint32_t width, std::uint32_t height) {
  const std::vector<Field> first =
      Joined(ImageFields(0, width, height, 1), {Text(271, "OLYMPUS IMAGING CORP."), Text(272, "E-M5")});
  return TiffWriter(false, 0x4f52).Build({{first, -1, 0}});
}

// An RW2: a TIFF of Panasonic's magic ("IIU\0") whose IFD0 gives the
// sensor's size and the borders of its developed area.
inline Bytes Rw2(std::uint32_t sensorWidth, std::uint32_t sensorHeight, std::uint32_t top, std::uint32_t left,
                 std::uint32_t bottom, std::uint32_t right) {
  const std::vector<Field> first = {Shorts(1, {0x0035}),      Shorts(2, {sensorWidth}), Shorts(3, {sensorHeight}),
                                    Shorts(4, {top}),         Shorts(5, {left}),        Shorts(6, {bottom}),
                                    Shorts(7, {right}),       Text(271, "Panasonic"),   Text(272, "DMC-GH4")};
  return TiffWriter(false, 0x0055).Build({{first, -1, 0}});
}

// A RAF: the 16-byte signature, version, camera id and name, directory
// version, the preview's, the records' and the sensor data's offsets and
// lengths; then the records (tag, size, value), each size record a height
// then a width; then the preview (a JPEG of an EXIF block naming the
// camera, and no image), then the sensor data (zeros).
struct RafRecord {
  std::uint16_t tag;
  std::uint32_t height;
  std::uint32_t width;
};

inline Bytes Raf(const std::vector<RafRecord>& records, std::uint32_t rawData = 0) {
  constexpr std::uint32_t RecordsAt = 0x100;
  Writer list;
  list.Be32(static_cast<std::uint32_t>(records.size()));
  for (const RafRecord& record : records) list.Be16(record.tag).Be16(4).Be16(record.height).Be16(record.width);
  const Bytes exif = TiffWriter(true, TiffMagic).Build({{{Text(271, "FUJIFILM"), Text(272, "X-T2")}, -1, 0}});
  Writer preview;
  preview.Raw({0xff, 0xd8, 0xff, 0xe1}).Be16(static_cast<std::uint32_t>(2 + 6 + exif.size()));
  preview.Text("Exif").Zeros(2).Append(exif).Raw({0xff, 0xd9});
  const auto previewAt = static_cast<std::uint32_t>(RecordsAt + list.bytes.size());
  const auto dataAt = static_cast<std::uint32_t>(previewAt + preview.bytes.size());
  Writer out;
  out.Text("FUJIFILMCCD-RAW ").Text("0201").Text("FF129502").Text("X-T2").Zeros(28).Text("0100").Zeros(20);
  out.Be32(previewAt).Be32(static_cast<std::uint32_t>(preview.bytes.size()));
  out.Be32(RecordsAt).Be32(static_cast<std::uint32_t>(list.bytes.size())).Be32(dataAt).Be32(rawData);
  out.Zeros(RecordsAt - out.bytes.size()).Append(list.bytes).Append(preview.bytes).Zeros(rawData);
  return out.bytes;
}

inline Bytes Box(const std::string& type, const Bytes& payload) {
  return Writer().Be32(static_cast<std::uint32_t>(8 + payload.size())).Text(type).Append(payload).bytes;
}

constexpr std::uint8_t CanonUuid[16] = {0x85, 0xc0, 0xb6, 0x87, 0x82, 0x0f, 0x11, 0xe0,
                                        0x81, 0x11, 0xf4, 0xce, 0x46, 0x2b, 0x6a, 0x48};

// A CR3: 'ftyp' of brand 'crx ', 'moov' holding Canon's 'uuid' box with
// CMT1 (IFD0) and CMT2 (the EXIF directory, a TIFF structure of its own),
// then 'mdat'.
inline Bytes Cr3(std::uint32_t exifWidth, std::uint32_t exifHeight, const std::string& brand = "crx ") {
  const Bytes ifd0 = TiffWriter(false, TiffMagic).Build({{{Text(271, "Canon"), Text(272, "Canon EOS R")}, -1, 0}});
  const Bytes exif = TiffWriter(false, TiffMagic).Build({{{Shorts(40962, {exifWidth}), Shorts(40963, {exifHeight})}, -1, 0}});
  Writer canon;
  canon.Append(Bytes(CanonUuid, CanonUuid + 16)).Append(Box("CNCV", Writer().Text("CanonCR3_001/01.09.00/00.00.00").bytes));
  canon.Append(Box("CMT1", ifd0)).Append(Box("CMT2", exif));
  Writer out;
  out.Append(Box("ftyp", Writer().Text(brand).Be32(1).Text(brand).Text("isom").bytes));
  out.Append(Box("moov", Box("uuid", canon.bytes))).Append(Box("mdat", Bytes(16)));
  return out.bytes;
}

// ---- JPEG XL: the SizeHeader's fields, least significant bit first.
class BitWriter {
 public:
  BitWriter& Put(std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i, ++bits) {
      if (bits % 8 == 0) bytes.push_back(0);
      bytes.back() = static_cast<std::uint8_t>(bytes.back() | ((value >> i) & 1u) << (bits % 8));
    }
    return *this;
  }
  // A size of the U32 distribution: the smallest field (9, 13, 18, 30 bits)
  // that holds size - 1.
  BitWriter& Size(std::uint32_t size) {
    const int widths[4] = {9, 13, 18, 30};
    for (std::uint32_t selector = 0; selector < 4; ++selector) {
      if (size - 1 < (1u << widths[selector]) || selector == 3) return Put(selector, 2).Put(size - 1, widths[selector]);
    }
    return *this;
  }
  Bytes bytes;

 private:
  int bits = 0;
};

// A codestream of the SizeHeader, image metadata of default values and a
// few bytes of zeros: small
// sizes (multiples of 8 up to 256) in 5-bit fields, others in the U32
// distribution; a ratio code (1 to 7) gives the width from the height.
inline Bytes JxlCodestream(std::uint32_t width, std::uint32_t height, std::uint32_t ratio = 0) {
  const bool small = height % 8 == 0 && height <= 256 && (ratio != 0 || (width % 8 == 0 && width <= 256));
  BitWriter header;
  header.Put(small ? 1 : 0, 1);
  small ? header.Put(height / 8 - 1, 5) : header.Size(height);
  header.Put(ratio, 3);
  if (ratio == 0) small ? header.Put(width / 8 - 1, 5) : header.Size(width);
  header.Put(1, 1);  // image metadata: all defaults
  return Writer().Raw({0xff, 0x0a}).Append(header.bytes).Zeros(8).bytes;
}

inline Bytes JxlContainerHead() {
  return Writer().Raw({0, 0, 0, 12, 'J', 'X', 'L', ' ', 0x0d, 0x0a, 0x87, 0x0a})
      .Append(Box("ftyp", Writer().Text("jxl ").Be32(0).Text("jxl ").bytes))
      .bytes;
}

// The codestream in a container: in one 'jxlc' box, or split after
// splitAt bytes into two 'jxlp' boxes, each with its index (the last one's
// top bit set); metadata boxes before it.
inline Bytes JxlContainer(const Bytes& codestream, std::size_t splitAt = 0) {
  Writer out;
  out.Append(JxlContainerHead()).Append(Box("Exif", Bytes(12))).Append(Box("xml ", Bytes(4)));
  if (splitAt == 0) return out.Append(Box("jxlc", codestream)).bytes;
  const Bytes first(codestream.begin(), codestream.begin() + static_cast<std::ptrdiff_t>(splitAt));
  const Bytes second(codestream.begin() + static_cast<std::ptrdiff_t>(splitAt), codestream.end());
  out.Append(Box("jxlp", Writer().Be32(0).Append(first).bytes)).Append(Box("brob", Bytes(4)));
  return out.Append(Box("jxlp", Writer().Be32(0x80000001u).Append(second).bytes)).bytes;
}

}  // namespace camera
