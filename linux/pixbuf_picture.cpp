#include "linux/pixbuf_picture.h"

#include "linux/compressed_drawing.h"
#include "linux/owners.h"
#include "linux/pixbuf_formats.h"

namespace {

// The plugin keeps decodes within its own budget; this only stops a caller
// that would not.
constexpr std::uint64_t MaxDecodePixels = std::uint64_t{1} << 28;

// A size read that takes more than this much data gives up: the format
// would have to be read to its end (XPM and SVG do that, and an SVG's
// module builds the whole drawing first, at hundreds of bytes a shape),
// and a header comes first in every format worth reading. Compressed
// drawings (SVGZ) are inflated first, and as much of their text is given.
constexpr std::uint64_t MaxSizeReadBytes = 2 * 1024 * 1024;
constexpr std::size_t SizeReadChunkBytes = 4096;

void SizePrepared(GdkPixbufLoader* loader, int width, int height, ImageSize* size) {
  if (width <= 0 || height <= 0) return;  // the decoded image tells
  *size = {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)};
  gdk_pixbuf_loader_set_size(loader, 0, 0);  // the size is all that is wanted
}

// Lays rows [top, top + rows) out as tightly packed B, G, R, A rows.
void CopyBgraRows(GdkPixbuf* pixbuf, std::uint32_t top, std::uint32_t rows, std::uint8_t* out) {
  const auto width = static_cast<std::uint32_t>(gdk_pixbuf_get_width(pixbuf));
  const auto channels = static_cast<std::size_t>(gdk_pixbuf_get_n_channels(pixbuf));
  const bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
  const auto stride = static_cast<std::size_t>(gdk_pixbuf_get_rowstride(pixbuf));
  const guint8* pixels = gdk_pixbuf_read_pixels(pixbuf);
  for (std::uint32_t y = top; y < top + rows; ++y) {
    const guint8* in = pixels + std::size_t{y} * stride;
    for (std::uint32_t x = 0; x < width; ++x, in += channels, out += 4) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
      out[3] = alpha ? in[3] : 255;
    }
  }
}

}  // namespace

PixbufPicture::PixbufPicture(const OpenFile& openFile, const HeaderFacts& headerFacts)
    : file(openFile), facts(headerFacts) {
  format = FormatForHeader(facts.format, file);
  if (format != nullptr && facts.width != 0 && facts.height != 0) {
    size = {facts.width, facts.height};
    return;
  }
  format = FormatForFile(file);
  if (format == nullptr || !ReadSizeWithLoader()) size = {};
}

// Feeds the file to the module's loader until it knows the size, as
// gdk_pixbuf_get_file_info does, but from the open file. Where the size it
// announces is not the decoded one (an empty size, which the SVG module
// renders as 1 x 1; a QuickTime image's inner picture), the size comes
// from decoding the file.
bool PixbufPicture::ReadSizeWithLoader() {
  const CompressedDrawing drawing = InflateDrawing(file.fd);
  if (drawing.compressed && drawing.width != 0 && drawing.height != 0) {
    size = {drawing.width, drawing.height};
    return true;
  }
  if (drawing.compressed && !drawing.whole) return false;
  const bool announcedSizeHolds = AnnouncedSizeIsDecoded(format);
  const UniqueGObject<GdkPixbufLoader> loader(NewLoader(format));
  if (!loader) return false;
  if (announcedSizeHolds) g_signal_connect(loader.Get(), "size-prepared", G_CALLBACK(SizePrepared), &size);
  std::vector<guchar> chunk(SizeReadChunkBytes);
  for (std::uint64_t offset = 0; size.width == 0 && offset < MaxSizeReadBytes; offset += chunk.size()) {
    const std::size_t read = drawing.compressed ? drawing.CopyAt(offset, chunk.data(), chunk.size())
                                                : ReadForDecoder(file, offset, chunk.data(), chunk.size());
    if (read == 0 || !gdk_pixbuf_loader_write(loader.Get(), chunk.data(), read, nullptr)) break;
  }
  // Some modules announce the size only once the data has ended.
  const bool closed = gdk_pixbuf_loader_close(loader.Get(), nullptr);
  GdkPixbuf* decoded = gdk_pixbuf_loader_get_pixbuf(loader.Get());
  if (size.width == 0 && closed && decoded != nullptr) {
    size = {static_cast<std::uint32_t>(gdk_pixbuf_get_width(decoded)),
            static_cast<std::uint32_t>(gdk_pixbuf_get_height(decoded))};
  }
  return size.width != 0 && size.height != 0;
}

PixbufDecoding& PixbufPicture::Decoding() {
  if (!decoding) {
    decoding = std::make_unique<PixbufDecoding>(format, file, ImageShape{size.width, size.height, facts.rowsInOrder});
  }
  return *decoding;
}

// One image: either the format holds one, or the whole file decodes to a
// still image. Anything else cannot be listed here.
std::uint32_t PixbufPicture::ImageCount() {
  if (size.width == 0) return 0;
  if (HoldsOneImage(format)) return 1;
  if (std::uint64_t{size.width} * size.height > MaxDecodePixels) return 0;
  PixbufDecoding& whole = Decoding();
  return whole.DecodeAll() && gdk_pixbuf_animation_is_static_image(whole.Animation()) ? 1 : 0;
}

// 8 bits per channel where the header or the format guarantees it.
bool PixbufPicture::SamplesFit8Bits() {
  const Answer deeper = facts.deeperThan8Bits;
  return deeper == Answer::No || (deeper != Answer::NotRuledOut && format != nullptr && HoldsOnly8BitSamples(format));
}

std::uint32_t PixbufPicture::HeldBytesPerPixel() {
  return format == nullptr ? 4 : ::HeldBytesPerPixel(format, facts.deeperThan8Bits != Answer::No);
}

bool PixbufPicture::ReadRows(std::uint32_t top, std::uint32_t rows, RowBand& out) {
  if (size.width == 0 || rows == 0 || top > size.height || rows > size.height - top ||
      std::uint64_t{size.width} * size.height > MaxDecodePixels) {
    return false;
  }
  if (!Decoding().DecodeRows(top + rows)) return false;
  band.resize(std::size_t{size.width} * rows * 4);
  CopyBgraRows(decoding->Pixbuf(), top, rows, band.data());
  out = {band.data(), static_cast<std::ptrdiff_t>(size.width) * 4};
  return true;
}
