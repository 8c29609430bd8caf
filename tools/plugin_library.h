#pragma once
// A plugin file loaded the way the host loads it: the library by its file
// name, each export by its plain name, called with the system calling
// convention.

#include <string>

#include "tools/loadable_module.h"

struct PluginExports {
  int(PIXDIM_CALL* GetDetectString)(char* detectString, int maxLen);
  void(PIXDIM_CALL* SetDefaultParams)(void* defaultParams);
  void(PIXDIM_CALL* PluginUnloading)();
  int(PIXDIM_CALL* GetSupportedField)(int fieldIndex, char* fieldName, char* units, int maxLen);
  int(PIXDIM_CALL* GetValue)(const char* fileName, int fieldIndex, int unitIndex, void* fieldValue,
                             int maxLen, int flags);
  int(PIXDIM_CALL* CompareFiles)(void* progressCallback, int compareIndex, const char* fileName1,
                                 const char* fileName2, void* defaultParams);
};

class PluginLibrary {
 public:
  // Loads the file and resolves all six exports; Error() says what failed.
  explicit PluginLibrary(const std::string& path);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  bool Loaded() const { return error.empty(); }
  const std::string& Error() const { return error; }
  const PluginExports& Exports() const { return exports; }

 private:
  AnyFunction Resolve(const char* name);

  void* module = nullptr;
  PluginExports exports{};
  std::string error;
};
