#include "platform/files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/exception.h"
#include "platform/file_attributes.h"
#include "tests/support/temp_dir.h"

namespace vlt::platform {
namespace {

using test::TempDir;

TEST(FilesTest, ForceDirectoriesCreatesEveryMissingLevel) {
  TempDir tmp;
  EXPECT_TRUE(ForceDirectories(tmp / "a\\b\\c\\"));
  EXPECT_TRUE(DirectoryExists(tmp / "a"));
  EXPECT_TRUE(DirectoryExists(tmp / "a\\b"));
  EXPECT_TRUE(DirectoryExists(tmp / "a/b/c"));
  EXPECT_TRUE(ForceDirectories(tmp / "a\\b\\c"));  // already there
  EXPECT_TRUE(ForceDirectories(tmp / "a\\b\\..\\d"));
  EXPECT_TRUE(DirectoryExists(tmp / "a\\d"));

  test::WriteFile(tmp / "file", "x");
  EXPECT_FALSE(ForceDirectories(tmp / "file\\sub"));
  EXPECT_FALSE(DirectoryExists(tmp / "file"));
  EXPECT_TRUE(FileExists(tmp / "file"));
  EXPECT_FALSE(FileExists(tmp / "a"));

  try {
    ForceDirectories("");
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Unable to create directory");
  }
}

// Runs the test from a fresh current directory and goes back afterwards.
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::string& host) : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(std::filesystem::u8path(host));
  }
  ~CurrentDirectory() { std::filesystem::current_path(previous_); }

 private:
  std::filesystem::path previous_;
};

TEST(FilesTest, ForceDirectoriesClimbsARelativePathOnlyUpToAShortName) {
  TempDir tmp;
  ASSERT_TRUE(ForceDirectories(tmp / "cwd"));
  CurrentDirectory cwd(HostPath(tmp / "cwd"));
  // Every level is created from its parent, and a relative path runs out of parents at the
  // empty text; only a name shorter than three characters is created where it stands.
  const struct {
    const char* path;
    bool created;  // false: "Unable to create directory" and nothing on disk
  } cases[] = {
      {"pasta\\sub", false}, {"pasta\\sub\\", false}, {"pasta", false},
      {"ab", true},          {"cd\\ef", true},
  };
  for (const auto& c : cases) {
    if (c.created) {
      EXPECT_TRUE(ForceDirectories(c.path)) << c.path;
      EXPECT_TRUE(DirectoryExists(tmp / ("cwd\\" + std::string(c.path)))) << c.path;
      continue;
    }
    try {
      ForceDirectories(c.path);
      ADD_FAILURE() << c.path << ": no error";
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), "Unable to create directory") << c.path;
    }
  }
  EXPECT_FALSE(DirectoryExists(tmp / "cwd\\pasta"));
}

TEST(FilesTest, RenameRefusesAnExistingTargetAndDeleteRefusesDirectories) {
  TempDir tmp;
  test::WriteFile(tmp / "a", "A");
  test::WriteFile(tmp / "b", "B");
  EXPECT_FALSE(RenameFile(tmp / "a", tmp / "b"));
  EXPECT_FALSE(LastFileErrorText().empty());
  EXPECT_EQ(test::ReadFile(tmp / "b"), "B");
  EXPECT_TRUE(RenameFile(tmp / "a", tmp / "c"));
  EXPECT_FALSE(FileExists(tmp / "a"));
  EXPECT_EQ(test::ReadFile(tmp / "c"), "A");
  EXPECT_TRUE(RemoveFile(tmp / "c"));
  EXPECT_FALSE(RemoveFile(tmp / "c"));
  ASSERT_TRUE(CreateDir(tmp / "d"));
  EXPECT_FALSE(RemoveFile(tmp / "d"));
  EXPECT_TRUE(RemoveDir(tmp / "d"));
}

