#include <gtest/gtest.h>

#include "platform/text_file.h"
#include "temp_folder.h"

namespace {

TEST(ReadTextFile, ReturnsTheBytesUnchanged) {
  TempFolder folder;
  const std::string bytes("\xEF\xBB\xBFline one\r\nline\0two\n\x1A tail", 29);
  std::string contents = "previous";
  std::string error = "untouched";
  ASSERT_TRUE(ReadTextFile(folder.Write("crlf.txt", bytes), contents, error));
  EXPECT_EQ(contents, bytes);
  EXPECT_EQ(error, "untouched");

  ASSERT_TRUE(ReadTextFile(folder.Write("empty.txt", ""), contents, error));
  EXPECT_EQ(contents, "");

  std::string large(3 * 1024 * 1024 + 5, 'x');
  large[70000] = '\0';
  ASSERT_TRUE(ReadTextFile(folder.Write("large.txt", large), contents, error));
  EXPECT_TRUE(contents == large);
}

TEST(ReadTextFile, OpensANonAsciiPathByItsUnicodeName) {
  TempFolder folder;
  std::string contents;
  std::string error;
  const std::string path =
      folder.Write("r\xC3\xA9sum\xC3\xA9-\xE6\x97\xA5\xE6\x9C\xAC.xml", "<r/>");
  ASSERT_TRUE(ReadTextFile(path, contents, error)) << error;
  EXPECT_EQ(contents, "<r/>");
}

TEST(ReadTextFile, ReportsWhatCannotBeOpenedAndLeavesContentsAlone) {
  TempFolder folder;
  std::string contents = "previous";
  std::string error;
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
