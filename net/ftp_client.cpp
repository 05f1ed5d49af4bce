#include "net/ftp_client.h"

#include <algorithm>
#include <functional>

#include "net/address_text.h"
#include "net/text_functions.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/numbers.h"

namespace vlt::net {

namespace p = vlt::platform;

namespace {

// The handshake on a connection to `host`: the certificate must name the host asked for, on
// the data connection too, unless the caller chose another name.
void StartTLS(TTCPBlockSocket& sock, const std::string& host) {
  const bool chosen = !sock.SSL().SNIHost.empty();
  if (!chosen) sock.SSL().SNIHost = host;
  sock.SSLDoConnect();
  if (!chosen) sock.SSL().SNIHost.clear();
}

constexpr int kDataBlock = 65536;

// The logon tables of the firewall modes 0 to 8.
constexpr TLogonActions kLogonTables[9] = {
    {0, 255, 3, 1, 255, 6, 2, 255, 254},
    {3, 6, 3, 4, 6, 254, 5, 254, 9, 0, 255, 12, 1, 255, 15, 2, 255, 254},
    {3, 6, 3, 4, 6, 254, 6, 255, 9, 1, 255, 12, 2, 255, 254},
    {3, 6, 3, 4, 6, 254, 0, 255, 9, 1, 255, 12, 2, 255, 254},
    {7, 3, 3, 0, 255, 6, 1, 255, 9, 2, 255, 254},
    {6, 255, 3, 1, 255, 6, 2, 255, 254},
    {8, 6, 3, 4, 6, 254, 0, 255, 9, 1, 255, 12, 2, 255, 254},
    {9, 254, 3, 1, 255, 6, 2, 255, 254},
    {10, 255, 3, 11, 255, 6, 2, 255, 254},
};

int ClassOf(std::int32_t code) {
  return code / 100;
}

std::string Describe(TBlockSocket& sock) {
  const int e = sock.LastError();
  if (e == p::kWSAENOBUFS)
    return "reply line longer than " + std::to_string(TFTPClient::kMaxReplyLine) + " bytes";
  if (e == p::kWSAETIMEDOUT) return "timed out";
  if (e == p::kWSAECONNRESET)
    return sock.ClosedByPeer() ? "connection closed by the server"
                               : "connection reset by the server";
  return (sock.LastErrorDesc().empty() ? GetErrorDesc(e) : sock.LastErrorDesc()) + " (" +
         std::to_string(e) + ")";
}

// The verb of a command, for failure texts: never the arguments, which may hold a password.
std::string Verb(std::string_view command) {
  return std::string(command.substr(0, command.find_first_of(std::string_view(" \r\n\0", 4))));
}

}  // namespace

bool TFTPReplyAssembler::Add(const ByteString& line) {
  if (complete_) return true;
  if (code_.empty() && line.size() > 3 && (line[3] == ' ' || line[3] == '-'))
    code_ = line.substr(0, 3);
  complete_ = !code_.empty() && line.size() > 3 && line.compare(0, 3, code_) == 0 && line[3] == ' ';
  return complete_;
}

std::int32_t TFTPReplyAssembler::Code() const {
  if (!complete_) return 0;
  const auto value = p::ParseUnsigned<std::int32_t>(code_);
  return value ? *value : 0;
}

TFTPClient::TFTPClient()
    : FSock(std::make_unique<TTCPBlockSocket>()),
      FDSock(std::make_unique<TTCPBlockSocket>()),
      FFtpList(std::make_unique<TFTPList>()) {
  Timeout = 300000;
  TargetPort = "21";
  UserName = "anonymous";
  Password = "guestuser@" + FSock->LocalName();
  FSock->SetConvertLineEnd(true);
  FSock->SetMaxLineLength(kMaxReplyLine);
  FSock->SetOwner(this);
  FDSock->SetOwner(this);
}

TFTPClient::~TFTPClient() = default;

void TFTPClient::SetState(TFTPState state) {
  FState = state;
}

void TFTPClient::Fail(const std::string& why) {
  if (FFailureText.empty()) FFailureText = why;
}

void TFTPClient::FailFromSocket(TBlockSocket& sock, const std::string& what) {
  if (sock.LastError() != 0) Fail(what + ": " + Describe(sock));
}

bool TFTPClient::Expect(const std::string& command, int expected) {
  if (ClassOf(FResultCode) == expected) return true;
  // A reply that never came already named its failure.
  Fail(command + ": " + (FResultCode == 0 ? std::string("no reply") : FResultString));
  return false;
}

bool TFTPClient::Ask(const std::string& command, int expected) {
  FTPCommand(command);
  return Expect(Verb(command), expected);
}

void TFTPClient::ReportFtpStatus(bool Response, const std::string& Value) {
  if (OnStatus) OnStatus(this, Response, Value);
}

// "220 Service ready", and the multi-line form, whose inner lines may hold anything:
//   "220-Welcome" / "  second line" / "220 ready"
// The reply ends at the first line that starts with its code and a blank. A reply that does
// not arrive whole (closed, timed out, too long) answers 0: a cut "226-" is not a success.
std::int32_t TFTPClient::ReadResult() {
  FFullResult.clear();
  FResultString.clear();
  TFTPReplyAssembler reply;
  const std::uint32_t start = TickMilliseconds();
  for (;;) {
    int left = -1;
    if (Timeout >= 0) {
      const std::uint32_t spent = TickDifference(start, TickMilliseconds());
      left = spent >= static_cast<std::uint32_t>(Timeout) ? 0 : Timeout - static_cast<int>(spent);
      if (left == 0 && Timeout > 0) {
        Fail("no complete reply within " + std::to_string(Timeout) + " ms");
        break;
      }
    }
    const ByteString raw = FSock->RecvString(left);
    if (FSock->LastError() != 0) {
      FailFromSocket(*FSock, "reading the reply");
      break;
    }
    const std::string line = p::AnsiToText(raw);
    FResultString = line;
    FFullResult.push_back(line);
    ReportFtpStatus(true, line);
    if (reply.Add(raw)) break;
    if (static_cast<int>(FFullResult.size()) >= kMaxReplyLines) {
      Fail("reply of more than " + std::to_string(kMaxReplyLines) + " lines");
      break;
    }
  }
  FResultCode = reply.Code();
  return FResultCode;
}

// Every command goes out here. A user name, password or path with a line end in it would
// smuggle in a second command ("USER u\r\nDELE x"), and a NUL cuts a command short on many
// servers: such a command is refused before a byte of it is sent.
std::int32_t TFTPClient::FTPCommand(const std::string& Value) {
  const ByteString bytes = p::TextToAnsi(Value);
  if (bytes.find_first_of(std::string_view("\r\n\0", 3)) != ByteString::npos) {
    Fail(Verb(Value) + ": refused, the command holds a CR, LF or NUL byte");
    FResultCode = 0;
    FResultString.clear();
    FFullResult.clear();
    return 0;
  }
  FSock->Purge();
  FSock->SendString(bytes + CRLF);
  ReportFtpStatus(false, Value);
  if (FSock->LastError() != 0) {
    FailFromSocket(*FSock, "sending " + Verb(Value));
    FResultCode = 0;
    FResultString.clear();
    FFullResult.clear();
    return 0;
  }
  return ReadResult();
}

bool TFTPClient::ConnectControl() {
  FSock->CloseSocket();
  FSock->SetConnectionTimeout(Timeout > 0 ? Timeout : 0);
  FSock->Bind(IPInterface, "0");
  if (FSock->LastError() == 0) {
    if (!FFWHost.empty())
      FSock->Connect(FFWHost, FFWPort);
    else
      FSock->Connect(TargetHost, TargetPort);
    if (FSock->LastError() == 0 && FFullSSL) StartTLS(*FSock, TargetHost);
  }
  const std::string host =
      FFWHost.empty() ? TargetHost + ":" + TargetPort : FFWHost + ":" + FFWPort;
  FailFromSocket(*FSock, "connecting to " + host);
  return FSock->LastError() == 0;
}

std::string TFTPClient::HostText() const {
  return TargetPort == "21" ? TargetHost : TargetHost + ":" + TargetPort;
}

ByteString TFTPClient::LogonCommand(int code) const {
  const std::string host = HostText();
  switch (code) {
    case 0:
      return "USER " + UserName;
    case 1:
      return "PASS " + Password;
    case 2:
      return "ACCT " + FAccount;
    case 3:
      return "USER " + FFWUsername;
    case 4:
      return "PASS " + FFWPassword;
    case 5:
      return "SITE " + host;
    case 6:
      return "USER " + UserName + "@" + host;
    case 7:
      return "OPEN " + host;
    case 8:
      return "USER " + FFWUsername + "@" + host;
    case 9:
      return "USER " + UserName + "@" + host + " " + FFWUsername;
    case 10:
      return "USER " + UserName + "@" + FFWUsername + "@" + host;
    case 11:
      return "PASS " + Password + "@" + FFWPassword;
    default:
      return {};
  }
}

bool TFTPClient::LogonSequence(std::int32_t Mode) {
  if (FFWHost.empty()) Mode = 0;
  const TLogonActions& table =
      Mode == -1 ? CustomLogon : kLogonTables[Mode >= 0 && Mode <= 8 ? Mode : 0];
  std::size_t state = 0;
  // Every step moves to another state or ends; a custom table that loops is cut off.
  for (int steps = 0; steps < 6; ++steps) {
    if (state + 2 >= table.size()) break;
    const ByteString command = LogonCommand(table[state]);
    if (command.empty()) break;
    FTPCommand(command);
    const int cls = ClassOf(FResultCode);
    if (cls != 2 && cls != 3) {
      Expect(TextBefore(command, " "), 2);
      return false;
    }
    const std::uint8_t next = table[state + (cls == 2 ? 1 : 2)];
    if (next == 255) return true;
    if (next == 254) {
      Fail("logon refused at " + TextBefore(command, " ") + ": " + FResultString);
      return false;
    }
    state = next;
  }
  Fail("logon table without an end");
  return false;
}

bool TFTPClient::Login() {
  FFailureText.clear();
  FCanResume = false;
  if (!ConnectControl()) return false;
  FIsTLS = FFullSSL;
  FIsDataTLS = false;
  int preliminary = 0;
  do ReadResult();
  while (ClassOf(FResultCode) == 1 && ++preliminary < kMaxPreliminaryReplies);
  if (ClassOf(FResultCode) == 1) {
    Fail("the greeting: more than " + std::to_string(kMaxPreliminaryReplies) +
         " preliminary replies");
    return false;
  }
  if (!Expect("the greeting", 2)) return false;
  if (FAutoTLS && !FIsTLS) {
    if (ClassOf(FTPCommand("AUTH TLS")) == 2) {
      StartTLS(*FSock, TargetHost);
      FIsTLS = FSock->LastError() == 0;
      if (!FIsTLS) {
        Fail("TLS on the control connection: " + (FSock->SSL().LastErrorDesc().empty()
                                                      ? Describe(*FSock)
                                                      : FSock->SSL().LastErrorDesc()));
        return false;
      }
    }
  }
  if (!LogonSequence(FFWMode)) return false;
  if (FIsTLS) {
    FTPCommand("PBSZ 0");
    if (FTLSonData) FIsDataTLS = ClassOf(FTPCommand("PROT P")) == 2;
    if (!FIsDataTLS) FTPCommand("PROT C");
  }
  FTPCommand("TYPE I");
  FTPCommand("STRU F");
  FTPCommand("MODE S");
  if (FTPCommand("REST 0") == 350 && FTPCommand("REST 1") == 350) {
    FTPCommand("REST 0");
    FCanResume = true;
  }
  return true;
}

bool TFTPClient::Logout() {
  // A QUIT on a connection already lost does not replace the reason it was lost.
  const std::string failure = FFailureText;
  const bool ok = ClassOf(FTPCommand("QUIT")) == 2;
  FSock->CloseSocket();
  FFailureText = failure;
  return ok;
}

// "227 Entering Passive Mode (192,168,1,2,19,137)", "227 Entering Passive Mode 192,168,1,2,19,137",
// "227 =192,168,1,2,19,137": six numbers from the first digit between the parentheses, else
// after the last blank. Each is a byte: a larger one ("(1,2,3,4,418,7)") would wrap around to
// a port the server never named.
void TFTPClient::ParseRemote(std::string Value) {
  FDataIP.clear();
  FDataPort.clear();
  Value = TrimSpaces(Value);
  const auto open = Value.find('('), close = Value.find(')');
  std::string s;
  if (open != std::string::npos && close != std::string::npos)
    s = close > open ? Value.substr(open + 1, close - open - 1) : std::string();
  else
    s = Value.substr(Value.rfind(' ') == std::string::npos ? 0 : Value.rfind(' ') + 1);
  const std::size_t first = s.find_first_of("0123456789");
  s.erase(0, first == std::string::npos ? s.size() : first);
  std::uint32_t n[6];
  for (std::uint32_t& v : n) {
    const auto item = p::ParseUnsigned<std::uint32_t>(TrimSpaces(FetchPart(s, ",")));
    if (!item || *item > 255) return;
    v = *item;
  }
  const std::uint32_t port = n[4] * 256 + n[5];
  if (port == 0) return;
  std::string ip;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) ip += '.';  // appended apart: GCC 12 at -O3 warns falsely about "." + string
    ip += std::to_string(n[i]);
  }
  FDataIP = ip;
  FDataPort = std::to_string(port);
}

