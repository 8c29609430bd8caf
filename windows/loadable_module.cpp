#include <windows.h>

#include "tools/loadable_module.h"

void* OpenModule(const std::string& path, std::string& error) {
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
  return module;
}

AnyFunction FindFunction(void* module, const char* name) {
  return reinterpret_cast<AnyFunction>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void CloseModule(void* module) { FreeLibrary(static_cast<HMODULE>(module)); }
