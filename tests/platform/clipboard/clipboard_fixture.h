// Shared by the clipboard tests: a clean clipboard for every test, the system's primitives
// routed through a seam that can make any of them fail, and bookkeeping that proves every test
// closed what it opened and freed every block it did not hand over.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clipboard_port.h"

namespace tideloom {

// Faults to inject; the defaults inject none. A countdown of N lets N calls through first.
struct ClipboardFaults {
  bool openFails = false;
  int allocationsBeforeFailure = -1;
  int locksBeforeFailure = -1;
  int lockFailures = 1 << 30; // how many locks fail once the countdown has run out
  int handOversBeforeFailure = -1;
  std::u16string refusedName = {};          // registration of this name fails
  uint32_t errorAtEndOfEnumeration = 0;     // left as the last error when the enumeration ends
  std::size_t reportedSizeLimit = SIZE_MAX; // GlobalSize answers at most this
};

struct RawItem {
  std::string formatName; // registered under this name, or
  uint32_t formatId = 0;  // put under this predefined id when the name is empty
  std::string bytes;
};

// Little-endian UTF-16 bytes of `text` followed by one NUL unit, as a Unicode text block holds.
std::string UnicodeTextBlock(std::u16string_view text);

class ClipboardTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  static ClipboardFaults& Faults();

  // Replaces the clipboard with these blocks, byte for byte, bypassing the code under test;
  // none empties it.
  static void PutRawItems(const std::vector<RawItem>& items);
  static void PutRaw(std::string_view formatName, std::string_view bytes);
  static void PutText(std::string_view utf8);
  // Whether the clipboard holds the format; "" stands for the Unicode text.
  static bool Holds(std::string_view formatName);
  static uint32_t FormatId(std::string_view formatName);
  // The ids on the clipboard in enumeration order.
  static std::vector<uint32_t> FormatIds();
  // Whether the block holds `expected`, followed by nothing but the NULs the system may round up.
  static ::testing::AssertionResult BlockIdHolds(uint32_t formatId, std::string_view expected);
  static ::testing::AssertionResult BlockHolds(std::string_view formatName,
                                               std::string_view expected) {
    return BlockIdHolds(FormatId(formatName), expected);
  }

private:
  ClipboardPort saved_{};
};

} // namespace tideloom
