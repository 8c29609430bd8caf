#pragma once
// JPEG files for the header reader's tests, segment by segment as the
// format lays them down: tables, a frame, a scan and its data, and the
// application segments that carry metadata.

#include <string>
#include <vector>

#include "tests/native/header_bytes.h"

inline Bytes Segment(int marker, const Bytes& payload) {
  return Writer().Raw({0xff, marker}).Be16(static_cast<std::uint32_t>(payload.size() + 2)).Append(payload).bytes;
}

inline Bytes Named(int marker, const std::string& name, const Bytes& rest = {}) {
  return Segment(marker, Writer().Text(name).Raw({0}).Append(rest).bytes);
}

// One code of length 1, for symbol 0: DC category 0, or AC end of block.
inline Bytes HuffmanTable(int classAndId) { return Segment(0xc4, Writer().Raw({classAndId, 1}).Zeros(15).Raw({0}).bytes); }
inline const Bytes QuantTable = Segment(0xdb, Writer().Raw({0}).Zeros(64).bytes);
inline const Bytes Tables = Writer().Append(QuantTable).Append(HuffmanTable(0x00)).Append(HuffmanTable(0x10)).bytes;

inline Bytes Frame(int components) {
  Writer frame;
  frame.Raw({8}).Be16(8).Be16(8).Raw({components});
  for (int i = 1; i <= components; ++i) frame.Raw({i, 0x11, 0});
  return Segment(0xc0, frame.bytes);
}

inline Bytes Scan(const std::vector<int>& components) {
  Writer scan;
  scan.Raw({static_cast<int>(components.size())});
  for (int id : components) scan.Raw({id, 0x00});
  return Segment(0xda, scan.Raw({0, 63, 0}).bytes);
}

// An 8 x 8 picture in components of one block each, two 0 bits a block,
// whose scan data is whole: the segments given come after SOI.
inline Bytes Jpeg(const std::vector<Bytes>& segments, int components = 1, const Bytes& tables = Tables) {
  Writer jpeg;
  jpeg.Raw({0xff, 0xd8});
  for (const Bytes& segment : segments) jpeg.Append(segment);
  std::vector<int> ids;
  for (int i = 1; i <= components; ++i) ids.push_back(i);
  return jpeg.Append(tables).Append(Frame(components)).Append(Scan(ids)).Raw({0x03, 0xff, 0xd9}).bytes;
}

// A little-endian TIFF header; the image's directory of the entries given
// (each a short), and after it the thumbnail's directory and bytes when
// there is a thumbnail.
struct Entry {
  int tag;
  int value;
};
inline Bytes ExifBlock(const std::vector<Entry>& entries, const Bytes& thumbnail = {}) {
  Writer exif;
  exif.Text("II").Le16(42).Le32(8).Le16(static_cast<std::uint32_t>(entries.size()));
  for (const Entry& entry : entries) exif.Le16(entry.tag).Le16(3).Le32(1).Le16(entry.value).Le16(0);
  const auto thumbnailDirectory = static_cast<std::uint32_t>(exif.bytes.size() + 4);
  if (thumbnail.empty()) return exif.Le32(0).bytes;
  exif.Le32(thumbnailDirectory).Le16(2);
  exif.Le16(0x201).Le16(4).Le32(1).Le32(thumbnailDirectory + 2 + 2 * 12 + 4);
  exif.Le16(0x202).Le16(4).Le32(1).Le32(static_cast<std::uint32_t>(thumbnail.size()));
  return exif.Le32(0).Append(thumbnail).bytes;
}

inline Bytes Exif(const Bytes& block) { return Segment(0xe1, Writer().Text("Exif").Zeros(2).Append(block).bytes); }
