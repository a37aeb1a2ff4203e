#include <gtest/gtest.h>

#include "platform/posix_path.h"

namespace tideloom {

namespace {

std::string PosixPath(const std::string& hostPath) { return NativePathFromHostPath(hostPath); }

TEST(PosixPath, StripsOneLinuxHostPrefixAndLeavesEverythingElse) {
  EXPECT_EQ(PosixPath("filelinux:/opt/x.xml"), "/opt/x.xml");
  EXPECT_EQ(PosixPath("file:/opt/x.xml"), "/opt/x.xml");
  EXPECT_EQ(PosixPath("file:///opt/x.xml"), "/opt/x.xml");
  // Everything else stays as it is; nothing fails.
  EXPECT_EQ(PosixPath("/opt/x.xml"), "/opt/x.xml");
  EXPECT_EQ(PosixPath("FILE:/opt/x"), "FILE:/opt/x");
  EXPECT_EQ(PosixPath("filelinux:file:/opt/x"), "file:/opt/x");
  EXPECT_EQ(PosixPath("filewin:/E:/x"), "filewin:/E:/x");
  EXPECT_EQ(PosixPath("dir\\name with space"), "dir\\name with space");
  EXPECT_EQ(PosixPath(""), "");
}

} // namespace

} // namespace tideloom
