// Loading a plug-in library the way FileMaker does; one back end per platform.
#pragma once

#include <string>

namespace fmhost {

// The library's handle, or null with *error set.
void* OpenPluginLibrary(const std::string& utf8Path, std::string* error);
// The exported symbol, or null.
void* FindPluginSymbol(void* library, const char* name);
void ClosePluginLibrary(void* library);

} // namespace fmhost
