// veltra-fetch over https against the TLS peers (native build).
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/files.h"
#include "platform/process.h"
#include "tests/download/fetch_tool.h"
#include "tests/support/fixture_settings.h"
#include "tests/support/temp_dir.h"

namespace vlt {
namespace {

TEST(VeltraFetchTls, TrustsTheSystemOrTheCaFileItIsGiven) {
  auto tls = test::FixtureSettings("VLT_TLS");
  ASSERT_TRUE(tls.count("good")) << "no TLS peers: run through ctest (fixture tls_servers)";
  test::TempDir tmp;
  const std::filesystem::path host = platform::HostPath(tmp / "");
  const auto run = [&](const std::string& args) { return test::RunFetchTool(host, args); };
  const std::string url = "https://localhost:" + tls["good"] + "/small.bin";

  auto [rc, err] = run("--cacert '" + tls["ca"] + "' -o a.bin " + url);
  EXPECT_EQ(rc, 0) << err;
  EXPECT_EQ(test::ReadFile(tmp / "a.bin").size(), 81920u);

  std::tie(rc, err) = run("-o b.bin " + url);
  EXPECT_EQ(rc, 1);
  EXPECT_EQ(err, "veltra-fetch: " + url +
                     ": the certificate of localhost is not trusted: its issuer is unknown "
                     "(10091)\n");
  EXPECT_FALSE(platform::FileExists(tmp / "b.bin"));

  std::tie(rc, err) = run("--cacert '" + tls["ca"] +
                          "' -o c.bin https://localhost:" + tls["expired"] + "/small.bin");
  EXPECT_EQ(rc, 1);
  EXPECT_NE(err.find("the certificate of localhost has expired"), std::string::npos) << err;
}

}  // namespace
}  // namespace vlt