// "229 Entering Extended Passive Mode (|||6446|)": the digits before the closing bar, a port
// from 1 to 65535 (a larger one would wrap around to another port).
void TFTPClient::ParseRemoteEPSV(const std::string& Value) {
  std::string s = TrimSpaces(TextBefore(TextAfter(Value, "("), ")"));
  if (!s.empty()) s.pop_back();
  std::size_t digits = s.size();
  while (digits > 0 && p::IsAsciiDigit(s[digits - 1])) --digits;
  const auto port = p::ParseUnsigned<std::uint32_t>(s.substr(digits));
  FDataPort = port && *port >= 1 && *port <= 65535 ? std::to_string(*port) : std::string();
  FDataIP = TargetHost;
}

bool TFTPClient::OpenDataConnection() {
  if (FIsDataTLS) FPassiveMode = true;
  const bool ip6 = FSock->IP6used();
  if (FPassiveMode) {
    if (ip6 && !FForceOldPort) {
      if (!Ask("EPSV 2", 2)) return false;
      ParseRemoteEPSV(FResultString);
      if (FDataPort.empty()) {
        Fail("EPSV: no valid port in \"" + FResultString + "\"");
        return false;
      }
    } else {
      if (ip6) {
        Fail("PASV cannot name an IPv6 address (extended commands are off)");
        return false;
      }
      if (!Ask("PASV", 2)) return false;
      ParseRemote(FResultString);
      if (FDataPort.empty()) {
        Fail("PASV: no valid address in \"" + FResultString + "\"");
        return false;
      }
    }
    // The data connection goes where the control connection goes: a server behind a NAT names
    // its private address, and a hostile one could name any host the client can reach.
    const std::string peer = FSock->GetRemoteSinIP();
    const std::string ip = peer.empty() || peer == "0.0.0.0" ? FDataIP : peer;
    FDSock->CloseSocket();
    FDSock->SetConnectionTimeout(Timeout > 0 ? Timeout : 0);
    FDSock->Bind(IPInterface, "0");
    if (FDSock->LastError() == 0) FDSock->Connect(ip, FDataPort);
    FailFromSocket(*FDSock, "data connection to " + ip + ":" + FDataPort);
    return FDSock->LastError() == 0;
  }
  FDSock->CloseSocket();
  FDSock->Bind(FSock->GetLocalSinIP(), FForceDefaultPort ? "20" : "0");
  if (FDSock->LastError() != 0) {
    FailFromSocket(*FDSock, "binding the data socket");
    return false;
  }
  FDSock->SetLinger(true, 10000);
  FDSock->Listen();
  if (FDSock->LastError() != 0) {
    FailFromSocket(*FDSock, "listening for the data connection");
    return false;
  }
  FDataIP = FDSock->ResolveName(FDSock->GetLocalSinIP());
  FDataPort = std::to_string(FDSock->GetLocalSinPort());
  if (ip6 && !FForceOldPort) {
    const std::string family = IsIPv6Text(FDataIP) ? "2" : "1";
    return Ask("EPRT |" + family + "|" + FDataIP + "|" + FDataPort + "|", 2);
  }
  if (!IsIPv4Text(FDataIP)) {
    Fail("PORT cannot name the address " + FDataIP);
    return false;
  }
  const int port = FDSock->GetLocalSinPort();
  return Ask("PORT " + ReplaceText(FDataIP, ".", ",") + "," + std::to_string(port / 256) + "," +
                 std::to_string(port % 256),
             2);
}

