// Registering while the settings cannot be saved, on a real file system: a disk that fills in the
// middle of the write and a folder mounted read-only. Mounting a tmpfs needs root.
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "bridge/bridge_state.h"
#include "bridge/registration.h"
#include "bridge_fixture.h"
#include "platform/file_descriptor_posix.h"
#include "settings_sandbox.h"

namespace tideloom {

namespace {

// A 64 KiB tmpfs over the settings folder while the object lives.
struct SmallDisk {
  explicit SmallDisk(const std::filesystem::path& at) : folder(at) {
    std::filesystem::create_directories(folder);
    mounted = ::mount("tideloom-test", folder.c_str(), "tmpfs", 0, "size=64k") == 0;
  }
  ~SmallDisk() {
    if (mounted) ::umount2(folder.c_str(), MNT_DETACH);
  }
  // Fills the disk but for one page, so that a longer write runs out of room half way.
  void FillAllButOnePage() const {
    FileDescriptor filler(::open((folder / "filler").c_str(), O_WRONLY | O_CREAT, 0600));
    const std::string page(4096, 'f');
    off_t size = 0;
    while (::write(filler.get(), page.data(), page.size()) == static_cast<ssize_t>(page.size()))
      size += static_cast<off_t>(page.size());
    ASSERT_EQ(::ftruncate(filler.get(), size - static_cast<off_t>(page.size())), 0);
  }
  std::filesystem::path folder;
  bool mounted = false;
};

using SettingsDisk = BridgeTest;

TEST_F(SettingsDisk, RegisterWorksForTheSessionWhenTheSettingsCannotBeSavedAndTheOldFileStays) {
  const std::string old = R"({"licenseKey":"OLD","baseUrl":"https://old.test"})";
  for (const bool full : {true, false}) {
    SCOPED_TRACE(full ? "disk full" : "read-only folder");
    SettingsSandbox settings;
    SmallDisk disk(settings.folder());
    if (!disk.mounted) GTEST_SKIP() << "mounting a tmpfs needs root";
    settings.setFileBytes(old);
    if (full) {
      disk.FillAllButOnePage();
    } else {
      ASSERT_EQ(::mount(nullptr, disk.folder.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    }
    const std::string key(full ? 10000 : 8, 'N');
    EXPECT_EQ(RegisterBridge({"me@example.com", key, "m", BaseUrl()}, [] { return "Sales"; }),
              "OK");
    EXPECT_TRUE(bridgeState().IsRegistered());
    EXPECT_TRUE(bridgeState().ReadCredentials().licenseKey == key) << "the new key is in use";
    EXPECT_EQ(settings.fileBytes(), old);
    std::error_code absent;
    std::filesystem::remove(disk.folder / "filler", absent);
    EXPECT_EQ(settings.strayEntries(), 0u) << "a temporary file was left behind";
  }
}

} // namespace

} // namespace tideloom
