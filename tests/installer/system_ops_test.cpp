#include "installer/system_ops.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "platform/clock.h"
#include "platform/exception.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/shell.h"
#include "tests/support/box_dismisser.h"
#include "tests/support/temp_dir.h"

namespace vlt {
namespace {

using test::TempDir;

class SystemOpsTest : public ::testing::Test {
 protected:
  platform::ComSession com;
  PlatformSystemOps ops;
  int pumps = 0;
  std::function<void()> on_pump;
  // What the installation does between slices of a wait: let its window in.
  std::function<void()> pump = [this] {
    ++pumps;
    if (on_pump) on_pump();
  };
};

TEST(SystemOpsTextTest, MessageTrimmingAndServerDetection) {
  EXPECT_EQ(TrimSystemMessage("The system cannot find the file specified.\r\n"),
            "The system cannot find the file specified");
  EXPECT_EQ(TrimSystemMessage("..  .\t"), "");
  EXPECT_EQ(SystemReasonFor("Bad EXE format for %1.\r\n", "C:\\a/../b\\setup.exe"),
            "Bad EXE format for setup.exe");
  EXPECT_EQ(SystemReasonFor("%1 %1 is %1x", "%1.exe"), "%1.exe %1.exe is %1.exex");

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

// Arguments that make the sleeper run until `release` exists, then write `marker`.
std::string UntilReleased(const std::string& release, const std::string& marker = {}) {
  std::string text = "until \"" + platform::HostPath(release) + "\"";
  if (!marker.empty()) text += " \"" + platform::HostPath(marker) + "\"";
  return text;
}

TEST_F(SystemOpsTest, ExecutaEAguardaWaitsInFiftyMillisecondSlicesPumpingBetween) {
  TempDir tmp;
  platform::ManualClock clock;
  platform::ScopedClock scoped(clock);
  const std::string release = tmp / "release", marker = tmp / "marker.txt";
  // The program runs for a minute of the clock; then the test lets it end.
  on_pump = [&] {
    if (clock.TickMs() >= 60000 && !platform::FileExists(release)) test::WriteFile(release, "");
  };
  EXPECT_EQ(
      ops.ExecutaEAguarda(test::HelperProgram("vlt_sleeper"), UntilReleased(release, marker), pump),
      0);
  EXPECT_TRUE(platform::FileExists(marker));  // it returned only once the program had ended
  EXPECT_GE(clock.SleptMs(), 60000u);
  // Every pause was one 50 ms slice, and the window was pumped after each slice that ended
  // with the program still running.
  EXPECT_EQ(clock.SleptMs(), 50u * static_cast<unsigned>(clock.Sleeps()));
  EXPECT_GE(pumps, 1200);
  EXPECT_GE(pumps, clock.Sleeps() - 1);
  EXPECT_LE(pumps, clock.Sleeps());
}

TEST_F(SystemOpsTest, ExecutaEAguardaReallyWaitsForTheProgram) {
  TempDir tmp;
  const std::string marker = tmp / "marker.txt";
  ops.ExecutaEAguarda(test::HelperProgram("vlt_sleeper"),
                      "300 \"" + platform::HostPath(marker) + "\"", pump);
  // The program has ended (it wrote its marker just before exiting) ...
  EXPECT_TRUE(platform::FileExists(marker));
  // ... and the window was pumped between the waits meanwhile.
  EXPECT_GE(pumps, 2);
  // How it ended is told: a setup or an updater that failed is not taken for one that worked.
  EXPECT_EQ(ops.ExecutaEAguarda(test::HelperProgram("vlt_sleeper"), "exit 7", pump), 7);
}

// A program that cannot start ends the caller with one message naming the program and the
// system's reason: no box of the shell's own, and never "Success".
TEST_F(SystemOpsTest, ExecutaEAguardaReportsAProgramThatCannotStart) {
  TempDir tmp;
  test::BoxDismisser shell_box;
  const std::string program = tmp / "nao-existe.exe";
  try {
    ops.ExecutaEAguarda(program, "", pump);
    FAIL() << "no error";
  } catch (const Exception& e) {
    const std::string text = e.what();
    EXPECT_TRUE(text.starts_with("Não foi possível iniciar o programa \"" +
                                 platform::NormalizePath(program) + "\".\r"))
        << text;
    const std::string reason = text.substr(text.find('\r') + 1);
    EXPECT_GT(reason.size(), 4u) << text;
    EXPECT_EQ(reason.find("Success"), std::string::npos) << text;
    EXPECT_EQ(reason.find("(0)"), std::string::npos) << text;
  }
  EXPECT_EQ(shell_box.Dismissed(), 0) << "the shell showed a box of its own";
  EXPECT_EQ(pumps, 0);
}

TEST_F(SystemOpsTest, FirebirdAtivoSeesOnlyALowerCaseServerProcess) {
  TempDir tmp;
  namespace fs = std::filesystem;
  const std::string sleeper = test::HelperProgram("vlt_sleeper");
  const struct {
    const char* name;
    bool counts;
  } cases[] = {{"fbserver.exe", true}, {"FBSERVER.EXE", false}};
  // The check reads the machine's real process list: a server (or a stand-in another run left
  // going) already there answers for every case.
  if (ops.FirebirdAtivo()) GTEST_SKIP() << "a Firebird server process is already running here";
  for (const auto& c : cases) {
    // One directory each: on Windows "FBSERVER.EXE" would otherwise reuse "fbserver.exe".
    const std::string dir = tmp / (c.counts ? "lower" : "upper");
    platform::ForceDirectories(dir);
    const std::string copy = dir + "\\" + c.name;
    fs::copy_file(fs::u8path(platform::HostPath(sleeper)), fs::u8path(platform::HostPath(copy)),
                  fs::copy_options::overwrite_existing);
    fs::permissions(fs::u8path(platform::HostPath(copy)), fs::perms::owner_exec,
                    fs::perm_options::add);
    const std::string release = dir + "\\release";
    platform::StartResult run = platform::ShellStart(copy, UntilReleased(release));
    ASSERT_TRUE(run.started) << run.error_text;
    // The new process may take a moment to show in the list; once it does, the check decides.
    std::string names;
    for (int i = 0; i < 100 && names.find(c.name) == std::string::npos; ++i) {
      run.process.Wait(20);
      names.clear();
      for (const std::string& n : platform::ProcessNames()) names += n + " ";
    }
    ASSERT_NE(names.find(c.name), std::string::npos) << names;
    EXPECT_EQ(ops.FirebirdAtivo(), c.counts) << c.name << ": " << names;
    test::WriteFile(release, "");
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