bool TFTPClient::AcceptDataConnection() {
  bool ok = true;
  if (!FPassiveMode) {
    ok = FDSock->CanRead(Timeout);
    if (ok) {
      const SocketHandle s = FDSock->Accept();
      ok = FDSock->LastError() == 0;
      if (ok && !FDSock->UsingSocks()) {
        FDSock->CloseSocket();
        FDSock->SetSocket(s);
      }
    } else {
      Fail("the server did not connect for the data within " + std::to_string(Timeout) + " ms");
    }
    FailFromSocket(*FDSock, "accepting the data connection");
  }
  if (ok && FIsDataTLS) {
    FDSock->SSL().Assign(FSock->SSL());
    StartTLS(*FDSock, TargetHost);
    ok = FDSock->LastError() == 0;
    FailFromSocket(*FDSock, "TLS on the data connection");
  }
  return ok;
}

namespace {

// DataStream as a destination.
class StreamSink final : public TBodySink {
 public:
  explicit StreamSink(TDocumentStream& stream) : stream_(stream) {}
  bool BodyData(std::string_view bytes) override {
    stream_.Append(ByteString(bytes));
    return true;
  }
  void BodyEnd(const TTransferEnd&) override {}

 private:
  TDocumentStream& stream_;
};

// The DirectFile as a destination: a write that fails ends the transfer with its reason.
class FileSink final : public TBodySink {
 public:
  FileSink(p::File& file, const std::string& name, std::function<void(const std::string&)> fail)
      : file_(file), name_(name), fail_(std::move(fail)) {}
  bool BodyData(std::string_view bytes) override {
    if (file_.Write(bytes.data(), bytes.size())) return true;
    fail_("writing " + name_ + ": " + file_.ErrorText());
    return false;
  }
  void BodyEnd(const TTransferEnd&) override {}

