// The download component and its HTTP engine against the scriptable server: events and their
// arguments, the partial file and its final name, resuming, redirections, the probe for a
// name, pause and stop, and the answers that must never corrupt or finish a partial file.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>

#include "download/http_download.h"
#include "download/vlt_download.h"
#include "net/sha256.h"
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
  d.SetOnHookStatus([&](net::THookSocketReason r, std::int64_t to, std::int64_t down) {
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
  test::WriteValidator(tmp / "a.zip.part", "\"v1\"", 100000);
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
  EXPECT_NE(server.Received().find("\r\nIf-Range: \"v1\"\r\n"), std::string::npos);
  EXPECT_FALSE(Exists("a.zip.part.validador"));
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
      {"206 starting before the partial end", Head206(4000, 96000, 100000) + Pattern(96000, 4000),
       "", partial},
      {"206 starting after the partial end: a gap",
       Head206(6000, 94000, 100000) + Pattern(94000, 6000), "", partial},
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
    test::WriteValidator(tmp / "a.zip.part", "\"v1\"");
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
    // A partial file exists only while it holds a prefix of the file.
    const std::string part = Exists("a.zip.part") ? Read("a.zip.part") : "";
    EXPECT_EQ(Exists("a.zip.part"), !c.part_file.empty());
    EXPECT_TRUE(test::SameBytes(part, c.prefix ? c.part_file.substr(0, part.size()) : c.part_file));
    EXPECT_FALSE(d.Engine().Finished());
    EXPECT_FALSE(d.Engine().FailureText().empty());
  }
}

TEST_F(DownloadTest, CutTransferIsResumedByTheNextStart) {
  const std::string head =
      "HTTP/1.0 200 OK\r\nContent-Length: 100000\r\nETag: \"v7\"\r\n"
      "Last-Modified: Tue, 03 Feb 2026 10:00:00 GMT\r\n\r\n";
  ScriptServer server({{RecvUntil("\r\n\r\n"), Send(head + Pattern(30000)), Close()},
                       Serve(Head206(30000, 70000, 100000) + Pattern(70000, 30000))});
  Start(Url(server));
  EXPECT_TRUE(test::SameBytes(Read("a.zip.part"), Pattern(30000)));
  EXPECT_EQ(Read("a.zip.part.validador"), "validador=\"v7\"\r\ntamanho=100000\r\n");
  Start(Url(server));
  EXPECT_TRUE(test::SameBytes(Read("a.zip"), Pattern(100000)));
  const std::string second = server.Received().substr(server.Received().find("\r\n\r\n"));
  EXPECT_NE(second.find("\r\nRange: bytes=30000-\r\n"), std::string::npos) << second;
  EXPECT_NE(second.find("\r\nIf-Range: \"v7\"\r\n"), std::string::npos) << second;
  EXPECT_FALSE(Exists("a.zip.part.validador"));
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
    EXPECT_FALSE(Exists("a.zip.part"));
    EXPECT_LT(server.Flooded(), 64LL << 20);
    EXPECT_TRUE(d.Engine().FailureText().starts_with("the server answered "))
        << d.Engine().FailureText();
  }
}

