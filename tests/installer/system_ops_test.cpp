#include "installer/system_ops.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/shell.h"
#include "tests/installer/scripted_view.h"
#include "tests/support/box_dismisser.h"
#include "tests/support/temp_dir.h"

namespace vlt {
namespace {

using test::ScriptedView;
using test::TempDir;

class SystemOpsTest : public ::testing::Test {
 protected:
  platform::ComSession com;
  ScriptedView view;
  PlatformSystemOps ops{view};
};

TEST(SystemOpsTextTest, MessageTrimmingAndServerDetection) {
  EXPECT_EQ(TrimSystemMessage("The system cannot find the file specified.\r\n"),
            "The system cannot find the file specified");
  EXPECT_EQ(TrimSystemMessage("..  .\t"), "");
  EXPECT_EQ(TrimBlanks("\t a b \r\n"), "a b");

  const struct {
    std::vector<std::string> names;
    bool running;
  } cases[] = {
      {{}, false},
      {{"explorer.exe", "fbserver.exe"}, true},
      {{"FBSERVER.EXE"}, false},  // the search is case-sensitive
      {{"fbguard.exe", "myfbserverx"}, true},
      {{"fbserv", "er.exe"}, false},  // names are separated by CR, never joined
  };
  for (const auto& c : cases) EXPECT_EQ(ListHasFirebirdServer(c.names), c.running);
}

TEST_F(SystemOpsTest, ExecutaEAguardaPumpsEventsUntilTheProgramEnds) {
  TempDir tmp;
  const std::string marker = tmp / "marker.txt";
  ops.ExecutaEAguarda(test::HelperProgram("vlt_sleeper"),
                      "1000 \"" + platform::HostPath(marker) + "\"");
  // The program has ended (it wrote its marker just before exiting) ...
  EXPECT_TRUE(platform::FileExists(marker));
  // ... and the window was pumped between 50 ms waits all along.
  EXPECT_GE(view.pumps, 10);
  EXPECT_TRUE(view.information.empty());
}

TEST_F(SystemOpsTest, ExecutaEAguardaReportsAProgramThatCannotStart) {
  TempDir tmp;
  // With a display, Windows' shell shows its own error box first; a person would press OK.
  test::BoxDismisser shell_box;
  ops.ExecutaEAguarda(tmp / "nao-existe.exe", "");
  ASSERT_EQ(view.information.size(), 1u);
  const std::string& text = view.information[0];
  EXPECT_FALSE(text.empty());
  EXPECT_NE(text.back(), '.');
  EXPECT_GT(static_cast<unsigned char>(text.back()), 32);
  EXPECT_EQ(view.pumps, 0);
}

TEST_F(SystemOpsTest, FirebirdAtivoSeesOnlyALowerCaseServerProcess) {
  TempDir tmp;
  namespace fs = std::filesystem;
  const std::string sleeper = test::HelperProgram("vlt_sleeper");
  const struct {
    const char* name;
    bool counts;
  } cases[] = {{"fbserver.exe", true}, {"FBSERVER.EXE", false}};
  EXPECT_FALSE(ops.FirebirdAtivo());
  for (const auto& c : cases) {
    // One directory each: on Windows "FBSERVER.EXE" would otherwise reuse "fbserver.exe".
    const std::string dir = tmp / (c.counts ? "lower" : "upper");
    platform::ForceDirectories(dir);
    const std::string copy = dir + "\\" + c.name;
    fs::copy_file(fs::u8path(platform::HostPath(sleeper)), fs::u8path(platform::HostPath(copy)),
                  fs::copy_options::overwrite_existing);
    fs::permissions(fs::u8path(platform::HostPath(copy)), fs::perms::owner_exec,
                    fs::perm_options::add);
    platform::StartResult run = platform::ShellStart(copy, "1500");
    ASSERT_TRUE(run.started) << run.error_text;
    bool seen = false;
    // The new process may take a moment to show in the list.
    for (int i = 0; i < 40 && !seen; ++i) {
      seen = ops.FirebirdAtivo();
      if (!seen) run.process.Wait(25);
    }
    std::string names;
    for (const std::string& n : platform::ProcessNames()) names += n + " ";
    EXPECT_EQ(seen, c.counts) << c.name << ": " << names;
    run.process.Wait(-1);
  }
}

TEST_F(SystemOpsTest, CriaAtalhoWritesAndReplacesTheDesktopShortcut) {
  TempDir tmp;
#ifndef _WIN32
  // Keep the developer's own desktop out of it; Wine's prefix belongs to the build.
  setenv("XDG_DESKTOP_DIR", platform::HostPath(tmp / "Desktop").c_str(), 1);
#endif
  const std::string desktop = platform::DesktopFolder();
  ASSERT_FALSE(desktop.empty()) << "no desktop folder on this machine";
  platform::ForceDirectories(desktop);
  const std::string file = platform::ShortcutFileName(desktop, "Quenda Teste");
  const std::string first = tmp / "old\\estoque.exe";
  const std::string second = tmp / "Berfon\\estoque.exe";
  ops.CriaAtalho(first, "", tmp / "old", "Quenda Teste");
  ops.CriaAtalho(second, "", tmp / "Berfon", "Quenda Teste");
  const auto link = platform::ReadShortcut(file);
  ASSERT_TRUE(link.has_value()) << file;
  EXPECT_EQ(link->target, platform::HostPath(second));
  EXPECT_EQ(link->working_directory, platform::HostPath(tmp / "Berfon"));
  EXPECT_EQ(link->arguments, "");
  EXPECT_TRUE(platform::RemoveFile(file));
}

TEST_F(SystemOpsTest, ForceDirectoriesFromABareDriveRoot) {
  TempDir tmp;
  EXPECT_TRUE(ops.ForceDirectories(tmp / "a\\b\\c\\"));
  EXPECT_TRUE(ops.DirectoryExists(tmp / "a\\b\\c"));
  EXPECT_TRUE(ops.DirectoryExists(tmp / "a\\b"));
  EXPECT_FALSE(ops.DirectoryExists(tmp / "a\\x"));
}

}  // namespace
}  // namespace vlt