 private:
  p::File& file_;
  const std::string& name_;
  std::function<void(const std::string&)> fail_;
};

}  // namespace

// The data socket is closed twice: once when the data has ended (ResultCode still holds the
// reply to the transfer command) and once after the final reply was read. Listeners of its
// hooks tell the two apart by State().
bool TFTPClient::DataRead(TBodySink& Destination, std::int64_t Limit) {
  if (!AcceptDataConnection()) {
    FDSock->CloseSocket();
    SetState(fsIdle);
    return false;
  }
  SetState(fsDataTransfer);
  Destination.BodyBegin();
  bool received = true;
  std::int64_t taken = 0;
  for (;;) {
    ByteString packet = FDSock->RecvPacket(Timeout);
    if (FDSock->LastError() != 0) break;
    // What lies beyond the limit never reaches the destination.
    const bool over = Limit >= 0 && static_cast<std::int64_t>(packet.size()) > Limit - taken;
    if (over) packet.resize(static_cast<std::size_t>(Limit - taken));
    taken += static_cast<std::int64_t>(packet.size());
    if (!packet.empty() && !Destination.BodyData(packet)) {
      Fail("the receiver took no more of the data");  // unless the receiver said why first
      received = false;
      break;
    }
    if (over) {
      FDataOverLimit = true;
      Fail("more than " + std::to_string(Limit) + " bytes of data");
      received = false;
      break;
    }
  }
  // Only the server's orderly close ends the data; a reset, a time-out or a close from a hook
  // (pause, stop) cuts it.
  if (received && !FDSock->ClosedByPeer()) {
    FailFromSocket(*FDSock, "receiving the data");
    received = false;
  }
  FDSock->CloseSocket();
  SetState(fsFinalReply);
  ReadResult();
  FDSock->CloseSocket();
  SetState(fsTransferDone);
  return received && Expect("the transfer", 2);
}

