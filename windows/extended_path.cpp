#include "windows/extended_path.h"

#include <windows.h>

namespace {

bool StartsWith(const std::wstring& text, const wchar_t* prefix) { return text.rfind(prefix, 0) == 0; }

bool IsDriveRooted(const std::wstring& path) {
  return path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
}

}  // namespace

std::wstring ExtendedPath(const wchar_t* name) {
  if (name == nullptr || *name == L'\0') return {};
  const std::wstring given = name;
  // Already extended: only a drive or a share may follow, no device.
  if (StartsWith(given, L"\\\\?\\")) {
    const std::wstring rest = given.substr(4);
    return IsDriveRooted(rest) || StartsWith(rest, L"UNC\\") ? given : std::wstring();
  }
  // The system resolves the name as it would open it: relative parts,
  // forward slashes, trailing dots, and device names, which become \\.\ paths.
  const DWORD needed = GetFullPathNameW(name, 0, nullptr, nullptr);
  if (needed == 0) return {};
  std::wstring full(needed, L'\0');
  const DWORD written = GetFullPathNameW(name, needed, &full[0], nullptr);
  if (written == 0 || written >= needed) return {};
  full.resize(written);
  if (StartsWith(full, L"\\\\.\\") || StartsWith(full, L"\\\\?\\")) return {};
  if (StartsWith(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return IsDriveRooted(full) ? L"\\\\?\\" + full : std::wstring();
}
