#pragma once
// The extended-length form of a host's file name: full, normalized, and
// behind the \\?\ prefix (\\?\UNC\ for a share), so a name of any length up
// to the system's 32767 units opens. Empty for a name that names a device
// (NUL.png and COM1.jpg do, as do \\.\ paths) or cannot be made full.

#include <string>

std::wstring ExtendedPath(const wchar_t* name);
