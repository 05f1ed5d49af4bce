// veltra-fetch end to end against the fixture's nginx (native build).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/files.h"
#include "platform/process.h"
#include "tests/download/download_helpers.h"
#include "tests/support/temp_dir.h"

namespace vlt {
namespace {

namespace fs = std::filesystem;

std::string NginxPort() {
  const char* path = std::getenv("VLT_NGINX");
  std::ifstream in(path != nullptr ? path : "");
  for (std::string line; std::getline(in, line);)
    if (line.starts_with("http=")) return line.substr(5);
  return {};
}

TEST(VeltraFetch, FetchesResumesAndReportsFailuresInOneLine) {
  const std::string port = NginxPort();
  ASSERT_FALSE(port.empty()) << "no nginx: run through ctest (fixture download_nginx)";
  test::TempDir tmp;
  const fs::path host = platform::HostPath(tmp / "");
  const std::string tool = platform::ExecutableDirectory() + "/../tools/veltra-fetch";
  const auto run = [&](const std::string& args) {
    const std::string cmd = "cd '" + host.string() + "' && '" + tool + "' " + args + " 2>err.txt";
    const int status = std::system(cmd.c_str());
    std::ifstream err(host / "err.txt");
    return std::make_pair(WEXITSTATUS(status),
                          std::string(std::istreambuf_iterator<char>(err), {}));
  };
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

}  // namespace
}  // namespace vlt