TEST(FilesTest, RenameReplacingTakesTheTargetsPlaceUnlessReadOnlyOrADirectory) {
  TempDir tmp;
  test::WriteFile(tmp / "new", "new");
  test::WriteFile(tmp / "old", "old");
  EXPECT_TRUE(RenameFileReplacing(tmp / "new", tmp / "old"));
  EXPECT_FALSE(FileExists(tmp / "new"));
  EXPECT_EQ(test::ReadFile(tmp / "old"), "new");

  test::WriteFile(tmp / "newer", "newer");
  ASSERT_TRUE(SetFileAttributesDos(tmp / "old", kAttrReadOnly));
  EXPECT_FALSE(RenameFileReplacing(tmp / "newer", tmp / "old"));
  EXPECT_FALSE(LastFileErrorText().empty());
  EXPECT_EQ(test::ReadFile(tmp / "old"), "new");
  ASSERT_TRUE(CreateDir(tmp / "dir"));
  EXPECT_FALSE(RenameFileReplacing(tmp / "newer", tmp / "dir"));
  EXPECT_TRUE(DirectoryExists(tmp / "dir"));
  EXPECT_EQ(test::ReadFile(tmp / "newer"), "newer");
}

TEST(FilesTest, ForceDirectoriesStopsAtTheSystemsPathLimit) {
  TempDir tmp;
  std::string fits = tmp.path(), deep = tmp.path();
  for (int i = 0; i < 50; ++i) fits += "f\\";
  for (int i = 0; i < 20000; ++i) deep += "d\\";
  EXPECT_TRUE(PathWithinLimit(fits));
  EXPECT_TRUE(ForceDirectories(fits));
  EXPECT_TRUE(DirectoryExists(fits));
  // Nothing is created on the way to a path the system cannot take.
  EXPECT_FALSE(PathWithinLimit(deep));
  EXPECT_FALSE(ForceDirectories(deep));
  EXPECT_FALSE(DirectoryExists(tmp / "d"));
}

TEST(FilesTest, FileReadWriteSeekAndTruncate) {
  TempDir tmp;
  File f;
  ASSERT_TRUE(f.Open(tmp / "data.bin", FileAccess::ReadWrite, FileShare::Exclusive,
                     FileCreate::CreateAlways))
      << f.ErrorText();
  ASSERT_TRUE(f.Write("hello world", 11));
  EXPECT_EQ(f.Size(), 11);
  EXPECT_EQ(f.Seek(5), 5);
  EXPECT_TRUE(f.Truncate());
  EXPECT_EQ(f.Size(), 5);
  EXPECT_EQ(f.Seek(0), 0);
  char buf[16] = {};
  EXPECT_EQ(f.Read(buf, sizeof(buf)), 5);
  EXPECT_EQ(std::string(buf, 5), "hello");
  EXPECT_EQ(f.SeekEnd(), 5);

  File moved = std::move(f);
  EXPECT_FALSE(f.IsOpen());
  EXPECT_TRUE(moved.IsOpen());
  moved.Close();

  File missing;
  EXPECT_FALSE(
      missing.Open(tmp / "nope", FileAccess::Read, FileShare::DenyWrite, FileCreate::OpenExisting));
  EXPECT_FALSE(missing.ErrorText().empty());

  // The whole file at once, refused above its limit before anything is read.
  std::string data = "old", error;
  EXPECT_TRUE(ReadWholeFile(tmp / "data.bin", 5, data, error)) << error;
  EXPECT_EQ(data, "hello");
  EXPECT_FALSE(ReadWholeFile(tmp / "data.bin", 4, data, error));
  EXPECT_EQ(error, "file larger than 4 bytes");
  EXPECT_FALSE(ReadWholeFile(tmp / "nope", 100, data, error));
  EXPECT_FALSE(error.empty());
}

TEST(FilesTest, ExclusiveOpenKeepsOthersOut) {
  TempDir tmp;
  File first, second;
  ASSERT_TRUE(
      first.Open(tmp / "x", FileAccess::Write, FileShare::Exclusive, FileCreate::CreateAlways));
  EXPECT_FALSE(
      second.Open(tmp / "x", FileAccess::Write, FileShare::Exclusive, FileCreate::OpenExisting));
  first.Close();
  EXPECT_TRUE(
      second.Open(tmp / "x", FileAccess::Write, FileShare::Exclusive, FileCreate::OpenExisting));
}

}  // namespace
}  // namespace vlt::platform
