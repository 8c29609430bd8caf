#pragma once
// Whether two files have the same content: the same pixels for images,
// whatever their formats; the same bytes for anything else.

#include "plugin/compare_progress.h"
#include "plugin/host_file.h"

// CompareEqual only with proof: one and the same file, the same bytes, or
// the same pixels in every image both files hold, read from files that did
// not change while they were read. CompareFileError when either file
// cannot be opened as a regular file, CompareStopped when the user stopped
// the compare; anything else is CompareDifferent.
int CompareContent(HostFile& first, HostFile& second, CompareProgress& progress);

// Writes (within maxLen bytes) why the file's pixels cannot prove it equal
// to another file, so that only the same bytes can, as the end of a sentence
// that starts with its name, and returns the reason's number; 0 and an
// empty text when its pixels can, or when it cannot be opened.
int ExplainBytesReason(HostFile& file, char* text, int maxLen);
