#include "clipboard_fixture.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "platform/text_conversion.h"

namespace tideloom {

namespace {

ClipboardPort real{};
ClipboardFaults faults;

int opens = 0, closes = 0;
std::set<GlobalBlock> ownedBlocks; // allocated by the code and neither freed nor handed over

// Whether the next call gets through: all of them while the count is negative, else that many.
bool CountDown(int& remaining) {
  if (remaining == 0) return false;
  if (remaining > 0) --remaining;
  return true;
}

// Direct access for the fixture's own raw reads and writes, past the seam and its faults.
struct DirectOpen {
  DirectOpen() : opened(real.openClipboard()) {}
  ~DirectOpen() {
    if (opened) real.closeClipboard();
  }
  const bool opened;
};

} // namespace

void ClipboardTest::SetUp() {
  real = saved_ = ClipboardSystem();
  faults = ClipboardFaults{};
  opens = closes = 0;
  ownedBlocks.clear();
  PutRawItems({});
  ClipboardPort& port = ClipboardSystem();
  // Only calls that succeed count: an open that failed needs no close.
  port.openClipboard = [] { return !faults.openFails && real.openClipboard() && ++opens; };
  port.closeClipboard = [] { return real.closeClipboard() && ++closes; };
  port.registerClipboardFormat = [](const char16_t* name) -> uint32_t {
    return faults.refusedName == name ? 0 : real.registerClipboardFormat(name);
  };
  port.setClipboardData = [](uint32_t format, GlobalBlock block) -> GlobalBlock {
    if (!CountDown(faults.handOversBeforeFailure)) return nullptr;
    GlobalBlock taken = real.setClipboardData(format, block);
    if (taken != nullptr) ownedBlocks.erase(block);
    return taken;
  };
  port.enumClipboardFormats = [](uint32_t format) {
    const uint32_t next = real.enumClipboardFormats(format);
    if (next == 0 && faults.errorAtEndOfEnumeration != 0)
      real.setLastError(faults.errorAtEndOfEnumeration);
    return next;
  };
  port.globalAllocMovable = [](std::size_t bytes) -> GlobalBlock {
    if (!CountDown(faults.allocationsBeforeFailure)) return nullptr;
    GlobalBlock block = real.globalAllocMovable(bytes);
    if (block != nullptr) ownedBlocks.insert(block);
    return block;
  };
  port.globalLock = [](GlobalBlock block) -> void* {
    if (!CountDown(faults.locksBeforeFailure) && faults.lockFailures-- > 0) return nullptr;
    return real.globalLock(block);
  };
  port.globalSize = [](GlobalBlock block) {
    return std::min(real.globalSize(block), faults.reportedSizeLimit);
  };
  port.globalFree = [](GlobalBlock block) {
    ownedBlocks.erase(block);
    return real.globalFree(block);
  };
}

void ClipboardTest::TearDown() {
  ClipboardSystem() = saved_;
  EXPECT_EQ(opens, closes) << "the clipboard was left open";
  EXPECT_TRUE(ownedBlocks.empty()) << "a global block was neither freed nor handed over";
  for (GlobalBlock block : ownedBlocks)
    real.globalFree(block);
  PutRawItems({});
}

ClipboardFaults& ClipboardTest::Faults() { return faults; }

uint32_t ClipboardTest::FormatId(std::string_view formatName) {
  return real.registerClipboardFormat(Utf8ToWide(formatName).c_str());
}

void ClipboardTest::PutRawItems(const std::vector<RawItem>& items) {
  DirectOpen clipboard;
  ASSERT_TRUE(clipboard.opened);
  real.emptyClipboard();
  for (const RawItem& item : items) {
    const uint32_t id = item.formatName.empty() ? item.formatId : FormatId(item.formatName);
    GlobalBlock block = real.globalAllocMovable(item.bytes.size());
    ASSERT_NE(block, nullptr);
    if (!item.bytes.empty()) {
      std::memcpy(real.globalLock(block), item.bytes.data(), item.bytes.size());
      real.globalUnlock(block);
    }
    ASSERT_NE(real.setClipboardData(id, block), nullptr);
  }
}

void ClipboardTest::PutRaw(std::string_view formatName, std::string_view bytes) {
  PutRawItems({{std::string(formatName), 0, std::string(bytes)}});
}

void ClipboardTest::PutText(std::string_view utf8) {
  PutRawItems({{"", kUnicodeTextFormat, UnicodeTextBlock(Utf8ToWide(utf8))}});
}

bool ClipboardTest::Holds(std::string_view formatName) {
  const std::vector<uint32_t> ids = FormatIds();
  return std::count(ids.begin(), ids.end(),
                    formatName.empty() ? kUnicodeTextFormat : FormatId(formatName)) != 0;
}

std::vector<uint32_t> ClipboardTest::FormatIds() {
  std::vector<uint32_t> ids;
  DirectOpen clipboard;
  if (!clipboard.opened) return ids;
  for (uint32_t id = real.enumClipboardFormats(0); id != 0; id = real.enumClipboardFormats(id))
    ids.push_back(id);
  return ids;
}

::testing::AssertionResult ClipboardTest::BlockIdHolds(uint32_t formatId,
                                                       std::string_view expected) {
  std::string actual;
  {
    DirectOpen clipboard;
    GlobalBlock block = clipboard.opened ? real.getClipboardData(formatId) : nullptr;
    if (block == nullptr) return ::testing::AssertionFailure() << "no block under " << formatId;
    // A zero-byte block cannot be locked.
    if (const std::size_t size = real.globalSize(block); size != 0) {
      actual.assign(static_cast<const char*>(real.globalLock(block)), size);
      real.globalUnlock(block);
    }
  }
  // The system may round a block up, so the bytes past the expected ones may be NUL padding.
  if (actual.starts_with(expected) &&
      actual.find_first_not_of('\0', expected.size()) == std::string::npos) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "block under format " << formatId << " holds " << ::testing::PrintToString(actual)
         << ", expected " << ::testing::PrintToString(std::string(expected));
}

std::string UnicodeTextBlock(std::u16string_view text) {
  std::string bytes;
  for (char16_t unit : text)
    bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
  return bytes.append(2, '\0');
}

} // namespace tideloom
