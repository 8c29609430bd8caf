#include "plugin/pixel_compare.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "imaging/header_facts.h"
#include "plugin/platform.h"

namespace {

// All the images a compare decodes, of both files together, may take at
// most this much (at 4 bytes a pixel); larger pairs are left to the bytes.
constexpr std::uint64_t DecodeBudgetBytes = std::uint64_t{1} << 30;

bool WithinBudget(std::uint64_t pixels1, std::uint64_t pixels2) {
  return pixels1 <= DecodeBudgetBytes / 4 && pixels2 <= DecodeBudgetBytes / 4 - pixels1;
}

// The pixels of the largest image, where the header knows it; else the
// size of the image the decoder shows, opened for its size only, which
// decodes nothing where the library can help it (opened for its pixels it
// may decode at once). False when neither tells.
bool ReadLargestPixels(HostFile& file, const HeaderFacts& facts, std::uint64_t& pixels) {
  pixels = facts.largestImagePixels;
  if (pixels != 0) return true;
  const ImageSize size = file.OpenPicture(PictureUse::Size)->Size();
  pixels = std::uint64_t{size.width} * size.height;
  return pixels != 0;
}

// What rules a pair out before anything is decoded: images the decoder
// would not show, samples it would narrow, pixels that do not stand for the
// file, other instructions for showing them, sizes beyond the budget or not
// known at all.
bool HeadersAllowDecoding(HostFile& first, HostFile& second) {
  const HeaderFacts& facts1 = first.Facts(Reach::Comparison);
  const HeaderFacts& facts2 = second.Facts(Reach::Comparison);
  if (BytesReasonOf(facts1) != BytesReason::None || BytesReasonOf(facts2) != BytesReason::None) return false;
  if (!(facts1.presentation == facts2.presentation)) return false;
  std::uint64_t pixels1 = 0;
  std::uint64_t pixels2 = 0;
  return ReadLargestPixels(first, facts1, pixels1) && ReadLargestPixels(second, facts2, pixels2) &&
         WithinBudget(pixels1, pixels2);
}

// Compares the selected images of both pictures band by band, each with
// its own stride, and stops at the first differing row or when the user
// stops.
bool SameRows(Picture& first, Picture& second, std::uint32_t width, std::uint32_t height,
              CompareProgress& progress) {
  const std::size_t rowBytes = std::size_t{width} * 4;
  const auto bandRows = static_cast<std::uint32_t>(std::max<std::uint64_t>(1, RowBandBytes / rowBytes));
  for (std::uint32_t top = 0; top < height; top += bandRows) {
    const std::uint32_t rows = std::min(bandRows, height - top);
    RowBand band1;
    RowBand band2;
    if (!first.ReadRows(top, rows, band1) || !second.ReadRows(top, rows, band2)) return false;
    for (std::uint32_t y = 0; y < rows; ++y) {
      if (std::memcmp(band1.Row(y), band2.Row(y), rowBytes) != 0) return false;
    }
    if (!progress.Advance(std::uint64_t{rows} * rowBytes)) return false;
  }
  return true;
}

// The pair of images both pictures have selected. Each decode counts
// against what the whole compare may decode.
bool SameSelectedImage(Picture& first, Picture& second, std::uint64_t& decodedPixels,
                       CompareProgress& progress) {
  const std::uint32_t width = first.Size().width;
  const std::uint32_t height = first.Size().height;
  if (width == 0 || height == 0 || second.Size().width != width || second.Size().height != height) return false;
  const std::uint64_t pixels = std::uint64_t{width} * height;
  if (pixels > DecodeBudgetBytes / 4 || !WithinBudget(decodedPixels, 2 * pixels)) return false;
  decodedPixels += 2 * pixels;
  return first.SamplesFit8Bits() && second.SamplesFit8Bits() && SameRows(first, second, width, height, progress);
}

// The images of both files as two sequences: the same number of images,
// and each image against the one at the same place in the other file. The
// first image is the one selected after opening.
bool SameImages(Picture& first, Picture& second, CompareProgress& progress) {
  const std::uint32_t images = first.ImageCount();
  if (images == 0 || second.ImageCount() != images) return false;
  std::uint64_t decodedPixels = 0;
  for (std::uint32_t position = 0; position < images; ++position) {
    if (position > 0 && (!first.SelectImage(position) || !second.SelectImage(position))) return false;
    if (!SameSelectedImage(first, second, decodedPixels, progress)) return false;
  }
  return true;
}

}  // namespace

bool SamePixels(HostFile& first, HostFile& second, CompareProgress& progress) {
  if (!HeadersAllowDecoding(first, second)) return false;
  const std::unique_ptr<Picture> picture1 = first.OpenPicture(PictureUse::Pixels);
  const std::unique_ptr<Picture> picture2 = second.OpenPicture(PictureUse::Pixels);
  return SameImages(*picture1, *picture2, progress);
}
