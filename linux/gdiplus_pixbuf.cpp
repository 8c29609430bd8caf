// The imaging library's flat interface on Linux, on top of gdk-pixbuf. It
// keeps the observable contract the plugin relies on: opening a file reads
// only its header (sizes never decode pixels), files it cannot decode read
// as 0 by 0, a lock decodes into 32-bit ARGB rows with no gap (bytes B, G,
// R, A; straight alpha; opaque sources get alpha 255), and each installed
// format is one decoder with a "*.ext;*.ext" extension list.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "imaging/flat_api.h"
#include "text/ansi_code_page.h"

namespace {

using Gdiplus::Status;

constexpr Status InvalidParameter = 2;
constexpr Status OutOfMemory = 3;
constexpr Status FileNotFound = 10;
constexpr Status UnknownImageFormat = 13;

// A lock decodes the whole image; above this many pixels (1 GiB of ARGB) it
// fails instead, so a small file that claims a huge size cannot exhaust
// memory.
constexpr std::uint64_t MaxLockPixels = std::uint64_t{1} << 28;

struct PixbufImage {
  std::string path;
  std::uint32_t width;
  std::uint32_t height;
  std::uint8_t* locked;  // the decoded block while locked
};

PixbufImage* FromHandle(Gdiplus::GpImage* image) { return reinterpret_cast<PixbufImage*>(image); }
Gdiplus::GpImage* ToHandle(PixbufImage* image) { return reinterpret_cast<Gdiplus::GpImage*>(image); }

bool ToUtf8(const char16_t* path, std::string& utf8) {
  char buffer[4 * 260];
  if (path == nullptr || Utf16ToAnsi(path, -1, buffer, sizeof buffer) == 0) return false;
  utf8 = buffer;
  return !utf8.empty();
}

Status Open(const char16_t* path, Gdiplus::GpImage** image) {
  if (image == nullptr) return InvalidParameter;
  std::string utf8;
  if (!ToUtf8(path, utf8)) return FileNotFound;
  int width = 0;
  int height = 0;
  if (gdk_pixbuf_get_file_info(utf8.c_str(), &width, &height) == nullptr || width <= 0 || height <= 0) {
    return UnknownImageFormat;
  }
  auto* opened = new (std::nothrow)
      PixbufImage{utf8, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), nullptr};
  if (opened == nullptr) return OutOfMemory;
  *image = ToHandle(opened);
  return Gdiplus::Ok;
}

// Converts a decoded pixbuf into tightly packed B, G, R, A rows.
void ToArgb(GdkPixbuf* pixbuf, std::uint8_t* out) {
  const int width = gdk_pixbuf_get_width(pixbuf);
  const int height = gdk_pixbuf_get_height(pixbuf);
  const int channels = gdk_pixbuf_get_n_channels(pixbuf);
  const bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
  const std::size_t stride = static_cast<std::size_t>(gdk_pixbuf_get_rowstride(pixbuf));
  const guint8* pixels = gdk_pixbuf_read_pixels(pixbuf);
  for (int y = 0; y < height; ++y) {
    const guint8* in = pixels + static_cast<std::size_t>(y) * stride;
    for (int x = 0; x < width; ++x, in += channels, out += 4) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
      out[3] = alpha ? in[3] : 255;
    }
  }
}

// Decodes the whole image; null when it cannot, or when the decoded image
// is not what the header promised.
std::uint8_t* Decode(const PixbufImage& image) {
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(image.path.c_str(), nullptr);
  if (pixbuf == nullptr) return nullptr;
  std::uint8_t* block = nullptr;
  const bool asPromised = static_cast<std::uint32_t>(gdk_pixbuf_get_width(pixbuf)) == image.width &&
                          static_cast<std::uint32_t>(gdk_pixbuf_get_height(pixbuf)) == image.height &&
                          gdk_pixbuf_get_bits_per_sample(pixbuf) == 8 &&
                          gdk_pixbuf_get_n_channels(pixbuf) >= 3;
  if (asPromised) {
    block = static_cast<std::uint8_t*>(std::malloc(std::size_t{image.width} * image.height * 4));
    if (block != nullptr) ToArgb(pixbuf, block);
  }
  g_object_unref(pixbuf);
  return block;
}

// "*.jpeg;*.jpe;*.jpg" from the format's extension list, in the library's case.
std::u16string ExtensionList(GdkPixbufFormat* format) {
  std::string list;
  gchar** extensions = gdk_pixbuf_format_get_extensions(format);
  for (gchar** extension = extensions; extension != nullptr && *extension != nullptr; ++extension) {
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

Status GdipLoadImageFromFile(const char16_t* path, Gdiplus::GpImage** image) { return Open(path, image); }

// Colour management changes nothing here: gdk-pixbuf applies none.
Status GdipLoadImageFromFileICM(const char16_t* path, Gdiplus::GpImage** image) {
  return Open(path, image);
}

Status GdipCreateBitmapFromFile(const char16_t* path, Gdiplus::GpImage** bitmap) {
  return Open(path, bitmap);
}

Status GdipCreateBitmapFromFileICM(const char16_t* path, Gdiplus::GpImage** bitmap) {
  return Open(path, bitmap);
}

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

Status GdipCloneImage(Gdiplus::GpImage* image, Gdiplus::GpImage** clone) {
  if (image == nullptr || clone == nullptr) return InvalidParameter;
  const PixbufImage* original = FromHandle(image);
  auto* copy = new (std::nothrow) PixbufImage{original->path, original->width, original->height, nullptr};
  if (copy == nullptr) return OutOfMemory;
  *clone = ToHandle(copy);
  return Gdiplus::Ok;
}

Status GdipDisposeImage(Gdiplus::GpImage* image) {
  if (image == nullptr) return InvalidParameter;
  PixbufImage* disposed = FromHandle(image);
  std::free(disposed->locked);
  delete disposed;
  return Gdiplus::Ok;
}

Status GdipBitmapLockBits(Gdiplus::GpImage* bitmap, const Gdiplus::Rect* rect, std::uint32_t flags,
                          Gdiplus::PixelFormat format, Gdiplus::BitmapData* data) {
  if (bitmap == nullptr || rect == nullptr || data == nullptr) return InvalidParameter;
  PixbufImage& image = *FromHandle(bitmap);
  const bool whole = rect->X == 0 && rect->Y == 0 &&
                     static_cast<std::uint32_t>(rect->Width) == image.width &&
                     static_cast<std::uint32_t>(rect->Height) == image.height;
  // Only whole-image reads in 32-bit ARGB are served, one lock at a time.
  if (!whole || (flags & Gdiplus::ImageLockModeRead) == 0 || format != Gdiplus::PixelFormat32bppARGB ||
      image.locked != nullptr) {
    return InvalidParameter;
  }
  if (std::uint64_t{image.width} * image.height > MaxLockPixels) return OutOfMemory;
  image.locked = Decode(image);
  if (image.locked == nullptr) return OutOfMemory;
  data->Width = image.width;
  data->Height = image.height;
  data->Stride = static_cast<std::int32_t>(image.width * 4);
  data->PixelFormat = format;
  data->Scan0 = image.locked;
  data->Reserved = 0;
  return Gdiplus::Ok;
}

Status GdipBitmapUnlockBits(Gdiplus::GpImage* bitmap, Gdiplus::BitmapData* data) {
  if (bitmap == nullptr || data == nullptr) return InvalidParameter;
  PixbufImage& image = *FromHandle(bitmap);
  if (image.locked == nullptr || data->Scan0 != image.locked) return InvalidParameter;
  std::free(image.locked);
  image.locked = nullptr;
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
