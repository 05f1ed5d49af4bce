// veltra-fetch end to end against the fixture's nginx (native build).
#include <gtest/gtest.h>

#include <filesystem>

#include "net/sha256.h"
#include "platform/files.h"
#include "platform/process.h"
#include "tests/download/download_helpers.h"
#include "tests/download/fetch_tool.h"
#include "tests/support/fixture_settings.h"
#include "tests/support/temp_dir.h"

namespace vlt {
namespace {

namespace fs = std::filesystem;

TEST(VeltraFetch, FetchesResumesAndReportsFailuresInOneLine) {
  const std::string port = test::FixtureSettings("VLT_NGINX")["http"];
  ASSERT_FALSE(port.empty()) << "no nginx: run through ctest (fixture download_nginx)";
  test::TempDir tmp;
  const fs::path host = platform::HostPath(tmp / "");
  const auto run = [&](const std::string& args) { return test::RunFetchTool(host, args); };
  const std::string url = "http://127.0.0.1:" + port;

  auto [rc, err] = run(url + "/a.zip");
  EXPECT_EQ(rc, 0) << err;
  EXPECT_EQ(err, "") << "no progress line when stderr is not a terminal";
  EXPECT_TRUE(test::SameBytes(test::ReadFile(tmp / "a.zip"), test::Pattern(300000)));

  fs::create_directories(host / "out");
  test::WriteFile(tmp / "out\\b.zip.part", test::Pattern(123456));
  std::tie(rc, err) = run("-o '" + (host / "out" / "b.zip").string() + "' " + url + "/a.zip");
  EXPECT_EQ(rc, 0) << err;
  EXPECT_TRUE(test::SameBytes(test::ReadFile(tmp / "out\\b.zip"), test::Pattern(300000)));

  std::tie(rc, err) = run(url + "/missing.zip");
  EXPECT_EQ(rc, 1);
  EXPECT_EQ(err, "veltra-fetch: " + url + "/missing.zip: the server answered 404 Not Found\n");
  EXPECT_FALSE(platform::FileExists(tmp / "missing.zip"));

  std::tie(rc, err) = run("-o");
  EXPECT_EQ(rc, 2);
}

TEST(VeltraFetch, Sha256ChecksTheFileBeforeItTakesItsName) {
  const std::string port = test::FixtureSettings("VLT_NGINX")["http"];
  ASSERT_FALSE(port.empty()) << "no nginx: run through ctest (fixture download_nginx)";
  test::TempDir tmp;
  const fs::path host = platform::HostPath(tmp / "");
  const auto run = [&](const std::string& args) { return test::RunFetchTool(host, args); };
  const std::string url = "http://127.0.0.1:" + port + "/a.zip";
  const std::string good = net::Sha256Hex(test::Pattern(300000));
  const std::string bad = net::Sha256Hex("not the package");

  auto [rc, err] = run("--sha256 " + good + " -o good.zip " + url);
  EXPECT_EQ(rc, 0) << err;
  EXPECT_TRUE(test::SameBytes(test::ReadFile(tmp / "good.zip"), test::Pattern(300000)));

  std::tie(rc, err) = run("--sha256 " + bad + " -o bad.zip " + url);
  EXPECT_EQ(rc, 1);
  EXPECT_EQ(err, "veltra-fetch: " + url + ": the file's SHA-256 is " + good +
                     ", not the expected " + bad + "\n");
  EXPECT_FALSE(platform::FileExists(tmp / "bad.zip"));
  EXPECT_FALSE(platform::FileExists(tmp / "bad.zip.part"));

  std::tie(rc, err) = run("--sha256 1234 " + url);
  EXPECT_EQ(rc, 2);
  EXPECT_FALSE(platform::FileExists(tmp / "a.zip.part"));
}

}  // namespace
}  // namespace vlt
