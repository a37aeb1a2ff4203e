#include <gtest/gtest.h>

#include "platform/posix_path.h"

namespace tideloom {

TEST(PosixPath, StripsOneLinuxHostPrefixAndLeavesEverythingElse) {
  EXPECT_EQ(NativePathFromHostPath("filelinux:/opt/x.xml"), "/opt/x.xml");
  EXPECT_EQ(NativePathFromHostPath("file:/opt/x.xml"), "/opt/x.xml");
  EXPECT_EQ(NativePathFromHostPath("file:///opt/x.xml"), "/opt/x.xml");
  // Everything else stays as it is; nothing fails.
  EXPECT_EQ(NativePathFromHostPath("/opt/x.xml"), "/opt/x.xml");
  EXPECT_EQ(NativePathFromHostPath("FILE:/opt/x"), "FILE:/opt/x");
  EXPECT_EQ(NativePathFromHostPath("filelinux:file:/opt/x"), "file:/opt/x");
  EXPECT_EQ(NativePathFromHostPath("filewin:/E:/x"), "filewin:/E:/x");
  EXPECT_EQ(NativePathFromHostPath("dir\\name with space"), "dir\\name with space");
  EXPECT_EQ(NativePathFromHostPath(""), "");
}

} // namespace tideloom
