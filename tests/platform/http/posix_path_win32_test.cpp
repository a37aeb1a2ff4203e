#include <gtest/gtest.h>

#include "platform/posix_path.h"

namespace tideloom {

namespace {

std::string PosixPath(const std::string& hostPath) { return NativePathFromHostPath(hostPath); }

TEST(PosixPath, TurnsHostReferencesIntoDrivePathsRemovingOnlyOneExactPrefix) {
  EXPECT_EQ(PosixPath("filewin:/E:/Users/me/a.xml"), "E:\\Users\\me\\a.xml");
  EXPECT_EQ(PosixPath("file:///E:/x/y.xml"), "E:\\x\\y.xml");
  EXPECT_EQ(PosixPath("file:/C:/x.xml"), "C:\\x.xml");
  EXPECT_EQ(PosixPath("/D:/data/f.xml"), "D:\\data\\f.xml");
  EXPECT_EQ(PosixPath("\\d:\\data"), "d:\\data");
  // Only one exact prefix goes; nothing fails.
  EXPECT_EQ(PosixPath("filewin://server/share/f.xml"), "server\\share\\f.xml");
  EXPECT_EQ(PosixPath("/Macintosh HD/var/f.xml"), "\\Macintosh HD\\var\\f.xml");
  EXPECT_EQ(PosixPath("FILEWIN:/E:/x"), "FILEWIN:\\E:\\x");
  EXPECT_EQ(PosixPath("filewin:/file:/E:/x"), "file:\\E:\\x");
  EXPECT_EQ(PosixPath("/1:/x"), "\\1:\\x");
  EXPECT_EQ(PosixPath("/E"), "\\E");
  EXPECT_EQ(PosixPath(""), "");
}

} // namespace

} // namespace tideloom