bool TFTPClient::DataWrite(TDocumentStream* Stream, p::File* File) {
  if (!AcceptDataConnection()) {
    FDSock->CloseSocket();
    SetState(fsIdle);
    return false;
  }
  SetState(fsDataTransfer);
  bool sent = true;
  ByteString block;
  for (;;) {
    if (File != nullptr) {
      block.resize(kDataBlock);
      const std::ptrdiff_t n = File->Read(block.data(), block.size());
      if (n < 0) {
        Fail("reading " + FDirectFileName + ": " + File->ErrorText());
        sent = false;
        break;
      }
      block.resize(static_cast<std::size_t>(n));
    } else {
      block = Stream->Read(kDataBlock);
    }
    if (block.empty()) break;
    FDSock->SendBuffer(block.data(), static_cast<int>(block.size()));
    if (FDSock->LastError() != 0) {
      FailFromSocket(*FDSock, "sending the data");
      sent = false;
      break;
    }
  }
  FDSock->CloseSocket();
  SetState(fsFinalReply);
  ReadResult();
  FDSock->CloseSocket();
  SetState(fsTransferDone);
  return Expect("the transfer", 2) && sent;
}

bool TFTPClient::List(std::string Directory, bool NameList) {
  FFailureText.clear();
  FDataOverLimit = false;
  FDataStream.Clear();
  FFtpList->Clear();
  if (!Directory.empty()) Directory = " " + Directory;
  FTPCommand("TYPE A");
  SetState(fsDataSetup);
  const std::string command = NameList ? "NLST" : "LIST";
  if (!OpenDataConnection() || !Ask(command + Directory, 1)) {
    SetState(fsIdle);
    return false;
  }
  StreamSink listing(FDataStream);
  const bool result = DataRead(listing, kMaxListing);
  if (result && !NameList) {
    FFtpList->LoadLines(FDataStream.Bytes());
    FFtpList->ParseLines();
  }
  FDataStream.SetPosition(0);
  return result;
}

