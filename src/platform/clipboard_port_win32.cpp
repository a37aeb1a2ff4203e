// The clipboard port on Windows: each entry is the system call of the same name.
#include <windows.h>

#include "platform/clipboard_port.h"

namespace tideloom {

namespace {

// wchar_t is 16 bits on Windows, so the plug-in's UTF-16 passes through unchanged.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

bool Open() { return OpenClipboard(nullptr) != FALSE; }
bool Close() { return CloseClipboard() != FALSE; }
bool Empty() { return EmptyClipboard() != FALSE; }

uint32_t Register(const char16_t* name) {
  return RegisterClipboardFormatW(reinterpret_cast<const wchar_t*>(name));
}

GlobalBlock SetData(uint32_t format, GlobalBlock block) { return SetClipboardData(format, block); }
GlobalBlock GetData(uint32_t format) { return GetClipboardData(format); }
uint32_t Enumerate(uint32_t format) { return EnumClipboardFormats(format); }

int FormatName(uint32_t format, char16_t* buffer, int capacity) {
  return GetClipboardFormatNameW(format, reinterpret_cast<wchar_t*>(buffer), capacity);
}

GlobalBlock Alloc(std::size_t bytes) { return GlobalAlloc(GMEM_MOVEABLE, bytes); }
void* Lock(GlobalBlock block) { return GlobalLock(block); }
bool Unlock(GlobalBlock block) { return GlobalUnlock(block) != FALSE; }
std::size_t Size(GlobalBlock block) { return GlobalSize(block); }
GlobalBlock Free(GlobalBlock block) { return GlobalFree(block); }
uint32_t LastError() { return GetLastError(); }
void SetError(uint32_t code) { SetLastError(code); }

} // namespace

ClipboardPort& ClipboardSystem() {
  static ClipboardPort port = {Open,    Close,     Empty,      Register,  SetData,
                               GetData, Enumerate, FormatName, Alloc,     Lock,
                               Unlock,  Size,      Free,       LastError, SetError};
  return port;
}

} // namespace tideloom
