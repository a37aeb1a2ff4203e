#include <gtest/gtest.h>

#include "platform/posix_path.h"

namespace tideloom {

TEST(PosixPath, TurnsHostReferencesIntoDrivePathsRemovingOnlyOneExactPrefix) {
  EXPECT_EQ(NativePathFromHostPath("filewin:/E:/Users/me/a.xml"), "E:\\Users\\me\\a.xml");
  EXPECT_EQ(NativePathFromHostPath("file:///E:/x/y.xml"), "E:\\x\\y.xml");
  EXPECT_EQ(NativePathFromHostPath("file:/C:/x.xml"), "C:\\x.xml");
  EXPECT_EQ(NativePathFromHostPath("/D:/data/f.xml"), "D:\\data\\f.xml");
  EXPECT_EQ(NativePathFromHostPath("\\d:\\data"), "d:\\data");
  // Only one exact prefix goes; nothing fails.
  EXPECT_EQ(NativePathFromHostPath("filewin://server/share/f.xml"), "server\\share\\f.xml");
  EXPECT_EQ(NativePathFromHostPath("/Macintosh HD/var/f.xml"), "\\Macintosh HD\\var\\f.xml");
  EXPECT_EQ(NativePathFromHostPath("FILEWIN:/E:/x"), "FILEWIN:\\E:\\x");
  EXPECT_EQ(NativePathFromHostPath("filewin:/file:/E:/x"), "file:\\E:\\x");
  EXPECT_EQ(NativePathFromHostPath("/1:/x"), "\\1:\\x");
  EXPECT_EQ(NativePathFromHostPath("/E"), "\\E");
  EXPECT_EQ(NativePathFromHostPath(""), "");
}

} // namespace tideloom
