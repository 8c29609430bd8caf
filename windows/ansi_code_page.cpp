#include "text/code_pages.h"

#include <windows.h>

int Utf16ToAnsi(const char16_t* src, int srcLength, char* dest, int destCapacity) {
  return WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(src), srcLength,
                             dest, destCapacity, nullptr, nullptr);
}
