#pragma once
// TFTPClient: a blocking FTP client. Logs in over a control connection (directly or through
// one of the FTP firewall logon sequences), sends commands and reads their replies, and moves
// each transfer over a data connection of its own, passive (the client connects) or active
// (the server connects back). Listings go to the listing parser; files go to DataStream or
// straight to or from DirectFileName, with restart offsets when the server takes them.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/body_sink.h"
#include "net/document_stream.h"
#include "net/ftp_list.h"
#include "net/net_client.h"
#include "net/tcp_block_socket.h"
#include "platform/files.h"

namespace vlt::net {

class TFTPClient;

// Response: true for a reply line read, false for a command sent.
using TFTPStatus = std::function<void(TFTPClient* Sender, bool Response, const std::string& Value)>;

// Six logon states of three bytes: command code, next state after a 2xx reply, next state after
// a 3xx reply. Next state 255: logged in; 254: refused.
using TLogonActions = std::array<std::uint8_t, 18>;

// Where the client stands with its data connection; changed only by TFTPClient::SetState.
// Listeners of the data socket's hooks read it: closes while a transfer is being set up
// (after PASV, before PORT, the listening socket after the server connected) are not the end
// of a transfer.
enum TFTPState {
  fsIdle,          // no transfer under way
  fsDataSetup,     // data connection being prepared, transfer command being sent
  fsDataTransfer,  // data connection open, bytes moving
  fsFinalReply,    // the data connection has ended; the transfer's final reply is being read
  fsTransferDone,  // the transfer's final reply has been read (ResultCode holds it)
};

// Assembles one reply from the lines of the control connection:
//   "220 Service ready"
//   "220-Welcome" / "  inner lines hold anything" / "220x not the end" / "220 ready"
// The code is the first three bytes of the first line whose fourth byte is a blank or "-"; the
// reply ends at the first line that starts with that code and a blank.
class TFTPReplyAssembler {
 public:
  // Takes one line (without its line end); true when it ends the reply.
  bool Add(const ByteString& line);
  bool Complete() const { return complete_; }
  // The code of the complete reply; 0 before, and when its code is not a number.
  std::int32_t Code() const;

 private:
  ByteString code_;
  bool complete_ = false;
};

class TFTPClient : public TNetClient {
 public:
  // A reply line may not be longer than this, nor a reply have more lines, nor take longer than
  // Timeout as a whole: a server that floods or drips meets a bounded failure.
  static constexpr std::int32_t kMaxReplyLine = 8192;
  static constexpr int kMaxReplyLines = 1000;
  // Preliminary (1xx) replies before the greeting, and bytes of one listing.
  static constexpr int kMaxPreliminaryReplies = 100;
  static constexpr std::int64_t kMaxListing = 16 << 20;

  TFTPClient();
  ~TFTPClient() override;
  TFTPClient(const TFTPClient&) = delete;
  TFTPClient& operator=(const TFTPClient&) = delete;

  // The logon table used with FWMode -1.
  TLogonActions CustomLogon{};

  // Virtual operations, in slot order.
  virtual bool LogonSequence(std::int32_t Mode);
  virtual bool ConnectControl();
  virtual bool StoreData(const std::string& Command, std::int64_t RestartAt);
  virtual bool OpenDataConnection();
  virtual bool AcceptDataConnection();
  virtual void ReportFtpStatus(bool Response, const std::string& Value);
  virtual std::int32_t ReadResult();
  // A reply that names no valid data address (numbers 0-255, a port 1-65535) leaves DataIP and
  // DataPort empty, and no data connection is made.
  virtual void ParseRemote(std::string Value);
  virtual void ParseRemoteEPSV(const std::string& Value);
  // A command holding CR, LF or NUL would be more than one command: it is not sent, and
  // answers 0.
  virtual std::int32_t FTPCommand(const std::string& Value);
  virtual bool Login();
  virtual bool Logout();
  virtual void Abort();
  virtual void TelnetAbort();
  virtual bool List(std::string Directory, bool NameList);
  virtual bool RetrieveFile(const std::string& FileName, bool Restore);
  virtual bool StoreFile(const std::string& FileName, bool Restore);
  virtual bool StoreUniqueFile();
  virtual bool AppendFile(const std::string& FileName);
  virtual bool RenameFile(const std::string& OldName, const std::string& NewName);
  virtual bool DeleteFile(const std::string& FileName);
  virtual std::int64_t FileSize(const std::string& FileName);
  virtual bool NoOp();
  virtual bool ChangeWorkingDir(const std::string& Directory);
  virtual bool ChangeToParentDir();
  virtual bool ChangeToRootDir();
  virtual bool DeleteDir(const std::string& Directory);
  virtual bool CreateDir(const std::string& Directory);
  virtual std::string GetCurrentDir();

  // RETR of the bytes from `Offset` on (REST Offset first when Offset > 0 and the server takes
  // restarts; from the start otherwise) into DataStream, emptied first, or DirectFileName.
  // A caller that keeps the earlier bytes elsewhere (the download engine's partial file) names
  // the offset itself. With Limit >= 0 the file ends at Offset + Limit: no byte beyond it
  // reaches the target, and a server that sends more fails the transfer (DataOverLimit()).
  bool RetrieveFileFrom(const std::string& FileName, std::int64_t Offset, std::int64_t Limit = -1);