bool TFTPClient::RetrieveFile(const std::string& FileName, bool Restore) {
  return RetrieveToSink(FileName, Restore, 0, false, -1);
}

bool TFTPClient::RetrieveFileFrom(const std::string& FileName, std::int64_t Offset,
                                  std::int64_t Limit) {
  return RetrieveToSink(FileName, Offset > 0, Offset, true, Limit);
}

bool TFTPClient::RetrieveToSink(const std::string& FileName, bool Restore, std::int64_t Offset,
                                bool Explicit, std::int64_t Limit) {
  const bool ok = Retrieve(FileName, Restore, Offset, Explicit, Limit);
  if (FBodySink != nullptr && !FDirectFile) {
    TTransferEnd end;
    // Data that began always ends with the transfer's final reply; anything short of that
    // never opened the data.
    end.Outcome = ok ? toComplete : FState == fsTransferDone ? toCut : toRefused;
    if (!ok) end.Reason = FFailureText.empty() ? std::string("no reason given") : FFailureText;
    FBodySink->BodyEnd(end);
  }
  return ok;
}

bool TFTPClient::Retrieve(const std::string& FileName, bool Restore, std::int64_t Offset,
                          bool Explicit, std::int64_t Limit) {
  FFailureText.clear();
  FDataOverLimit = false;
  if (FileName.empty()) {
    Fail("no remote file name");
    SetState(fsIdle);
    return false;
  }
  SetState(fsDataSetup);
  const auto fail = [&] {
    SetState(fsIdle);
    return false;
  };
  if (!OpenDataConnection()) return fail();
  Restore = Restore && FCanResume;
  // The limit counts from the offset; a server without restarts sends from the start.
  if (Explicit && !Restore && Limit >= 0) Limit += Offset;
  p::File file;
  if (FDirectFile) {
    const bool reopen = Restore && p::FileExists(FDirectFileName);
    if (!file.Open(FDirectFileName, p::FileAccess::ReadWrite,
                   reopen ? p::FileShare::Exclusive : p::FileShare::DenyWrite,
                   reopen ? p::FileCreate::OpenExisting : p::FileCreate::CreateAlways))
      throw Exception("Cannot open file \"" + FDirectFileName + "\". " + file.ErrorText());
    // A named offset keeps the file's bytes before it and nothing after it.
    if (Explicit && (file.Seek(Restore ? Offset : 0) < 0 || !file.Truncate()))
      throw Exception("Cannot write file \"" + FDirectFileName + "\". " + file.ErrorText());
  }
  FTPCommand(FBinaryMode ? "TYPE I" : "TYPE A");
  if (Restore) {
    std::int64_t size = Offset;
    if (!Explicit) {
      if (FDirectFile) {
        size = file.SeekEnd();
      } else {
        FDataStream.SeekEnd();
        size = FDataStream.Size();
      }
    }
    if (!Ask("REST " + std::to_string(size), 3)) return fail();
  }
  if (!FDirectFile && (!Restore || Explicit)) FDataStream.Clear();
  if (!Ask("RETR " + FileName, 1)) return fail();
  StreamSink stream(FDataStream);
  FileSink direct(file, FDirectFileName, [this](const std::string& why) { Fail(why); });
  const bool result = DataRead(FDirectFile            ? static_cast<TBodySink&>(direct)
                               : FBodySink != nullptr ? *FBodySink
                                                      : stream,
                               Limit);
  if (!FDirectFile && FDataStream.Released() == 0) FDataStream.SetPosition(0);
  return result;
}

