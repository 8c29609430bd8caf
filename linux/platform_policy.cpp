// What the Linux plugin settles without gdk-pixbuf, and when it answers.
#include "linux/pixbuf_formats.h"
#include "plugin/platform.h"

// Formats with a signature of their own, where the installed module reads
// the very size the header gives. Icons and PNM are left to the picture,
// which checks that gdk-pixbuf would pick the module the header names.
// Camera raw files and JPEG XL have no module here (the TIFF module would
// show a DNG's preview): their header is all there is.
bool HeaderSettlesSize(ImageFormat format) {
  return format == ImageFormat::CameraRaw || format == ImageFormat::JpegXl || SignatureModuleInstalled(format);
}

// The formats the header reader knows and no gdk-pixbuf module reads.
const char* HeaderOnlyExtensions() { return "*.JXL;*.DNG;*.CR2;*.CR3;*.NEF;*.ARW;*.ORF;*.RW2;*.PEF;*.RAF"; }

// Sizes come from a header read, and the loader reads little more where
// the header does not settle them: answering at once costs the host less
// than a second call, and one host shows nothing for a delayed answer.
const bool DelayedValuesAllowed = false;

// Each file has a loader of its own, and gdk-pixbuf's loaders may work on
// different threads at once: the two decodes of a compare share the cores.
bool DecodesSideBySide() { return true; }

const std::uint64_t RowBandBytes = std::uint64_t{1} << 20;
