// The clipboard port where the system has no Windows clipboard: one clipboard and one global
// heap inside the process, behaving as the Windows calls do where the algorithms can tell.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/clipboard_port.h"

namespace tideloom {

namespace {

// The Windows error codes that the calls report.
constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorNotEnoughMemory = 8;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorDiscarded = 157;
constexpr uint32_t kErrorClipboardNotOpen = 1418;

constexpr uint32_t kFirstRegisteredFormat = 0xC000;
constexpr uint32_t kLastRegisteredFormat = 0xFFFF;
// Format names are atoms, which hold at most 255 characters.
constexpr std::size_t kMaxFormatNameLength = 255;

struct FreeMemory {
  void operator()(unsigned char* memory) const { std::free(memory); }
};

// calloc, not a vector: a large block then costs no pass of zeroes before its content is written,
// and pages the writer leaves alone are never touched.
struct Block {
  std::unique_ptr<unsigned char, FreeMemory> memory;
  std::size_t size = 0;
  int locks = 0;
};

struct ClipboardEntry {
  uint32_t format;
  Block* block;
};

struct MemoryClipboard {
  std::mutex mutex;
  std::vector<std::u16string> registeredNames; // id = kFirstRegisteredFormat + index
  std::vector<std::unique_ptr<Block>> liveBlocks;
  std::vector<ClipboardEntry> entries; // in the order they were set
  bool open = false;
};

MemoryClipboard& State() {
  static MemoryClipboard state;
  return state;
}

thread_local uint32_t lastError = 0;

uint32_t Fail(uint32_t code) {
  lastError = code;
  return 0;
}

bool Refuse(uint32_t code) {
  lastError = code;
  return false;
}

GlobalBlock NoBlock(uint32_t code) {
  lastError = code;
  return nullptr;
}

// Windows compares format names without regard to letter case.
char16_t FoldCase(char16_t unit) {
  if (unit >= u'a' && unit <= u'z') return static_cast<char16_t>(unit - 0x20);
  if (unit >= 0xE0 && unit <= 0xFE && unit != 0xF7) return static_cast<char16_t>(unit - 0x20);
  return unit;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char16_t x, char16_t y) { return FoldCase(x) == FoldCase(y); });
}

Block* FindBlock(MemoryClipboard& state, GlobalBlock handle) {
  for (const auto& block : state.liveBlocks) {
    if (block.get() == handle) return block.get();
  }
  return nullptr;
}

void FreeBlock(MemoryClipboard& state, Block* block) {
  std::erase_if(state.entries, [block](const ClipboardEntry& e) { return e.block == block; });
  std::erase_if(state.liveBlocks, [block](const auto& owned) { return owned.get() == block; });
}

void DropClipboardData(MemoryClipboard& state) {
  while (!state.entries.empty())
    FreeBlock(state, state.entries.back().block);
}

bool Open() {
  MemoryClipboard& state = State();
  std::lock_guard lock(state.mutex);
  state.open = true;
  return true;
}

bool Close() {
  MemoryClipboard& state = State();
  std::lock_guard lock(state.mutex);
  if (!state.open) return Refuse(kErrorClipboardNotOpen);
  state.open = false;
  return true;
}

bool Empty() {
  MemoryClipboard& state = State();
  std::lock_guard lock(state.mutex);
  if (!state.open) return Refuse(kErrorClipboardNotOpen);
  DropClipboardData(state);
  return true;
}

uint32_t Register(const char16_t* name) {
  const std::u16string_view wanted = name != nullptr ? std::u16string_view(name) : u"";
  if (wanted.empty() || wanted.size() > kMaxFormatNameLength) return Fail(kErrorInvalidParameter);
  MemoryClipboard& state = State();
  std::lock_guard lock(state.mutex);
  for (std::size_t i = 0; i < state.registeredNames.size(); ++i) {
    if (SameName(state.registeredNames[i], wanted)) {
      return kFirstRegisteredFormat + static_cast<uint32_t>(i);
    }
  }
  if (kFirstRegisteredFormat + state.registeredNames.size() > kLastRegisteredFormat) {
    return Fail(kErrorNotEnoughMemory);
  }
  state.registeredNames.emplace_back(wanted);
  return kFirstRegisteredFormat + static_cast<uint32_t>(state.registeredNames.size() - 1);
}

