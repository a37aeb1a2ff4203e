#include "core/percent_encoding.h"

#include <gtest/gtest.h>

namespace tideloom {

TEST(PercentEncodingTest, KeepsUnreservedBytesAndEncodesEveryOtherByte) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"AZaz09-._~", "AZaz09-._~"},
      {"a b&c=d?e#f/g+h%i", "a%20b%26c%3Dd%3Fe%23f%2Fg%2Bh%25i"},
      {std::string("\x00\x7f", 2), "%00%7F"},
      {"\xC3\xA9\xE2\x80\x94", "%C3%A9%E2%80%94"},
  };
  for (const auto& [text, encoded] : cases)
    EXPECT_EQ(PercentEncode(text), encoded) << text;
}

} // namespace tideloom
