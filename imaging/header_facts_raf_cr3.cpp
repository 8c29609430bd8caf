// The raw files of Fujifilm (RAF: a header of its own, then a directory of
// records) and of Canon's newer cameras (CR3: ISO base media boxes, whose
// Canon box holds TIFF directories). Which sizes they show, and why, is
// told in header_facts_raw.cpp.
#include <cstring>

#include "imaging/header_facts_avif_boxes.h"
#include "imaging/header_facts_raw.h"

namespace raw {

namespace {

constexpr char RafSignature[] = "FUJIFILMCCD-RAW ";
constexpr std::size_t RafSignatureBytes = sizeof RafSignature - 1;
constexpr std::uint64_t RafDirectoryPointer = 92;
constexpr std::uint32_t MaxRafRecords = 255;  // as LibRaw reads them
constexpr std::uint32_t RafRecordHeaderBytes = 4;
constexpr std::uint16_t RawImageCroppedSize = 0x111;
constexpr std::uint16_t RawImageSize = 0x121;
constexpr std::uint16_t SizeRecordBytes = 4;  // height, then width

constexpr int MaxBoxes = 64;
constexpr std::uint32_t CanonBrand = FourCC("crx ");
constexpr std::uint64_t UuidBytes = 16;
constexpr std::uint8_t CanonUuid[UuidBytes] = {0x85, 0xc0, 0xb6, 0x87, 0x82, 0x0f, 0x11, 0xe0,
                                                0x81, 0x11, 0xf4, 0xce, 0x46, 0x2b, 0x6a, 0x48};

// The first box of the type among the children between start and end.
bool FindBox(HeaderReader& reader, std::uint64_t start, std::uint64_t end, std::uint32_t type, avif::Box& found) {
  std::uint64_t offset = start;
  for (int i = 0; i < MaxBoxes && offset < end; ++i) {
    if (!avif::ReadBox(reader, offset, end, found)) return false;
    if (found.type == type) return true;
    offset = found.end;
  }
  return false;
}

// The Canon box among the children of 'moov': a 'uuid' box of Canon's id.
bool FindCanonBox(HeaderReader& reader, const avif::Box& movie, avif::Box& canon) {
  std::uint64_t offset = movie.start;
  for (int i = 0; i < MaxBoxes && offset < movie.end; ++i) {
    std::uint8_t id[UuidBytes];
    if (!avif::ReadBox(reader, offset, movie.end, canon)) return false;
    if (canon.type == FourCC("uuid") && canon.end - canon.start >= UuidBytes &&
        reader.Read(canon.start, id, sizeof id) && std::memcmp(id, CanonUuid, sizeof id) == 0) {
      return true;
    }
    offset = canon.end;
  }
  return false;
}

}  // namespace

bool RafSize(HeaderReader& reader, std::uint32_t& width, std::uint32_t& height) {
  std::uint8_t head[RafDirectoryPointer + 4];
  if (!reader.Read(0, head, sizeof head) || std::memcmp(head, RafSignature, RafSignatureBytes) != 0) return false;
  const std::uint64_t directory = Be32(head + RafDirectoryPointer);
  std::uint8_t bytes[RafRecordHeaderBytes];
  if (!reader.Read(directory, bytes, 4) || Be32(bytes) > MaxRafRecords) return false;
  const std::uint32_t records = Be32(bytes);
  std::uint32_t fullHeight = 0;
  std::uint32_t fullWidth = 0;
  std::uint64_t offset = directory + 4;
  for (std::uint32_t i = 0; i < records; ++i) {
    if (!reader.Read(offset, bytes, RafRecordHeaderBytes)) return false;
    const std::uint16_t tag = Be16(bytes);
    const std::uint16_t size = Be16(bytes + 2);
    std::uint8_t value[SizeRecordBytes];
    if ((tag == RawImageCroppedSize || tag == RawImageSize) &&
        (size != SizeRecordBytes || !reader.Read(offset + RafRecordHeaderBytes, value, sizeof value))) {
      return false;
    }
    if (tag == RawImageCroppedSize) {
      height = Be16(value);
      width = Be16(value + 2);
      return width != 0 && height != 0;
    }
    if (tag == RawImageSize) {
      fullHeight = Be16(value);
      fullWidth = Be16(value + 2);
    }
    offset += RafRecordHeaderBytes + size;
  }
  width = fullWidth;
  height = fullHeight;
  return width != 0 && height != 0;
}

bool Cr3Size(HeaderReader& reader, std::uint32_t& width, std::uint32_t& height) {
  const std::uint64_t end = reader.FileSize();
  avif::Box type;
  std::uint8_t brand[4];
  if (!avif::ReadBox(reader, 0, end, type) || type.type != FourCC("ftyp") ||
      !reader.Read(type.start, brand, sizeof brand) || Be32(brand) != CanonBrand) {
    return false;
  }
  avif::Box movie;
  avif::Box canon;
  avif::Box exif;
  if (!FindBox(reader, type.end, end, FourCC("moov"), movie) || !FindCanonBox(reader, movie, canon) ||
      !FindBox(reader, canon.start + UuidBytes, canon.end, FourCC("CMT2"), exif)) {
    return false;
  }
  // CMT2 holds a TIFF header and the EXIF directory as its first.
  TiffStructure tiff(reader, exif.start, exif.end);
  const Directory directory = tiff.ReadDirectory(tiff.FirstDirectory());
  return tiff.Single(directory.Get(PixelXDimension), width) &&
         tiff.Single(directory.Get(PixelYDimension), height) && width != 0 && height != 0;
}

}  // namespace raw
