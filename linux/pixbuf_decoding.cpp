#include "linux/pixbuf_decoding.h"

#include <algorithm>
#include <string>

#include "linux/open_file.h"
#include "linux/pixbuf_formats.h"

namespace {

// Some loaders pay for each write with more than its bytes: the GIF module
// decodes the whole frame again from its first byte on every write that
// ends inside it (64 KiB pieces made it about 12 times slower than one
// write). Its files go in whole, up to a piece of WholePieceBytes. The
// others take pieces of PieceBytes at no extra cost: where rows are final
// as they arrive, an early difference stops the reading early, a stop is
// seen between pieces (a piece of highly compressed data can stand for a
// thousand times its size in pixels), and no piece is held that is larger
// than it need be.
constexpr std::size_t PieceBytes = 64 * 1024;
constexpr std::size_t WholePieceBytes = 16 * 1024 * 1024;

}  // namespace

PixbufDecoding::PixbufDecoding(GdkPixbufFormat* format, const OpenFile& openFile, ImageShape promised)
    : file(openFile),
      shape(promised),
      oneImage(HoldsOneImage(format)),
      wholeWrites(DecodesAgainOnEveryWrite(format)) {
  loader.Reset(NewLoader(format));
  failed = !loader;
  if (failed) return;
  g_signal_connect(loader.Get(), "size-prepared", G_CALLBACK(SizePrepared), this);
  g_signal_connect(loader.Get(), "area-updated", G_CALLBACK(AreaUpdated), this);
}

// The library insists on being told the data ended before the loader goes.
PixbufDecoding::~PixbufDecoding() {
  if (loader && !closed) gdk_pixbuf_loader_close(loader.Get(), nullptr);
}

void PixbufDecoding::SizePrepared(GdkPixbufLoader*, int width, int height, PixbufDecoding* self) {
  if (static_cast<std::uint32_t>(width) != self->shape.width ||
      static_cast<std::uint32_t>(height) != self->shape.height) {
    self->failed = true;
  }
}

void PixbufDecoding::AreaUpdated(GdkPixbufLoader*, int, int y, int, int height, PixbufDecoding* self) {
  if (self->shape.rowsInOrder && y >= 0 && height > 0) {
    self->finalRows = std::max(self->finalRows, static_cast<std::uint32_t>(y + height));
  }
}

bool PixbufDecoding::StoppedByWatch() {
  if (file.watch && !file.watch->Allows()) stopped = failed = true;
  return stopped;
}

bool PixbufDecoding::FeedChunk() {
  if (StoppedByWatch()) return false;
  const std::uint64_t left = fed < file.size ? file.size - fed : 0;
  const std::size_t piece = wholeWrites ? WholePieceBytes : PieceBytes;
  // At least one byte more than the file's size, so its end is seen.
  chunk.resize(static_cast<std::size_t>(std::min<std::uint64_t>(piece, left + 1)));
  const std::size_t read = ReadForDecoder(file, fed, chunk.data(), chunk.size());
  if (StoppedByWatch()) return false;
  if (read == 0) return Finish();
  fed += read;
  if (!gdk_pixbuf_loader_write(loader.Get(), chunk.data(), read, nullptr)) failed = true;
  return !failed;
}

bool PixbufDecoding::Finish() {
  closed = true;
  if (!gdk_pixbuf_loader_close(loader.Get(), nullptr)) failed = true;
  finalRows = shape.height;
  return !failed;
}

bool PixbufDecoding::PixbufAsPromised() const {
  GdkPixbuf* pixbuf = Pixbuf();
  return pixbuf != nullptr && static_cast<std::uint32_t>(gdk_pixbuf_get_width(pixbuf)) == shape.width &&
         static_cast<std::uint32_t>(gdk_pixbuf_get_height(pixbuf)) == shape.height &&
         gdk_pixbuf_get_bits_per_sample(pixbuf) == 8 && gdk_pixbuf_get_colorspace(pixbuf) == GDK_COLORSPACE_RGB &&
         gdk_pixbuf_get_n_channels(pixbuf) == (gdk_pixbuf_get_has_alpha(pixbuf) ? 4 : 3);
}

bool PixbufDecoding::DecodeRows(std::uint32_t end) {
  // The last rows are final only once the library has seen all the data.
  if (end >= shape.height || whole) return DecodeAll();
  while (!failed && !closed && finalRows < end) FeedChunk();
  if (failed && closed) return DecodeAll();
  return !failed && PixbufAsPromised();
}

// Through the open file's descriptor, so it is the same file whatever its
// name; only for modules of one image, whose loader took all the data.
bool PixbufDecoding::LoadWholeFile() {
  if (!closed || !oneImage || stopped) return false;
  const std::string path = "/proc/self/fd/" + std::to_string(file.fd);
  whole.Reset(gdk_pixbuf_new_from_file(path.c_str(), nullptr));
  return whole && PixbufAsPromised();
}

bool PixbufDecoding::DecodeAll() {
  while (!failed && !closed) FeedChunk();
  if (failed && !whole) return LoadWholeFile();
  return (!failed || whole) && PixbufAsPromised();
}
