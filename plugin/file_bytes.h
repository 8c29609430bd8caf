#pragma once
// Byte-for-byte comparison of two open files.

#include "plugin/host_file.h"

// True only when both files have the same size and can be read to their
// ends with the same bytes. Files of different sizes are not read; the
// reading stops at the first difference.
bool SameFileBytes(HostFile& first, HostFile& second);
