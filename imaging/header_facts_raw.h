#pragma once
// The TIFF structures camera raw files are built on (DNG, CR2, NEF, ARW,
// PEF, ORF and RW2 files, and the directories inside a CR3's boxes): a
// classic TIFF header at some offset of the file, with offsets counted
// from it, and directories of which only the tags the size rules read are
// kept.

#include <cstdint>

#include "imaging/header_reader.h"
#include "imaging/tiff_tags.h"

namespace raw {

using namespace tiff;  // the tags

constexpr Tag KeptTags[] = {SensorWidth,     SensorHeight,    SensorTopBorder, SensorLeftBorder, SensorBottomBorder,
                            SensorRightBorder, NewSubfileType, ImageWidth,     ImageLength,      PhotometricInterpretation,
                            Make,            SubIfds,         ExifIfd,         PixelXDimension,  PixelYDimension,
                            DngVersion,      DefaultScale,    DefaultCropSize, ActiveArea};
constexpr int KeptTagCount = sizeof KeptTags / sizeof KeptTags[0];

struct Entry {
  bool present = false;
  std::uint16_t type = 0;
  std::uint32_t count = 0;
  std::uint8_t field[4] = {};
};

struct Directory {
  bool readable = false;
  std::uint32_t next = 0;  // the next directory's offset; 0 for none
  Entry entries[KeptTagCount];

  const Entry& Get(Tag tag) const;
};

class TiffStructure {
 public:
  // The TIFF header at base, whose structures must end by end; the byte
  // order comes from the header's first two bytes ("II" or "MM").
  TiffStructure(HeaderReader& reader, std::uint64_t base, std::uint64_t end);

  bool Valid() const { return valid; }
  // The offset the header gives for the first directory.
  std::uint32_t FirstDirectory() const { return first; }
  Directory ReadDirectory(std::uint32_t offset);
  // The index-th value of a SHORT, LONG (or IFD) or RATIONAL entry (a rational
  // rounded to the nearest whole number); false for other types or values
  // outside the structure.
  bool Number(const Entry& entry, std::uint32_t index, std::uint32_t& value);
  // A SHORT or LONG entry of one value.
  bool Single(const Entry& entry, std::uint32_t& value) { return entry.count == 1 && Number(entry, 0, value); }
  // The index-th value of a RATIONAL entry, as numerator and denominator.
  bool Rational(const Entry& entry, std::uint32_t index, std::uint32_t& numerator, std::uint32_t& denominator);

 private:
  std::uint16_t U16(const std::uint8_t* p) const { return bigEndian ? Be16(p) : Le16(p); }
  std::uint32_t U32(const std::uint8_t* p) const { return bigEndian ? Be32(p) : Le32(p); }
  bool ReadValue(const Entry& entry, std::uint32_t index, std::uint32_t size, std::uint8_t* out);

  HeaderReader& reader;
  std::uint64_t base;
  std::uint64_t end;
  bool bigEndian = false;
  bool valid = false;
  std::uint32_t first = 0;
};

// The developed sizes of the raw files that are not TIFF files
// themselves: false when the file is not of that kind or its numbers are
// missing or implausible.
bool RafSize(HeaderReader& reader, std::uint32_t& width, std::uint32_t& height);
bool Cr3Size(HeaderReader& reader, std::uint32_t& width, std::uint32_t& height);

}  // namespace raw
