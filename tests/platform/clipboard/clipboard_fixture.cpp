#include "clipboard_fixture.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "platform/text_conversion.h"

namespace tideloom {

namespace {

ClipboardPort real{};
ClipboardFaults faults;

// Bookkeeping across the seam.
int opens = 0;
int closes = 0;
std::set<GlobalBlock> ownedBlocks; // allocated by the code and neither freed nor handed over

bool CountDown(int& remaining) {
  if (remaining < 0) return true;
  if (remaining == 0) return false;
  --remaining;
  return true;
}

// Direct access for the fixture's own raw reads and writes, past the seam and its faults.
struct DirectOpen {
  DirectOpen() { opened = real.openClipboard(); }
  ~DirectOpen() {
    if (opened) real.closeClipboard();
  }
  bool opened;
};

} // namespace

void ClipboardTest::SetUp() {
  saved_ = ClipboardSystem();
  real = saved_;
  faults = ClipboardFaults{};
  opens = 0;
  closes = 0;
  ownedBlocks.clear();
  EmptyClipboardNow();
  ClipboardPort& port = ClipboardSystem();
  port.openClipboard = [] {
    const bool opened = !faults.openFails && real.openClipboard();
    opens += opened ? 1 : 0;
    return opened;
  };
  port.closeClipboard = [] {
    const bool closed = real.closeClipboard();
    closes += closed ? 1 : 0;
    return closed;
  };
  port.registerClipboardFormat = [](const char16_t* name) -> uint32_t {
    if (!faults.refusedName.empty() && faults.refusedName == name) return 0;
    return real.registerClipboardFormat(name);
  };
  port.setClipboardData = [](uint32_t format, GlobalBlock block) -> GlobalBlock {
    if (!CountDown(faults.handOversBeforeFailure)) return nullptr;
    GlobalBlock taken = real.setClipboardData(format, block);
    if (taken != nullptr) ownedBlocks.erase(block);
    return taken;
  };
  port.enumClipboardFormats = [](uint32_t format) {
    const uint32_t next = real.enumClipboardFormats(format);
    if (next == 0 && faults.errorAtEndOfEnumeration != 0) {
      real.setLastError(faults.errorAtEndOfEnumeration);
    }
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
  EmptyClipboardNow();
}

ClipboardFaults& ClipboardTest::Faults() { return faults; }

uint32_t ClipboardTest::FormatId(std::string_view formatName) {
  return real.registerClipboardFormat(Utf8ToWide(formatName).c_str());
}

void ClipboardTest::EmptyClipboardNow() {
  DirectOpen clipboard;
  ASSERT_TRUE(clipboard.opened);
  real.emptyClipboard();
}

void ClipboardTest::PutRawItems(const std::vector<RawItem>& items) {
  DirectOpen clipboard;
  ASSERT_TRUE(clipboard.opened);
  real.emptyClipboard();
  for (const RawItem& item : items) {
    const uint32_t id = item.formatName.empty() ? item.formatId : FormatId(item.formatName);
    ASSERT_NE(id, 0u);
    GlobalBlock block = real.globalAllocMovable(item.bytes.size());
    ASSERT_NE(block, nullptr);
    if (!item.bytes.empty()) {
      void* data = real.globalLock(block);
      ASSERT_NE(data, nullptr);
      std::memcpy(data, item.bytes.data(), item.bytes.size());
      real.globalUnlock(block);
    }
    ASSERT_NE(real.setClipboardData(id, block), nullptr);
  }
}

void ClipboardTest::PutRaw(std::string_view formatName, std::string_view bytes) {
  PutRawItems({{std::string(formatName), 0, std::string(bytes)}});
}

void ClipboardTest::PutText(std::string_view utf8) {
  PutRawItems({{"", 13, UnicodeTextBlock(Utf8ToWide(utf8))}});
}

bool ClipboardTest::ReadRawId(uint32_t formatId, std::string& bytes) {
  DirectOpen clipboard;
  if (!clipboard.opened) return false;
  GlobalBlock block = real.getClipboardData(formatId);
  if (block == nullptr) return false;
  const std::size_t size = real.globalSize(block);
  bytes.clear();
  if (size == 0) return true;
  const void* data = real.globalLock(block);
  if (data == nullptr) return false;
  bytes.assign(static_cast<const char*>(data), size);
  real.globalUnlock(block);
  return true;
}

bool ClipboardTest::Holds(std::string_view formatName) {
  std::string bytes;
  return ReadRawId(formatName.empty() ? kUnicodeTextFormat : FormatId(formatName), bytes);
}

std::vector<uint32_t> ClipboardTest::FormatIds() {
  std::vector<uint32_t> ids;
  DirectOpen clipboard;
  if (!clipboard.opened) return ids;
  for (uint32_t id = real.enumClipboardFormats(0); id != 0; id = real.enumClipboardFormats(id)) {
    ids.push_back(id);
  }
  return ids;
}

::testing::AssertionResult ClipboardTest::BlockIdHolds(uint32_t formatId,
                                                       std::string_view expected) {
  std::string actual;
  if (!ReadRawId(formatId, actual)) {
    return ::testing::AssertionFailure() << "no block under format " << formatId;
  }
  const bool padded = actual.size() >= expected.size() &&
                      actual.find_first_not_of('\0', expected.size()) == std::string::npos;
  if (padded && std::string_view(actual).substr(0, expected.size()) == expected) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "block under format " << formatId << " holds " << ::testing::PrintToString(actual)
         << ", expected " << ::testing::PrintToString(std::string(expected));
}

std::string UnicodeTextBlock(std::u16string_view text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  bytes.append(2, '\0');
  return bytes;
}

} // namespace tideloom
