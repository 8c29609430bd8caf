#pragma once
// Whether two image files show the same pixels, whatever their formats.

#include "plugin/compare_progress.h"
#include "plugin/host_file.h"

// True only with proof: the library lists as many images in both files,
// each one decodes to the same size and the same 32-bit ARGB pixels as the
// one at the same place in the other file, and no image or sample bit
// escapes that check: not a frame, page or icon entry the decoder would not
// show, nor a sample deeper than 8 bits. Files too large to decode within
// the memory budget, a compare the user stopped, and anything that fails,
// give false. Both files must be open.
bool SamePixels(HostFile& first, HostFile& second, CompareProgress& progress);
