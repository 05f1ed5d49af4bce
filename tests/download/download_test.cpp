// The download component and its HTTP engine against the scriptable server: events and their
// arguments, the partial file and its final name, resuming, redirections, the probe for a
// name, pause and stop, and the answers that must never corrupt or finish a partial file.
#include <gtest/gtest.h>

#include "download/http_download.h"
#include "download/vlt_download.h"
#include "platform/clock.h"
#include "platform/dir_list.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/sockets.h"
#include "tests/download/download_helpers.h"
#include "tests/net/script_server.h"
#include "tests/support/temp_dir.h"

namespace vlt::download {
namespace {

using test::Close;
using test::Pattern;
using test::Recv;
using test::RecvUntil;
using test::RecvUntilClose;
using test::ScriptServer;
using test::Send;
using test::Step;
using test::WaitSignal;

std::string Ok200(const std::string& body) {
  return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string Head206(std::int64_t first, std::int64_t count, std::int64_t total) {
  return "HTTP/1.0 206 Partial Content\r\nContent-Range: bytes " + std::to_string(first) + "-" +
         std::to_string(first + count - 1) + "/" + std::to_string(total) +
         "\r\nContent-Length: " + std::to_string(count) + "\r\n\r\n";
}

std::vector<Step> Serve(const std::string& reply) {
  return {RecvUntil("\r\n\r\n"), Send(reply), Close()};
}

class DownloadTest : public ::testing::Test {
 protected:
  test::TempDir tmp;
  TVltDownload d;
  test::EventLog log{d};

  void SetUp() override {
    d.SetProtocolo(protHTTP);
    d.SetDownloadDest(tmp.path());
    d.Proxy().ProxyTimeout = 5000;
  }
  static std::string Url(const ScriptServer& s, const std::string& path = "/a.zip") {
    return "http://127.0.0.1:" + s.Port() + path;
  }
  bool Exists(const std::string& name) const { return platform::FileExists(tmp / name); }
  std::string Read(const std::string& name) const { return test::ReadFile(tmp / name); }
  void Start(const std::string& url, const std::string& name = "a.zip") {
    d.SetDownloadUrl(url);
    d.SetDownloadNomeArq(name);
    d.StartDownload();
  }
};

TEST_F(DownloadTest, PlainDownloadGoesThroughThePartialFileWithEveryEvent) {
  const std::string body = Pattern(200000);
  ScriptServer server(Serve(Ok200(body)));
  d.SetOnBeforeDownload([&](TVltDownloadClass*) {
    log.events.push_back("before");
    EXPECT_TRUE(Exists("a.zip.part"));
    EXPECT_FALSE(Exists("a.zip"));
  });
  d.SetOnHookStatus(
      [&](net::TBlockSocket*, net::THookSocketReason r, std::int64_t to, std::int64_t down) {
        if (r == net::HR_Connect) log.events.push_back("connect");
        if (r == net::HR_ReadCount) log.events.push_back("readcount " + std::to_string(to));
        if (r == net::HR_SocketClose) {
          log.events.push_back("close " + std::to_string(to) + " " + std::to_string(down));
          EXPECT_TRUE(Exists("a.zip")) << "finished before the close is reported";
        }
      });
  Start(Url(server));
  EXPECT_EQ(log.Joined(), "before | connect | readcount 200000 | close 200000 200000 | after");
  EXPECT_GT(log.monitors, 1);
  EXPECT_EQ(log.last_down, 200000);
  EXPECT_TRUE(test::SameBytes(Read("a.zip"), body));
  EXPECT_FALSE(Exists("a.zip.part"));
  EXPECT_TRUE(d.Engine().Finished());
  EXPECT_EQ(d.DownloadStatus(), stDownload);
  EXPECT_EQ(server.Received(), "GET /a.zip HTTP/1.0\r\nHost: 127.0.0.1:" + server.Port() +
                                   "\r\nKeep-Alive: 300\r\nConnection: keep-alive\r\n"
                                   "User-Agent: Mozilla/4.0 (compatible; Veltra)\r\n\r\n");
}

TEST_F(DownloadTest, PartialFileIsResumedFromItsEnd) {
  test::WriteFile(tmp / "a.zip.part", Pattern(5000));
  // The body leaves once the head has been seen, so the first counts are exactly the resumed
  // ones.
  ScriptServer server({RecvUntil("\r\n\r\n"), Send(Head206(5000, 95000, 100000)), WaitSignal(),
                       Send(Pattern(95000, 5000)), Close()});
  log.on_monitor = [&](TVltDownload&) { server.Signal(); };
  Start(Url(server));
  EXPECT_EQ(log.events.at(2), "readcount 100000 5000");
  EXPECT_TRUE(test::SameBytes(Read("a.zip"), Pattern(100000)));
  EXPECT_FALSE(Exists("a.zip.part"));
  EXPECT_NE(server.Received().find("\r\nRange: bytes=5000-\r\n"), std::string::npos);
}

TEST_F(DownloadTest, OlderFinalFileIsReplaced) {
  test::WriteFile(tmp / "a.zip", "an older package");
  ScriptServer server(Serve(Ok200("new")));
  Start(Url(server));
  EXPECT_EQ(Read("a.zip"), "new");
}

// Whatever answers a resumed request, the partial file is never corrupted: only a 206 that
// starts at its end continues it, a 200 starts it again, a 416 naming its size finishes it.
TEST_F(DownloadTest, AnswersToAResumedRequest) {
  struct Case {
    const char* name;
    std::string reply;
    std::string final_file;  // empty: none
    std::string part_file;   // when there is no final file
  };
  const std::string partial = Pattern(5000);
  const Case cases[] = {
      {"206 at the partial size", Head206(5000, 95000, 100000) + Pattern(95000, 5000),
       Pattern(100000), ""},
      {"206 whose short rest comes with the head", Head206(5000, 100, 5100) + Pattern(100, 5000),
       Pattern(5100), ""},
      {"200: the server ignores the range", Ok200(Pattern(100000)), Pattern(100000), ""},
      {"416 naming the partial size: complete",
       "HTTP/1.0 416 Requested Range Not Satisfiable\r\nContent-Range: bytes */5000\r\n"
       "Content-Length: 5\r\n\r\nerror",
       partial, ""},
      {"416 naming another size",
       "HTTP/1.0 416 Requested Range Not Satisfiable\r\nContent-Range: bytes */9000\r\n\r\n", "",
       partial},
      {"206 starting elsewhere", Head206(4000, 96000, 100000) + Pattern(96000, 4000), "", partial},
      {"206 without Content-Range",
       "HTTP/1.0 206 Partial Content\r\nContent-Length: 5\r\n\r\nabcde", "", partial},
      {"206 with only part of the rest: kept for the next start",
       Head206(5000, 5000, 100000) + Pattern(5000, 5000), "", Pattern(10000)},
      {"206 shorter than its Content-Range",
       "HTTP/1.0 206 Partial Content\r\nContent-Range: bytes 5000-99999/100000\r\n"
       "Content-Length: 100\r\n\r\n" +
           Pattern(100, 5000),
       "", Pattern(5100)},
      {"404 page", "HTTP/1.0 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found", "", partial},
      {"no status line", "garbage\r\nmore garbage", "", partial},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    platform::RemoveFile(tmp / "a.zip");
    test::WriteFile(tmp / "a.zip.part", partial);
    ScriptServer server(Serve(c.reply));
    Start(Url(server));
    if (!c.final_file.empty()) {
      EXPECT_TRUE(test::SameBytes(Read("a.zip"), c.final_file));
      EXPECT_FALSE(Exists("a.zip.part"));
    } else {
      EXPECT_FALSE(Exists("a.zip"));
      EXPECT_TRUE(test::SameBytes(Read("a.zip.part"), c.part_file));
      EXPECT_FALSE(d.Engine().FailureText().empty());
    }
  }
}

// A fresh transfer that does not end with the whole body leaves exactly the bytes received,
// and is never finished; an error page never reaches the file.
TEST_F(DownloadTest, UnfinishedTransfersKeepExactlyWhatArrived) {
  const std::string head = "HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n";
  const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  struct Case {
    const char* name;
    std::vector<Step> script;
    std::string part_file;
    bool prefix = false;           // a reset may discard bytes in flight: the file holds a prefix
    bool only_reset_ends = false;  // only the reset tells the body was cut
  };
  const Case cases[] = {
      {"connection closed early",
       {RecvUntil("\r\n\r\n"), Send(head + Pattern(30000)), Close()},
       Pattern(30000)},
      {"connection reset",
       {RecvUntil("\r\n\r\n"), Send(head + Pattern(30000)), test::Reset()},
       Pattern(30000),
       true},
      {"time-out",
       {RecvUntil("\r\n\r\n"), Send(head + Pattern(30000)), WaitSignal()},
       Pattern(30000)},
      {"chunked body without its last chunk",
       {RecvUntil("\r\n\r\n"), Send(chunked + "7530\r\n" + Pattern(30000) + "\r\n"), Close()},
       Pattern(30000)},
      {"bad chunk size",
       {RecvUntil("\r\n\r\n"), Send(chunked + "3e8\r\n" + Pattern(1000) + "\r\nxyz\r\n"), Close()},
       Pattern(1000)},
      {"404 page", Serve("HTTP/1.0 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found"), ""},
      {"500 page until close", Serve("HTTP/1.0 500 Server Error\r\n\r\nbroken"), ""},
      {"301 not followed", Serve("HTTP/1.0 301 Moved\r\nLocation: http://127.0.0.1:1/x\r\n\r\n"),
       ""},
      {"302 with a lower-case location to a closed port",
       Serve("HTTP/1.0 302 Found\r\nlocation: http://127.0.0.1:" + test::ClosedPort() +
             "/x\r\n\r\nmoved"),
       ""},
      {"body ending at a reset instead of the close",
       {RecvUntil("\r\n\r\n"), Send("HTTP/1.0 200 OK\r\n\r\n" + Pattern(30000)), test::Pause(50),
        test::Reset()},
       Pattern(30000),
       true,
       true},
  };
  d.Proxy().ProxyTimeout = 300;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Where a reset that has arrived reads as an orderly end, nothing can tell such a cut.
    if (c.only_reset_ends && platform::ResetsReadAsEnd()) continue;
    platform::RemoveFile(tmp / "a.zip.part");
    ScriptServer server(c.script);
    Start(Url(server));
    server.Signal();
    EXPECT_FALSE(Exists("a.zip"));
    const std::string part = Read("a.zip.part");
    EXPECT_TRUE(test::SameBytes(part, c.prefix ? c.part_file.substr(0, part.size()) : c.part_file));
    EXPECT_FALSE(d.Engine().Finished());
    EXPECT_FALSE(d.Engine().FailureText().empty());
  }
}

TEST_F(DownloadTest, CutTransferIsResumedByTheNextStart) {
  const std::string head = "HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n";
  ScriptServer server({{RecvUntil("\r\n\r\n"), Send(head + Pattern(30000)), Close()},
                       Serve(Head206(30000, 70000, 100000) + Pattern(70000, 30000))});
  Start(Url(server));
  EXPECT_TRUE(test::SameBytes(Read("a.zip.part"), Pattern(30000)));
  Start(Url(server));
  EXPECT_TRUE(test::SameBytes(Read("a.zip"), Pattern(100000)));
  EXPECT_NE(server.Received().find("\r\nRange: bytes=30000-\r\n"), std::string::npos);
}

TEST_F(DownloadTest, BodyEndingAtTheServersCloseIsComplete) {
  ScriptServer server(Serve("HTTP/1.0 200 OK\r\n\r\n" + Pattern(70000)));
  Start(Url(server));
  EXPECT_TRUE(test::SameBytes(Read("a.zip"), Pattern(70000)));
}

TEST_F(DownloadTest, Redirection302StartsAgainAtTheLocation) {
  ScriptServer target({RecvUntil("\r\n\r\n"), Send("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n"),
                       WaitSignal(), Send("moved here"), Close()});
  ScriptServer origin(
      Serve("HTTP/1.0 302 Found\r\nLocation: " + Url(target, "/b.zip") + "\r\n\r\nsee there"));
  log.on_monitor = [&](TVltDownload& dl) {
    if (dl.Engine().DownloadUrl().ends_with("/b.zip")) target.Signal();
  };
  Start(Url(origin), "");
  EXPECT_EQ(log.Joined(),
            "before | connect | before | connect | readcount 10 0 | close 10 10 | after | after");
  EXPECT_EQ(Read("a.zip"), "moved here");
  EXPECT_FALSE(Exists("a.zip.part"));
  EXPECT_TRUE(target.Received().starts_with("GET /b.zip HTTP/1.0\r\n"));
}

// Location is a reference resolved as browsers do: dot segments, query-only references and
// fragments; blanks and control bytes travel percent-encoded.
TEST_F(DownloadTest, LocationIsResolvedAsAReference) {
  ScriptServer server({Serve("HTTP/1.0 302 Found\r\nLocation: ../b/./c d.zip?v=1#part\r\n\r\n"),
                       Serve("HTTP/1.0 302 Found\r\nLocation: ?v=2\r\n\r\n"),
                       Serve(Ok200("resolved"))});
  Start(Url(server, "/dir/sub/a.zip"));
  EXPECT_EQ(Read("a.zip"), "resolved") << d.Engine().FailureText();
  const std::string received = server.Received();
  EXPECT_NE(received.find("GET /dir/b/c%20d.zip?v=1 HTTP/1.0\r\n"), std::string::npos) << received;
  EXPECT_NE(received.find("GET /dir/b/c%20d.zip?v=2 HTTP/1.0\r\n"), std::string::npos) << received;
}

// Only HTTP is followed: a redirection elsewhere ends the download with its reason, and nothing
// is sent to the other address.
TEST_F(DownloadTest, RedirectionToAnotherProtocolIsRefused) {
  ScriptServer other(Serve(Ok200("not the file")));
  for (const std::string scheme : {"ftp", "file", "gopher"}) {
    SCOPED_TRACE(scheme);
    ScriptServer server(Serve("HTTP/1.0 302 Found\r\nLocation: " + scheme +
                              "://127.0.0.1:" + other.Port() + "/a.zip\r\n\r\n"));
    Start(Url(server));
    EXPECT_FALSE(Exists("a.zip"));
    EXPECT_NE(d.Engine().FailureText().find("unsupported address: " + scheme + "://"),
              std::string::npos)
        << d.Engine().FailureText();
  }
  EXPECT_EQ(other.Connections(), 0);
}

// An error page is not read to its end: a server sending an endless one cannot hold the
// download.
TEST_F(DownloadTest, EndlessErrorPageEndsPromptly) {
  const long long size = 1LL << 30;
  for (const std::string head : {"HTTP/1.0 404 Not Found\r\n\r\n",
                                 "HTTP/1.0 500 Oops\r\nContent-Length: 1073741824\r\n\r\n"}) {
    SCOPED_TRACE(head);
    ScriptServer server({RecvUntil("\r\n\r\n"), Send(head), test::Flood(size)});
    Start(Url(server));
    EXPECT_FALSE(Exists("a.zip"));
    EXPECT_EQ(Read("a.zip.part"), "");
    EXPECT_LT(server.Flooded(), 64LL << 20);
    EXPECT_TRUE(d.Engine().FailureText().starts_with("the server answered "))
        << d.Engine().FailureText();
  }
}

// A 206 writes exactly its range: bytes past its end never reach the partial file, which stays
// a prefix of the file, and the download is not finished.
TEST_F(DownloadTest, PartialReplyNeverWritesPastItsRange) {
  test::WriteFile(tmp / "a.zip.part", Pattern(5000));
  ScriptServer server({Serve("HTTP/1.0 206 Partial Content\r\nContent-Range: bytes 5000-9999/10000"
                             "\r\n\r\n" +
                             Pattern(5000, 5000) + "EXTRA BYTES"),
                       Serve("HTTP/1.0 416 Range Not Satisfiable\r\nContent-Range: bytes */10000"
                             "\r\nContent-Length: 0\r\n\r\n")});
  Start(Url(server));
  EXPECT_FALSE(Exists("a.zip"));
  EXPECT_TRUE(test::SameBytes(Read("a.zip.part"), Pattern(10000)));
  EXPECT_NE(d.Engine().FailureText().find("more than"), std::string::npos)
      << d.Engine().FailureText();
  Start(Url(server));
  EXPECT_TRUE(test::SameBytes(Read("a.zip"), Pattern(10000))) << d.Engine().FailureText();
}

// A partial file longer than the file on the server is not a prefix of it: it is dropped and the
// download starts again from 0, in the same start.
TEST_F(DownloadTest, PartialFileLongerThanTheFileStartsAgain) {
  test::WriteFile(tmp / "a.zip.part", Pattern(5000));
  ScriptServer server({Serve("HTTP/1.0 416 Range Not Satisfiable\r\nContent-Range: bytes */3000"
                             "\r\nContent-Length: 0\r\n\r\n"),
                       Serve(Ok200(Pattern(3000, 7)))});
  Start(Url(server));
  EXPECT_TRUE(test::SameBytes(Read("a.zip"), Pattern(3000, 7))) << d.Engine().FailureText();
  EXPECT_FALSE(Exists("a.zip.part"));
  const std::string received = server.Received();
  EXPECT_NE(received.find("Range: bytes=5000-\r\n"), std::string::npos);
  EXPECT_EQ(received.find("Range:"), received.rfind("Range:")) << "the new start asks for all";
}

TEST_F(DownloadTest, RelativeLocationIsResolvedAgainstTheRequest) {
  ScriptServer server({Serve("HTTP/1.0 302 Found\r\nLocation: /store/b.zip\r\n\r\n"),
                       Serve("HTTP/1.0 302 Found\r\nLocation: c.zip\r\n\r\n"),
                       Serve(Ok200("relative"))});
  Start(Url(server, "/dir/a.zip"));
  EXPECT_EQ(Read("a.zip"), "relative");
  const std::string received = server.Received();
  EXPECT_NE(received.find("GET /store/b.zip HTTP/1.0"), std::string::npos);
  EXPECT_NE(received.find("GET /store/c.zip HTTP/1.0"), std::string::npos);
}

TEST_F(DownloadTest, RedirectionLoopEndsWithoutAFile) {
  std::vector<std::vector<Step>> scripts;
  for (int i = 0; i <= TVltHTTPDownload::kMaxRedirects; ++i)
    scripts.push_back(Serve("HTTP/1.0 302 Found\r\nLocation: /a.zip\r\n\r\n"));
  ScriptServer server(scripts);
  Start(Url(server));
  EXPECT_EQ(server.Connections(), TVltHTTPDownload::kMaxRedirects + 1);
  EXPECT_FALSE(Exists("a.zip"));
  EXPECT_NE(d.Engine().FailureText().find("redirections"), std::string::npos);
}

TEST_F(DownloadTest, ProbeFindsTheFileNameInTheReplyHeaders) {
  struct Case {
    const char* disposition;
    const char* name;
    const char* other_fields = "";  // before the Content-Disposition
  };
  const Case cases[] = {
      {"attachment; filename=\"pkg.zip\"; size=3", "pkg.zip"},
      {"attachment; filename=plain.zip; size=3", "plain.zip"},
      {"attachment; FileName=mixed.zip", "mixed.zip"},
      {"attachment; filename=real.zip", "real.zip", "X-Note: filename=other.zip\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.disposition);
    ScriptServer server({Serve("HTTP/1.0 206 Partial Content\r\n" + std::string(c.other_fields) +
                               "Content-Disposition: " + c.disposition +
                               "\r\nContent-Range: bytes 0-2/3\r\n\r\nabc"),
                         Serve(Ok200("abc"))});
    log.events.clear();
    Start(Url(server, "/download/"), "");
    EXPECT_EQ(Read(c.name), "abc");
    const std::string received = server.Received();
    EXPECT_TRUE(received.starts_with("GET /download/ HTTP/1.0\r\n")) << received;
    EXPECT_NE(received.find("Range: bytes=0-1024\r\n"), std::string::npos);
    EXPECT_EQ(received.find("Range: bytes=0-1024\r\n"), received.rfind("Range:"));
    // The probe's own notifications come before OnBeforeDownload.
    EXPECT_TRUE(log.Joined().starts_with("connect | close 0 ")) << log.Joined();
  }
}

// A name chosen by the server names a new file in the destination folder, or nothing: it is
// refused (never mended) when it holds a control byte, a separator or a device name, and it
// never replaces a file that is there. Nothing is created, opened or deleted for it.
TEST_F(DownloadTest, ProbeRefusesServerNamesThatAreNotNewFileNames) {
  test::WriteFile(tmp / "keep.txt", "mine");
  const std::string refused[] = {
      std::string("\"keep.txt\0.bin\"", 16),
      "\"keep.txt\"",
      "\"..\\..\\evil.zip\"",
      "a/b.zip",
      "\"C:evil.zip\"",
      "\"tab\there.zip\"",
      "CON",
      "\"nul.zip\"",
      "\"COM1.txt\"",
      "\"trailing.\"",
  };
  for (const std::string& name : refused) {
    SCOPED_TRACE(name);
    ScriptServer server(
        Serve("HTTP/1.0 206 Partial Content\r\nContent-Disposition: attachment; filename=" + name +
              "\r\nContent-Range: bytes 0-2/3\r\n\r\nabc"));
    try {
      Start(Url(server, "/download/"), "");
      ADD_FAILURE() << "accepted";
    } catch (const Exception& e) {
      const std::string what = e.what();
      EXPECT_TRUE(what.starts_with("O servidor indicou um nome de arquivo inválido") ||
                  what.starts_with("O arquivo indicado pelo servidor já existe"))
          << what;
    }
    EXPECT_EQ(Read("keep.txt"), "mine");
    EXPECT_EQ(server.Connections(), 1) << "only the probe";
    for (const platform::DirEntry& entry : platform::ListDirectory(tmp.path(), "*")) {
      if (entry.name != "." && entry.name != "..") {
        EXPECT_EQ(entry.name, "keep.txt") << "nothing else is created";
      }
    }
  }
}

TEST_F(DownloadTest, ProbeIgnoringTheRangeIsCutShort) {
  const long long size = 64 << 20;
  ScriptServer server({{RecvUntil("\r\n\r\n"),
                        Send("HTTP/1.0 200 OK\r\nContent-Disposition: attachment; filename=p.zip"
                             "\r\nContent-Length: " +
                             std::to_string(size) + "\r\n\r\n"),
                        test::Flood(size)},
                       Serve(Ok200("abc"))});
  Start(Url(server, "/get/"), "");
  ASSERT_TRUE(Exists("p.zip")) << d.Engine().FailureText() << " | " << log.Joined();
  EXPECT_EQ(Read("p.zip"), "abc");
  EXPECT_LT(server.Flooded(), size / 2) << "the probe wants the headers, not the file";
}

TEST_F(DownloadTest, NoNameAnywhereIsAnError) {
  ScriptServer server(Serve("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n"));
  d.SetDownloadUrl(Url(server, "/"));
  try {
    d.StartDownload();
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Favor informar o nome do arquivo para download!");
  }
}

TEST_F(DownloadTest, PauseInsideTheMonitorThenResumeToAnIdenticalFile) {
  const std::string body = Pattern(300000);
  const std::string head = "HTTP/1.0 200 OK\r\nContent-Length: 300000\r\n\r\n";
  ScriptServer first({RecvUntil("\r\n\r\n"), Send(head + body.substr(0, 100000)), WaitSignal()});
  log.on_monitor = [](TVltDownload& dl) {
    if (dl.Engine().BytesDownloaded() >= 50000) dl.SetDownloadStatus(stPause);
  };
  Start(Url(first));
  first.Signal();
  EXPECT_NE(log.Joined().find("status 3"), std::string::npos) << log.Joined();
  EXPECT_FALSE(Exists("a.zip"));
  const std::string part = Read("a.zip.part");
  ASSERT_GT(part.size(), 0u);
  EXPECT_TRUE(test::SameBytes(part, body.substr(0, part.size())));

  const auto kept = static_cast<std::int64_t>(part.size());
  ScriptServer second(Serve(Head206(kept, 300000 - kept, 300000) + body.substr(part.size())));
  log.on_monitor = nullptr;
  d.SetDownloadStatus(stDownload);
  Start(Url(second));
  EXPECT_TRUE(test::SameBytes(Read("a.zip"), body));
  EXPECT_NE(second.Received().find("Range: bytes=" + std::to_string(kept) + "-\r\n"),
            std::string::npos);
}

TEST_F(DownloadTest, StopDeletesThePartialFile) {
  for (bool already_gone : {false, true}) {
    SCOPED_TRACE(already_gone ? "partial file already gone" : "partial file there");
    ScriptServer server(
        {RecvUntil("\r\n\r\n"),
         Send("HTTP/1.0 200 OK\r\nContent-Length: 300000\r\n\r\n" + Pattern(100000)),
         WaitSignal()});
    log.on_monitor = [&](TVltDownload& dl) {
      // Natively the open file can be removed from under the engine; Windows refuses, and the
      // engine deletes it itself.
      if (already_gone) platform::RemoveFile(tmp / "a.zip.part");
      dl.SetDownloadStatus(stStop);
    };
    EXPECT_NO_THROW(Start(Url(server)));
    server.Signal();
    EXPECT_FALSE(Exists("a.zip.part"));
    EXPECT_FALSE(Exists("a.zip"));
  }
}

// A server that stops sending keeps the transfer waiting: the heartbeat keeps coming meanwhile,
// and a stop or pause set from it ends the wait at once (stop drops the partial file, pause
// keeps what arrived).
TEST_F(DownloadTest, HeartbeatsWhileTheServerIsSilentAndAStopFromThemEndsTheWait) {
  for (TDownloadStatus asked : {stStop, stPause}) {
    SCOPED_TRACE(asked == stStop ? "stop" : "pause");
    platform::RemoveFile(tmp / "a.zip.part");
    ScriptServer server({RecvUntil("\r\n\r\n"),
                         Send("HTTP/1.0 200 OK\r\nContent-Length: 300000\r\n\r\n" + Pattern(1000)),
                         WaitSignal()});
    int beats = 0;
    d.SetHeartbeatRate(10);
    d.SetOnHeartbeat([&](TVltDownloadClass*) {
      if (++beats == 20) d.SetDownloadStatus(asked);
    });
    EXPECT_NO_THROW(Start(Url(server)));
    server.Signal();
    EXPECT_GE(beats, 20);
    EXPECT_FALSE(d.Engine().Finished());
    EXPECT_FALSE(Exists("a.zip"));
    if (asked == stStop) {
      EXPECT_FALSE(Exists("a.zip.part"));
    } else {
      EXPECT_EQ(Read("a.zip.part"), Pattern(1000));
    }
  }
}

TEST_F(DownloadTest, ByteCountsBeyond2GiB) {
  const std::int64_t size = 5368709120;  // 5 GiB announced; the test stops after the start
  ScriptServer server(
      {RecvUntil("\r\n\r\n"),
       Send("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n"),
       WaitSignal(), Send(Pattern(1000)), WaitSignal()});
  log.on_monitor = [&](TVltDownload& dl) {
    server.Signal();
    if (dl.Engine().BytesDownloaded() > 0 && log.last_to == size) dl.SetDownloadStatus(stStop);
  };
  Start(Url(server));
  server.Signal();
  EXPECT_EQ(log.events.at(2), "readcount 5368709120 0");
  EXPECT_EQ(log.last_to, size);
}

// The engine releases what it has written: the client's document never holds the file.
TEST_F(DownloadTest, MemoryStaysBoundedWhateverTheFileSize) {
  const long long size = 32 << 20;
  ScriptServer server(
      {RecvUntil("\r\n\r\n"),
       Send("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n"),
       test::Flood(size), Close()});
  size_t most_held = 0;
  log.on_monitor = [&](TVltDownload& dl) {
    auto& http = dynamic_cast<TVltHTTPDownload&>(dl.Engine()).HTTPClient();
    most_held = std::max(most_held, http.Document().Held().size());
  };
  Start(Url(server));
  EXPECT_TRUE(d.Engine().Finished()) << d.Engine().FailureText();
  EXPECT_EQ(platform::HostPath(tmp / "a.zip").empty(), false);
  EXPECT_LE(most_held, 256u * 1024);
  const std::string file = Read("a.zip");
  EXPECT_EQ(static_cast<long long>(file.size()), size);
  EXPECT_EQ(file.find_first_not_of('F'), std::string::npos);
}

TEST_F(DownloadTest, ProxySettingsApplyWithAGivenName) {
  ScriptServer proxy(Serve(Ok200("via proxy")));
  d.Proxy().ProxyHost = "127.0.0.1";
  d.Proxy().ProxyPort = proxy.Port();
  Start("http://packages.invalid/Drive/a.zip");
  EXPECT_EQ(Read("a.zip"), "via proxy");
  EXPECT_TRUE(proxy.Received().starts_with("GET http://packages.invalid:80/Drive/a.zip HTTP/1.0"));
}

TEST_F(DownloadTest, DestinationPrefixAndNameFromTheUrl) {
  ASSERT_TRUE(platform::CreateDir(tmp / "Dir"));
  ScriptServer server(Serve(Ok200("x")));
  d.SetDownloadDest("  " + tmp.path() + "Dir/ ");
  Start(Url(server, "/dir/file.zip?x=1"), "");
  EXPECT_EQ(d.Engine().FilePart(), tmp.path() + "Dir/\\file.zip.part");
  EXPECT_EQ(Read("Dir\\file.zip"), "x");
}

TEST_F(DownloadTest, ProtocolMustBeChosen) {
  d.SetProtocolo(protNenhum);
  try {
    d.StartDownload();
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(),
                 "Antes de iniciar o download, defina o protocolo a ser usado HTTP ou FTP!");
  }
  d.SetProtocolo(protHTTP);
  ScriptServer server(Serve(Ok200("ok")));
  Start(Url(server));
  EXPECT_EQ(Read("a.zip"), "ok");
}

TEST_F(DownloadTest, StartFromInsideItsOwnEventIsRefused) {
  ScriptServer server(Serve(Ok200("ok")));
  d.SetOnBeforeDownload([&](TVltDownloadClass*) { d.StartDownload(); });
  try {
    Start(Url(server));
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Um download já está em andamento.");
  }
}

TEST(DownloadEngine, OnlyTheComponentMayCreateIt) {
  TVltComponent stranger;
  try {
    TVltHTTPDownload engine(&stranger);
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Essa Classe deve ser instanciada por TVltDownload");
  }
}

// The monitor's time arithmetic, on a clock that moves only when told.
class ClockedEngine : public TVltDownloadClass {
 public:
  using TVltDownloadClass::TVltDownloadClass;
  void Announce(std::int64_t size) {
    fDownloadStatus = stNone;
    fDownloadSize = size;
    SocketStatus(nullptr, net::HR_ReadCount, "");
  }
};

// The last progress event's speed, hours, minutes and seconds.
struct SeenMonitor {
  double speed = 0;
  int h = -1, m = -1, sec = -1;
  explicit SeenMonitor(TVltDownload& owner) {
    owner.SetOnHookMonitor([this](net::TBlockSocket*, std::int64_t, std::int64_t, double v,
                                  std::uint16_t hours, std::uint16_t minutes, std::uint16_t s) {
      speed = v;
      h = hours;
      m = minutes;
      sec = s;
    });
  }
};

// A transfer of 400 KB, announced on a clock that moves only when told.
struct ClockedTransfer {
  explicit ClockedTransfer(std::uint32_t start_tick = 0) : clock(start_tick) {
    engine.Announce(409600);
  }
  // `ms` pass, then a block of `bytes` arrives.
  void Receive(std::uint32_t ms, int bytes) {
    clock.Advance(ms);
    engine.SocketMonitor(nullptr, false, nullptr, bytes);
  }

