#pragma once
// A plugin file loaded the way the host loads it: the library by its file
// name, each export by its plain name, called with the system calling
// convention. The Unicode twins of the value and compare exports are
// optional, as for the host, which prefers them when a plugin has them.

#include <string>

#include "plugin/compare_progress.h"
#include "tools/tool_platform.h"

struct PluginExports {
  int(PIXDIM_CALL* GetDetectString)(char* detectString, int maxLen);
  void(PIXDIM_CALL* SetDefaultParams)(void* defaultParams);
  void(PIXDIM_CALL* PluginUnloading)();
  int(PIXDIM_CALL* GetSupportedField)(int fieldIndex, char* fieldName, char* units, int maxLen);
  int(PIXDIM_CALL* GetValue)(const char* fileName, int fieldIndex, int unitIndex, void* fieldValue,
                             int maxLen, int flags);
  int(PIXDIM_CALL* CompareFiles)(ProgressCallback progressCallback, int compareIndex, const char* fileName1,
                                 const char* fileName2, void* defaultParams);
  // Null when the plugin has none; names in UTF-16.
  int(PIXDIM_CALL* GetValueW)(const char16_t* fileName, int fieldIndex, int unitIndex, void* fieldValue,
                              int maxLen, int flags);
  int(PIXDIM_CALL* CompareFilesW)(ProgressCallback progressCallback, int compareIndex, const char16_t* fileName1,
                                  const char16_t* fileName2, void* defaultParams);
  // Null when the plugin has none: the host asks a delayed value it is
  // still waiting for to stop.
  void(PIXDIM_CALL* StopGetValue)(const char* fileName);
  void(PIXDIM_CALL* StopGetValueW)(const char16_t* fileName);
  // pixdim's own, null in other plugins: why a file's pixels cannot prove
  // it equal to another.
  int(PIXDIM_CALL* BytesReason)(const char* fileName, char* text, int maxLen);
  int(PIXDIM_CALL* BytesReasonW)(const char16_t* fileName, char* text, int maxLen);
};

class PluginLibrary {
 public:
  // Loads the file and resolves the six exports every plugin has, and the
  // Unicode ones where it has them; Error() says what failed.
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
