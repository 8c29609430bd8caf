#pragma once
// Which gdk-pixbuf module decodes a file, chosen the way gdk-pixbuf itself
// chooses, and what is known of the modules' decoders.

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdint>

#include "imaging/header_facts.h"
#include "linux/open_file.h"

// The enabled module that gdk-pixbuf would pick for the file: by the type
// its first bytes show, and by its name where the bytes are not conclusive.
// Null when none would.
GdkPixbufFormat* FormatForFile(const OpenFile& file);

// The module for a format whose header was read, when gdk-pixbuf would
// pick it for this file; null otherwise (then FormatForFile decides).
GdkPixbufFormat* FormatForHeader(ImageFormat format, const OpenFile& file);

// Whether the format has a signature of its own and an installed module,
// which gdk-pixbuf then always picks for its files.
bool SignatureModuleInstalled(ImageFormat format);

// A loader of the module's own, as gdk-pixbuf would pick it; null when the
// module cannot be loaded.
GdkPixbufLoader* NewLoader(GdkPixbufFormat* format);

// Modules whose files hold one image, or hide any others only where the
// header reader finds them; the others may hold an animation.
bool HoldsOneImage(GdkPixbufFormat* format);

// Modules whose announced size is the size of the image they decode: not
// QuickTime images, whose inner picture may decode to another size.
bool AnnouncedSizeIsDecoded(GdkPixbufFormat* format);

// Modules whose files cannot hold samples deeper than 8 bits.
bool HoldsOnly8BitSamples(GdkPixbufFormat* format);

// Modules whose loader decodes its data again from the start on every
// write: their files are best written whole.
bool DecodesAgainOnEveryWrite(GdkPixbufFormat* format);

// The bytes a module holds for each pixel while it decodes, its image's 4
// and what it keeps beside them, for samples of 8 bits or deeper ones.
std::uint32_t HeldBytesPerPixel(GdkPixbufFormat* format, bool deepSamples);
