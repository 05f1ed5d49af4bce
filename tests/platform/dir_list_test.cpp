#include "platform/dir_list.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/file_attributes.h"
#include "platform/files.h"
#include "tests/support/temp_dir.h"

namespace vlt::platform {
namespace {

using test::TempDir;

TEST(DirListTest, WindowsWildcards) {
  const struct {
    const char* name;
    const char* pattern;
    bool match;
  } cases[] = {
      {"estoque.exe", "*.*", true},
      {"LEIAME", "*.*", true},
      {".", "*.*", true},
      {"a.b.c", "*.c", true},
      {"Estoque.EXE", "*.exe", true},
      {"estoque.exe", "*.ex", false},
      {"estoque.exe", "e?toque.*", true},
      {"estoque", "estoque.*", true},
      {"estoque", "*.", true},
      {"estoque.exe", "*.", false},
      {"abc", "a*c*", true},
      {"abd", "a*c", false},
      {"", "*", true},
      {"x", "", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MatchesWildcard(c.name, c.pattern), c.match) << c.name << " ~ " << c.pattern;
  }
}

TEST(DirListTest, ListsFilesDirectoriesAndReadOnlyEntries) {
  TempDir tmp;
  ASSERT_TRUE(CreateDir(tmp / "src"));
  test::WriteFile(tmp / "src\\LEIAME", "x");
  test::WriteFile(tmp / "src\\a.exe", "x");
  test::WriteFile(tmp / "src\\ro.txt", "x");
  ASSERT_TRUE(SetFileAttributesDos(tmp / "src\\ro.txt", kAttrReadOnly));
  ASSERT_TRUE(ForceDirectories(tmp / "src\\sub.d"));

  auto listed = ListDirectory(tmp / "src", "*.*");
  std::sort(listed.begin(), listed.end(), [](auto& a, auto& b) { return a.name < b.name; });
  std::vector<std::pair<std::string, bool>> got;
  for (const auto& e : listed) got.emplace_back(e.name, e.directory);
  EXPECT_EQ(got, (std::vector<std::pair<std::string, bool>>{{".", true},
                                                            {"..", true},
                                                            {"LEIAME", false},
                                                            {"a.exe", false},
                                                            {"ro.txt", false},
                                                            {"sub.d", true}}));

  const auto exes = ListDirectory(tmp / "src\\", "*.exe");
  ASSERT_EQ(exes.size(), 1u);
  EXPECT_EQ(exes[0].name, "a.exe");
  EXPECT_TRUE(ListDirectory(tmp / "missing", "*.*").empty());
}

TEST(DirListTest, CopyOverwritesButNotAReadOnlyTarget) {
  TempDir tmp;
  test::WriteFile(tmp / "a", "new contents");
  test::WriteFile(tmp / "b", "old");
  ASSERT_TRUE(SetFileTimesLocal(tmp / "a", {2015, 3, 1, 12, 0, 0}));
  EXPECT_TRUE(CopyFileOverwrite(tmp / "a", tmp / "b"));
  EXPECT_EQ(test::ReadFile(tmp / "b"), "new contents");
  EXPECT_EQ(FileLastWriteLocal(tmp / "b"), (LocalDateTime{2015, 3, 1, 12, 0, 0}));
  EXPECT_TRUE(CopyFileOverwrite(tmp / "a", tmp / "c"));
  EXPECT_EQ(test::ReadFile(tmp / "c"), "new contents");

  ASSERT_TRUE(SetFileAttributesDos(tmp / "b", kAttrReadOnly));
  test::WriteFile(tmp / "a", "newer");
  EXPECT_FALSE(CopyFileOverwrite(tmp / "a", tmp / "b"));
  EXPECT_EQ(test::ReadFile(tmp / "b"), "new contents");
  EXPECT_FALSE(CopyFileOverwrite(tmp / "missing", tmp / "d"));
  EXPECT_FALSE(FileExists(tmp / "d"));

  EXPECT_FALSE(SetFileTimesLocal(tmp / "a", {2015, 2, 29, 12, 0, 0}));  // no such day
  EXPECT_TRUE(IsValidDateTime({2016, 2, 29, 23, 59, 58}));
  EXPECT_FALSE(IsValidDateTime({2016, 13, 1, 0, 0, 0}));
}

}  // namespace
}  // namespace vlt::platform
