#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/files.h"
#include "platform/process.h"
#include "tests/support/temp_dir.h"

namespace vlt {
namespace {

namespace fs = std::filesystem;

class FtpListToolTest : public ::testing::Test {
 protected:
  // Runs the tool on `listing`; its exit status and stdout.
  std::pair<int, std::string> Run(const std::string& arguments, const std::string& listing) {
    test::WriteFile(tmp_ / "listing.txt", listing);
    const std::string cmd = "'" + tool_ + "' " + arguments + " <'" +
                            (host_ / "listing.txt").string() + "' >'" +
                            (host_ / "out.txt").string() + "' 2>/dev/null";
    const int rc = std::system(cmd.c_str());
    std::ifstream out(host_ / "out.txt", std::ios::binary);
    return {WEXITSTATUS(rc), std::string(std::istreambuf_iterator<char>(out), {})};
  }

  test::TempDir tmp_;
  const fs::path host_ = fs::path(platform::HostPath(tmp_ / ""));
  const std::string tool_ = platform::ExecutableDirectory() + "/../tools/veltra-ftplist";
};

TEST_F(FtpListToolTest, PrintsOneRowPerEntryThenTheUnparsedLines) {
  const std::string listing =
      "total 3\r\n"
      "drwxr-xr-x   2 user group     4096 Dec 11 09:00 docs\r\n"
      "-rw-r--r--   1 user group      280 Mar  5  2003 caf\xE9.txt\r\n"
      "+m1000000000,r,s1234,\treadme.txt\r\n"
      "drwxr-xr-x   2 user group     4096 Jan 12 14:30 .\r\n";
  const std::string mask = "pppppppppp $!!!S*$TTT$DD$UUUUU$n*";
  const auto [rc, out] = Run("--now '2026-12-10 16:20:00'", listing);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(out, "docs\t1\t0\t4096\t2025-12-11 09:00:00\tdrwxr-xr-x\t" + mask +
                     "\tdrwxr-xr-x   2 user group     4096 Dec 11 09:00 docs\n"
                     "caf\xC3\xA9.txt\t0\t1\t280\t2003-03-05 00:00:00\t-rw-r--r--\t" +
                     mask +
                     "\t-rw-r--r--   1 user group      280 Mar  5  2003 caf\xC3\xA9.txt\n"
                     "readme.txt\t0\t1\t1234\t2001-09-09 01:46:40\t\tEPLF\t"
                     "+m1000000000,r,s1234,\treadme.txt\n"
                     "UNPARSED\ttotal 3\n");
  // A later "now" moves the year of the undated line.
  EXPECT_EQ(Run("--now '2026-12-11 09:00:00'", listing).second.substr(0, 34),
            "docs\t1\t0\t4096\t2026-12-11 09:00:00\t");
}

TEST_F(FtpListToolTest, RefusesBadUsage) {
  for (const char* args : {"--now '2026-13-01 00:00:00'", "--now '2026-02-29 00:00:00'",
                           "--now 2026-12-10", "--now", "-x"})
    EXPECT_EQ(Run(args, "total 0\n").first, 2) << args;
}

}  // namespace
}  // namespace vlt
