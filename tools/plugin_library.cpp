#include "tools/plugin_library.h"

#include "tools/tool_platform.h"

namespace {

template <typename Function>
void Assign(Function& function, AnyFunction address) {
  function = reinterpret_cast<Function>(address);
}

}  // namespace

PluginLibrary::PluginLibrary(const std::string& path) {
  module = OpenModule(path, error);
  if (module == nullptr) return;
  Assign(exports.GetDetectString, Resolve("ContentGetDetectString"));
  Assign(exports.SetDefaultParams, Resolve("ContentSetDefaultParams"));
  Assign(exports.PluginUnloading, Resolve("ContentPluginUnloading"));
  Assign(exports.GetSupportedField, Resolve("ContentGetSupportedField"));
  Assign(exports.GetValue, Resolve("ContentGetValue"));
  Assign(exports.CompareFiles, Resolve("ContentCompareFiles"));
  Assign(exports.GetValueW, FindFunction(module, "ContentGetValueW"));
  Assign(exports.CompareFilesW, FindFunction(module, "ContentCompareFilesW"));
  Assign(exports.StopGetValue, FindFunction(module, "ContentStopGetValue"));
  Assign(exports.StopGetValueW, FindFunction(module, "ContentStopGetValueW"));
  Assign(exports.BytesReason, FindFunction(module, "PixdimBytesReason"));
  Assign(exports.BytesReasonW, FindFunction(module, "PixdimBytesReasonW"));
}

PluginLibrary::~PluginLibrary() {
  if (module != nullptr) CloseModule(module);
}

AnyFunction PluginLibrary::Resolve(const char* name) {
  const AnyFunction address = FindFunction(module, name);
  if (address == nullptr && error.empty()) error = std::string("no export named ") + name;
  return address;
}
