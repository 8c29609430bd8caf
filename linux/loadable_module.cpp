#include <dlfcn.h>

#include "tools/loadable_module.h"

void* OpenModule(const std::string& path, std::string& error) {
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* reason = dlerror();
    error = "cannot load " + path + " (" + (reason != nullptr ? reason : "unknown error") + ")";
  }
  return module;
}

AnyFunction FindFunction(void* module, const char* name) {
  return reinterpret_cast<AnyFunction>(dlsym(module, name));
}

void CloseModule(void* module) { dlclose(module); }
