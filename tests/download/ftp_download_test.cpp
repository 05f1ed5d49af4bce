// The download component's FTP engine against a real FTP server on loopback (pyftpdlib, started
// by the ctest fixture tests/net/ftp_server.py, ports in the file named by VLT_FTP; /a.zip holds
// Pattern(300000)) and against the scriptable server for exact command sequences and the
// replies a real server does not give on demand.
#include "download/ftp_download.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "download/vlt_download.h"
#include "platform/files.h"
#include "platform/sockets.h"
#include "tests/download/download_helpers.h"
#include "tests/net/script_server.h"
#include "tests/support/fixture_settings.h"
#include "tests/support/temp_dir.h"

namespace vlt::download {
namespace {

using test::Close;
using test::RecvUntil;
using test::ScriptServer;
using test::Send;
using test::Step;

constexpr std::int64_t kSize = 300000;

class FTPDownloadTest : public ::testing::Test {
 protected:
  test::TempDir tmp;
  TVltDownload d;
  test::EventLog log{d};

  void SetUp() override {
    d.SetProtocolo(protFTP);
    d.SetDownloadDest(tmp.path());
    d.FTP().FtpHost = "127.0.0.1";
    d.FTP().FtpTimeout = 10000;
  }
  // The URL names another host and port: only its path counts.
  void Fetch(const std::string& path) {
    d.SetDownloadUrl("ftp://ftp.invalid:1" + path);
    d.StartDownload();
  }
  std::string Error(const std::string& path) {
    try {
      Fetch(path);
    } catch (const Exception& e) {
      return e.what();
    }
    return "no error";
  }
  bool Exists(const std::string& name) const { return platform::FileExists(tmp / name); }
  std::string Read(const std::string& name) const { return test::ReadFile(tmp / name); }
};

// Against the real server.
class FTPServerDownloadTest : public FTPDownloadTest {
 protected:
  std::map<std::string, std::string> ftp = test::FixtureSettings("VLT_FTP");
  void SetUp() override {
    FTPDownloadTest::SetUp();
    ASSERT_TRUE(ftp.count("ftp")) << "no FTP server: run through ctest (fixture ftp_server) or "
                                     "start it with tests/net/ftp_server.py start DIR and set "
                                     "VLT_FTP=DIR/ports";
    d.FTP().FtpPort = ftp["ftp"];
    d.FTP().FtpUser = "veltra";
    d.FTP().FtpPass = "segredo";
  }
  // The commands the server logged, in order, from the given one on ("REST 12345", ...).
  bool Logged(const std::string& command) {
    std::ifstream in(ftp["log"]);
    for (std::string line; std::getline(in, line);)
      if (line.ends_with("<- " + command)) return true;
    return false;
  }
};

TEST_F(FTPServerDownloadTest, WholeFileThroughThePartialFile) {
  bool part_seen = false;
  d.SetOnBeforeDownload([&](TVltDownloadClass*) {
    part_seen = Exists("a.zip.part");
    log.events.push_back("before");
  });
  d.SetDownloadNomeArq("ignored.bin");  // the engine takes the name from the URL
  Fetch("/a.zip");
  EXPECT_TRUE(part_seen);
  EXPECT_TRUE(test::SameBytes(Read("a.zip"), test::Pattern(kSize)));
  EXPECT_FALSE(Exists("a.zip.part"));
  EXPECT_TRUE(d.Engine().Finished()) << d.Engine().FailureText();
  EXPECT_EQ(d.Engine().FilePart(), tmp / "a.zip.part");
  EXPECT_EQ(log.last_to, kSize);
  EXPECT_EQ(log.last_down, kSize);
  // Connect, the size known at the first block, the close at the end of the data and the one
  // after the final reply; the close after PASV is not reported.
  const std::string j = log.Joined();
  EXPECT_TRUE(j.starts_with("before | connect | readcount 300000 ")) << j;
  EXPECT_TRUE(j.ends_with("close 300000 300000 | close 300000 300000 | after")) << j;
}

TEST_F(FTPServerDownloadTest, PartialFileIsResumedFromItsSize) {
  test::WriteFile(tmp / "a.zip.part", test::Pattern(12345));
  Fetch("/a.zip");
  EXPECT_TRUE(test::SameBytes(Read("a.zip"), test::Pattern(kSize)));
  EXPECT_TRUE(Logged("REST 12345"));
  EXPECT_EQ(log.last_to, kSize);
}

TEST_F(FTPServerDownloadTest, PausedDownloadResumesAndStoppedOneIsDeleted) {
  log.on_monitor = [](TVltDownload& dl) { dl.SetDownloadStatus(stPause); };
  Fetch("/a.zip");
  EXPECT_FALSE(Exists("a.zip"));
  ASSERT_TRUE(Exists("a.zip.part"));
  const std::string part = Read("a.zip.part");
  EXPECT_LT(static_cast<std::int64_t>(part.size()), kSize);
  EXPECT_TRUE(test::SameBytes(part, test::Pattern(static_cast<std::int64_t>(part.size()))));
  EXPECT_EQ(d.Engine().FailureText(), "paused");

  log.on_monitor = nullptr;
  d.SetDownloadStatus(stNone);
  Fetch("/a.zip");
  EXPECT_TRUE(test::SameBytes(Read("a.zip"), test::Pattern(kSize)));

  log.on_monitor = [](TVltDownload& dl) { dl.SetDownloadStatus(stStop); };
  d.SetDownloadStatus(stNone);
  platform::RemoveFile(tmp / "a.zip");
  Fetch("/a.zip");
  EXPECT_FALSE(Exists("a.zip.part"));
  EXPECT_FALSE(Exists("a.zip"));
}

TEST_F(FTPServerDownloadTest, RefusalsAndMissingFiles) {
  EXPECT_EQ(Error("/pub/"), "File To Save not found");
  EXPECT_EQ(Error("/missing.zip"), "no error");
  EXPECT_FALSE(Exists("missing.zip"));
  EXPECT_FALSE(Exists("missing.zip.part"));
  EXPECT_EQ(d.Falha().Tipo, ftServidor);
  EXPECT_EQ(d.Falha().Codigo, 550);
  EXPECT_EQ(d.Engine().FailureText().substr(0, 9), "RETR: 550") << d.Engine().FailureText();
  // The operator's text comes first, then what the server or the connection said.
  d.FTP().FtpPass = "wrong";
  EXPECT_TRUE(Error("/a.zip").starts_with("Não foi possível efetuar o login!\rMotivo: PASS: 530"));
  EXPECT_EQ(d.Falha().Tipo, ftServidor);
  EXPECT_EQ(d.Falha().Codigo, 530);
  d.FTP().FtpPort = test::ClosedPort();
  const std::string refused = Error("/a.zip");
  EXPECT_TRUE(refused.starts_with("Não foi possível efetuar o login!\rMotivo: connecting to "))
      << refused;
  EXPECT_NE(refused.find("(10061)"), std::string::npos) << refused;
  EXPECT_EQ(d.Falha().Tipo, ftConexao);
  EXPECT_EQ(d.Falha().Codigo, 10061);
  EXPECT_FALSE(Exists("a.zip.part"));
}

// Against the scriptable server: a greeting and logon, then `rest` (the resume test), then
// what the case adds. A data server serves `data` on the port the PASV reply names.
struct Exchange {
  std::string command;  // empty: a reply that comes without a command
  std::string reply;
};

std::vector<Step> Script(const std::vector<Exchange>& exchanges, std::string& sent) {
  std::vector<Step> steps{Send("220 hi\r\n")};
  for (const Exchange& e : exchanges) {
    if (!e.command.empty()) {
      steps.push_back(RecvUntil("\r\n"));
      sent += e.command + "\r\n";
    }
    steps.push_back(Send(e.reply + "\r\n"));
  }
  steps.push_back(Close());
  return steps;
}

std::string Pasv(const ScriptServer& data) {
  const int port = std::stoi(data.Port());
  return "227 Entering Passive Mode (127,0,0,1," + std::to_string(port / 256) + "," +
         std::to_string(port % 256) + ")";
}

std::vector<Exchange> Logon(bool can_resume) {
  std::vector<Exchange> e = {{"USER u", "331 pw"},
                             {"PASS p", "230 in"},
                             {"TYPE I", "200 ok"},
                             {"STRU F", "200 ok"},
                             {"MODE S", "200 ok"}};
  if (can_resume)
    e.insert(e.end(), {{"REST 0", "350 ok"}, {"REST 1", "350 ok"}, {"REST 0", "350 ok"}});
  else
    e.push_back({"REST 0", "502 not implemented"});
  return e;
}

class ScriptedFTPDownloadTest : public FTPDownloadTest {
 protected:
  void SetUp() override {
    FTPDownloadTest::SetUp();
    d.FTP().FtpUser = "u";
    d.FTP().FtpPass = "p";
  }
  // Runs the download against the dialogue; answers what the client sent.
  std::string Run(const std::vector<Exchange>& exchanges, std::string* expected) {
    std::string sent;
    ScriptServer control(Script(exchanges, sent));
    d.FTP().FtpPort = control.Port();
    error = Error("/dir/a.zip");
    *expected = sent;
    return control.Received();
  }
  std::string error;
};

TEST_F(ScriptedFTPDownloadTest, FinalReplyDecidesWhetherTheFileIsFinished) {
  struct Case {
    const char* final_reply;
    bool finished;
    const char* failure;
  };
  const Case cases[] = {
      {"226 Transfer complete", true, ""},
      {"250 Requested file action okay", false,
       "the transfer ended with \"250 Requested file "
       "action okay\""},
      {"451 Local error", false, "the transfer: 451 Local error"},
  };
  for (const Case& c : cases) {
    platform::RemoveFile(tmp / "a.zip");
    platform::RemoveFile(tmp / "a.zip.part");
    ScriptServer data({Send("content"), Close()});
    std::vector<Exchange> e = Logon(true);
    e.insert(e.end(), {{"SIZE /dir/a.zip", "213 7"},
                       {"PASV", Pasv(data)},
                       {"TYPE I", "200 ok"},
                       {"RETR /dir/a.zip", "150 Opening"},
                       {"", c.final_reply},
                       {"QUIT", "221 bye"}});
    std::string expected;
    EXPECT_EQ(Run(e, &expected), expected) << c.final_reply;
    EXPECT_EQ(error, "no error");
    EXPECT_EQ(d.Engine().Finished(), c.finished) << c.final_reply;
    EXPECT_EQ(Exists("a.zip"), c.finished) << c.final_reply;
    EXPECT_EQ(Read(c.finished ? "a.zip" : "a.zip.part"), "content") << c.final_reply;
    EXPECT_EQ(d.Engine().FailureText(), c.failure) << c.final_reply;
  }
}

TEST_F(ScriptedFTPDownloadTest, LogoutFollowsAFailedLogin) {
  std::string expected;
  const std::string got = Run({{"USER u", "530 Not logged in"}, {"QUIT", "221 bye"}}, &expected);
  EXPECT_EQ(error, "Não foi possível efetuar o login!\rMotivo: USER: 530 Not logged in");
  EXPECT_EQ(got, expected);
  EXPECT_EQ(log.Joined(), "");  // no file, no events
}

TEST_F(ScriptedFTPDownloadTest, WithoutRestartsAPartialFileIsFetchedAgainWhole) {
  test::WriteFile(tmp / "a.zip.part", "stale bytes of an earlier attempt");
  ScriptServer data({Send("fresh"), Close()});
  std::vector<Exchange> e = Logon(false);
  e.insert(e.end(), {{"SIZE /dir/a.zip", "500 SIZE not understood"},
                     {"PASV", Pasv(data)},
                     {"TYPE I", "200 ok"},
                     {"RETR /dir/a.zip", "150 Opening"},
                     {"", "226 done"},
                     {"QUIT", "221 bye"}});
  std::string expected;
  EXPECT_EQ(Run(e, &expected), expected);
  EXPECT_EQ(error, "no error");
  EXPECT_EQ(Read("a.zip"), "fresh");
  // SIZE refused: the size to download is unknown (0), the transfer goes on.
  EXPECT_EQ(log.last_to, 0);
}

TEST_F(ScriptedFTPDownloadTest, RestRefusedAtTheTransferLeavesThePartialFile) {
  test::WriteFile(tmp / "a.zip.part", "1234");
  ScriptServer data({Close()});
  std::vector<Exchange> e = Logon(true);
  e.insert(e.end(), {{"SIZE /dir/a.zip", "213 10"},
                     {"PASV", Pasv(data)},
                     {"TYPE I", "200 ok"},
                     {"REST 4", "501 no"},
                     {"QUIT", "221 bye"}});
  std::string expected;
  EXPECT_EQ(Run(e, &expected), expected);
  EXPECT_EQ(Read("a.zip.part"), "1234");
  EXPECT_FALSE(Exists("a.zip"));
  EXPECT_EQ(d.Engine().FailureText(), "REST: 501 no");
}

// Without SIZE only the end of the data stream tells a whole file: a reset cuts it, even when
// the server then reports success.
TEST_F(ScriptedFTPDownloadTest, AResetDataConnectionLeavesThePartialFileUnfinished) {
  if (platform::ResetsReadAsEnd())
    GTEST_SKIP() << "this system's sockets report a reset that has arrived as an orderly end";
  // The data comes once RETR went out, so that the reset cannot race the connect.
  ScriptServer data({test::WaitSignal(), Send("conte"), test::Reset()});
  d.SetOnBeforeDownload([&](TVltDownloadClass* engine) {
    static_cast<TVltFTPDownload*>(engine)->FTPClient().OnStatus =
        [&](net::TFTPClient*, bool response, const std::string& v) {
          if (!response && v.starts_with("RETR")) data.Signal();
        };
  });
  std::vector<Exchange> e = Logon(true);
  e.insert(e.end(), {{"SIZE /dir/a.zip", "500 SIZE not understood"},
                     {"PASV", Pasv(data)},
                     {"TYPE I", "200 ok"},
                     {"RETR /dir/a.zip", "150 Opening"},
                     {"", "226 Transfer complete"},
                     {"QUIT", "221 bye"}});
  std::string expected;
  EXPECT_EQ(Run(e, &expected), expected);
  EXPECT_EQ(error, "no error");
  EXPECT_FALSE(d.Engine().Finished());
  EXPECT_FALSE(Exists("a.zip"));
  const std::string part = Read("a.zip.part");
  EXPECT_TRUE(std::string("conte").starts_with(part)) << part;
  EXPECT_EQ(d.Engine().FailureText(), "receiving the data: connection reset by the server");
}

// A partial file longer than the file is no prefix of it: it is fetched again from the start
// (no REST), not left to fail at every start.
TEST_F(ScriptedFTPDownloadTest, APartialFileLongerThanTheFileIsFetchedAgain) {
  test::WriteFile(tmp / "a.zip.part", "content of another, longer file");
  ScriptServer data({Send("content"), Close()});
  std::vector<Exchange> e = Logon(true);
  e.insert(e.end(), {{"SIZE /dir/a.zip", "213 7"},
                     {"PASV", Pasv(data)},
                     {"TYPE I", "200 ok"},
                     {"RETR /dir/a.zip", "150 Opening"},
                     {"", "226 Transfer complete"},
                     {"QUIT", "221 bye"}});
  std::string expected;
  EXPECT_EQ(Run(e, &expected), expected);
  EXPECT_EQ(error, "no error");
  EXPECT_TRUE(d.Engine().Finished()) << d.Engine().FailureText();
  EXPECT_EQ(Read("a.zip"), "content");
  EXPECT_FALSE(Exists("a.zip.part"));
  EXPECT_EQ(log.last_to, 7);
}

// No more than SIZE - offset bytes reach the partial file. A server that sends more (it took
// REST and sent from the start all the same, or SIZE named less) leaves no ruined partial
// file: what came cannot be trusted, so the partial file is discarded and the next start
// fetches the file from its start.
TEST_F(ScriptedFTPDownloadTest, MoreThanTheFilesSizeDiscardsThePartialFile) {
  struct Case {
    const char* name;
    const char* part;  // the partial file before the start; nullptr: none
    const char* size;
    std::vector<Exchange> rest;
    const char* failure;
  };
  const Case cases[] = {
      {"REST taken, the file sent from its start",
       "cont",
       "7",
       {{"REST 4", "350 ok"}},
       "the server sent more than the file's 7 bytes"},
      {"SIZE named less", nullptr, "4", {}, "the server sent more than the file's 4 bytes"},
  };
  for (const Case& c : cases) {
    if (c.part != nullptr) test::WriteFile(tmp / "a.zip.part", c.part);
    ScriptServer data({Send("content"), Close()});
    std::vector<Exchange> e = Logon(true);
    e.insert(e.end(), {{"SIZE /dir/a.zip", std::string("213 ") + c.size},
                       {"PASV", Pasv(data)},
                       {"TYPE I", "200 ok"}});
    e.insert(e.end(), c.rest.begin(), c.rest.end());
    e.insert(
        e.end(),
        {{"RETR /dir/a.zip", "150 Opening"}, {"", "226 Transfer complete"}, {"QUIT", "221 bye"}});
    std::string expected;
    EXPECT_EQ(Run(e, &expected), expected) << c.name;
    EXPECT_EQ(error, "no error") << c.name;
    EXPECT_FALSE(d.Engine().Finished()) << c.name;
    EXPECT_FALSE(Exists("a.zip")) << c.name;
    EXPECT_FALSE(Exists("a.zip.part")) << c.name;
    EXPECT_EQ(d.Engine().FailureText(), c.failure) << c.name;
  }

  // The next start asks for the whole file.
  ScriptServer data({Send("content"), Close()});
  std::vector<Exchange> e = Logon(true);
  e.insert(e.end(), {{"SIZE /dir/a.zip", "213 7"},
                     {"PASV", Pasv(data)},
                     {"TYPE I", "200 ok"},
                     {"RETR /dir/a.zip", "150 Opening"},
                     {"", "226 Transfer complete"},
                     {"QUIT", "221 bye"}});
  std::string expected;
  EXPECT_EQ(Run(e, &expected), expected);
  EXPECT_EQ(Read("a.zip"), "content");
}

// A user or password with a line end in it (as a URL's "user%0d%0aDELE%20x" decodes) is refused
// unsent: the server sees no command of it, only the QUIT of the logout.
TEST_F(ScriptedFTPDownloadTest, AnAccountWithLineEndsSendsNothingOfIt) {
  struct Case {
    std::string user, pass;
    std::vector<Exchange> dialogue;
  };
  const Case cases[] = {
      {"u\r\nDELE x", "p", {{"QUIT", "221 bye"}}},
      {"u", "p\r\nDELE x", {{"USER u", "331 pw"}, {"QUIT", "221 bye"}}},
      {std::string("u\0DELE x", 8), "p", {{"QUIT", "221 bye"}}},
  };
  for (const Case& c : cases) {
    d.FTP().FtpUser = c.user;
    d.FTP().FtpPass = c.pass;
    std::string expected;
    EXPECT_EQ(Run(c.dialogue, &expected), expected);
    EXPECT_TRUE(error.starts_with("Não foi possível efetuar o login!\rMotivo: ")) << error;
    EXPECT_TRUE(
        d.Engine().FailureText().ends_with("refused, the command holds a CR, LF or NUL byte"))
        << d.Engine().FailureText();
    EXPECT_FALSE(Exists("a.zip.part"));
  }
}

}  // namespace
}  // namespace vlt::download
