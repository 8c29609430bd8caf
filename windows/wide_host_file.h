#pragma once
// Host files named in UTF-16, as the host passes them to the Unicode
// exports; the 8-bit exports convert their names and come here too.

#include <windows.h>

#include <memory>

#include "plugin/platform.h"

std::unique_ptr<HostFile> FindHostFileW(const wchar_t* name);

// Tells a volume's drive type from its root path: GetDriveTypeW, unless a
// test presents its files on another kind of drive.
extern UINT(WINAPI* QueryDriveType)(LPCWSTR volumeRoot);
