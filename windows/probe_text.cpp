// On Windows the command line comes from the system in UTF-16, and the
// 8-bit exports take the system code page.
#include <windows.h>

#include <shellapi.h>

#include "tools/probe_text.h"

namespace {

std::string FromWide(const wchar_t* wide, UINT codePage) {
  const int bytes = WideCharToMultiByte(codePage, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string text(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(codePage, 0, wide, -1, &text[0], bytes, nullptr, nullptr);
  text.pop_back();  // the terminator
  return text;
}

}  // namespace

std::vector<std::string> Utf8Arguments(int /*argc*/, char** /*argv*/) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 0; wide != nullptr && i < count; ++i) arguments.push_back(FromWide(wide[i], CP_UTF8));
  LocalFree(wide);
  return arguments;
}

std::string Utf8ToHostAnsi(const std::string& utf8) {
  const std::u16string wide = Utf8ToUtf16(utf8);
  return FromWide(reinterpret_cast<const wchar_t*>(wide.c_str()), CP_ACP);
}