// A 206 writes exactly its range: bytes past its end never reach the partial file, which stays
// a prefix of the file, and the download is not finished.
TEST_F(DownloadTest, PartialReplyNeverWritesPastItsRange) {
  test::WriteFile(tmp / "a.zip.part", Pattern(5000));
  test::WriteValidator(tmp / "a.zip.part", "\"v1\"", 10000);
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
  test::WriteValidator(tmp / "a.zip.part", "\"v1\"");
  ScriptServer server({Serve("HTTP/1.0 416 Range Not Satisfiable\r\nContent-Range: bytes */3000"
                             "\r\nContent-Length: 0\r\n\r\n"),
                       Serve(Ok200(Pattern(3000, 7)))});
  Start(Url(server));
  EXPECT_TRUE(test::SameBytes(Read("a.zip"), Pattern(3000, 7))) << d.Engine().FailureText();
  EXPECT_FALSE(Exists("a.zip.part"));
  const std::string received = server.Received();
  EXPECT_NE(received.find("\r\nRange: bytes=5000-\r\n"), std::string::npos);
  EXPECT_EQ(received.find("\r\nRange:"), received.rfind("\r\nRange:"))
      << "the new start asks for all";
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
  const std::string head = "HTTP/1.0 200 OK\r\nContent-Length: 300000\r\nETag: \"p\"\r\n\r\n";
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
    d.SetOnHeartbeat([&](TVltDownloadClass*, std::uint32_t) {
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

// The monitor's time arithmetic, on a clock that moves only when told.
class ClockedEngine : public TVltDownloadClass {
 public:
  using TVltDownloadClass::TVltDownloadClass;
  void Announce(std::int64_t size) {
    fDownloadStatus = stNone;
    fDownloadSize = size;
    fHeadKnown = true;
    fVerdict = rvAccept;
    SocketStatus(nullptr, net::HR_ReadCount, "");
  }
};

// A transfer of 400 KB, announced on a clock that moves only when told; the last progress
// event's speed and time left.
struct ClockedTransfer {
  explicit ClockedTransfer(std::uint32_t start_tick = 0, std::int64_t size = 409600)
      : clock(start_tick) {
    engine.Announce(size);
  }
  // `ms` pass, then a block of `bytes` arrives.
  void Receive(std::uint32_t ms, int bytes) {
    clock.Advance(ms);
    engine.SocketMonitor(nullptr, false, nullptr, bytes);
  }
  TVltDownloadEvents Events() {
    TVltDownloadEvents e;
    e.OnHookMonitor = [this](std::int64_t, std::int64_t, double v, std::uint32_t left) {
      speed = v;
      seconds_left = left;
    };
    return e;
  }

  double speed = 0;
  std::int64_t seconds_left = -1;
  platform::ManualClock clock;
  platform::ScopedClock scoped{clock};
  ClockedEngine engine{TVltDownloadSettings{}, Events()};
};

TEST(DownloadEngine, SpeedAndTimeLeftFromTheTick) {
  ClockedTransfer t;
  t.Receive(10000, 102400);
  EXPECT_DOUBLE_EQ(t.speed, 10.0);
  EXPECT_EQ(t.seconds_left, 30) << "307200 bytes left at 10 KB/s";
  // Past a day the speed still counts the whole elapsed time.
  t.Receive(86400000 - 10000 + 86400000, 0);
  EXPECT_DOUBLE_EQ(t.speed, 100.0 / 172800);

  ClockedTransfer slow(0, 1LL << 30);
  slow.Receive(1000, 1024);
  EXPECT_EQ(slow.seconds_left, (1LL << 20) - 1) << "beyond 16 bits";
  ClockedTransfer endless(0, 1LL << 62);
  endless.Receive(1000, 1);
  EXPECT_EQ(endless.seconds_left, 0xFFFFFFFF) << "held at the largest value";
  ClockedTransfer unknown(0, 0);
  unknown.Receive(1000, 1024);
  EXPECT_EQ(unknown.seconds_left, 0) << "no total, no time left";
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
    EXPECT_DOUBLE_EQ(t.speed, 10.0);
    EXPECT_EQ(t.seconds_left, 30);
    t.clock.SetLocalTime(c.local_after);
    t.Receive(3720000 - 10000, 0);
    EXPECT_DOUBLE_EQ(t.speed, 100.0 / 3720);
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
  test::WriteValidator(tmp / "a.zip.part", "\"v1\"");
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

// Why a transfer did not finish is one value: its kind, its number and the reason for the log.
// A refused or failed transfer leaves no empty partial file behind.
TEST_F(DownloadTest, EachFailureIsOneValue) {
  const std::string closed = test::ClosedPort();
  struct Case {
    const char* name;
    std::vector<Step> script;  // empty: no server
    TFalhaTipo tipo;
    std::int32_t codigo;
    const char* detalhe;  // the start of the reason
    std::function<void(TVltDownload&)> setup = nullptr;
  };
  const Case cases[] = {
      {"connection refused", {}, ftConexao, 10061, "Connection refused"},
      {"error status", Serve("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n"), ftServidor,
       404, "the server answered 404 Not Found"},
      {"no status line", Serve("garbage\r\n"), ftServidor, 0, "the server answered 0"},
      {"unusable redirection", Serve("HTTP/1.0 302 Found\r\nLocation: ftp://x/a.zip\r\n\r\n"),
       ftServidor, 302, "redirection (302) to an unsupported address"},
      {"server silent after the head",
       {RecvUntil("\r\n\r\n"), Send("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabc"),
        WaitSignal()},
       ftTempo,
       10060,
       "the transfer was cut: "},
      {"server silent before any reply", {RecvUntil("\r\n\r\n"), WaitSignal()}, ftTempo, 10060, ""},
      {"body cut by the close",
       {RecvUntil("\r\n\r\n"), Send("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabc"), Close()},
       ftIncompleta,
       200,
       "the transfer was cut: "},
      {"checksum", Serve(Ok200("abc")), ftSoma, 0, "the file's SHA-256 is ",
       [](TVltDownload& dl) { dl.SetExpectedSha256(std::string(64, '0')); }},
      {"stopped", Serve(Ok200(Pattern(100000))), ftInterrompida, 0, "stopped",
       [](TVltDownload& dl) {
         dl.SetOnBeforeDownload([&dl](TVltDownloadClass*) { dl.SetDownloadStatus(stStop); });
       }},
      {"destination that cannot be written", Serve(Ok200("abc")), ftArquivo, 0, "cannot create ",
       [this](TVltDownload& dl) { dl.SetDownloadDest(tmp / "missing\\folder"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TVltDownload dl;
    dl.SetProtocolo(protHTTP);
    dl.SetDownloadDest(tmp.path());
    dl.Proxy().ProxyTimeout = 5000;
    dl.SetSilenceTimeout(300);
    if (c.setup) c.setup(dl);
    std::optional<ScriptServer> server;
    if (!c.script.empty()) server.emplace(c.script);
    dl.SetDownloadUrl(server ? Url(*server) : "http://127.0.0.1:" + closed + "/a.zip");
    dl.SetDownloadNomeArq("a.zip");
    const auto t0 = std::chrono::steady_clock::now();
    dl.StartDownload();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3));
    if (server) server->Signal();
    EXPECT_EQ(dl.Falha().Tipo, c.tipo) << dl.Falha().Detalhe;
    EXPECT_EQ(dl.Falha().Codigo, c.codigo) << dl.Falha().Detalhe;
    EXPECT_TRUE(dl.Falha().Detalhe.starts_with(c.detalhe)) << dl.Falha().Detalhe;
    EXPECT_EQ(dl.FailureText(), dl.Falha().Detalhe);
    EXPECT_FALSE(Exists("a.zip"));
    if (c.tipo != ftIncompleta && c.tipo != ftTempo) {
      EXPECT_FALSE(Exists("a.zip.part")) << "nothing of the file arrived";
    }
    EXPECT_FALSE(Exists("a.zip.part.validador"));
    platform::RemoveFile(tmp / "a.zip.part");
  }
}

// A proxy that refuses the tunnel is reported as the proxy's answer, not as a refused
// connection.
TEST_F(DownloadTest, ProxyRefusalIsTheProxysAnswer) {
  platform::LogFile file;
  ASSERT_TRUE(file.Open(tmp / "registro.log"));
  platform::ScopedLog scope(file);
  ScriptServer proxy(
      Serve("HTTP/1.1 407 Proxy Authentication Required\r\n"
            "Proxy-Authenticate: Basic realm=\"loja\"\r\nContent-Length: 0\r\n\r\n"));
  d.Proxy().ProxyHost = "127.0.0.1";
  d.Proxy().ProxyPort = proxy.Port();
  Start("https://packages.invalid/a.zip");
  EXPECT_EQ(d.Falha().Tipo, ftProxy);
  EXPECT_EQ(d.Falha().Codigo, 407);
  EXPECT_EQ(d.Falha().Detalhe, "the proxy answered 407 Proxy Authentication Required");
  EXPECT_TRUE(proxy.Received().starts_with("CONNECT packages.invalid:443 HTTP/1.0\r\n"));
  EXPECT_FALSE(Exists("a.zip.part"));
  EXPECT_TRUE(test::ReadFile(tmp / "registro.log")
                  .ends_with(": the proxy answered 407 Proxy Authentication Required\r\n"));
}

// A partial file is continued only as a prefix of the very version it came from: the
// validator of its first reply goes back with If-Range, and anything that does not vouch for
// the same version starts the file again from nothing.
TEST_F(DownloadTest, OnlyAPartialFileOfTheSameVersionIsContinued) {
  const std::string whole = Pattern(10000, 3);
  struct Case {
    const char* name;
    const char* validator;  // nullptr: none beside the partial file
    std::int64_t size;
    std::vector<std::vector<Step>> scripts;
    const char* if_range;  // sent with the first request; nullptr: no range asked for
    const char* kept;      // the validator left for the finished file's next version
  };
  const Case cases[] = {
      {"no validator: starts over", nullptr, -1, {Serve(Ok200(whole))}, nullptr, nullptr},
      {"the server has another version: 200 to If-Range",
       "\"old\"",
       10000,
       {Serve("HTTP/1.0 200 OK\r\nETag: \"new\"\r\nContent-Length: 10000\r\n\r\n" + whole)},
       "\"old\"",
       nullptr},
      {"206 of a file of another size: starts over",
       "\"old\"",
       20000,
       {Serve(Head206(4000, 6000, 10000) + whole.substr(4000)), Serve(Ok200(whole))},
       "\"old\"",
       nullptr},
      {"same version",
       "Tue, 03 Feb 2026 10:00:00 GMT",
       10000,
       {Serve(Head206(4000, 6000, 10000) + whole.substr(4000))},
       "Tue, 03 Feb 2026 10:00:00 GMT",
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::WriteFile(tmp / "a.zip.part", c.validator ? whole.substr(0, 4000) : Pattern(4000, 99));
    if (c.validator) test::WriteValidator(tmp / "a.zip.part", c.validator, c.size);
    ScriptServer server(c.scripts);
    Start(Url(server));
    EXPECT_TRUE(test::SameBytes(Read("a.zip"), whole)) << d.FailureText();
    EXPECT_FALSE(Exists("a.zip.part"));
    EXPECT_FALSE(Exists("a.zip.part.validador"));
    const std::string received = server.Received();
    const std::string first = received.substr(0, received.find("\r\n\r\n") + 2);
    if (c.if_range) {
      EXPECT_NE(first.find("\r\nRange: bytes=4000-\r\n"), std::string::npos) << first;
      EXPECT_NE(first.find("\r\nIf-Range: " + std::string(c.if_range) + "\r\n"), std::string::npos)
          << first;
    } else {
      EXPECT_EQ(first.find("Range:"), std::string::npos) << first;
    }
    if (c.scripts.size() > 1) {
      EXPECT_EQ(received.rfind("Range:"), received.find("If-Range:") + 3) << "then from zero";
    }
  }
}

// The validator is the first reply's strong ETag, else its Last-Modified (a weak ETag may not
// be used for a range), written whole beside the partial file.
TEST_F(DownloadTest, ValidatorKeptBesideThePartialFile) {
  const struct {
    const char* fields;
    const char* kept;  // nullptr: none
  } cases[] = {
      {"ETag: \"abc\"\r\nLast-Modified: Tue, 03 Feb 2026 10:00:00 GMT\r\n",
       "validador=\"abc\"\r\ntamanho=100000\r\n"},
      {"ETag: W/\"weak\"\r\nLast-Modified: Tue, 03 Feb 2026 10:00:00 GMT\r\n",
       "validador=Tue, 03 Feb 2026 10:00:00 GMT\r\ntamanho=100000\r\n"},
      {"ETag: W/\"weak\"\r\n", nullptr},
      {"", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fields);
    platform::RemoveFile(tmp / "a.zip.part");
    ScriptServer server({RecvUntil("\r\n\r\n"),
                         Send("HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n" +
                              std::string(c.fields) + "\r\n" + Pattern(1000)),
                         Close()});
    Start(Url(server));
    EXPECT_EQ(Read("a.zip.part"), Pattern(1000));
    EXPECT_EQ(Exists("a.zip.part.validador"), c.kept != nullptr);
    if (c.kept) {
      EXPECT_EQ(Read("a.zip.part.validador"), c.kept);
    }
    EXPECT_FALSE(Exists("a.zip.part.validador.novo"));
  }
}

// A resumed file whose whole has another digest is fetched once more from the start before the
// mismatch is reported: the earlier bytes may be of another version that nothing could tell.
TEST_F(DownloadTest, DigestMismatchAfterAResumeIsRetriedFromZero) {
  const std::string whole = Pattern(10000, 3);
  d.SetExpectedSha256(net::Sha256Hex(whole));
  for (bool good_second : {true, false}) {
    SCOPED_TRACE(good_second ? "the fresh copy is right" : "the fresh copy is wrong too");
    test::WriteFile(tmp / "a.zip.part", Pattern(4000, 77));  // another version's bytes
    test::WriteValidator(tmp / "a.zip.part", "\"same\"", 10000);
    ScriptServer server({Serve(Head206(4000, 6000, 10000) + whole.substr(4000)),
                         Serve(Ok200(good_second ? whole : Pattern(10000, 5)))});
    log.events.clear();
    Start(Url(server));
    EXPECT_EQ(server.Connections(), 2);
    const std::string received = server.Received();
    EXPECT_EQ(received.find("\r\nRange:"), received.rfind("\r\nRange:")) << received;
    EXPECT_EQ(Exists("a.zip"), good_second);
    EXPECT_EQ(d.Falha().Tipo, good_second ? ftNenhuma : ftSoma);
    EXPECT_FALSE(Exists("a.zip.part"));
    platform::RemoveFile(tmp / "a.zip");
  }
}

// Without a Content-Length the size is unknown: the total is 0, never the first chunk's size.
TEST_F(DownloadTest, ChunkedReplyHasNoKnownTotal) {
  ScriptServer server(
      {RecvUntil("\r\n\r\n"), Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"),
       WaitSignal(),
       Send("3e8\r\n" + Pattern(1000) + "\r\n7d0\r\n" + Pattern(2000, 1000) + "\r\n0\r\n\r\n"),
       Close()});
  log.on_monitor = [&](TVltDownload&) { server.Signal(); };
  Start(Url(server));
  EXPECT_TRUE(test::SameBytes(Read("a.zip"), Pattern(3000)));
  EXPECT_NE(log.Joined().find("readcount 0 "), std::string::npos) << log.Joined();
  EXPECT_EQ(log.last_to, 0);
}

// A server that goes silent is given up after SilenceTimeout, not the protocol's time-out, and
// the heartbeat tells how long it has been silent.
TEST_F(DownloadTest, SilentServerIsGivenUpAfterTheSilenceTimeout) {
  ScriptServer server({RecvUntil("\r\n\r\n"),
                       Send("HTTP/1.0 200 OK\r\nContent-Length: 5000\r\n\r\n" + Pattern(1000)),
                       WaitSignal()});
  d.Proxy().ProxyTimeout = 60000;
  d.SetSilenceTimeout(400);
  d.SetHeartbeatRate(20);
  std::uint32_t most_silent = 0;
  d.SetOnHeartbeat([&](TVltDownloadClass*, std::uint32_t silence) {
    most_silent = std::max(most_silent, silence);
  });
  const auto t0 = std::chrono::steady_clock::now();
  Start(Url(server));
  server.Signal();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
  EXPECT_EQ(d.Falha().Tipo, ftTempo);
  EXPECT_GE(most_silent, 300u);
  EXPECT_LT(most_silent, 5000u);
  EXPECT_EQ(Read("a.zip.part"), Pattern(1000));
}

}  // namespace
}  // namespace vlt::download

namespace vlt::download {
namespace {

TEST(RetryAfterTest, SecondsOrADateCountedFromTheReplysOwnDate) {
  const char* kDate = "Fri, 11 Dec 2026 10:00:00 GMT";
  const struct {
    const char* value;
    const char* date;
    std::int32_t seconds;
  } cases[] = {
      {"120", kDate, 120},
      {" 0 ", "", 0},
      {"99999999999", "", INT32_MAX},
      {"Fri, 11 Dec 2026 10:00:30 GMT", kDate, 30},
      {"Sat, 12 Dec 2026 10:00:00 GMT", kDate, 86400},
      {"Thu, 01 Jan 2027 00:00:00 GMT", "Thu, 31 Dec 2026 23:59:59 GMT", 1},
      {"Sun, 01 Mar 2026 00:00:00 GMT", "Sat, 28 Feb 2026 23:59:00 GMT", 60},
      {"Fri, 11 Dec 2026 09:00:00 GMT", kDate, 0},  // already past
      {"Fri, 11 Dec 2026 10:00:30 GMT", "", -1},    // no Date to count from
      {"-5", kDate, -1},
      {"1.5", kDate, -1},
      {"soon", kDate, -1},
      {"Fri, 11 Dec 2026 10:00:30 UTC", kDate, -1},
      {"Fri, 11 Foo 2026 10:00:30 GMT", kDate, -1},
      {"Fri, 11 Dec 2026 25:00:30 GMT", kDate, -1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(RetryAfterSeconds(c.value, c.date), c.seconds) << c.value << " / " << c.date;
}

TEST(RetryAfterTest, TheComponentTellsWhatTheServerAsked) {
  test::TempDir tmp;
  test::ScriptServer server({
      {test::RecvUntil("\r\n\r\n"),
       test::Send("HTTP/1.1 503 Service Unavailable\r\nRetry-After: 7\r\nContent-Length: 0\r\n"
                  "Connection: close\r\n\r\n"),
       test::Close()},
      {test::RecvUntil("\r\n\r\n"), test::Send(Ok200("abc")), test::Close()},
  });
  TVltDownload d;
  EXPECT_EQ(d.RetryAfter(), -1);
  d.SetProtocolo(protHTTP);
  d.SetDownloadDest(tmp.path());
  d.SetDownloadNomeArq("a.zip");
  d.SetDownloadUrl("http://127.0.0.1:" + server.Port() + "/a.zip");
  d.StartDownload();
  EXPECT_EQ(d.Falha().Tipo, ftServidor);
  EXPECT_EQ(d.RetryAfter(), 7);
  d.StartDownload();
  EXPECT_TRUE(d.Engine().Finished());
  EXPECT_EQ(d.RetryAfter(), -1);
}

}  // namespace
}  // namespace vlt::download
