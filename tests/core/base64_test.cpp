#include "core/base64.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tideloom {

using namespace std::string_literals;

TEST(Base64Encode, MatchesTheStandardTestVectorsAndUsesBothAlphabetEnds) {
  const std::vector<std::pair<std::string, std::string>> table = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {"\0\xFF\xFE"s, "AP/+"},
      {"\xFB\xEF\xBE"s, "++++"},
  };
  for (const auto& [bytes, expected] : table)
    EXPECT_EQ(Base64Encode(bytes), expected);
}

} // namespace tideloom
