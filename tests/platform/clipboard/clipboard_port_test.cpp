// What the clipboard algorithms rely on from the port, checked against whichever port the build
// has: Windows' own calls (under Wine) or the in-process clipboard that stands in for them. A
// difference between the two means the Linux tests no longer say anything about Windows.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "clipboard_fixture.h"

namespace tideloom {

namespace {

ClipboardPort& Port() { return ClipboardSystem(); }

using ClipboardPortTest = ClipboardTest;

TEST_F(ClipboardPortTest, NamesRegisterAboveC000OnceWhateverTheirCaseAndReadBackCut) {
  const uint32_t id = Port().registerClipboardFormat(u"PortTest-One");
  EXPECT_GE(id, 0xC000u);
  EXPECT_EQ(Port().registerClipboardFormat(u"porttest-ONE"), id);
  EXPECT_NE(Port().registerClipboardFormat(u"PortTest-Two"), id);
  EXPECT_EQ(Port().registerClipboardFormat(u""), 0u);
  EXPECT_EQ(Port().registerClipboardFormat(std::u16string(256, u'n').c_str()), 0u);
  EXPECT_NE(Port().registerClipboardFormat(std::u16string(255, u'n').c_str()), 0u);

  char16_t name[8] = {};
  EXPECT_EQ(Port().getClipboardFormatName(id, name, 8), 7);
  EXPECT_EQ(std::u16string(name), u"PortTes") << "cut to the buffer, NUL included";
  EXPECT_EQ(Port().getClipboardFormatName(kUnicodeTextFormat, name, 8), 0);
}

TEST_F(ClipboardPortTest, FormatsEnumerateInTheOrderSetAndTheEndIsNoError) {
  const uint32_t named = FormatId("PortTest-Order");
  ASSERT_TRUE(Port().openClipboard());
  ASSERT_TRUE(Port().emptyClipboard());
  // Setting a format again replaces its data in its place.
  GlobalBlock again = nullptr;
  for (const uint32_t format : {named, kUnicodeTextFormat, uint32_t{0x0200}, kUnicodeTextFormat}) {
    again = Port().globalAllocMovable(4);
    std::memcpy(Port().globalLock(again), "ab\0\0", 4);
    Port().globalUnlock(again);
    ASSERT_EQ(Port().setClipboardData(format, again), again);
  }
  EXPECT_EQ(Port().getClipboardData(kUnicodeTextFormat), again);
  Port().setLastError(0);
  uint32_t last = 0;
  while (uint32_t next = Port().enumClipboardFormats(last))
    last = next;
  EXPECT_NE(last, 0u);
  EXPECT_EQ(Port().getLastError(), 0u) << "the end of the enumeration is no error";
  EXPECT_TRUE(Port().closeClipboard());
  std::vector<uint32_t> order = FormatIds();
  // Anything after is a text format the system derives from the Unicode text.
  order.resize(std::min<std::size_t>(order.size(), 3));
  EXPECT_EQ(order, (std::vector<uint32_t>{named, kUnicodeTextFormat, 0x0200}));

  // A closed clipboard hands out nothing and says why.
  EXPECT_EQ(Port().getClipboardData(kUnicodeTextFormat), nullptr);
  EXPECT_EQ(Port().enumClipboardFormats(0), 0u);
  EXPECT_EQ(Port().getLastError(), 1418u);
  EXPECT_FALSE(Port().closeClipboard());
}

TEST_F(ClipboardPortTest, AZeroByteBlockCannotBeLockedAndABlockKnowsItsSize) {
  GlobalBlock empty = Port().globalAllocMovable(0);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(Port().globalLock(empty), nullptr);
  EXPECT_EQ(Port().globalSize(empty), 0u);
  GlobalBlock five = Port().globalAllocMovable(5);
  EXPECT_GE(Port().globalSize(five), 5u);
  EXPECT_NE(Port().globalLock(five), nullptr);
  EXPECT_FALSE(Port().globalUnlock(five)) << "unlocked for good";
  EXPECT_EQ(Port().globalFree(empty), nullptr);
  EXPECT_EQ(Port().globalFree(five), nullptr);
}

} // namespace

} // namespace tideloom
