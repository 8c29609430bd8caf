#pragma once
// Whether a baseline JPEG's scan data holds every block its frame needs.
// Decoders fill in blocks missing from a scan cut short (as when recovery
// tools put the end marker back after lost data) and say nothing, so only
// walking the Huffman codes to the last block tells.

#include <cstdint>

#include "imaging/header_reader.h"

namespace jpeg {

constexpr int MaxScanComponents = 4;
constexpr int HuffmanSlots = 4;

struct HuffmanTable {
  bool defined = false;
  std::uint8_t counts[17] = {};  // codes of each length 1 to 16
  std::uint8_t symbols[256] = {};
};

struct ScanComponent {
  unsigned h = 1;
  unsigned v = 1;
  int dcTable = 0;
  int acTable = 0;
};

// A sequential Huffman-coded scan of all the frame's components.
struct ScanLayout {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  unsigned maxH = 1;
  unsigned maxV = 1;
  int count = 0;
  ScanComponent components[MaxScanComponents];
  std::uint32_t restartInterval = 0;  // units between restart markers; 0 for none
};

enum class ScanEnd { Complete, Early, Unknown };

// Walks the entropy-coded data from dataStart; Unknown when the reader's
// budget ends first.
ScanEnd WalkScanData(HeaderReader& reader, std::uint64_t dataStart, const ScanLayout& layout,
                     const HuffmanTable (&dc)[HuffmanSlots], const HuffmanTable (&ac)[HuffmanSlots]);

}  // namespace jpeg
