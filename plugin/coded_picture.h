#pragma once
// Two files of one format whose coded pictures are the same bytes, and
// whose headers account for everything else with the same presentation,
// show the same pixels: equal at the cost of reading them, without a
// decode (a photo re-tagged by a catalogue program, a PNG re-saved with
// other text chunks or its image data split otherwise).

#include "plugin/compare_progress.h"
#include "plugin/host_file.h"

// True when both files' header facts (for coded pictures) carry a coded
// picture, of the same format and presentation with nothing left to their
// bytes, and the ranges of both hold the same bytes, read through the
// files in large blocks, with every image data chunk's CRC intact. The
// reading stops at the first difference, or when the user stops it. Whether
// a file changed while it was read is for the caller to ask the file.
bool SameCodedPicture(HostFile& first, HostFile& second, CompareProgress& progress);
