#pragma once
// Byte-for-byte comparison of two open files.

#include "plugin/compare_progress.h"
#include "plugin/host_file.h"

// True when both files have the same size and read the same bytes up to
// it. Files of different sizes are not read; the reading stops at the first
// difference, or when the user stops it. Whether a file changed (or grew)
// while it was read is for the caller to ask the file.
bool SameFileBytes(HostFile& first, HostFile& second, CompareProgress& progress);
