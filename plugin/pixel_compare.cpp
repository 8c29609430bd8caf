#include "plugin/pixel_compare.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "imaging/header_facts.h"
#include "plugin/platform.h"
#include "plugin/side_by_side.h"

namespace {

// All the images a compare decodes, of both files together, may take at
// most this much (at 4 bytes a pixel, and what the decoders hold beside);
// larger pairs are left to the bytes.
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
bool HeadersAllowDecoding(HostFile& first, HostFile& second, std::uint64_t& pixels1, std::uint64_t& pixels2) {
  const HeaderFacts& facts1 = first.Facts(Reach::CodedPicture);
  const HeaderFacts& facts2 = second.Facts(Reach::CodedPicture);
  if (BytesReasonOf(facts1) != BytesReason::None || BytesReasonOf(facts2) != BytesReason::None) return false;
  if (!(facts1.presentation == facts2.presentation)) return false;
  return ReadLargestPixels(first, facts1, pixels1) && ReadLargestPixels(second, facts2, pixels2) &&
         WithinBudget(pixels1, pixels2);
}

// A file's bytes as read under a watch: none once it is stopped.
class WatchedBytes final : public ByteSource {
 public:
  WatchedBytes(HostFile& hostFile, ReadWatch& readWatch) : file(hostFile), watch(readWatch) {}
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
    if (!watch.Allows()) return 0;
    const std::size_t read = file.ReadAt(offset, buffer, size);
    watch.Count(read);
    return read;
  }
  std::uint64_t Size() const override { return file.Size(); }

 private:
  HostFile& file;
  ReadWatch& watch;
};

// Whether the decodes of both files carry every pixel the files code (a
// JPEG's scan walked block by block), which the headers read so far leave
// open. It reads both files again, under its own watch, so it may run
// beside the decodes and stop with the compare.
bool DecodesCarryEveryPixel(HostFile& first, HostFile& second, ReadWatch& watch) {
  WatchedBytes bytes1(first, watch);
  WatchedBytes bytes2(second, watch);
  return BytesReasonOf(ReadHeaderFacts(bytes1, Reach::Comparison)) == BytesReason::None &&
         BytesReasonOf(ReadHeaderFacts(bytes2, Reach::Comparison)) == BytesReason::None;
}

// Whether both decoders may hold the largest images at once, with what
// they hold beside the pixels; asked of the pictures before either decodes
// anything (some decode every image to count them).
bool DecodersWithinBudget(Picture& first, std::uint64_t pixels1, Picture& second, std::uint64_t pixels2) {
  const std::uint64_t held1 = pixels1 * first.HeldBytesPerPixel();
  const std::uint64_t held2 = pixels2 * second.HeldBytesPerPixel();
  return held1 <= DecodeBudgetBytes && held2 <= DecodeBudgetBytes - held1;
}

// Compares the selected images of both pictures band by band, each with
// its own stride, each band as soon as both decoders have it, and stops at
// the first differing row or when the user stops. Where both decode at
// once and a decoder delivers its first row only once all are decoded,
// both first decode to the end (asked for the last row): in bands, the
// other would wait for it.
bool SameRows(Picture& first, Picture& second, std::uint32_t width, std::uint32_t height, bool rowsInOrder,
              SideBySide& decodes, CompareProgress& progress) {
  const std::size_t rowBytes = std::size_t{width} * 4;
  const auto bandRows = static_cast<std::uint32_t>(std::max<std::uint64_t>(1, RowBandBytes / rowBytes));
  RowBand last1;
  RowBand last2;
  if (!rowsInOrder && decodes.OnThreads() && !decodes.Run([&] { return first.ReadRows(height - 1, 1, last1); },
                                   [&] { return second.ReadRows(height - 1, 1, last2); })) {
    return false;
  }
  for (std::uint32_t top = 0; top < height; top += bandRows) {
    const std::uint32_t rows = std::min(bandRows, height - top);
    RowBand band1;
    RowBand band2;
    if (!decodes.Run([&] { return first.ReadRows(top, rows, band1); },
                     [&] { return second.ReadRows(top, rows, band2); })) {
      return false;
    }
    for (std::uint32_t y = 0; y < rows; ++y) {
      if (std::memcmp(band1.Row(y), band2.Row(y), rowBytes) != 0) return false;
    }
    if (!progress.Advance(std::uint64_t{rows} * rowBytes)) return false;
  }
  return true;
}