GlobalBlock SetData(uint32_t format, GlobalBlock handle) {
  MemoryClipboard& state = State();
  std::lock_guard lock(state.mutex);
  if (!state.open) return NoBlock(kErrorClipboardNotOpen);
  Block* block = FindBlock(state, handle);
  if (format == 0 || block == nullptr) return NoBlock(kErrorInvalidParameter);
  // One block under two formats would be freed twice: the later hand-over wins.
  std::erase_if(state.entries, [block, format](const ClipboardEntry& e) {
    return e.block == block && e.format != format;
  });
  for (ClipboardEntry& entry : state.entries) {
    if (entry.format != format) continue;
    // Replacing a format's data frees the block it held and keeps its place in the order.
    if (entry.block != block) {
      Block* old = entry.block;
      entry.block = block;
      std::erase_if(state.liveBlocks, [old](const auto& owned) { return owned.get() == old; });
    }
    return block;
  }
  state.entries.push_back({format, block});
  return block;
}

GlobalBlock GetData(uint32_t format) {
  MemoryClipboard& state = State();
  std::lock_guard lock(state.mutex);
  if (!state.open) return NoBlock(kErrorClipboardNotOpen);
  for (const ClipboardEntry& entry : state.entries) {
    if (entry.format == format) return entry.block;
  }
  return nullptr;
}

uint32_t Enumerate(uint32_t format) {
  MemoryClipboard& state = State();
  std::lock_guard lock(state.mutex);
  if (!state.open) return Fail(kErrorClipboardNotOpen);
  std::size_t next = 0;
  if (format != 0) {
    auto at = std::find_if(state.entries.begin(), state.entries.end(),
                           [format](const ClipboardEntry& e) { return e.format == format; });
    if (at == state.entries.end()) return Fail(0);
    next = static_cast<std::size_t>(at - state.entries.begin()) + 1;
  }
  if (next >= state.entries.size()) return Fail(0);
  return state.entries[next].format;
}

int FormatName(uint32_t format, char16_t* buffer, int capacity) {
  MemoryClipboard& state = State();
  std::lock_guard lock(state.mutex);
  const std::size_t index = format - kFirstRegisteredFormat;
  if (format < kFirstRegisteredFormat || index >= state.registeredNames.size() ||
      buffer == nullptr || capacity <= 0) {
    return static_cast<int>(Fail(kErrorInvalidParameter));
  }
  const std::u16string& name = state.registeredNames[index];
  const std::size_t count = std::min(name.size(), static_cast<std::size_t>(capacity - 1));
  std::copy_n(name.begin(), count, buffer);
  buffer[count] = u'\0';
  return static_cast<int>(count);
}

GlobalBlock Alloc(std::size_t bytes) {
  MemoryClipboard& state = State();
  std::lock_guard lock(state.mutex);
  auto block = std::make_unique<Block>();
  block->memory.reset(static_cast<unsigned char*>(std::calloc(bytes == 0 ? 1 : bytes, 1)));
  if (block->memory == nullptr) return NoBlock(kErrorNotEnoughMemory);
  block->size = bytes;
  state.liveBlocks.push_back(std::move(block));
  return state.liveBlocks.back().get();
}

void* Lock(GlobalBlock handle) {
  MemoryClipboard& state = State();
  std::lock_guard lock(state.mutex);
  Block* block = FindBlock(state, handle);
  if (block == nullptr) return NoBlock(kErrorInvalidHandle);
  // A movable block of zero bytes has no memory behind it, as on Windows.
  if (block->size == 0) return NoBlock(kErrorDiscarded);
  ++block->locks;
  return block->memory.get();
}

bool Unlock(GlobalBlock handle) {
  MemoryClipboard& state = State();
  std::lock_guard lock(state.mutex);
  Block* block = FindBlock(state, handle);
  if (block == nullptr) return Refuse(kErrorInvalidHandle);
  if (block->locks > 0) --block->locks;
  return block->locks > 0;
}

std::size_t Size(GlobalBlock handle) {
  MemoryClipboard& state = State();
  std::lock_guard lock(state.mutex);
  Block* block = FindBlock(state, handle);
  if (block == nullptr) return Fail(kErrorInvalidHandle);
  return block->size;
}

GlobalBlock Free(GlobalBlock handle) {
  MemoryClipboard& state = State();
  std::lock_guard lock(state.mutex);
  Block* block = FindBlock(state, handle);
  if (block == nullptr) {
    lastError = kErrorInvalidHandle;
    return handle;
  }
  FreeBlock(state, block);
  return nullptr;
}

uint32_t LastError() { return lastError; }
void SetError(uint32_t code) { lastError = code; }

} // namespace

ClipboardPort& ClipboardSystem() {
  static ClipboardPort port = {Open,    Close,     Empty,      Register,  SetData,
                               GetData, Enumerate, FormatName, Alloc,     Lock,
                               Unlock,  Size,      Free,       LastError, SetError};
  return port;
}

} // namespace tideloom
