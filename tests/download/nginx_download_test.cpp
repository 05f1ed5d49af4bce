// The download component against a real nginx on loopback, started by the ctest fixture
// tests/download/nginx.py, which names its port and its access log in the file given by
// VLT_NGINX. The served a.zip holds Pattern(300000).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>

#include "download/vlt_download.h"
#include "platform/files.h"
#include "tests/download/download_helpers.h"
#include "tests/support/temp_dir.h"

namespace vlt::download {
namespace {

constexpr std::int64_t kSize = 300000;

std::map<std::string, std::string> NginxSettings() {
  std::map<std::string, std::string> settings;
  const char* path = std::getenv("VLT_NGINX");
  if (path == nullptr) return settings;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) settings[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return settings;
}

// What nginx logged for one request target (tests may run side by side: each asks for its own
// target): the target, the status and the Range header it was given.
std::string LogLineFor(const std::string& path, const std::string& target) {
  std::ifstream in(path);
  std::string line, found;
  while (std::getline(in, line))
    if (line.starts_with(target + " ")) found = line;
  return found;
}

class NginxDownloadTest : public ::testing::Test {
 protected:
  std::map<std::string, std::string> nginx = NginxSettings();
  test::TempDir tmp;
  TVltDownload d;
  test::EventLog log{d};

  void SetUp() override {
    ASSERT_TRUE(nginx.count("http"))
        << "no nginx: run through ctest (fixture download_nginx) or start it with "
           "tests/download/nginx.py start DIR and set VLT_NGINX=DIR/ports";
    d.SetProtocolo(protHTTP);
    d.SetDownloadDest(tmp.path());
    d.SetDownloadNomeArq("a.zip");
  }
  void Fetch(const std::string& path) {
    d.SetDownloadUrl("http://127.0.0.1:" + nginx["http"] + path);
    d.StartDownload();
  }
  bool Exists(const std::string& name) const { return platform::FileExists(tmp / name); }
  std::string Read(const std::string& name) const { return test::ReadFile(tmp / name); }
};

TEST_F(NginxDownloadTest, WholeFileThroughThePartialFile) {
  bool part_seen = false;
  d.SetOnBeforeDownload([&](TVltDownloadClass*) { part_seen = Exists("a.zip.part"); });
  Fetch("/a.zip?whole");
  EXPECT_TRUE(part_seen);
  EXPECT_TRUE(test::SameBytes(Read("a.zip"), test::Pattern(kSize)));
  EXPECT_FALSE(Exists("a.zip.part"));
  EXPECT_EQ(log.last_to, kSize);
  EXPECT_EQ(log.last_down, kSize);
  EXPECT_EQ(LogLineFor(nginx["log"], "/a.zip?whole"), "/a.zip?whole 200 \"-\"");
}

TEST_F(NginxDownloadTest, PartialFileOf5000BytesIsResumed) {
  test::WriteFile(tmp / "a.zip.part", test::Pattern(5000));
  Fetch("/a.zip?resume");
  EXPECT_TRUE(test::SameBytes(Read("a.zip"), test::Pattern(kSize)));
  EXPECT_EQ(d.Engine().ResultCode(), 206);
  EXPECT_EQ(log.last_to, kSize);
  EXPECT_EQ(LogLineFor(nginx["log"], "/a.zip?resume"), "/a.zip?resume 206 \"bytes=5000-\"");
}

TEST_F(NginxDownloadTest, OlderFinalFileIsReplaced) {
  test::WriteFile(tmp / "a.zip", "the previous package");
  Fetch("/a.zip");
  EXPECT_TRUE(test::SameBytes(Read("a.zip"), test::Pattern(kSize)));
}

TEST_F(NginxDownloadTest, NotFoundLeavesNoFinalFileAndNoErrorPage) {
  d.SetDownloadNomeArq("missing.zip");
  Fetch("/missing.zip");
  EXPECT_FALSE(Exists("missing.zip"));
  EXPECT_EQ(Read("missing.zip.part"), "");
  EXPECT_EQ(d.Engine().ResultCode(), 404);
  EXPECT_EQ(d.Engine().FailureText(), "the server answered 404 Not Found");
}

}  // namespace
}  // namespace vlt::download
