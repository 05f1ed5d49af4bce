// veltra-fetch with ftp:// URLs end to end against the fixture's FTP server (native build).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "platform/files.h"
#include "platform/process.h"
#include "tests/download/download_helpers.h"
#include "tests/download/fetch_tool.h"
#include "tests/support/fixture_settings.h"
#include "tests/support/temp_dir.h"

namespace vlt {
namespace {

namespace fs = std::filesystem;

TEST(VeltraFetchFtp, FetchesResumesAndReportsFailuresInOneLine) {
  std::map<std::string, std::string> ftp = test::FixtureSettings("VLT_FTP");
  ASSERT_TRUE(ftp.count("ftp")) << "no FTP server: run through ctest (fixture ftp_server)";
  test::TempDir tmp;
  const fs::path host = platform::HostPath(tmp / "");
  const auto run = [&](const std::string& args) { return test::RunFetchTool(host, args); };
  const std::string server = "127.0.0.1:" + ftp["ftp"];

  auto [rc, err] = run("ftp://" + server + "/a.zip");  // anonymous
  EXPECT_EQ(rc, 0) << err;
  EXPECT_TRUE(test::SameBytes(test::ReadFile(tmp / "a.zip"), test::Pattern(300000)));

  fs::create_directories(host / "out");
  test::WriteFile(tmp / "out\\a.zip.part", test::Pattern(123456));
  std::tie(rc, err) = run("-o '" + (host / "out" / "a.zip").string() + "' ftp://veltra:%73egredo@" +
                          server + "/a.zip");
  EXPECT_EQ(rc, 0) << err;
  EXPECT_TRUE(test::SameBytes(test::ReadFile(tmp / "out\\a.zip"), test::Pattern(300000)));

  const std::string missing = "ftp://" + server + "/missing.zip";
  std::tie(rc, err) = run(missing);
  EXPECT_EQ(rc, 1);
  EXPECT_TRUE(err.starts_with("veltra-fetch: " + missing + ": RETR: 550 ")) << err;

  const std::string refused = "ftp://veltra:wrong@" + server + "/a.zip";
  std::tie(rc, err) = run(refused);
  EXPECT_EQ(rc, 1);
  EXPECT_TRUE(err.starts_with("veltra-fetch: " + refused +
                              ": Não foi possível efetuar o login! Motivo: PASS: 530"))
      << err;

  // A user that decodes to three commands, the last a DELE, logs nothing in and deletes
  // nothing: the command is refused before a byte of it is sent.
  const fs::path victim = fs::path(ftp["root"]) / "up" / "victim.txt";
  std::ofstream(victim) << "keep me";
  const std::string injected =
      "ftp://veltra%0d%0aPASS%20segredo%0d%0aDELE%20%2fup%2fvictim.txt@" + server + "/a.zip";
  std::tie(rc, err) = run("'" + injected + "'");
  EXPECT_EQ(rc, 1);
  EXPECT_EQ(err, "veltra-fetch: " + injected +
                     ": Não foi possível efetuar o login! Motivo: USER: refused, the command holds "
                     "a CR, LF or NUL byte\n");
  EXPECT_TRUE(fs::exists(victim));
  fs::remove(victim);

  std::tie(rc, err) = run("-o b.zip ftp://" + server + "/a.zip");
  EXPECT_EQ(rc, 2);
  EXPECT_FALSE(platform::FileExists(tmp / "b.zip"));
}

}  // namespace
}  // namespace vlt
