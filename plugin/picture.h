#pragma once
// A picture file as the platform's decoder shows it, in the plugin's own
// words: the images it holds one after another, each with a size, and the
// rows of the selected one as 32-bit BGRA (bytes B, G, R, A; straight
// alpha; opaque sources read alpha 255). The plugin asks a decoder nothing
// else; each platform implements it on its own imaging library, and a host
// file opens it (HostFile::OpenPicture).

#include <cstddef>
#include <cstdint>

struct ImageSize {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

// What a picture is opened for: its size, decoding as little as the library
// allows, or its pixels.
enum class PictureUse { Size, Pixels };

// Rows handed out by a picture: the first one, and the distance from a row
// to the next, which may be padded or negative.
struct RowBand {
  const std::uint8_t* first = nullptr;
  std::ptrdiff_t stride = 0;

  const std::uint8_t* Row(std::uint32_t y) const { return first + static_cast<std::ptrdiff_t>(y) * stride; }
};

class Picture {
 public:
  // The most images the plugin lists in one file: a file with more is left
  // to its bytes.
  static constexpr std::uint32_t MostImages = 4096;

  virtual ~Picture() = default;

  // The size of the selected image, the first one after opening; 0 by 0
  // when the file does not decode.
  virtual ImageSize Size() = 0;

  // How many images the decoder shows one after another; 0 when it cannot
  // tell, or they are more than MostImages.
  virtual std::uint32_t ImageCount() = 0;
  virtual bool SelectImage(std::uint32_t index) = 0;

  // Whether every sample of the selected image fits in 8 bits, so its rows
  // hold it whole; false when it is deeper or not known.
  virtual bool SamplesFit8Bits() = 0;

  // The bytes the decoder holds for each pixel of the selected image while
  // it decodes it: its own buffers beside the rows it hands out, at least
  // the 4 bytes of those. The compare's memory budget counts these.
  virtual std::uint32_t HeldBytesPerPixel() = 0;

  // Rows [top, top + rows) of the selected image, whole rows of its width.
  // They stay valid until the next ReadRows or SelectImage, or the picture's
  // end. False when they cannot be read exactly as asked.
  virtual bool ReadRows(std::uint32_t top, std::uint32_t rows, RowBand& band) = 0;
};
