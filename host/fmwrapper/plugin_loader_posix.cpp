#include <dlfcn.h>

#include "plugin_loader.h"

namespace fmhost {

void* OpenPluginLibrary(const std::string& utf8Path, std::string* error) {
  // The plug-in's FM_* calls are resolved from the host process, where this library is global.
  void* library = dlopen(utf8Path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr && error != nullptr) {
    const char* reason = dlerror();
    *error = reason != nullptr ? reason : "dlopen failed";
  }
  return library;
}

void* FindPluginSymbol(void* library, const char* name) { return dlsym(library, name); }

void ClosePluginLibrary(void* library) { dlclose(library); }

} // namespace fmhost
