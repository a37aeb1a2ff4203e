// The Win32 clipboard and global-memory primitives that the clipboard algorithms use, as one
// table of function pointers. Windows fills it with the system calls; elsewhere an in-process
// clipboard with the same semantics stands in. Tests swap single entries to make a call fail.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tideloom {

// An HGLOBAL: a movable global memory block.
using GlobalBlock = void*;

inline constexpr uint32_t kUnicodeTextFormat = 13; // CF_UNICODETEXT

struct ClipboardPort {
  bool (*openClipboard)(); // no owner window
  bool (*closeClipboard)();
  bool (*emptyClipboard)();
  // 0 when the name cannot be registered.
  uint32_t (*registerClipboardFormat)(const char16_t* name);
  // The block on success, null on failure; on success the block belongs to the clipboard.
  GlobalBlock (*setClipboardData)(uint32_t format, GlobalBlock block);
  GlobalBlock (*getClipboardData)(uint32_t format);
  // The format after `format` (0 starts), 0 at the end or on failure (see the last error).
  uint32_t (*enumClipboardFormats)(uint32_t format);
  // The name's length in units written to `buffer` (NUL-terminated), 0 for an unnamed format.
  int (*getClipboardFormatName)(uint32_t format, char16_t* buffer, int capacity);
  GlobalBlock (*globalAllocMovable)(std::size_t bytes);
  void* (*globalLock)(GlobalBlock block);
  bool (*globalUnlock)(GlobalBlock block);
  std::size_t (*globalSize)(GlobalBlock block);
  GlobalBlock (*globalFree)(GlobalBlock block); // null when freed
  uint32_t (*getLastError)();
  void (*setLastError)(uint32_t code);
};

// The table the algorithms call through. It starts as the platform's own primitives.
ClipboardPort& ClipboardSystem();

} // namespace tideloom
