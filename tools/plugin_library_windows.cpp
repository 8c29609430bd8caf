#include <windows.h>

#include "tools/plugin_library.h"

namespace {

template <typename Function>
void Assign(Function& function, void (*address)()) {
  function = reinterpret_cast<Function>(address);
}

}  // namespace

PluginLibrary::PluginLibrary(const std::string& path) {
  module = LoadLibraryA(path.c_str());
  if (module == nullptr) {
    error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    return;
  }
  Assign(exports.GetDetectString, Resolve("ContentGetDetectString"));
  Assign(exports.SetDefaultParams, Resolve("ContentSetDefaultParams"));
  Assign(exports.PluginUnloading, Resolve("ContentPluginUnloading"));
  Assign(exports.GetSupportedField, Resolve("ContentGetSupportedField"));
  Assign(exports.GetValue, Resolve("ContentGetValue"));
  Assign(exports.CompareFiles, Resolve("ContentCompareFiles"));
}

PluginLibrary::~PluginLibrary() {
  if (module != nullptr) FreeLibrary(static_cast<HMODULE>(module));
}

PluginLibrary::AnyFunction PluginLibrary::Resolve(const char* name) {
  auto address = reinterpret_cast<AnyFunction>(GetProcAddress(static_cast<HMODULE>(module), name));
  if (address == nullptr && error.empty()) error = std::string("no export named ") + name;
  return address;
}