bool TFTPClient::StoreData(const std::string& Command, std::int64_t RestartAt) {
  FFailureText.clear();
  FDataOverLimit = false;
  p::File file;
  std::int64_t size;
  if (FDirectFile) {
    if (!p::FileExists(FDirectFileName)) {
      Fail("no file " + FDirectFileName);
      return false;
    }
    if (!file.Open(FDirectFileName, p::FileAccess::Read, p::FileShare::DenyWrite,
                   p::FileCreate::OpenExisting))
      throw Exception("Cannot open file \"" + FDirectFileName + "\". " + file.ErrorText());
    size = file.Size();
  } else {
    size = FDataStream.Size();
  }
  SetState(fsDataSetup);
  const auto fail = [&] {
    SetState(fsIdle);
    return false;
  };
  if (!OpenDataConnection()) return fail();
  FTPCommand(FBinaryMode ? "TYPE I" : "TYPE A");
  if (!FCanResume) RestartAt = 0;
  if (size > 0 && size == RestartAt) {
    SetState(fsIdle);
    FDSock->CloseSocket();
    return true;
  }
  if (size < RestartAt) RestartAt = 0;
  FTPCommand("ALLO " + std::to_string(size - RestartAt));
  if (FCanResume && !Ask("REST " + std::to_string(RestartAt), 3)) return fail();
  if (FDirectFile) {
    if (file.Seek(RestartAt) < 0)
      throw Exception("Cannot read file \"" + FDirectFileName + "\". " + file.ErrorText());
  } else {
    FDataStream.SetPosition(RestartAt);
  }
  if (!Ask(Command, 1)) return fail();
  return FDirectFile ? DataWrite(nullptr, &file) : DataWrite(&FDataStream, nullptr);
}

bool TFTPClient::StoreFile(const std::string& FileName, bool Restore) {
  if (FileName.empty()) return false;
  std::int64_t offset = 0;
  if (Restore && FCanResume) offset = std::max<std::int64_t>(0, FileSize(FileName));
  return StoreData("STOR " + FileName, offset);
}

bool TFTPClient::StoreUniqueFile() {
  return StoreData("STOU", 0);
}

bool TFTPClient::AppendFile(const std::string& FileName) {
  if (FileName.empty()) return false;
  return StoreData("APPE " + FileName, 0);
}

// "213 123456", "213 123456 bytes"
std::int64_t TFTPClient::FileSize(const std::string& FileName) {
  FFailureText.clear();
  if (!Ask("SIZE " + FileName, 2)) return -1;
  const std::string s = TrimSpaces(TextBefore(TrimSpaces(TextAfter(FResultString, " ")), " "));
  const auto v = p::ParseUnsigned<std::int64_t>(s);
  return v ? *v : -1;
}

bool TFTPClient::NoOp() {
  FFailureText.clear();
  return Ask("NOOP", 2);
}

bool TFTPClient::RenameFile(const std::string& OldName, const std::string& NewName) {
  FFailureText.clear();
  if (!Ask("RNFR " + OldName, 3)) return false;
  return Ask("RNTO " + NewName, 2);
}

bool TFTPClient::DeleteFile(const std::string& FileName) {
  FFailureText.clear();
  return Ask("DELE " + FileName, 2);
}

bool TFTPClient::ChangeWorkingDir(const std::string& Directory) {
  FFailureText.clear();
  return Ask("CWD " + Directory, 2);
}

bool TFTPClient::ChangeToParentDir() {
  FFailureText.clear();
  return Ask("CDUP", 2);
}

bool TFTPClient::ChangeToRootDir() {
  return ChangeWorkingDir("/");
}

bool TFTPClient::DeleteDir(const std::string& Directory) {
  FFailureText.clear();
  return Ask("RMD " + Directory, 2);
}

bool TFTPClient::CreateDir(const std::string& Directory) {
  FFailureText.clear();
  return Ask("MKD " + Directory, 2);
}

// "257 "/pub/dir" is the current directory"
std::string TFTPClient::GetCurrentDir() {
  FFailureText.clear();
  if (!Ask("PWD", 2)) return {};
  return TrimSpaces(TextBefore(TextAfter(FResultString, "\""), "\""));
}

void TFTPClient::Abort() {
  FSock->SendString(ByteString("ABOR") + CRLF);
  FDSock->SetStopFlag(true);
}

void TFTPClient::TelnetAbort() {
  FSock->SendString("\xFF\xF4\xFF\xF2");
  Abort();
}

}  // namespace vlt::net
