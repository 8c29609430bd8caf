#include "linux/pixbuf_formats.h"

#include <array>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "linux/owners.h"

namespace {

// As much as gdk-pixbuf looks at to tell the type.
constexpr std::size_t SniffBytes = 4096;

bool Named(GdkPixbufFormat* format, std::initializer_list<const char*> names) {
  const UniqueGChars name(gdk_pixbuf_format_get_name(format));
  for (const char* candidate : names) {
    if (std::strcmp(name.Get(), candidate) == 0) return true;
  }
  return false;
}

bool HasContentType(GdkPixbufFormat* format, const char* contentType) {
  const UniqueGStrv mimeTypes(gdk_pixbuf_format_get_mime_types(format));
  bool found = false;
  for (gchar** mime = mimeTypes.Get(); !found && mime != nullptr && *mime != nullptr; ++mime) {
    const UniqueGChars type(g_content_type_from_mime_type(*mime));
    found = type && g_content_type_equals(type.Get(), contentType);
  }
  return found;
}

// The enabled module gdk-pixbuf itself picks for the type, as its own
// loading of files does: it tries modules in the reverse of the order
// gdk_pixbuf_get_formats lists them, so the last one listed wins (with both
// AVIF modules installed, the HEIF one).
GdkPixbufFormat* FormatForContentType(const char* contentType) {
  const UniqueGSList formats(gdk_pixbuf_get_formats());
  GdkPixbufFormat* found = nullptr;
  for (GSList* item = formats.Get(); item != nullptr; item = item->next) {
    auto* format = static_cast<GdkPixbufFormat*>(item->data);
    if (!gdk_pixbuf_format_is_disabled(format) && HasContentType(format, contentType)) found = format;
  }
  return found;
}

// The content type each format's signature shows, by which gdk-pixbuf
// picks the module.
struct HeaderModule {
  ImageFormat format;
  const char* contentType;
  // No other type starts with the same bytes. AVIF's box format carries
  // HEIC too, which the sniffing gives to another module.
  bool hasSignature;
};

constexpr HeaderModule HeaderModules[] = {
    {ImageFormat::Png, "image/png", true},   {ImageFormat::Jpeg, "image/jpeg", true},
    {ImageFormat::Gif, "image/gif", true},   {ImageFormat::Bmp, "image/bmp", true},
    {ImageFormat::Tiff, "image/tiff", true}, {ImageFormat::WebP, "image/webp", true},
    {ImageFormat::Heif, "image/avif", false}, {ImageFormat::Ico, "image/x-icon", false},
    {ImageFormat::Cur, "image/x-icon", false}, {ImageFormat::Pnm, "image/x-portable-anymap", false},
    {ImageFormat::QuickTime, "image/x-quicktime", false}, {ImageFormat::Icns, "image/x-icns", false},
    {ImageFormat::Svg, "image/svg+xml", false},
};
constexpr std::size_t HeaderModuleCount = sizeof HeaderModules / sizeof HeaderModules[0];

// Looked up once: the set of installed modules does not change while the
// process runs.
GdkPixbufFormat* InstalledModule(std::size_t index) {
  static const auto installed = [] {
    std::array<GdkPixbufFormat*, HeaderModuleCount> modules{};
    for (std::size_t i = 0; i < HeaderModuleCount; ++i) {
      const UniqueGChars type(g_content_type_from_mime_type(HeaderModules[i].contentType));
      modules[i] = FormatForContentType(type.Get());
    }
    return modules;
  }();
  return installed[index];
}

}  // namespace

GdkPixbufFormat* FormatForFile(const OpenFile& file) {
  std::vector<guchar> prefix(SniffBytes);  // on the heap: a host's thread runs this
  const std::size_t size = ReadFileAt(file.fd, 0, prefix.data(), prefix.size());
  if (size == 0) return nullptr;
  gboolean uncertain = FALSE;
  UniqueGChars type(g_content_type_guess(nullptr, prefix.data(), size, &uncertain));
  if (uncertain || std::strcmp(type.Get(), "text/plain") == 0 ||
      std::strcmp(type.Get(), "application/gzip") == 0) {
    type.Reset(g_content_type_guess(file.name.c_str(), prefix.data(), size, nullptr));
  }
  return FormatForContentType(type.Get());
}

// Formats with a signature of their own always go to their module; the
// others (icons, PNM) only when the library would choose that module too.
GdkPixbufFormat* FormatForHeader(ImageFormat format, const OpenFile& file) {
  for (std::size_t i = 0; i < HeaderModuleCount; ++i) {
    if (HeaderModules[i].format != format) continue;
    GdkPixbufFormat* module = InstalledModule(i);
    if (module == nullptr || HeaderModules[i].hasSignature) return module;
    return FormatForFile(file) == module ? module : nullptr;
  }
  return nullptr;
}

bool SignatureModuleInstalled(ImageFormat format) {
  for (std::size_t i = 0; i < HeaderModuleCount; ++i) {
    if (HeaderModules[i].format == format) return HeaderModules[i].hasSignature && InstalledModule(i) != nullptr;
  }
  return false;
}

bool HoldsOneImage(GdkPixbufFormat* format) {
  return Named(format, {"png", "jpeg", "bmp", "tiff", "ico", "pnm", "xpm", "xbm", "tga", "svg"});
}

bool AnnouncedSizeIsDecoded(GdkPixbufFormat* format) { return !Named(format, {"qtif"}); }

bool HoldsOnly8BitSamples(GdkPixbufFormat* format) {
  return Named(format, {"gif", "webp", "jpeg", "xpm", "xbm", "tga", "svg"});
}

bool DecodesAgainOnEveryWrite(GdkPixbufFormat* format) { return Named(format, {"gif"}); }

// The GIF module decodes a frame of its own and composes the image shown
// from it. libheif's module ("heif/avif"; "heif" and "avif" are other
// builds' names) holds, beside the pixbuf, the AV1 or HEVC decoder's
// planes, libheif's interleaved image and, where the header turns or
// mirrors it, a turned copy: 14 bytes a pixel measured in all at 8 bits
// (12 without a turn), 2 bytes a sample more beyond 8 bits.
std::uint32_t HeldBytesPerPixel(GdkPixbufFormat* format, bool deepSamples) {
  constexpr std::uint32_t PixbufBytes = 4;
  if (Named(format, {"gif"})) return 2 * PixbufBytes;
  if (Named(format, {"heif/avif", "heif", "avif"})) return PixbufBytes + (deepSamples ? 16 : 12);
  return PixbufBytes;
}

GdkPixbufLoader* NewLoader(GdkPixbufFormat* format) {
  const UniqueGChars name(gdk_pixbuf_format_get_name(format));
  return gdk_pixbuf_loader_new_with_type(name.Get(), nullptr);
}