  std::int32_t ResultCode() const { return FResultCode; }
  const std::string& ResultString() const { return FResultString; }
  const std::vector<std::string>& FullResult() const { return FFullResult; }
  const std::string& Account() const { return FAccount; }
  void SetAccount(const std::string& v) { FAccount = v; }
  const std::string& FWHost() const { return FFWHost; }
  void SetFWHost(const std::string& v) { FFWHost = v; }
  const std::string& FWPort() const { return FFWPort; }
  void SetFWPort(const std::string& v) { FFWPort = v; }
  const std::string& FWUsername() const { return FFWUsername; }
  void SetFWUsername(const std::string& v) { FFWUsername = v; }
  const std::string& FWPassword() const { return FFWPassword; }
  void SetFWPassword(const std::string& v) { FFWPassword = v; }
  std::int32_t FWMode() const { return FFWMode; }
  void SetFWMode(std::int32_t v) { FFWMode = v; }
  TTCPBlockSocket& Sock() const { return *FSock; }
  TTCPBlockSocket& DSock() const { return *FDSock; }
  TDocumentStream& DataStream() { return FDataStream; }
  const std::string& DataIP() const { return FDataIP; }
  const std::string& DataPort() const { return FDataPort; }
  bool DirectFile() const { return FDirectFile; }
  void SetDirectFile(bool v) { FDirectFile = v; }
  const std::string& DirectFileName() const { return FDirectFileName; }
  void SetDirectFileName(const std::string& v) { FDirectFileName = v; }
  bool CanResume() const { return FCanResume; }
  bool PassiveMode() const { return FPassiveMode; }
  void SetPassiveMode(bool v) { FPassiveMode = v; }
  bool ForceDefaultPort() const { return FForceDefaultPort; }
  void SetForceDefaultPort(bool v) { FForceDefaultPort = v; }
  bool ForceOldPort() const { return FForceOldPort; }
  void SetForceOldPort(bool v) { FForceOldPort = v; }
  TFTPStatus OnStatus;
  TFTPList& FtpList() const { return *FFtpList; }
  bool BinaryMode() const { return FBinaryMode; }
  void SetBinaryMode(bool v) { FBinaryMode = v; }
  bool AutoTLS() const { return FAutoTLS; }
  void SetAutoTLS(bool v) { FAutoTLS = v; }
  bool FullSSL() const { return FFullSSL; }
  void SetFullSSL(bool v) { FFullSSL = v; }
  bool IsTLS() const { return FIsTLS; }
  bool IsDataTLS() const { return FIsDataTLS; }
  bool TLSonData() const { return FTLSonData; }
  void SetTLSonData(bool v) { FTLSonData = v; }

  TFTPState State() const { return FState; }
  // Why the last operation failed, in one line ("PASV: 500 Unknown command"); empty after
  // success.
  const std::string& FailureText() const { return FFailureText; }
  // The last transfer was cut off because the server sent more than its limit.
  bool DataOverLimit() const { return FDataOverLimit; }
  // With a sink (not owned), a file retrieved without DirectFile goes there instead of into
  // DataStream, and every retrieve ends with the sink's BodyEnd.
  void SetBodySink(TBodySink* Sink) { FBodySink = Sink; }

 protected:
  // One transfer into its one destination (DataStream, the DirectFile and the caller's body
  // sink are each a sink); with Limit >= 0, the bytes beyond Limit are cut off and fail it.
  virtual bool DataRead(TBodySink& Destination, std::int64_t Limit = -1);
  virtual bool DataWrite(TDocumentStream* Stream, platform::File* File);

 private:
  void SetState(TFTPState state);
  void Fail(const std::string& why);
  void FailFromSocket(TBlockSocket& sock, const std::string& what);
  // The command was answered with another class than `expected`: the failure names both.
  bool Expect(const std::string& command, int expected);
  // Sends the command; true when the reply is of the expected class.
  bool Ask(const std::string& command, int expected);
  bool Retrieve(const std::string& FileName, bool Restore, std::int64_t Offset, bool Explicit,
                std::int64_t Limit);
  // Retrieve, ended towards the body sink (when there is one) with its outcome.
  bool RetrieveToSink(const std::string& FileName, bool Restore, std::int64_t Offset, bool Explicit,
                      std::int64_t Limit);
  std::string HostText() const;
  ByteString LogonCommand(int code) const;

  std::unique_ptr<TTCPBlockSocket> FSock;
  std::unique_ptr<TTCPBlockSocket> FDSock;
  std::int32_t FResultCode = 0;
  std::string FResultString;
  std::vector<std::string> FFullResult;
  std::string FAccount;
  std::string FFWHost;
  std::string FFWPort = "21";
  std::string FFWUsername;
  std::string FFWPassword;
  std::int32_t FFWMode = 0;
  TDocumentStream FDataStream;
  std::string FDataIP;
  std::string FDataPort;
  bool FDirectFile = false;
  std::string FDirectFileName;
  bool FCanResume = false;
  bool FPassiveMode = true;
  bool FForceDefaultPort = false;
  bool FForceOldPort = false;
  std::unique_ptr<TFTPList> FFtpList;
  bool FBinaryMode = true;
  bool FAutoTLS = false;
  bool FIsTLS = false;
  bool FIsDataTLS = false;
  bool FTLSonData = true;
  bool FFullSSL = false;

  TFTPState FState = fsIdle;
  std::string FFailureText;
  bool FDataOverLimit = false;
  TBodySink* FBodySink = nullptr;
};

}  // namespace vlt::net
