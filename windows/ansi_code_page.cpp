#include "text/ansi_code_page.h"

#include <windows.h>

int AnsiToUtf16(const char* src, int srcLength, char16_t* dest, int destCapacity) {
  return MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, src, srcLength,
                             reinterpret_cast<wchar_t*>(dest), destCapacity);
}

int Utf16ToAnsi(const char16_t* src, int srcLength, char* dest, int destCapacity) {
  return WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(src), srcLength,
                             dest, destCapacity, nullptr, nullptr);
}
