#pragma once
// A picture on gdk-pixbuf. Opening it reads only the header (a size never
// decodes pixels where the header or the module's announced size tells
// it); a file no module reads to a size reads 0 by 0. Its rows are decoded
// just as far as they are asked for. It vouches for one image per file, and
// for 8-bit samples, only where that is known; otherwise it lists no image
// or no 8-bit samples, and the plugin compares such files by their bytes.

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/header_facts.h"
#include "linux/open_file.h"
#include "linux/pixbuf_decoding.h"
#include "plugin/picture.h"

class PixbufPicture final : public Picture {
 public:
  // The file must stay open while the picture lives.
  PixbufPicture(const OpenFile& file, const HeaderFacts& facts);

  ImageSize Size() override { return size; }
  std::uint32_t ImageCount() override;
  bool SelectImage(std::uint32_t index) override { return index == 0 && ImageCount() == 1; }
  bool SamplesFit8Bits() override;
  std::uint32_t HeldBytesPerPixel() override;
  bool ReadRows(std::uint32_t top, std::uint32_t rows, RowBand& band) override;

 private:
  bool ReadSizeWithLoader();
  PixbufDecoding& Decoding();

  OpenFile file;
  HeaderFacts facts;
  GdkPixbufFormat* format = nullptr;
  ImageSize size;
  std::unique_ptr<PixbufDecoding> decoding;
  std::vector<std::uint8_t> band;  // the rows handed out last
};
