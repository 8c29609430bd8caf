#pragma once
// The header reader of each format, called once the file's first bytes
// have named the format the imaging library will pick for it. Each keeps
// width and height at 0 unless the header settles them for the decoder.

#include <cstdint>

#include "imaging/header_facts.h"
#include "imaging/header_reader.h"

HeaderFacts ReadPngFacts(HeaderReader& reader);
HeaderFacts ReadJpegFacts(HeaderReader& reader);
HeaderFacts ReadGifFacts(HeaderReader& reader);
HeaderFacts ReadBmpFacts(HeaderReader& reader);
HeaderFacts ReadTiffFacts(HeaderReader& reader);
HeaderFacts ReadIconFacts(HeaderReader& reader, ImageFormat format);
HeaderFacts ReadPnmFacts(HeaderReader& reader);
HeaderFacts ReadWebPFacts(HeaderReader& reader);
HeaderFacts ReadAvifFacts(HeaderReader& reader);
HeaderFacts ReadQuickTimeFacts(HeaderReader& reader);
HeaderFacts ReadIcnsFacts(HeaderReader& reader);
// A file of markup: an SVG drawing when its root element is one.
HeaderFacts ReadSvgFacts(HeaderReader& reader);
HeaderFacts ReadCameraRawFacts(HeaderReader& reader);
HeaderFacts ReadJpegXlFacts(HeaderReader& reader);
// Reads a file of a TIFF signature as a camera's raw file: false, with
// facts untouched, when it is none (no DNG version, no CR2 mark, no
// camera's name with sensor data at full resolution).
bool ReadCameraRawTiffFacts(HeaderReader& reader, HeaderFacts& facts);
// HEIC files are read by the AVIF reader, which settles AV1 images only:
// this settles the size of their HEVC primary image.
void SettleHeicSize(HeaderReader& reader, HeaderFacts& facts);

// Facts of a file of a known format whose header the reader cannot vouch
// for: nothing is ruled out. A reader that goes on to read the header
// clears the reason.
inline HeaderFacts Unsettled(ImageFormat format) {
  HeaderFacts facts;
  facts.format = format;
  facts.bytesReason = BytesReason::HeaderUnreadable;
  facts.moreThanOneImage = Answer::NotRuledOut;
  facts.deeperThan8Bits = Answer::NotRuledOut;
  return facts;
}

// A PNG signature and IHDR chunk, as icons embed them too.
struct PngHeader {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint8_t bitDepth = 0;
  std::uint8_t colorType = 0;
  std::uint8_t interlace = 0;
};
// True when offset starts a PNG signature followed by an IHDR chunk with an
// intact CRC and a combination of fields the decoder accepts.
bool ReadPngHeader(HeaderReader& reader, std::uint64_t offset, PngHeader& header);
bool StartsWithPngSignature(const std::uint8_t* bytes, std::size_t size);