// The pair of images both pictures have selected. Each decode counts
// against what the whole compare may decode, with what the decoders hold
// beside the pixels: both decode at once.
bool SameSelectedImage(Picture& first, Picture& second, std::uint64_t& heldBytes, bool rowsInOrder,
                       SideBySide& decodes, CompareProgress& progress) {
  const std::uint32_t width = first.Size().width;
  const std::uint32_t height = first.Size().height;
  if (width == 0 || height == 0 || second.Size().width != width || second.Size().height != height) return false;
  const std::uint64_t pixels = std::uint64_t{width} * height;
  const std::uint64_t bytesPerPixel = std::uint64_t{first.HeldBytesPerPixel()} + second.HeldBytesPerPixel();
  if (pixels > DecodeBudgetBytes / bytesPerPixel || pixels * bytesPerPixel > DecodeBudgetBytes - heldBytes) {
    return false;
  }
  heldBytes += pixels * bytesPerPixel;
  return first.SamplesFit8Bits() && second.SamplesFit8Bits() &&
         SameRows(first, second, width, height, rowsInOrder, decodes, progress);
}

// The images of both files as two sequences: the same number of images,
// and each image against the one at the same place in the other file. The
// first image is the one selected after opening.
bool SameImages(Picture& first, Picture& second, bool rowsInOrder, SideBySide& decodes, CompareProgress& progress) {
  std::uint32_t images = 0;
  std::uint32_t images2 = 0;
  if (!decodes.Run([&] { return (images = first.ImageCount()) != 0; },
                   [&] { return (images2 = second.ImageCount()) != 0; }) ||
      images2 != images) {
    return false;
  }
  std::uint64_t heldBytes = 0;
  for (std::uint32_t position = 0; position < images; ++position) {
    if (position > 0 && !decodes.Run([&] { return first.SelectImage(position); },
                                     [&] { return second.SelectImage(position); })) {
      return false;
    }
    if (!SameSelectedImage(first, second, heldBytes, rowsInOrder, decodes, progress)) return false;
  }
  return true;
}

}  // namespace

// Where the platform decodes side by side, both files are decoded at once,
// each on a thread of its own, and the walk that proves the decodes carry
// every pixel runs on a third; the pictures go only after every thread has
// ended.
bool SamePixels(HostFile& first, HostFile& second, CompareProgress& progress) {
  std::uint64_t pixels1 = 0;
  std::uint64_t pixels2 = 0;
  if (!HeadersAllowDecoding(first, second, pixels1, pixels2)) return false;
  const auto watch1 = std::make_shared<ReadWatch>();
  const auto watch2 = std::make_shared<ReadWatch>();
  const auto walkWatch = std::make_shared<ReadWatch>();
  first.WatchReads(watch1);
  second.WatchReads(watch2);
  std::unique_ptr<Picture> picture1;
  std::unique_ptr<Picture> picture2;
  SideBySide decodes(progress, watch1, watch2);
  decodes.StartBeside([&] { return DecodesCarryEveryPixel(first, second, *walkWatch); }, walkWatch);
  const bool rowsInOrder =
      first.Facts(Reach::CodedPicture).rowsInOrder && second.Facts(Reach::CodedPicture).rowsInOrder;
  return decodes.Run([&] { return (picture1 = first.OpenPicture(PictureUse::Pixels)) != nullptr; },
                     [&] { return (picture2 = second.OpenPicture(PictureUse::Pixels)) != nullptr; }) &&
         DecodersWithinBudget(*picture1, pixels1, *picture2, pixels2) &&
         SameImages(*picture1, *picture2, rowsInOrder, decodes, progress) && decodes.BesideSucceeded();
}
