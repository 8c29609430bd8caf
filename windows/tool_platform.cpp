// The tools' platform services on Windows: LoadLibrary, and the command
// line, which comes from the system in UTF-16, while the 8-bit exports take
// the system code page.
#include <windows.h>

#include <shellapi.h>

#include "tools/tool_platform.h"
#include "windows/owners.h"

void* OpenModule(const std::string& path, std::string& error) {
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
  return module;
}

AnyFunction FindFunction(void* module, const char* name) {
  return reinterpret_cast<AnyFunction>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void CloseModule(void* module) { FreeLibrary(static_cast<HMODULE>(module)); }

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
  const UniqueLocalMemory wide(CommandLineToArgvW(GetCommandLineW(), &count));
  const auto* words = static_cast<wchar_t* const*>(wide.Get());
  std::vector<std::string> arguments;
  for (int i = 0; words != nullptr && i < count; ++i) arguments.push_back(FromWide(words[i], CP_UTF8));
  return arguments;
}

std::string Utf8ToHostAnsi(const std::string& utf8) {
  const std::u16string wide = Utf8ToUtf16(utf8);
  return FromWide(reinterpret_cast<const wchar_t*>(wide.c_str()), CP_ACP);
}
