// Win32 threads back end. Each thread holds a reference on the plug-in's module, so the host's
// FreeLibrary cannot unmap code that the thread is still running; the thread gives the
// reference back in the same call that ends it.
#include <windows.h>

#include <new>

#include "platform/background_thread.h"

namespace tideloom {

namespace {

struct ThreadStart {
  DetachedThreadEntry entry;
  void* argument;
  HMODULE module;
};

DWORD WINAPI ThreadMain(LPVOID parameter) {
  const ThreadStart start = *static_cast<ThreadStart*>(parameter);
  delete static_cast<ThreadStart*>(parameter);
  start.entry(start.argument);
  FreeLibraryAndExitThread(start.module, 0);
}

// The handle of the module holding this code, with its reference count raised by one.
HMODULE ReferenceOwnModule() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                          reinterpret_cast<LPCWSTR>(&ThreadMain), &module)) {
    return nullptr;
  }
  return module;
}

} // namespace

bool StartDetachedThread(DetachedThreadEntry entry, void* argument) {
  const HMODULE module = ReferenceOwnModule();
  if (module == nullptr) return false;
  auto* start = new (std::nothrow) ThreadStart{entry, argument, module};
  if (start == nullptr) {
    FreeLibrary(module);
    return false;
  }
  const HANDLE thread = CreateThread(nullptr, 0, &ThreadMain, start, 0, nullptr);
  if (thread == nullptr) {
    delete start;
    FreeLibrary(module);
    return false;
  }
  CloseHandle(thread);
  return true;
}

} // namespace tideloom
