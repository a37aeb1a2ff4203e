#include <gtest/gtest.h>

#include "platform/text_file.h"
#include "temp_folder.h"

namespace tideloom {

namespace {

TEST(ReadTextFile, ReturnsTheBytesUnchangedOrSaysWhatCannotBeOpened) {
  TempFolder folder;
  std::string large(3 * 1024 * 1024 + 5, 'x');
  large[70000] = '\0';
  const std::string bom("\xEF\xBB\xBFline one\r\nline\0two\n\x1A tail", 29);
  // Opened by its Unicode name, not through a code page.
  const std::string unicodeName = "r\xC3\xA9sum\xC3\xA9-\xE6\x97\xA5\xE6\x9C\xAC.xml";
  for (const auto& [name, bytes] : {std::pair{"crlf.txt", bom},
                                    {"empty.txt", std::string()},
                                    {unicodeName.c_str(), std::string("<r/>")},
                                    {"large.txt", large}}) {
    std::string contents = "previous", error = "untouched";
    ASSERT_TRUE(ReadTextFile(folder.Write(name, bytes), contents, error)) << name;
    EXPECT_TRUE(contents == bytes) << name;
    EXPECT_EQ(error, "untouched");
  }
  for (const std::string& path :
       {folder.Utf8(folder.root / "missing.txt"), folder.Utf8(folder.root), std::string()}) {
    std::string contents = "previous", error;
    EXPECT_FALSE(ReadTextFile(path, contents, error));
    EXPECT_EQ(error, "ERROR: Could not open file: " + path);
    EXPECT_EQ(contents, "previous");
  }
}

} // namespace

} // namespace tideloom
