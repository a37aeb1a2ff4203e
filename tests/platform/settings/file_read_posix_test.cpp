// Paths that are no regular file, read by every reader of local files: none may block the host's
// thread or read without end, and each answers with its own "could not open" message.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/config_store.h"
#include "platform/file_read.h"
#include "platform/text_file.h"
#include "platform/upload.h"
#include "settings_sandbox.h"

namespace tideloom {

namespace {

class NoRegularFile : public ::testing::Test {
protected:
  void SetUp() override {
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "three.txt") << "abc";
    std::ofstream(folder / "empty.txt");
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  }
  void TearDown() override { std::filesystem::remove_all(folder); }
  std::string Path(const std::string& name) const { return (folder / name).string(); }

  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("tideloom-read-" + std::to_string(::getpid()));
};

TEST_F(NoRegularFile, OnlyARegularFileIsReadAndOnlyUpToItsLimit) {
  const struct {
    std::string path;
    uint64_t limit;
    FileReadFailure failure;
    std::string bytes;
  } cases[] = {
      {Path("three.txt"), 3, FileReadFailure::kNone, "abc"},
      {Path("three.txt"), 2, FileReadFailure::kTooLarge, ""},
      {Path("empty.txt"), 0, FileReadFailure::kNone, ""},
      {Path("missing"), 9, FileReadFailure::kCannotOpen, ""},
      {folder.string(), 9, FileReadFailure::kCannotOpen, ""},
      {Path("fifo"), 9, FileReadFailure::kCannotOpen, ""},
      {"/dev/zero", 9, FileReadFailure::kCannotOpen, ""},
      {"/dev/urandom", 9, FileReadFailure::kCannotOpen, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const FileRead read = ReadWholeFile(c.path, c.limit);
    EXPECT_EQ(read.failure, c.failure);
    EXPECT_EQ(read.bytes, c.bytes);
  }
}

TEST_F(NoRegularFile, EachReaderAnswersWithItsOwnCouldNotOpenMessage) {
  std::string bytes;
  std::string error;
  EXPECT_FALSE(ReadTextFile(Path("fifo"), bytes, error));
  EXPECT_EQ(error, "ERROR: Could not open file: " + Path("fifo"));
  EXPECT_EQ(HttpPostFile("nowhere", "/dev/zero").error, "Cannot open file: /dev/zero");
}

TEST(SettingsFile, ASettingsFileThatIsAFifoOrAFolderReadsAsEmpty) {
  SettingsSandbox sandbox;
  const std::filesystem::path path = *ConfigFilePath();
  std::filesystem::create_directories(path.parent_path());
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  EXPECT_EQ(ReadConfigText(), "{}");
  std::filesystem::remove(path);
  std::filesystem::create_directories(path);
  EXPECT_EQ(ReadConfigText(), "{}");
  std::filesystem::remove(path);
}

} // namespace

} // namespace tideloom