  platform::ManualClock clock;
  platform::ScopedClock scoped{clock};
  TVltDownload owner;
  SeenMonitor seen{owner};  // before the engine, which takes the owner's events when made
  ClockedEngine engine{&owner};
};

TEST(DownloadEngine, SecHourAndMinFromTheClock) {
  ClockedTransfer t;
  t.Receive(10000, 102400);
  EXPECT_DOUBLE_EQ(t.seen.speed, 10.0);
  EXPECT_EQ(t.seen.sec, 30) << "307200 bytes left at 10 KB/s";
  EXPECT_EQ(t.seen.h, 0);
  t.Receive(3720000 - 10000, 0);
  EXPECT_EQ(t.seen.h, 1);
  EXPECT_EQ(t.seen.m, 2);
  t.Receive(86400000, 0);  // more than a day: only the time of day of the elapsed time counts
  EXPECT_EQ(t.seen.h, 1);
  EXPECT_EQ(t.seen.m, 2);

  ClockedEngine slow(&t.owner);
  slow.Announce(10LL << 30);
  t.clock.Advance(10000);
  slow.SocketMonitor(nullptr, false, nullptr, 102400);
  EXPECT_EQ(t.seen.sec, 65535) << "a time left beyond 16 bits is held at the largest value";
}

// The transfer is timed on the tick counter: it runs on across the counter's wrap, and a jump
// of the local time (the clock set back or forward, daylight saving time) does not touch it.
TEST(DownloadEngine, TransferTimeFollowsTheTickNotTheLocalTime) {
  const struct {
    const char* what;
    std::uint32_t start_tick;
    platform::LocalDateTime local_after;  // the local time once the first block is in
  } cases[] = {
      {"the counter wraps 5 s into the transfer", 0xFFFFFFFFu - 4999, {2026, 1, 1, 12, 0, 0, 0}},
      {"the local time set back by months and hours", 1000, {2025, 6, 1, 3, 0, 0, 0}},
      {"the local time set forward", 1000, {2027, 1, 1, 23, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ClockedTransfer t(c.start_tick);
    t.Receive(10000, 102400);
    EXPECT_DOUBLE_EQ(t.seen.speed, 10.0);
    EXPECT_EQ(t.seen.sec, 30);
    t.clock.SetLocalTime(c.local_after);
    t.Receive(3720000 - 10000, 0);
    EXPECT_EQ(t.seen.h, 1);
    EXPECT_EQ(t.seen.m, 2);
    EXPECT_DOUBLE_EQ(t.seen.speed, 100.0 / 3720);
  }
}

}  // namespace
}  // namespace vlt::download

namespace vlt::download {
namespace {

// One log line per URL when its transfer ends, whatever the outcome: the reply, the bytes
// written (a resumed part said apart), the time and the file, or why there is none. A refused
// connection, which leaves no reply at all, says so too.
TEST_F(DownloadTest, EachTransferEndsWithOneLogLine) {
  platform::LogFile file;
  ASSERT_TRUE(file.Open(tmp / "registro.log"));
  platform::ScopedLog scope(file);
  test::WriteFile(tmp / "a.zip.part", Pattern(5000));
  ScriptServer resumed(Serve(Head206(5000, 95000, 100000) + Pattern(100000).substr(5000)));
  Start(Url(resumed));
  ScriptServer missing(Serve("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n"));
  Start(Url(missing, "/b.zip"), "b.zip");
  const std::string closed = "http://127.0.0.1:" + test::ClosedPort() + "/c.zip";
  Start(closed, "c.zip");

  std::vector<std::string> lines;
  const std::string text = test::ReadFile(tmp / "registro.log");
  for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
    lines.push_back(text.substr(at + 25, end - at - 25));  // after the time
  ASSERT_EQ(lines.size(), 3u) << text;
  EXPECT_TRUE(lines[0].starts_with("Download: " + Url(resumed) +
                                   ", HTTP 206, 95000 bytes (retomado de 5000) em "))
      << lines[0];
  EXPECT_TRUE(lines[0].ends_with(" s -> " + tmp / "a.zip")) << lines[0];
  EXPECT_TRUE(lines[1].starts_with("Download falhou: " + Url(missing, "/b.zip") +
                                   ", HTTP 404, 0 bytes em "))
      << lines[1];
  EXPECT_TRUE(lines[1].ends_with(": the server answered 404 Not Found")) << lines[1];
  EXPECT_TRUE(lines[2].starts_with("Download falhou: " + closed)) << lines[2];
  EXPECT_NE(lines[2].find("(10061)"), std::string::npos) << lines[2];
  EXPECT_EQ(lines[2].find("HTTP"), std::string::npos) << "no server answered: " << lines[2];
}

}  // namespace
}  // namespace vlt::download
