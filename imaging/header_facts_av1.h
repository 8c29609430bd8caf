#pragma once
// The AV1 sequence header at the start of an AV1 image's data: the frame
// size and the colour format the decoder produces.

#include <cstdint>

#include "imaging/header_reader.h"

struct Av1Format {
  unsigned profile = 0;
  unsigned depth = 8;
  bool monochrome = false;
};

inline bool operator==(const Av1Format& a, const Av1Format& b) {
  return a.profile == b.profile && a.depth == b.depth && a.monochrome == b.monochrome;
}

// AV1 depth: 8, or 10 with the high bit depth flag, or 12 in profile 2.
inline unsigned Av1Depth(unsigned profile, bool high, bool twelve) {
  return !high ? 8 : profile == 2 && twelve ? 12 : 10;
}

struct Av1SequenceHeader {
  bool known = false;
  std::uint32_t width = 0;  // the maximum frame size
  std::uint32_t height = 0;
  // A reduced still picture header: its frame cannot override the size, so
  // the maximum is the size decoded.
  bool reduced = false;
  Av1Format format;
};

// The sequence header among the first OBUs of the length bytes at offset.
Av1SequenceHeader ReadAv1SequenceHeader(HeaderReader& reader, std::uint64_t offset, std::uint64_t length);

// Whether the length bytes at offset are whole OBUs, each with its size
// field, as the HEIF decoder requires of an item's data before decoding it.
bool Av1ObusFit(HeaderReader& reader, std::uint64_t offset, std::uint64_t length);
