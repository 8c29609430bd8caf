// What the Windows plugin settles without GDI+, and when it answers later.
#include "plugin/platform.h"

// The header settles the formats whose size GDI+ takes from the same header
// fields: PNG, JPEG and BMP (the stored size), GIF (the logical screen) and
// TIFF (the first page). Icons are left to GDI+: which entry it shows is its
// own choice. WebP, AVIF and HEIC/HEIF have no GDI+ decoder: their header is
// all there is; so for camera raw files (whose TIFF-built kinds GDI+ would
// show by a preview) and JPEG XL.
bool HeaderSettlesSize(ImageFormat format) {
  switch (format) {
    case ImageFormat::Png:
    case ImageFormat::Jpeg:
    case ImageFormat::Gif:
    case ImageFormat::Bmp:
    case ImageFormat::Tiff:
    case ImageFormat::WebP:
    case ImageFormat::Heif:  // HEIC too: the same box format
    case ImageFormat::CameraRaw:
    case ImageFormat::JpegXl: return true;
    default: return false;
  }
}

const char* HeaderOnlyExtensions() {
  return "*.WEBP;*.AVIF;*.HEIC;*.HEIF;*.JXL;*.DNG;*.CR2;*.CR3;*.NEF;*.ARW;*.ORF;*.RW2;*.PEF;*.RAF";
}

// A size the header does not settle needs GDI+, which may decode the whole
// image, and a slow drive can hold any read: the host asks again from a
// background thread when a value is delayed.
const bool DelayedValuesAllowed = true;

// GDI+ decodes a compare's two files one after the other, on the compare's
// own thread, whose stream reads ask the host in passing. The 32-bit plugin
// is tested under an x86 emulator on which 32-bit Wine stops for good once
// two of its threads run at once, so a second decoding thread could not be
// tested there.
bool DecodesSideBySide() { return false; }

// GDI+ converts each locked band into a block of its own: a band below the
// size from which the heap maps each block afresh from the system (Wine's
// from about 100 KiB) reuses the same memory band after band, where bands
// of 1 MiB cost a fifth of a 24 Mpx compare.
const std::uint64_t RowBandBytes = std::uint64_t{64} << 10;
