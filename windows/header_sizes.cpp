// On Windows the header settles the formats whose size GDI+ takes from the
// same header fields: PNG, JPEG and BMP (the stored size), GIF (the
// logical screen) and TIFF (the first page). Icons are left to GDI+: which
// entry it shows is its own choice. WebP, AVIF and HEIC/HEIF have no GDI+
// decoder: their header is all there is.
#include "plugin/header_sizes.h"

bool HeaderSettlesSize(ImageFormat format) {
  switch (format) {
    case ImageFormat::Png:
    case ImageFormat::Jpeg:
    case ImageFormat::Gif:
    case ImageFormat::Bmp:
    case ImageFormat::Tiff:
    case ImageFormat::WebP:
    case ImageFormat::Avif: return true;  // HEIC too: the same box format
    default: return false;
  }
}

const char16_t* HeaderOnlyExtensions() { return u"*.WEBP;*.AVIF;*.HEIC;*.HEIF"; }
