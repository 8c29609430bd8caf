#pragma once
// Host files named in UTF-16, as the host passes them to the Unicode
// exports; the 8-bit exports convert their names and come here too.

#include <memory>

#include "plugin/host_file.h"

std::unique_ptr<HostFile> FindHostFileW(const wchar_t* name);
