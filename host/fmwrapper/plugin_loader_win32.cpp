#include <windows.h>

#include "plugin_loader.h"

namespace fmhost {
namespace {

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0) {
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
  }
  return wide;
}

std::string Describe(DWORD code) {
  switch (code) {
  case ERROR_MOD_NOT_FOUND:
    return "the library or one of the DLLs it needs was not found (error 126)";
  case ERROR_BAD_EXE_FORMAT:
    return "not a 64-bit Windows library (error 193)";
  case ERROR_PROC_NOT_FOUND:
    return "a function the library imports was not found (error 127)";
  default:
    return "LoadLibrary failed with error " + std::to_string(code);
  }
}

} // namespace

void* OpenPluginLibrary(const std::string& utf8Path, std::string* error) {
  // The plug-in delay-imports its FM_* calls from FMWrapper.dll, which this process has loaded.
  HMODULE library = LoadLibraryW(Widen(utf8Path).c_str());
  if (library == nullptr && error != nullptr) *error = Describe(GetLastError());
  return reinterpret_cast<void*>(library);
}

void* FindPluginSymbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void ClosePluginLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

} // namespace fmhost
