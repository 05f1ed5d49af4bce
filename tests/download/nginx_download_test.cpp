// The download component against a real nginx on loopback, started by the ctest fixture
// tests/download/nginx.py, which names its port and its access log in the file given by
// VLT_NGINX. The served a.zip holds Pattern(300000).
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>

#include "download/http_download.h"
#include "download/vlt_download.h"
#include "net/sha256.h"
#include "platform/files.h"
#include "tests/download/download_helpers.h"
#include "tests/support/fixture_settings.h"
#include "tests/support/temp_dir.h"

namespace vlt::download {
namespace {

constexpr std::int64_t kSize = 300000;

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
  std::map<std::string, std::string> nginx = test::FixtureSettings("VLT_NGINX");
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
  // A partial file of a.zip as an interrupted run leaves it: its bytes and, beside them, the
  // validator of nginx's reply (its ETag, taken from a fetch of its own).
  void WritePartial(const std::string& name, const std::string& bytes) {
    TVltDownload probe;
    probe.SetProtocolo(protHTTP);
    probe.SetDownloadDest(tmp.path());
    probe.SetDownloadNomeArq("etag.probe");
    probe.SetDownloadUrl("http://127.0.0.1:" + nginx["http"] + "/a.zip?etag");
    probe.StartDownload();
    const auto etag =
        dynamic_cast<TVltHTTPDownload&>(probe.Engine()).HTTPClient().HeaderValue("ETag");
    ASSERT_TRUE(etag.has_value());
    platform::RemoveFile(tmp / "etag.probe");
    test::WriteFile(tmp / name, bytes);
    test::WriteValidator(tmp / name, *etag, kSize);
  }
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
  WritePartial("a.zip.part", test::Pattern(5000));
  Fetch("/a.zip?resume");
  EXPECT_TRUE(test::SameBytes(Read("a.zip"), test::Pattern(kSize)));
  EXPECT_EQ(d.Engine().ResultCode(), 206);
  EXPECT_EQ(log.last_to, kSize);
  EXPECT_EQ(LogLineFor(nginx["log"], "/a.zip?resume"), "/a.zip?resume 206 \"bytes=5000-\"");
}

// nginx answers an If-Range that is not its ETag with the whole file, which replaces what the
// partial file held.
TEST_F(NginxDownloadTest, PartialFileOfAnotherVersionStartsOver) {
  test::WriteFile(tmp / "a.zip.part", test::Pattern(5000, 17));
  test::WriteValidator(tmp / "a.zip.part", "\"another-version\"", kSize);
  Fetch("/a.zip?other-version");
  EXPECT_TRUE(test::SameBytes(Read("a.zip"), test::Pattern(kSize)));
  EXPECT_EQ(d.Engine().ResultCode(), 200);
  EXPECT_EQ(LogLineFor(nginx["log"], "/a.zip?other-version"),
            "/a.zip?other-version 200 \"bytes=5000-\"");
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
  EXPECT_FALSE(Exists("missing.zip.part"));
  EXPECT_EQ(d.Engine().ResultCode(), 404);
  EXPECT_EQ(d.Engine().FailureText(), "the server answered 404 Not Found");
}

// With an expected digest the whole file is checked before it takes its name, the bytes an
// earlier run left in the partial file included; a file that fails is deleted and never
// replaces the final file that was there. A resumed file that fails is fetched once more from
// the start, which mends a partial file spoilt by other bytes.
TEST_F(NginxDownloadTest, OnlyAFileWithTheExpectedDigestTakesItsName) {
  const std::string good = test::Pattern(kSize);
  std::string flipped = good;
  flipped[kSize / 2] ^= 1;
  const std::string digest = net::Sha256Hex(good);
  std::string upper = digest;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const struct {
    const char* name;
    std::string part;      // the partial file before the start; "-" for none
    std::string expected;  // the digest set
    bool finished;
  } cases[] = {
      {"fresh", "-", digest, true},
      {"upper-case digest", "-", upper, true},
      {"resumed", good.substr(0, 5000), digest, true},
      {"another file's digest", "-", net::Sha256Hex("other"), false},
      {"tampered prefix resumed, then fetched anew", std::string("X").append(good, 1, 4999), digest,
       true},
      {"tampered whole partial file, then fetched anew", flipped, digest, true},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string name = std::string("c").append(std::to_string(++n)).append(".zip");
    d.SetDownloadNomeArq(name);
    test::WriteFile(tmp / name, "the previous package");
    if (c.part != "-") WritePartial(name + ".part", c.part);
    d.SetExpectedSha256(c.expected);
    Fetch(std::string("/a.zip?").append(name));
    EXPECT_EQ(d.Engine().Finished(), c.finished) << d.Engine().FailureText();
    EXPECT_EQ(d.Engine().DigestMismatch(), !c.finished);
    EXPECT_EQ(d.Falha().Tipo, c.finished ? ftNenhuma : ftSoma);
    EXPECT_FALSE(Exists(name + ".part"));
    if (c.finished) {
      EXPECT_TRUE(test::SameBytes(Read(name), good));
      EXPECT_EQ(d.Engine().ReceivedSha256(), digest);
    } else {
      EXPECT_EQ(Read(name), "the previous package");
      EXPECT_EQ(d.Engine().FailureText(), std::string("the file's SHA-256 is ")
                                              .append(d.Engine().ReceivedSha256())
                                              .append(", not the expected ")
                                              .append(c.expected));
    }
  }
}

TEST_F(NginxDownloadTest, AMalformedDigestIsRefusedBeforeAnyRequest) {
  d.SetExpectedSha256("abc");
  try {
    Fetch("/a.zip?malformed-digest");
    ADD_FAILURE() << "no error";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "O SHA-256 esperado não é válido: abc");
  }
  EXPECT_EQ(LogLineFor(nginx["log"], "/a.zip?malformed-digest"), "");
  EXPECT_FALSE(Exists("a.zip.part"));
}

}  // namespace
}  // namespace vlt::download
