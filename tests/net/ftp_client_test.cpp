// TFTPClient against the scriptable server: the exact commands it sends (logon tables, set-up
// after logon, transfers), the reply forms it accepts and the hostile ones it must end with a
// bounded failure. The real server's side is in ftp_server_test.cpp.
#include "net/ftp_client.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/sockets.h"
#include "tests/net/script_server.h"

namespace vlt::net {
namespace {

using test::Close;
using test::RecvUntil;
using test::ScriptServer;
using test::Send;
using test::Step;
using test::WaitSignal;

// One command the client must send and the reply lines the server gives ("\r\n" added). An
// empty command stands for a reply that comes without one (a transfer's final reply).
struct Exchange {
  std::string command;
  std::string reply;
};

// The server greets, answers each command in turn and closes; `sent` gets what the client
// must have sent.
std::vector<Step> Dialogue(const std::string& greeting, const std::vector<Exchange>& exchanges,
                           std::string* sent = nullptr) {
  std::vector<Step> steps{Send(greeting + "\r\n")};
  for (const Exchange& e : exchanges) {
    if (!e.command.empty()) {
      steps.push_back(RecvUntil("\r\n"));
      if (sent != nullptr) *sent += e.command + "\r\n";
    }
    steps.push_back(Send(e.reply + "\r\n"));
  }
  steps.push_back(Close());
  return steps;
}

std::vector<Exchange> Join(std::vector<Exchange> a, const std::vector<Exchange>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::vector<Exchange> kAfterLogon = {
    {"TYPE I", "200 Type set to I"},
    {"STRU F", "200 ok"},
    {"MODE S", "200 ok"},
    {"REST 0", "350 Restarting at 0"},
    {"REST 1", "350 Restarting at 1"},
    {"REST 0", "350 Restarting at 0"},
};
const std::vector<Exchange> kPlainLogon =
    Join({{"USER anonymous", "331 Password please"}, {"PASS guest", "230 Logged in"}}, kAfterLogon);

void Target(TFTPClient& c, const ScriptServer& server) {
  c.TargetHost = "127.0.0.1";
  c.TargetPort = server.Port();
  c.Password = "guest";
  c.Timeout = 5000;
}

// "227 Entering Passive Mode (10,9,8,7,p1,p2)" for a data server's port: an address that is
// not the server's, which the client must not follow.
std::string PasvReply(const ScriptServer& data) {
  const int port = std::stoi(data.Port());
  return "227 Entering Passive Mode (10,9,8,7," + std::to_string(port / 256) + "," +
         std::to_string(port % 256) + ")";
}

TEST(FTPClient, DefaultsAfterConstruction) {
  TFTPClient c;
  EXPECT_EQ(c.Timeout, 300000);
  EXPECT_EQ(c.TargetPort, "21");
  EXPECT_EQ(c.UserName, "anonymous");
  EXPECT_EQ(c.Password, "guestuser@" + c.Sock().LocalName());
  EXPECT_EQ(c.FWPort(), "21");
  EXPECT_EQ(c.FWMode(), 0);
  EXPECT_TRUE(c.PassiveMode());
  EXPECT_TRUE(c.BinaryMode());
  EXPECT_TRUE(c.TLSonData());
  EXPECT_FALSE(c.DirectFile());
  EXPECT_FALSE(c.ForceDefaultPort());
  EXPECT_FALSE(c.ForceOldPort());
  EXPECT_FALSE(c.AutoTLS());
  EXPECT_FALSE(c.FullSSL());
  EXPECT_TRUE(c.Sock().ConvertLineEnd());
  EXPECT_EQ(c.Sock().Owner(), &c);
  EXPECT_EQ(c.DSock().Owner(), &c);
}

TEST(FTPClient, ParseRemoteAndEPSV) {
  struct Case {
    bool epsv;
    const char* reply;
    const char* ip;
    const char* port;
  };
  const Case cases[] = {
      {false, "227 Entering Passive Mode (192,168,1,2,19,137)", "192.168.1.2", "5001"},
      {false, "227 Entering Passive Mode (192,168,1,2,19,137).", "192.168.1.2", "5001"},
      {false, "227 Entering Passive Mode 192,168,1,2,19,137 ", "192.168.1.2", "5001"},
      {false, "227 =192,168,1,2,19,137", "192.168.1.2", "5001"},
      {false, "227 Entering Passive Mode ( 10, 0, 0, 1 , 4 , 1 )", "10.0.0.1", "1025"},
      {false, "227 Entering Passive Mode (255,255,255,255,255,255)", "255.255.255.255", "65535"},
      {true, "229 Entering Extended Passive Mode (|||6446|)", "ftp.example", "6446"},
      {true, "229 Entering Extended Passive Mode ( |||6446| )", "ftp.example", "6446"},
      {true, "229 Extended (!!!21!)", "ftp.example", "21"},
      {true, "229 Extended (|||65535|)", "ftp.example", "65535"},
      // No valid address: nothing to connect to. A number past 255 (or a port past 65535)
      // would otherwise wrap around to a port the server never named.
      {false, "227 Entering Passive Mode (1,2,3,4,x,7)", "", ""},
      {false, "227 Entering Passive Mode (1,2,3,4,99999999999,7)", "", ""},
      {false, "227 Entering Passive Mode (1,2,3,4,418,7)", "", ""},
      {false, "227 Entering Passive Mode (1,2,3,256,4,7)", "", ""},
      {false, "227 Entering Passive Mode (1,2,3,4,0,0)", "", ""},
      {false, "227 Entering Passive Mode (1,2,3,4,5)", "", ""},
      {false, "227 Entering Passive Mode (1,2,3,4,-1,7)", "", ""},
      {false, "227 nothing", "", ""},
      {true, "229 nothing", "ftp.example", ""},
      {true, "229 Extended (|||71982|)", "ftp.example", ""},
      {true, "229 Extended (|||0|)", "ftp.example", ""},
      {true, "229 Extended (|||99999999999999999999|)", "ftp.example", ""},
  };
  for (const Case& c : cases) {
    TFTPClient f;
    f.TargetHost = "ftp.example";
    if (c.epsv)
      f.ParseRemoteEPSV(c.reply);
    else
      f.ParseRemote(c.reply);
    EXPECT_EQ(f.DataIP(), c.ip) << c.reply;
    EXPECT_EQ(f.DataPort(), c.port) << c.reply;
  }
}

TEST(FTPClient, GreetingForms) {
  struct Case {
    const char* name;
    std::vector<Step> script;
    bool login;
    int code;
    std::size_t lines;
    const char* failure;  // start of FailureText when the login fails
  };
  std::vector<Step> flood{Send("220-hello\r\n")};
  for (int i = 0; i < 1200; ++i) flood.push_back(Send("more\r\n"));
  flood.push_back(WaitSignal());
  std::vector<Case> cases;
  cases.push_back(
      {"multi-line greeting",
       Dialogue("220-Welcome\r\n  to the\r\n220x not the end\r\n220 server", kPlainLogon), true,
       350, 1, ""});
  cases.push_back({"preliminary reply first", Dialogue("120 wait\r\n220 ready", kPlainLogon), true,
                   350, 1, ""});
  cases.push_back({"refused",
                   {Send("421 Too many users\r\n"), Close()},
                   false,
                   421,
                   1,
                   "the greeting: 421 Too many users"});
  cases.push_back({"cut multi-line greeting",
                   {Send("220-Welcome\r\nmore\r\n"), Close()},
                   false,
                   0,
                   2,
                   "reading the reply: connection closed by the server"});
  cases.push_back({"endless multi-line greeting", flood, false, 0,
                   static_cast<std::size_t>(TFTPClient::kMaxReplyLines),
                   "reply of more than 1000 lines"});
  std::vector<Step> waits;
  for (int i = 0; i < 150; ++i) waits.push_back(Send("120 wait a little longer\r\n"));
  waits.push_back(WaitSignal());
  cases.push_back({"endless preliminary replies", waits, false, 120, 1,
                   "the greeting: more than 100 preliminary replies"});
  cases.push_back({"line without end",
                   {Send("220 " + std::string(20000, 'x')), WaitSignal()},
                   false,
                   0,
                   0,
                   "reading the reply: reply line longer than 8192 bytes"});
  for (Case& c : cases) {
    ScriptServer server(c.script);
    TFTPClient f;
    Target(f, server);
    EXPECT_EQ(f.Login(), c.login) << c.name;
    EXPECT_EQ(f.ResultCode(), c.code) << c.name;
    if (c.login) {
      EXPECT_TRUE(f.CanResume()) << c.name;
    } else {
      EXPECT_EQ(f.FullResult().size(), c.lines) << c.name;
      EXPECT_EQ(f.FailureText().substr(0, std::string(c.failure).size()), c.failure)
          << c.name << ": " << f.FailureText();
    }
    server.Signal();
  }
}

TEST(FTPClient, MultiLineGreetingKeepsEveryLine) {
  ScriptServer server(Dialogue("220-Welcome\r\n  to the\r\n220 server", kPlainLogon));
  TFTPClient f;
  Target(f, server);
  std::vector<std::string> seen;
  f.OnStatus = [&](TFTPClient*, bool response, const std::string& v) {
    seen.push_back((response ? "< " : "> ") + v);
  };
  ASSERT_TRUE(f.Login());
  ASSERT_GE(seen.size(), 4u);
  EXPECT_EQ(seen[0], "< 220-Welcome");
  EXPECT_EQ(seen[1], "<   to the");
  EXPECT_EQ(seen[2], "< 220 server");
  EXPECT_EQ(seen[3], "> USER anonymous");
}

TEST(FTPClient, SlowGreetingTimesOutAsAWhole) {
  // Each line comes well within the time-out, the reply as a whole does not.
  std::vector<Step> drip{Send("220-a\r\n")};
  for (int i = 0; i < 10; ++i) {
    drip.push_back(test::Pause(50));
    drip.push_back(Send("x\r\n"));
  }
  drip.push_back(WaitSignal());
  ScriptServer server(drip);
  TFTPClient f;
  Target(f, server);
  f.Timeout = 300;
  EXPECT_FALSE(f.Login());
  EXPECT_EQ(f.ResultCode(), 0);
  EXPECT_NE(f.FailureText().find("reply"), std::string::npos) << f.FailureText();
  server.Signal();
}

// The commands each firewall mode sends, with the target "ftp.example:2121" behind the
// firewall (the scriptable server) and its replies.
TEST(FTPClient, FirewallLogonSequences) {
  struct Case {
    int mode;
    std::vector<Exchange> logon;
    bool ok;
  };
  const Case cases[] = {
      {0, {{"USER u", "331 pw"}, {"PASS p", "332 account"}, {"ACCT acc", "230 in"}}, true},
      {0, {{"USER u", "230 no password needed"}}, true},
      {0, {{"USER u", "331 pw"}, {"PASS p", "332 account"}, {"ACCT acc", "332 again"}}, false},
      {0, {{"USER u", "530 no"}}, false},
      {1,
       {{"USER fwu", "331 pw"},
        {"PASS fwp", "230 fw ok"},
        {"SITE ftp.example:2121", "331 site"},
        {"USER u", "331 pw"},
        {"PASS p", "230 in"}},
       true},
      {1,
       {{"USER fwu", "230 fw ok"}, {"SITE ftp.example:2121", "220 connected, but wrong"}},
       false},
      {2,
       {{"USER fwu", "331 pw"},
        {"PASS fwp", "230 fw ok"},
        {"USER u@ftp.example:2121", "331 pw"},
        {"PASS p", "230 in"}},
       true},
      {3,
       {{"USER fwu", "331 pw"},
        {"PASS fwp", "230 fw ok"},
        {"USER u", "331 pw"},
        {"PASS p", "332 acct"},
        {"ACCT acc", "230 in"}},
       true},
      {4,
       {{"OPEN ftp.example:2121", "220 open"}, {"USER u", "331 pw"}, {"PASS p", "230 in"}},
       true},
      {5, {{"USER u@ftp.example:2121", "331 pw"}, {"PASS p", "230 in"}}, true},
      {6,
       {{"USER fwu@ftp.example:2121", "331 pw"},
        {"PASS fwp", "230 fw ok"},
        {"USER u", "331 pw"},
        {"PASS p", "230 in"}},
       true},
      {7, {{"USER u@ftp.example:2121 fwu", "331 pw"}, {"PASS p", "230 in"}}, true},
      {7, {{"USER u@ftp.example:2121 fwu", "230 in"}}, false},
      {8, {{"USER u@fwu@ftp.example:2121", "331 pw"}, {"PASS p@fwp", "230 in"}}, true},
      {42, {{"USER u", "331 pw"}, {"PASS p", "230 in"}}, true},
  };
  for (const Case& c : cases) {
    std::string sent;
    ScriptServer server(
        Dialogue("220 firewall", c.ok ? Join(c.logon, kAfterLogon) : c.logon, &sent));
    TFTPClient f;
    f.TargetHost = "ftp.example";
    f.TargetPort = "2121";
    f.SetFWHost("127.0.0.1");
    f.SetFWPort(server.Port());
    f.SetFWUsername("fwu");
    f.SetFWPassword("fwp");
    f.SetFWMode(c.mode);
    f.UserName = "u";
    f.Password = "p";
    f.SetAccount("acc");
    f.Timeout = 5000;
    EXPECT_EQ(f.Login(), c.ok) << "mode " << c.mode << " " << c.logon.back().reply;
    f.Sock().CloseSocket();
    EXPECT_EQ(server.Received(), sent) << "mode " << c.mode;
  }
}

TEST(FTPClient, WithoutFirewallHostTheModeIsIgnoredAndPort21IsNotNamed) {
  std::string sent;
  ScriptServer server(Dialogue("220 hi", kPlainLogon, &sent));
  TFTPClient f;
  Target(f, server);
  f.SetFWMode(5);
  ASSERT_TRUE(f.Login());
  f.Sock().CloseSocket();
  EXPECT_EQ(server.Received(), sent);

  // Mode -1: the caller's own table; the host text leaves out port 21.
  std::string sent2;
  ScriptServer fw(Dialogue("220 fw", Join({{"SITE ftp.example", "230 ok"}}, kAfterLogon), &sent2));
  TFTPClient g;
  g.TargetHost = "ftp.example";
  g.SetFWHost("127.0.0.1");
  g.SetFWPort(fw.Port());
  g.SetFWMode(-1);
  g.CustomLogon = {5, 255, 254};
  g.Timeout = 5000;
  ASSERT_TRUE(g.Login());
  g.Sock().CloseSocket();
  EXPECT_EQ(fw.Received(), sent2);
}

TEST(FTPClient, AuthTlsFailsThroughThePluginWithoutTls) {
  ScriptServer server(Dialogue("220 hi", {{"AUTH TLS", "234 Go ahead"}}));
  TFTPClient f;
  Target(f, server);
  f.SetAutoTLS(true);
  EXPECT_FALSE(f.Login());
  EXPECT_FALSE(f.IsTLS());
  EXPECT_NE(f.FailureText().find("TLS"), std::string::npos) << f.FailureText();
}

TEST(FTPClient, RestRefusedLeavesNoResume) {
  const std::vector<std::vector<Exchange>> refusals = {
      {{"REST 0", "500 Unknown command"}},
      {{"REST 0", "350 ok"}, {"REST 1", "502 Not implemented"}},
      {{"REST 0", "350 ok"}, {"REST 1", "200 odd"}},
  };
  for (const auto& rest : refusals) {
    std::string sent;
    ScriptServer server(Dialogue("220 hi",
                                 Join({{"USER anonymous", "230 in"},
                                       {"TYPE I", "200 ok"},
                                       {"STRU F", "200 ok"},
                                       {"MODE S", "200 ok"}},
                                      rest),
                                 &sent));
    TFTPClient f;
    Target(f, server);
    EXPECT_TRUE(f.Login());
    EXPECT_FALSE(f.CanResume());
    f.Sock().CloseSocket();
    EXPECT_EQ(server.Received(), sent);
  }
}

TEST(FTPClient, PassiveRetrieveIntoDataStreamFollowsTheControlConnectionsAddress) {
  ScriptServer data({Send("0123456789"), Close()});
  TFTPClient f;
  std::string sent;
  ScriptServer control(Dialogue("220 hi",
                                Join(kPlainLogon, {{"PASV", PasvReply(data)},
                                                   {"TYPE I", "200 ok"},
                                                   {"RETR /a.zip", "150 Opening"},
                                                   {"", "226 Transfer complete"}}),
                                &sent));
  Target(f, control);
  ASSERT_TRUE(f.Login());
  std::vector<TFTPState> closes;
  f.DSock().OnStatus = [&](TBlockSocket*, THookSocketReason r, const std::string&) {
    if (r == HR_SocketClose) closes.push_back(f.State());
  };
  EXPECT_TRUE(f.RetrieveFile("/a.zip", false)) << f.FailureText();
  EXPECT_EQ(f.DataStream().Bytes(), "0123456789");
  EXPECT_EQ(f.DataIP(), "10.9.8.7");
  EXPECT_EQ(f.ResultCode(), 226);
  EXPECT_EQ(f.State(), fsTransferDone);
  // The close before the data connection, then the one at the end of the data.
  EXPECT_EQ(closes, (std::vector<TFTPState>{fsDataSetup, fsDataTransfer}));
  f.Sock().CloseSocket();
  EXPECT_EQ(control.Received(), sent);
}

// Records what a client hands its body sink, in order.
struct RecordingSink : TBodySink {
  std::string body;
  std::vector<std::string> calls;
  TTransferEnd end;
  void BodyBegin() override { calls.push_back("begin"); }
  bool BodyData(std::string_view bytes) override {
    body += bytes;
    return true;
  }
  void BodyEnd(const TTransferEnd& e) override {
    calls.push_back("end");
    end = e;
  }
};

// Each outcome, into DataStream and into a body sink: a sink gets the data and one end that
// says how the transfer went and why.
TEST(FTPClient, TransferOutcomes) {
  struct Case {
    const char* name;
    std::vector<Exchange> after_pasv;  // commands after PASV; a final reply is its own entry
    bool can_resume;
    bool restore;
    bool answer;
    const char* failure;
    TTransferOutcome outcome;  // with a body sink
  };
  const Case cases[] = {
      {"final reply other than 2xx",
       {{"TYPE I", "200 ok"}, {"RETR f", "150 go"}, {"", "426 Connection closed; aborted"}},
       true,
       false,
       false,
       "the transfer: 426 Connection closed; aborted",
       toCut},
      {"multi-line final reply",
       {{"TYPE I", "200 ok"}, {"RETR f", "125 go"}, {"", "226-done\r\nstats\r\n226 bye"}},
       true,
       false,
       true,
       "",
       toComplete},
      {"RETR refused",
       {{"TYPE I", "200 ok"}, {"RETR f", "550 No such file"}},
       true,
       false,
       false,
       "RETR: 550 No such file",
       toRefused},
      {"REST refused at the transfer",
       {{"TYPE I", "200 ok"}, {"REST 4", "502 no"}},
       true,
       true,
       false,
       "REST: 502 no",
       toRefused},
      {"restore without resume starts from the beginning",
       {{"TYPE I", "200 ok"}, {"RETR f", "150 go"}, {"", "226 ok"}},
       false,
       true,
       true,
       "",
       toComplete},
  };
  for (const bool with_sink : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(with_sink ? "into a body sink" : "into DataStream");
      ScriptServer data({Send("data"), Close()});
      std::vector<Exchange> logon = {{"USER anonymous", "230 in"},
                                     {"TYPE I", "200 ok"},
                                     {"STRU F", "200 ok"},
                                     {"MODE S", "200 ok"}};
      logon = Join(logon, c.can_resume ? std::vector<Exchange>{{"REST 0", "350 ok"},
                                                               {"REST 1", "350 ok"},
                                                               {"REST 0", "350 ok"}}
                                       : std::vector<Exchange>{{"REST 0", "502 no"}});
      logon.push_back({"PASV", PasvReply(data)});
      std::string sent;
      ScriptServer control(Dialogue("220 hi", Join(logon, c.after_pasv), &sent));
      TFTPClient f;
      RecordingSink sink;
      if (with_sink) f.SetBodySink(&sink);
      Target(f, control);
      ASSERT_TRUE(f.Login()) << c.name;
      if (c.restore) f.DataStream().Append("1234");
      EXPECT_EQ(f.RetrieveFile("f", c.restore), c.answer) << c.name;
      EXPECT_EQ(f.FailureText(), c.failure) << c.name;
      if (with_sink) {
        EXPECT_EQ(sink.end.Outcome, c.outcome) << c.name;
        EXPECT_EQ(sink.end.Reason, c.failure) << c.name;
        const bool data = c.outcome != toRefused;
        EXPECT_EQ(sink.body, data ? "data" : "") << c.name;
        const std::vector<std::string> calls =
            data ? std::vector<std::string>{"begin", "end"} : std::vector<std::string>{"end"};
        EXPECT_EQ(sink.calls, calls) << c.name;
        EXPECT_EQ(f.DataStream().Bytes().find("data"), std::string_view::npos)
            << c.name << ": the client kept none of it";
      }
      f.Sock().CloseSocket();
      EXPECT_EQ(control.Received(), sent) << c.name;
    }
  }
}

// Only the server's orderly close ends the data: after a reset the transfer fails, whatever the
// server says next.
TEST(FTPClient, AResetIsNotTheEndOfTheData) {
  if (platform::ResetsReadAsEnd())
    GTEST_SKIP() << "this system's sockets report a reset that has arrived as an orderly end";
  // The data comes once RETR went out, so that the reset cannot race the connect.
  ScriptServer data({WaitSignal(), Send("data"), test::Reset()});
  std::string sent;
  ScriptServer control(Dialogue(
      "220 hi",
      Join(kPlainLogon,
           {{"PASV", PasvReply(data)}, {"TYPE I", "200 ok"}, {"RETR f", "150 go"}, {"", "226 ok"}}),
      &sent));
  TFTPClient f;
  Target(f, control);
  ASSERT_TRUE(f.Login());
  f.OnStatus = [&](TFTPClient*, bool response, const std::string& v) {
    if (!response && v.starts_with("RETR")) data.Signal();
  };
  EXPECT_FALSE(f.RetrieveFile("f", false));
  EXPECT_EQ(f.FailureText(), "receiving the data: connection reset by the server");
  EXPECT_TRUE(std::string("data").starts_with(f.DataStream().Bytes()));
  EXPECT_EQ(f.ResultCode(), 226);
  f.Sock().CloseSocket();
  EXPECT_EQ(control.Received(), sent);
}

// RetrieveFileFrom with a limit: the target never holds a byte past offset + limit, whatever
// the server sends.
TEST(FTPClient, RetrieveTakesNoMoreThanItsLimit) {
  constexpr long long kFlood = 64 << 20;
  struct Case {
    const char* name;
    std::vector<Step> data;
    bool can_resume;
    std::int64_t offset, limit;
    bool answer;
    std::string held;
    const char* failure;
  };
  const Case cases[] = {
      {"exactly the limit", {Send("0123456789"), Close()}, true, 0, 10, true, "0123456789", ""},
      {"no limit", {Send("0123456789"), Close()}, true, 0, -1, true, "0123456789", ""},
      // Without restarts the server sends from the start: the limit counts from there.
      {"no restarts", {Send("0123456789"), Close()}, false, 3, 7, true, "0123456789", ""},
      {"more than the limit",
       {Send("0123456789"), Close()},
       true,
       0,
       4,
       false,
       "0123",
       "more than 4 bytes of data"},
      // REST taken, the file sent from its start all the same.
      {"REST ignored",
       {Send("0123456789"), Close()},
       true,
       3,
       7,
       false,
       "0123456",
       "more than 7 bytes of data"},
      {"endless data",
       {test::Flood(kFlood), Close()},
       true,
       0,
       10,
       false,
       std::string(10, 'F'),
       "more than 10 bytes of data"},
  };
  for (const Case& c : cases) {
    ScriptServer data(c.data);
    std::vector<Exchange> e = {{"USER anonymous", "230 in"},
                               {"TYPE I", "200 ok"},
                               {"STRU F", "200 ok"},
                               {"MODE S", "200 ok"}};
    e = Join(e, c.can_resume ? std::vector<Exchange>{{"REST 0", "350 ok"},
                                                     {"REST 1", "350 ok"},
                                                     {"REST 0", "350 ok"}}
                             : std::vector<Exchange>{{"REST 0", "502 no"}});
    e = Join(e, {{"PASV", PasvReply(data)}, {"TYPE I", "200 ok"}});
    if (c.can_resume && c.offset > 0) e.push_back({"REST " + std::to_string(c.offset), "350 ok"});
    e = Join(e, {{"RETR f", "150 go"}, {"", "226 ok"}});
    std::string sent;
    ScriptServer control(Dialogue("220 hi", e, &sent));
    TFTPClient f;
    Target(f, control);
    ASSERT_TRUE(f.Login()) << c.name;
    EXPECT_EQ(f.RetrieveFileFrom("f", c.offset, c.limit), c.answer) << c.name;
    EXPECT_EQ(f.DataOverLimit(), !c.answer) << c.name;
    EXPECT_EQ(f.DataStream().Bytes(), c.held) << c.name;
    EXPECT_EQ(f.FailureText(), c.failure) << c.name;
    f.Sock().CloseSocket();
    EXPECT_EQ(control.Received(), sent) << c.name;
    EXPECT_LT(data.Flooded(), kFlood) << c.name;
  }
}

// A PASV reply whose numbers wrap around ("(127,0,0,1,P/256+256,P%256)" is port P + 65536)
// must not lead to the port it wraps to.
TEST(FTPClient, PassiveAddressOutOfRangeConnectsNowhere) {
  ScriptServer data({Send("data"), Close()});
  const int port = std::stoi(data.Port());
  std::string sent;
  ScriptServer control(Dialogue(
      "220 hi",
      Join(kPlainLogon,
           {{"PASV", "227 Entering Passive Mode (127,0,0,1," + std::to_string(port / 256 + 256) +
                         "," + std::to_string(port % 256) + ")"}}),
      &sent));
  TFTPClient f;
  Target(f, control);
  ASSERT_TRUE(f.Login());
  EXPECT_FALSE(f.RetrieveFile("/a.zip", false));
  EXPECT_TRUE(f.FailureText().starts_with("PASV: no valid address in \"227 ")) << f.FailureText();
  EXPECT_EQ(f.DataPort(), "");
  EXPECT_EQ(f.State(), fsIdle);
  f.Sock().CloseSocket();
  EXPECT_EQ(control.Received(), sent);
  EXPECT_EQ(data.Connections(), 0);
}

// A user name, password, path or command with CR, LF or NUL in it ("u\r\nDELE x") is refused
// before a byte of it goes out: the server sees only the commands before it.
TEST(FTPClient, CommandsWithLineEndsAreRefusedUnsent) {
  struct Case {
    const char* name;
    std::function<bool(TFTPClient&)> call;
    std::vector<Exchange> dialogue;  // what the server gets and answers
    const char* verb;                // the refused command, named without its arguments
  };
  const auto login = [](std::string user, std::string pass) {
    return [=](TFTPClient& f) {
      f.UserName = user;
      f.Password = pass;
      return f.Login();
    };
  };
  const auto after_login = [](std::function<bool(TFTPClient&)> call) {
    return [=](TFTPClient& f) { return f.Login() && call(f); };
  };
  const Case cases[] = {
      {"user", login("u\r\nDELE x", "p"), {}, "USER"},
      {"user, NUL", login(std::string("u\0x", 3), "p"), {}, "USER"},
      {"password",
       login("anonymous", "p\nDELE x"),
       {{"USER anonymous", "331 Password please"}},
       "PASS"},
      {"password, CR",
       login("anonymous", "p\rDELE x"),
       {{"USER anonymous", "331 Password"}},
       "PASS"},
      {"path of DELE", after_login([](TFTPClient& f) { return f.DeleteFile("a\r\nDELE b"); }),
       kPlainLogon, "DELE"},
      {"path of SIZE",
       after_login([](TFTPClient& f) { return f.FileSize(std::string("a\0\r\nDELE b", 10)) >= 0; }),
       kPlainLogon, "SIZE"},
      {"path of CWD", after_login([](TFTPClient& f) { return f.ChangeWorkingDir("d\nRMD /"); }),
       kPlainLogon, "CWD"},
      {"new name of a rename",
       after_login([](TFTPClient& f) { return f.RenameFile("a", "b\r\nDELE c"); }),
       Join(kPlainLogon, {{"RNFR a", "350 ready"}}), "RNTO"},
      {"any command",
       after_login([](TFTPClient& f) { return f.FTPCommand("NOOP\r\nDELE x") != 0; }), kPlainLogon,
       "NOOP"},
  };
  for (const Case& c : cases) {
    std::string sent;
    ScriptServer server(Dialogue("220 hi", c.dialogue, &sent));
    TFTPClient f;
    Target(f, server);
    std::string reported;
    f.OnStatus = [&](TFTPClient*, bool response, const std::string& v) {
      if (!response) reported += v + "\n";
    };
    EXPECT_FALSE(c.call(f)) << c.name;
    EXPECT_EQ(f.FailureText(),
              std::string(c.verb) + ": refused, the command holds a CR, LF or NUL byte")
        << c.name;
    EXPECT_EQ(f.ResultCode(), 0) << c.name;
    EXPECT_EQ(reported.find("DELE"), std::string::npos) << c.name;
    f.Sock().CloseSocket();
    EXPECT_EQ(server.Received(), sent) << c.name;
  }
}

TEST(FTPClient, ListingIsBounded) {
  ScriptServer data({test::Flood(TFTPClient::kMaxListing + (1 << 20)), Close()});
  std::string sent;
  ScriptServer control(Dialogue("220 hi",
                                Join(kPlainLogon, {{"TYPE A", "200 ok"},
                                                   {"PASV", PasvReply(data)},
                                                   {"LIST /pub", "150 Here it comes"},
                                                   {"", "426 Aborted"}}),
                                &sent));
  TFTPClient f;
  Target(f, control);
  ASSERT_TRUE(f.Login());
  EXPECT_FALSE(f.List("/pub", false));
  EXPECT_EQ(f.FailureText(), "more than 16777216 bytes of data");
  f.Sock().CloseSocket();
  EXPECT_EQ(control.Received(), sent);
}

TEST(FTPClient, SimpleCommands) {
  struct Case {
    const char* name;
    std::function<std::string(TFTPClient&)> call;
    std::vector<Exchange> dialogue;
    std::string result;
  };
  const auto yes = [](bool b) { return std::string(b ? "true" : "false"); };
  const Case cases[] = {
      {"size",
       [](TFTPClient& f) { return std::to_string(f.FileSize("a.zip")); },
       {{"SIZE a.zip", "213 300000"}},
       "300000"},
      {"size beyond 4 GiB",
       [](TFTPClient& f) { return std::to_string(f.FileSize("big")); },
       {{"SIZE big", "213  5000000000 bytes"}},
       "5000000000"},
      {"size refused",
       [](TFTPClient& f) { return std::to_string(f.FileSize("a.zip")); },
       {{"SIZE a.zip", "500 SIZE not understood"}},
       "-1"},
      {"size not a number",
       [](TFTPClient& f) { return std::to_string(f.FileSize("a")); },
       {{"SIZE a", "213 -5"}},
       "-1"},
      {"pwd",
       [](TFTPClient& f) { return f.GetCurrentDir(); },
       {{"PWD", "257 \"/pub/dir\" is the current directory"}},
       "/pub/dir"},
      {"pwd refused", [](TFTPClient& f) { return f.GetCurrentDir(); }, {{"PWD", "550 no"}}, ""},
      {"rename",
       [&](TFTPClient& f) { return yes(f.RenameFile("a", "b")); },
       {{"RNFR a", "350 ready"}, {"RNTO b", "250 renamed"}},
       "true"},
      {"rename refused",
       [&](TFTPClient& f) { return yes(f.RenameFile("a", "b")); },
       {{"RNFR a", "550 no such file"}},
       "false"},
      {"delete",
       [&](TFTPClient& f) { return yes(f.DeleteFile("a")); },
       {{"DELE a", "250 ok"}},
       "true"},
      {"noop", [&](TFTPClient& f) { return yes(f.NoOp()); }, {{"NOOP", "200 ok"}}, "true"},
      {"cwd",
       [&](TFTPClient& f) { return yes(f.ChangeWorkingDir("pub")); },
       {{"CWD pub", "250 ok"}},
       "true"},
      {"cdup",
       [&](TFTPClient& f) { return yes(f.ChangeToParentDir()); },
       {{"CDUP", "200 ok"}},
       "true"},
      {"root",
       [&](TFTPClient& f) { return yes(f.ChangeToRootDir()); },
       {{"CWD /", "250 ok"}},
       "true"},
      {"mkd",
       [&](TFTPClient& f) { return yes(f.CreateDir("d")); },
       {{"MKD d", "257 \"/d\" created"}},
       "true"},
      {"rmd refused",
       [&](TFTPClient& f) { return yes(f.DeleteDir("d")); },
       {{"RMD d", "550 not empty"}},
       "false"},
      {"logout", [&](TFTPClient& f) { return yes(f.Logout()); }, {{"QUIT", "221 bye"}}, "true"},
  };
  for (const Case& c : cases) {
    std::string sent;
    ScriptServer server(Dialogue("220 hi", Join(kPlainLogon, c.dialogue), &sent));
    TFTPClient f;
    Target(f, server);
    ASSERT_TRUE(f.Login()) << c.name;
    EXPECT_EQ(c.call(f), c.result) << c.name;
    f.Sock().CloseSocket();
    EXPECT_EQ(server.Received(), sent) << c.name;
  }
}

TEST(FTPClient, AbortSendsAborAndTelnetInterrupt) {
  std::vector<Step> script = Dialogue("220 hi", kPlainLogon);
  script.back() = RecvUntil("ABOR\r\n");
  ScriptServer server(script);
  TFTPClient f;
  Target(f, server);
  ASSERT_TRUE(f.Login());
  f.TelnetAbort();
  f.Sock().CloseSocket();
  const std::string got = server.Received();
  EXPECT_TRUE(
      got.ends_with("REST 0\r\n\xFF\xF4\xFF\xF2"
                    "ABOR\r\n"))
      << got;
}

}  // namespace
}  // namespace vlt::net
