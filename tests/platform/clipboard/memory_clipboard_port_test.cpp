// The in-process clipboard behaves as the Windows calls do where the algorithms can tell, and
// its controls play the other programs.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/clipboard.h"
#include "platform/clipboard_port.h"
#include "platform/clipboard_port_memory.h"

namespace {

class MemoryClipboardTest : public ::testing::Test {
protected:
  void SetUp() override { ResetMemoryClipboard(); }
  void TearDown() override { ResetMemoryClipboard(); }

  static ClipboardPort& port() { return ClipboardSystem(); }

  static GlobalBlock Block(std::string_view bytes) {
    GlobalBlock block = port().globalAllocMovable(bytes.size());
    if (!bytes.empty()) {
      std::memcpy(port().globalLock(block), bytes.data(), bytes.size());
      port().globalUnlock(block);
    }
    return block;
  }

  static std::vector<uint32_t> Formats() {
    std::vector<uint32_t> ids;
    for (uint32_t id = port().enumClipboardFormats(0); id != 0;
         id = port().enumClipboardFormats(id)) {
      ids.push_back(id);
    }
    return ids;
  }
};

TEST_F(MemoryClipboardTest, NamesGetIdsFromC000UpAndTheSameIdWhateverTheirCase) {
  const uint32_t first = port().registerClipboardFormat(u"MemoryTest-One");
  const uint32_t second = port().registerClipboardFormat(u"MemoryTest-Two");
  EXPECT_GE(first, 0xC000u);
  EXPECT_EQ(second, first + 1);
  EXPECT_EQ(port().registerClipboardFormat(u"memorytest-ONE"), first);
  EXPECT_EQ(port().registerClipboardFormat(u"MemoryTest-One"), first);
  EXPECT_EQ(port().registerClipboardFormat(u""), 0u);
  EXPECT_EQ(port().registerClipboardFormat(std::u16string(256, u'n').c_str()), 0u);
  EXPECT_NE(port().registerClipboardFormat(std::u16string(255, u'n').c_str()), 0u);

  char16_t name[8];
  EXPECT_EQ(port().getClipboardFormatName(first, name, 8), 7);
  EXPECT_EQ(std::u16string(name), u"MemoryT") << "cut to the buffer, NUL included";
  EXPECT_EQ(port().getClipboardFormatName(13, name, 8), 0);
  EXPECT_EQ(port().getClipboardFormatName(0xFFFF, name, 8), 0);
}

TEST_F(MemoryClipboardTest, CallsOnAClosedClipboardFailWithTheNotOpenError) {
  GlobalBlock block = Block("x");
  EXPECT_EQ(port().setClipboardData(13, block), nullptr);
  EXPECT_EQ(port().getLastError(), 1418u);
  EXPECT_EQ(port().getClipboardData(13), nullptr);
  EXPECT_FALSE(port().emptyClipboard());
  EXPECT_EQ(port().enumClipboardFormats(0), 0u);
  EXPECT_EQ(port().getLastError(), 1418u);
  EXPECT_FALSE(port().closeClipboard());
  EXPECT_EQ(port().globalFree(block), nullptr);
  EXPECT_EQ(LiveGlobalBlockCount(), 0u);
}

TEST_F(MemoryClipboardTest, FormatsEnumerateInTheOrderSetAndEmptyingReplacesEverything) {
  ASSERT_TRUE(port().openClipboard());
  EXPECT_TRUE(ClipboardIsOpen());
  ASSERT_NE(port().setClipboardData(0xC123, Block("a")), nullptr);
  ASSERT_NE(port().setClipboardData(13, Block("b\0")), nullptr);
  ASSERT_NE(port().setClipboardData(0x0200, Block("c")), nullptr);
  // Setting a format again replaces its data in its place and frees the old block.
  GlobalBlock again = Block("d");
  ASSERT_EQ(port().setClipboardData(13, again), again);
  EXPECT_EQ(Formats(), (std::vector<uint32_t>{0xC123, 13, 0x0200}));
  EXPECT_EQ(port().getLastError(), 0u) << "the end of the enumeration is no error";
  EXPECT_EQ(port().getClipboardData(13), again);
  EXPECT_EQ(LiveGlobalBlockCount(), 3u);

  EXPECT_TRUE(port().emptyClipboard());
  EXPECT_EQ(Formats(), std::vector<uint32_t>{});
  EXPECT_EQ(LiveGlobalBlockCount(), 0u);
  EXPECT_TRUE(port().closeClipboard());
  EXPECT_FALSE(ClipboardIsOpen());
}

TEST_F(MemoryClipboardTest, BlocksHaveTheirSizeAndAZeroByteBlockCannotBeLocked) {
  GlobalBlock empty = port().globalAllocMovable(0);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(port().globalLock(empty), nullptr);
  EXPECT_EQ(port().globalSize(empty), 0u);
  GlobalBlock five = port().globalAllocMovable(5);
  EXPECT_EQ(port().globalSize(five), 5u);
  EXPECT_NE(port().globalLock(five), nullptr);
  EXPECT_FALSE(port().globalUnlock(five)) << "unlocked for good";
  EXPECT_EQ(port().globalFree(empty), nullptr);
  EXPECT_EQ(port().globalFree(five), nullptr);
  EXPECT_EQ(port().globalFree(five), five) << "a freed handle is refused, not freed twice";
  EXPECT_EQ(port().globalLock(five), nullptr);
  EXPECT_EQ(port().globalSize(five), 0u);
}

TEST_F(MemoryClipboardTest, HeldByAnotherProgramTheClipboardCannotBeOpened) {
  HoldClipboardByAnotherProgram(true);
  EXPECT_FALSE(port().openClipboard());
  std::string error;
  EXPECT_FALSE(SetXmlClipboard("XMSS", "<Step/>", error));
  EXPECT_EQ(error, "OpenClipboard failed");
  HoldClipboardByAnotherProgram(false);
  EXPECT_TRUE(SetXmlClipboard("XMSS", "<Step/>", error));
  EXPECT_FALSE(ClipboardIsOpen());
}

} // namespace
