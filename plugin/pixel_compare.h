#pragma once
// Whether two image files show the same pixels, whatever their formats.

#include "plugin/host_file.h"

// True only with proof: the library lists the same images in both files,
// every one of them decodes to the same size and the same 32-bit ARGB
// pixels, and no image or sample bit escapes that check: not a frame, page
// or icon entry the decoder would not show, nor a sample deeper than 8
// bits. Files too large to decode within the memory budget, and anything
// that fails, give false. Both files must be open.
bool SamePixels(HostFile& first, HostFile& second);
