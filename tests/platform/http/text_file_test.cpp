#include <gtest/gtest.h>

#include "platform/text_file.h"
#include "temp_folder.h"

namespace {

TEST(ReadTextFile, ReturnsTheBytesUnchangedWhateverTheName) {
  TempFolder folder;
  const std::string bytes("\xEF\xBB\xBFline one\r\nline\0two\n\x1A tail", 29);
  std::string contents = "previous", error = "untouched";
  ASSERT_TRUE(ReadTextFile(folder.Write("crlf.txt", bytes), contents, error));
  EXPECT_EQ(contents, bytes);
  EXPECT_EQ(error, "untouched");

  ASSERT_TRUE(ReadTextFile(folder.Write("empty.txt", ""), contents, error));
  EXPECT_EQ(contents, "");
  // Opened by its Unicode name, not through a code page.
  const std::string unicodeName = "r\xC3\xA9sum\xC3\xA9-\xE6\x97\xA5\xE6\x9C\xAC.xml";
  ASSERT_TRUE(ReadTextFile(folder.Write(unicodeName, "<r/>"), contents, error));
  EXPECT_EQ(contents, "<r/>");

  std::string large(3 * 1024 * 1024 + 5, 'x');
  large[70000] = '\0';
  ASSERT_TRUE(ReadTextFile(folder.Write("large.txt", large), contents, error));
  EXPECT_TRUE(contents == large);
}

TEST(ReadTextFile, ReportsWhatCannotBeOpenedAndLeavesContentsAlone) {
  TempFolder folder;
  std::string contents = "previous", error;
  const std::string missing = folder.Utf8(folder.root / "missing.txt");
  EXPECT_FALSE(ReadTextFile(missing, contents, error));
  EXPECT_EQ(error, "ERROR: Could not open file: " + missing);
  const std::string folderPath = folder.Utf8(folder.root);
  EXPECT_FALSE(ReadTextFile(folderPath, contents, error));
  EXPECT_EQ(error, "ERROR: Could not open file: " + folderPath);
  EXPECT_FALSE(ReadTextFile("", contents, error));
  EXPECT_EQ(error, "ERROR: Could not open file: ");
  EXPECT_EQ(contents, "previous");
}

} // namespace
