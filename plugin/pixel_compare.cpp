#include "plugin/pixel_compare.h"

#include <algorithm>
#include <cstring>

#include "imaging/bitmap.h"
#include "imaging/header_facts.h"
#include "plugin/image_frames.h"
#include "plugin/pixel_lock.h"

namespace {

// All the images a compare decodes, of both files together, may take at
// most this much (at 4 bytes a pixel); larger pairs are left to the bytes.
constexpr std::uint64_t DecodeBudgetBytes = std::uint64_t{1} << 30;

// Rows are locked and compared in bands of about this size, so a lock
// never converts a whole large image at once.
constexpr std::uint64_t BandBytes = std::uint64_t{1} << 20;

bool WithinBudget(std::uint64_t pixels1, std::uint64_t pixels2) {
  return pixels1 <= DecodeBudgetBytes / 4 && pixels2 <= DecodeBudgetBytes / 4 - pixels1;
}

// The pixels of the largest image, where the header knows it; else the
// size of the image the library shows, read from an image object, which
// decodes nothing where the library can help it (a bitmap object may
// decode at once). False when neither tells.
bool ReadLargestPixels(HostFile& file, const HeaderFacts& facts, std::uint64_t& pixels) {
  pixels = facts.largestImagePixels;
  if (pixels != 0) return true;
  Gdiplus::Image image(file.ImagingStream());
  pixels = std::uint64_t{image.ReadWidth()} * image.ReadHeight();
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

bool HoldsAtMost8BitsPerChannel(Gdiplus::Image& image) {
  Gdiplus::PixelFormat format = 0;
  return image.ReadPixelFormat(format) == Gdiplus::Ok && (format & Gdiplus::PixelFormatExtended) == 0;
}

// Compares the current images of both bitmaps band by band, each with its
// own stride, and stops at the first differing row or when the user stops.
bool SameRows(Gdiplus::Bitmap& first, Gdiplus::Bitmap& second, std::uint32_t width, std::uint32_t height,
              CompareProgress& progress) {
  const std::size_t rowBytes = std::size_t{width} * 4;
  const auto bandRows = static_cast<std::uint32_t>(std::max<std::uint64_t>(1, BandBytes / rowBytes));
  for (std::uint32_t top = 0; top < height; top += bandRows) {
    const std::uint32_t rows = std::min(bandRows, height - top);
    const PixelLock lock1(first, width, top, rows);
    if (!lock1.Locked()) return false;
    const PixelLock lock2(second, width, top, rows);
    if (!lock2.Locked()) return false;
    for (std::uint32_t y = 0; y < rows; ++y) {
      if (std::memcmp(lock1.Row(y), lock2.Row(y), rowBytes) != 0) return false;
    }
    if (!progress.Advance(std::uint64_t{rows} * rowBytes)) return false;
  }
  return true;
}

// The pair of images both bitmaps have selected. Each decode counts
// against what the whole compare may decode.
bool SameCurrentImage(Gdiplus::Bitmap& first, Gdiplus::Bitmap& second, std::uint64_t& decodedPixels,
                      CompareProgress& progress) {
  const std::uint32_t width = first.ReadWidth();
  const std::uint32_t height = first.ReadHeight();
  if (width == 0 || height == 0 || second.ReadWidth() != width || second.ReadHeight() != height) {
    return false;
  }
  const std::uint64_t pixels = std::uint64_t{width} * height;
  if (pixels > DecodeBudgetBytes / 4 || !WithinBudget(decodedPixels, 2 * pixels)) return false;
  decodedPixels += 2 * pixels;
  return HoldsAtMost8BitsPerChannel(first) && HoldsAtMost8BitsPerChannel(second) &&
         SameRows(first, second, width, height, progress);
}

// The images of both files as two sequences: the same number of images,
// and each image against the one at the same place in the other file,
// whatever dimension either library lists it along. The first image is
// the one selected after loading.
bool SameImages(Gdiplus::Bitmap& first, const FrameLayout& layout1, Gdiplus::Bitmap& second,
                const FrameLayout& layout2, CompareProgress& progress) {
  const std::uint32_t images = ImageCount(layout1);
  if (ImageCount(layout2) != images) return false;
  std::uint64_t decodedPixels = 0;
  for (std::uint32_t position = 0; position < images; ++position) {
    if (position > 0 && (!SelectImage(first, layout1, position) || !SelectImage(second, layout2, position))) {
      return false;
    }
    if (!SameCurrentImage(first, second, decodedPixels, progress)) return false;
  }
  return true;
}

}  // namespace

bool SamePixels(HostFile& first, HostFile& second, CompareProgress& progress) {
  if (!HeadersAllowDecoding(first, second)) return false;
  Gdiplus::Bitmap bitmap1(first.ImagingStream());
  Gdiplus::Bitmap bitmap2(second.ImagingStream());
  FrameLayout layout1;
  FrameLayout layout2;
  return ReadFrameLayout(bitmap1, layout1) && ReadFrameLayout(bitmap2, layout2) &&
         SameImages(bitmap1, layout1, bitmap2, layout2, progress);
}
