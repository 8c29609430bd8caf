// The imaging library's flat interface on Linux, on top of gdk-pixbuf. It
// keeps the observable contract the plugin relies on: opening a file reads
// only its header (sizes never decode pixels), files it cannot decode read
// as 0 by 0, a lock decodes just as far as the rows it asks for and hands
// them out as 32-bit ARGB (bytes B, G, R, A; straight alpha; opaque sources
// get alpha 255), and each installed format is one decoder with a
// "*.ext;*.ext" extension list. It vouches for one image per file and for
// 8-bit samples only where that is known; otherwise the frame and pixel
// format queries fail, and the plugin compares such files by their bytes.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "imaging/flat_api.h"
#include "imaging/header_facts.h"
#include "linux/compressed_drawing.h"
#include "linux/file_stream.h"
#include "linux/pixbuf_decoding.h"
#include "linux/pixbuf_formats.h"

namespace {

using Gdiplus::Status;

constexpr Status GenericError = 1;
constexpr Status InvalidParameter = 2;
constexpr Status OutOfMemory = 3;
constexpr Status NotImplemented = 6;
constexpr Status UnknownImageFormat = 13;

// The plugin keeps decodes within its own budget; this only stops a caller
// that would not.
constexpr std::uint64_t MaxDecodePixels = std::uint64_t{1} << 28;

// A size read that takes more than this much data gives up: the format
// would have to be read to its end (XPM and SVG do that, and an SVG's
// module builds the whole drawing first, at hundreds of bytes a shape),
// and a header comes first in every format worth reading. Compressed
// drawings (SVGZ) are inflated first, and as much of their text is given.
constexpr std::uint64_t MaxSizeReadBytes = 2 * 1024 * 1024;

struct PixbufImage {
  const IStream* stream;  // the plugin keeps it open while the image lives
  HeaderFacts facts;
  GdkPixbufFormat* format;
  std::uint32_t width;
  std::uint32_t height;
  std::unique_ptr<PixbufDecoding> decoding;
  std::vector<std::uint8_t> band;  // the rows handed out by the current lock
  bool locked = false;
};

PixbufImage* FromHandle(Gdiplus::GpImage* image) { return reinterpret_cast<PixbufImage*>(image); }
Gdiplus::GpImage* ToHandle(PixbufImage* image) { return reinterpret_cast<Gdiplus::GpImage*>(image); }

void SizePrepared(GdkPixbufLoader* loader, int width, int height, PixbufImage* image) {
  if (width <= 0 || height <= 0) return;  // the decoded image tells
  image->width = static_cast<std::uint32_t>(width);
  image->height = static_cast<std::uint32_t>(height);
  gdk_pixbuf_loader_set_size(loader, 0, 0);  // the size is all that is wanted
}

// Feeds the file to the module's loader until it knows the size, as
// gdk_pixbuf_get_file_info does, but from the open file. Where the size
// it announces is not the decoded one (an empty size, which the SVG
// module renders as 1 x 1; a QuickTime image's inner picture), the size
// comes from decoding the file.
bool ReadSizeWithLoader(PixbufImage& image) {
  const CompressedDrawing drawing = InflateDrawing(image.stream->fd);
  if (drawing.compressed && drawing.width != 0 && drawing.height != 0) {
    image.width = drawing.width;
    image.height = drawing.height;
    return true;
  }
  if (drawing.compressed && !drawing.whole) return false;
  const bool announcedSizeHolds = AnnouncedSizeIsDecoded(image.format);
  const UniqueHandle<GdkPixbufLoader*, g_object_unref> loader(NewLoader(image.format));
  if (!loader) return false;
  if (announcedSizeHolds) g_signal_connect(loader.Get(), "size-prepared", G_CALLBACK(SizePrepared), &image);
  std::vector<guchar> chunk(4096);
  bool sizeKnown = false;
  for (std::uint64_t offset = 0; !sizeKnown && offset < MaxSizeReadBytes; offset += chunk.size()) {
    const std::size_t read = drawing.compressed ? drawing.CopyAt(offset, chunk.data(), chunk.size())
                                                : ReadFileAt(image.stream->fd, offset, chunk.data(), chunk.size());
    if (read == 0 || !gdk_pixbuf_loader_write(loader.Get(), chunk.data(), read, nullptr)) break;
    sizeKnown = announcedSizeHolds && image.width != 0;
  }
  // Some modules announce the size only once the data has ended.
  const bool closed = gdk_pixbuf_loader_close(loader.Get(), nullptr);
  sizeKnown = announcedSizeHolds && image.width != 0;
  GdkPixbuf* decoded = gdk_pixbuf_loader_get_pixbuf(loader.Get());
  if (!sizeKnown && closed && decoded != nullptr) {
    image.width = static_cast<std::uint32_t>(gdk_pixbuf_get_width(decoded));
    image.height = static_cast<std::uint32_t>(gdk_pixbuf_get_height(decoded));
  }
  return image.width != 0 && image.height != 0;
}

Status Open(IStream* stream, Gdiplus::GpImage** handle) {
  if (stream == nullptr || handle == nullptr) return InvalidParameter;
  std::unique_ptr<PixbufImage> image(new (std::nothrow) PixbufImage{stream, {}, nullptr, 0, 0, nullptr, {}});
  if (!image) return OutOfMemory;
  if (stream->facts != nullptr) {
    image->facts = *stream->facts;
  } else {
    StreamBytes bytes(*stream);
    image->facts = ReadHeaderFacts(bytes);
  }
  image->format = FormatForHeader(image->facts.format, *stream);
  if (image->format != nullptr && image->facts.width != 0 && image->facts.height != 0) {
    image->width = image->facts.width;
    image->height = image->facts.height;
  } else {
    image->format = FormatForFile(*stream);
    if (image->format == nullptr || !ReadSizeWithLoader(*image)) return UnknownImageFormat;
  }
  *handle = ToHandle(image.release());
  return Gdiplus::Ok;
}

PixbufDecoding& Decoding(PixbufImage& image) {
  if (!image.decoding) {
    image.decoding = std::make_unique<PixbufDecoding>(
        image.format, image.stream->fd, ImageShape{image.width, image.height, image.facts.rowsInOrder});
  }
  return *image.decoding;
}

// Lays rows [top, top + rows) out as tightly packed B, G, R, A rows.
void CopyArgbRows(GdkPixbuf* pixbuf, std::uint32_t top, std::uint32_t rows, std::uint8_t* out) {
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

bool IsBandOfRows(const Gdiplus::Rect& rect, const PixbufImage& image) {
  return rect.X == 0 && static_cast<std::uint32_t>(rect.Width) == image.width && rect.Y >= 0 &&
         rect.Height > 0 && std::uint64_t(rect.Y) + std::uint64_t(rect.Height) <= image.height;
}

// "*.jpeg;*.jpe;*.jpg" from the format's extension list, in the library's
// case. An extension with a full stop of its own ("svg.gz") is left out:
// the host matches only the last extension of a name.
std::u16string ExtensionList(GdkPixbufFormat* format) {
  std::string list;
  gchar** extensions = gdk_pixbuf_format_get_extensions(format);
  for (gchar** extension = extensions; extension != nullptr && *extension != nullptr; ++extension) {
    if (std::strchr(*extension, '.') != nullptr) continue;
    if (!list.empty()) list += ';';
    list += std::string("*.") + *extension;
  }
  g_strfreev(extensions);
  return std::u16string(list.begin(), list.end());  // extensions are ASCII
}

std::vector<std::u16string> DecoderExtensionLists() {
  std::vector<std::u16string> lists;
  GSList* formats = gdk_pixbuf_get_formats();
  for (GSList* item = formats; item != nullptr; item = item->next) {
    auto* format = static_cast<GdkPixbufFormat*>(item->data);
    if (!gdk_pixbuf_format_is_disabled(format)) lists.push_back(ExtensionList(format));
  }
  g_slist_free(formats);
  return lists;
}

std::uint32_t DecoderBytes(const std::vector<std::u16string>& lists) {
  std::size_t bytes = lists.size() * sizeof(Gdiplus::ImageCodecInfo);
  for (const auto& list : lists) bytes += (list.size() + 1) * sizeof(char16_t);
  return static_cast<std::uint32_t>(bytes);
}

}  // namespace

extern "C" {

Status GdiplusStartup(std::uintptr_t* token, const Gdiplus::GdiplusStartupInput* /*input*/,
                      void* /*output*/) {
  if (token == nullptr) return InvalidParameter;
  *token = 1;
  return Gdiplus::Ok;
}

void GdiplusShutdown(std::uintptr_t /*token*/) {}

void* GdipAlloc(std::size_t size) { return std::malloc(size); }

void GdipFree(void* memory) { std::free(memory); }

Status GdipLoadImageFromStream(IStream* stream, Gdiplus::GpImage** image) { return Open(stream, image); }

Status GdipCreateBitmapFromStream(IStream* stream, Gdiplus::GpImage** bitmap) { return Open(stream, bitmap); }

Status GdipGetImageWidth(Gdiplus::GpImage* image, std::uint32_t* width) {
  if (image == nullptr || width == nullptr) return InvalidParameter;
  *width = FromHandle(image)->width;
  return Gdiplus::Ok;
}

Status GdipGetImageHeight(Gdiplus::GpImage* image, std::uint32_t* height) {
  if (image == nullptr || height == nullptr) return InvalidParameter;
  *height = FromHandle(image)->height;
  return Gdiplus::Ok;
}

// 8 bits per channel where the header or the format guarantees it; an
// extended format where the header shows deeper samples; unknown else.
Status GdipGetImagePixelFormat(Gdiplus::GpImage* image, Gdiplus::PixelFormat* format) {
  if (image == nullptr || format == nullptr) return InvalidParameter;
  const PixbufImage& opened = *FromHandle(image);
  const Answer deeper = opened.facts.deeperThan8Bits;
  if (deeper == Answer::Yes) {
    *format = Gdiplus::PixelFormat64bppARGB;
  } else if (deeper == Answer::No || HoldsOnly8BitSamples(opened.format)) {
    *format = Gdiplus::PixelFormat32bppARGB;
  } else {
    return NotImplemented;
  }
  return Gdiplus::Ok;
}

// Images are counted as pages, and there is one: either the format holds
// one, or the whole file decodes to a still image. Anything else cannot be
// listed here.
Status GdipImageGetFrameDimensionsCount(Gdiplus::GpImage* image, std::uint32_t* count) {
  if (image == nullptr || count == nullptr) return InvalidParameter;
  *count = 1;
  return Gdiplus::Ok;
}

Status GdipImageGetFrameDimensionsList(Gdiplus::GpImage* image, Gdiplus::Guid* dimensions, std::uint32_t count) {
  if (image == nullptr || dimensions == nullptr || count != 1) return InvalidParameter;
  dimensions[0] = Gdiplus::FrameDimensionPage;
  return Gdiplus::Ok;
}

Status GdipImageGetFrameCount(Gdiplus::GpImage* image, const Gdiplus::Guid* dimension, std::uint32_t* count) {
  if (image == nullptr || dimension == nullptr || count == nullptr || !(*dimension == Gdiplus::FrameDimensionPage)) {
    return InvalidParameter;
  }
  PixbufImage& opened = *FromHandle(image);
  if (!HoldsOneImage(opened.format)) {
    if (std::uint64_t{opened.width} * opened.height > MaxDecodePixels) return OutOfMemory;
    PixbufDecoding& decoding = Decoding(opened);
    if (!decoding.DecodeAll() || !gdk_pixbuf_animation_is_static_image(decoding.Animation())) {
      return NotImplemented;
    }
  }
  *count = 1;
  return Gdiplus::Ok;
}

Status GdipImageSelectActiveFrame(Gdiplus::GpImage* image, const Gdiplus::Guid* dimension, std::uint32_t index) {
  if (image == nullptr || dimension == nullptr || !(*dimension == Gdiplus::FrameDimensionPage) || index != 0) {
    return InvalidParameter;
  }
  return Gdiplus::Ok;
}

Status GdipCloneImage(Gdiplus::GpImage* image, Gdiplus::GpImage** clone) {
  if (image == nullptr || clone == nullptr) return InvalidParameter;
  const PixbufImage& original = *FromHandle(image);
  auto* copy = new (std::nothrow)
      PixbufImage{original.stream, original.facts, original.format, original.width, original.height, nullptr, {}};
  if (copy == nullptr) return OutOfMemory;
  *clone = ToHandle(copy);
  return Gdiplus::Ok;
}

Status GdipDisposeImage(Gdiplus::GpImage* image) {
  if (image == nullptr) return InvalidParameter;
  delete FromHandle(image);
  return Gdiplus::Ok;
}

// Only bands of whole rows read as 32-bit ARGB are served, one lock at a
// time.
Status GdipBitmapLockBits(Gdiplus::GpImage* bitmap, const Gdiplus::Rect* rect, std::uint32_t flags,
                          Gdiplus::PixelFormat format, Gdiplus::BitmapData* data) {
  if (bitmap == nullptr || rect == nullptr || data == nullptr) return InvalidParameter;
  PixbufImage& image = *FromHandle(bitmap);
  if (!IsBandOfRows(*rect, image) || (flags & Gdiplus::ImageLockModeRead) == 0 ||
      format != Gdiplus::PixelFormat32bppARGB || image.locked) {
    return InvalidParameter;
  }
  if (std::uint64_t{image.width} * image.height > MaxDecodePixels) return OutOfMemory;
  const auto top = static_cast<std::uint32_t>(rect->Y);
  const auto rows = static_cast<std::uint32_t>(rect->Height);
  if (!Decoding(image).DecodeRows(top + rows)) return GenericError;
  image.band.resize(std::size_t{image.width} * rows * 4);
  CopyArgbRows(image.decoding->Pixbuf(), top, rows, image.band.data());
  image.locked = true;
  data->Width = image.width;
  data->Height = rows;
  data->Stride = static_cast<std::int32_t>(image.width * 4);
  data->PixelFormat = format;
  data->Scan0 = image.band.data();
  data->Reserved = 0;
  return Gdiplus::Ok;
}

Status GdipBitmapUnlockBits(Gdiplus::GpImage* bitmap, Gdiplus::BitmapData* data) {
  if (bitmap == nullptr || data == nullptr) return InvalidParameter;
  PixbufImage& image = *FromHandle(bitmap);
  if (!image.locked || data->Scan0 != image.band.data()) return InvalidParameter;
  image.locked = false;
  return Gdiplus::Ok;
}

Status GdipGetImageDecodersSize(std::uint32_t* count, std::uint32_t* byteSize) {
  if (count == nullptr || byteSize == nullptr) return InvalidParameter;
  const std::vector<std::u16string> lists = DecoderExtensionLists();
  *count = static_cast<std::uint32_t>(lists.size());
  *byteSize = DecoderBytes(lists);
  return Gdiplus::Ok;
}

Status GdipGetImageDecoders(std::uint32_t count, std::uint32_t byteSize, Gdiplus::ImageCodecInfo* decoders) {
  const std::vector<std::u16string> lists = DecoderExtensionLists();
  if (decoders == nullptr || count != lists.size() || byteSize != DecoderBytes(lists)) {
    return InvalidParameter;
  }
  auto* strings = reinterpret_cast<char16_t*>(decoders + count);
  for (std::uint32_t i = 0; i < count; ++i) {
    std::memset(&decoders[i], 0, sizeof decoders[i]);
    std::memcpy(strings, lists[i].c_str(), (lists[i].size() + 1) * sizeof(char16_t));
    decoders[i].FilenameExtension = strings;
    strings += lists[i].size() + 1;
  }
  return Gdiplus::Ok;
}

}  // extern "C"
