#pragma once
// TBlockSocket: one system socket with blocking operations, time-outs in milliseconds, a
// read-ahead buffer for line protocols, bandwidth throttling, a cancel flag, and errors kept as
// Windows Sockets numbers in LastError (thrown as ESocketError only when RaiseExcept is on).
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "net/socket_error.h"
#include "net/socket_transport.h"
#include "platform/exception.h"
#include "platform/flag_scope.h"
#include "platform/sockets.h"

namespace vlt::net {

using platform::SocketHandle;
using platform::TFDSet;
using platform::TVarSin;

enum TSocketFamily { SF_Any, SF_IP4, SF_IP6 };

enum THookSocketReason {
  HR_ResolvingBegin,
  HR_ResolvingEnd,
  HR_SocketCreate,
  HR_SocketClose,
  HR_Bind,
  HR_Connect,
  HR_CanRead,
  HR_CanWrite,
  HR_Listen,
  HR_Accept,
  HR_ReadCount,
  HR_WriteCount,
  HR_Wait,
  HR_Error,
};

enum TSocketOptionType {
  SOT_Linger,
  SOT_RecvBuff,
  SOT_SendBuff,
  SOT_NonBlock,
  SOT_RecvTimeout,
  SOT_SendTimeout,
  SOT_Reuse,
  SOT_TTL,
  SOT_Broadcast,
  SOT_MulticastTTL,
  SOT_MulticastLoop,
};

struct TSocketOption {
  TSocketOptionType Option = SOT_Linger;
  bool Enabled = false;
  std::int32_t Value = 0;
};

using platform::FlagScope;

class TBlockSocket;
using THookSocketStatus =
    std::function<void(TBlockSocket* Sender, THookSocketReason Reason, const std::string& Value)>;
using THookDataFilter = std::function<void(TBlockSocket* Sender, ByteString& Value)>;
using THookCreateSocket = std::function<void(TBlockSocket* Sender)>;
using THookMonitor =
    std::function<void(TBlockSocket* Sender, bool Writing, const void* Buffer, int Len)>;
using THookHeartbeat = std::function<void(TBlockSocket* Sender)>;

// Description of a Windows Sockets error number; empty for 0.
std::string GetErrorDesc(int ErrorCode);
// Address family code (Windows numbering) of a TSocketFamily.
int FamilyCode(TSocketFamily family);

inline constexpr char CRLF[] = "\r\n";

// Line reading stops with 10055 once this many bytes are pending without a line end, unless
// MaxLineLength sets another limit: a peer that never ends a line gets an error, not all of the
// memory.
inline constexpr std::int32_t kDefaultMaxLineLength = 1 << 20;
// RecvBlock refuses a length prefix above this (10055) instead of waiting for gigabytes.
inline constexpr std::int32_t kMaxBlockLength = 64 << 20;
// The graceful close drains at most this much input, for at most this long; then it closes
// hard, so that a pause does not download the rest of a file.
inline constexpr std::int64_t kMaxDrainBytes = 256 << 10;
inline constexpr std::uint32_t kMaxDrainMs = 250;

class TBlockSocket {
 public:
  TBlockSocket();
  explicit TBlockSocket(const std::string& Stub);  // CreateAlternate: the stub is ignored
  virtual ~TBlockSocket();
  TBlockSocket(const TBlockSocket&) = delete;
  TBlockSocket& operator=(const TBlockSocket&) = delete;

  // Hooks; an unassigned one is skipped.
  THookSocketStatus OnStatus;
  THookDataFilter OnReadFilter;
  THookCreateSocket OnCreateSocket;
  THookMonitor OnMonitor;
  THookHeartbeat OnHeartbeat;

  // Virtual operations, in slot order.
  virtual void SetFamily(TSocketFamily Value);
  virtual void SetSocket(SocketHandle Value);
  virtual void SendStreamData(std::istream& Stream, bool Sized, bool HighFirst);
  virtual bool WaitReadable(int Timeout);
  virtual bool WaitWritable(int Timeout);
  virtual void CloseSocket();
  virtual void AbortSocket();
  virtual void Connect(const std::string& IP, const std::string& Port);
  virtual void Listen();
  virtual SocketHandle Accept();
  virtual int SendBuffer(const void* Buffer, int Length);
  virtual void SendByte(std::uint8_t Data);
  virtual void SendString(const ByteString& Data);
  virtual void SendInteger(std::int32_t Data);
  virtual void SendBlock(const ByteString& Data);
  virtual void SendStreamRaw(std::istream& Stream);
  virtual void SendStream(std::istream& Stream);
  virtual void SendStreamIndy(std::istream& Stream);
  virtual int RecvBuffer(void* Buffer, int Length);
  virtual int RecvBufferEx(void* Buffer, int Len, int Timeout);
  virtual ByteString RecvBufferStr(int Len, int Timeout);
  virtual std::uint8_t RecvByte(int Timeout);
  virtual std::int32_t RecvInteger(int Timeout);
  virtual ByteString RecvString(int Timeout);
  virtual ByteString RecvTerminated(int Timeout, const ByteString& Terminator);
  virtual ByteString RecvPacket(int Timeout);
  virtual ByteString RecvBlock(int Timeout);
  virtual void RecvStreamRaw(std::ostream& Stream, int Timeout);
  virtual void RecvStream(std::ostream& Stream, int Timeout);
  virtual void RecvStreamIndy(std::ostream& Stream, int Timeout);
  virtual int PeekBuffer(void* Buffer, int Length);
  virtual std::uint8_t PeekByte(int Timeout);
  virtual int WaitingData();
  virtual int SockCheck(int SockResult);
  virtual std::string GetLocalSinIP();
  virtual std::string GetRemoteSinIP();
  virtual int GetLocalSinPort();
  virtual int GetRemoteSinPort();
  virtual bool CanRead(int Timeout);
  virtual bool CanReadEx(int Timeout);
  virtual bool CanWrite(int Timeout);
  virtual int SendBufferTo(const void* Buffer, int Length);
  virtual int RecvBufferFrom(void* Buffer, int Length);
  virtual int GetSocketType();
  virtual int GetSocketProtocol();
  virtual std::string GetErrorDescEx();

  // The byte stream under the socket: the socket's own (the plain system socket, or the
  // security plug-in of a TCP socket), unless a test has put another in its place.
  TSocketTransport& Transport() { return FTransport ? *FTransport : OwnTransport(); }
  virtual TSocketTransport& OwnTransport();
  void SetTransport(std::shared_ptr<TSocketTransport> Value) { FTransport = std::move(Value); }

  // Socket creation and addresses.
  void CreateSocket();
  void CreateSocketByName(const std::string& Value);
  void Bind(const std::string& IP, const std::string& Port);
  void SetRemoteSin(const std::string& IP, const std::string& Port);
  void GetSinLocal();
  void GetSinRemote();
  void GetSins();
  std::string LocalName();
  void ResolveNameToIP(const std::string& Name, std::vector<std::string>& IPList);
  std::string ResolveName(const std::string& Name);
  std::uint16_t ResolvePort(const std::string& Port);
  std::string ResolveIPToName(std::string IP);
  std::string AddressOfSin(const TVarSin& Sin) { return platform::SinToText(Sin); }
  int PortOfSin(const TVarSin& Sin) { return platform::SinToPort(Sin); }

  // Receiving and waiting, non-virtual.
  void RecvStreamSize(std::ostream& Stream, int Timeout, std::int32_t Size);
  int WaitingDataEx();
  bool GroupCanRead(const std::vector<TBlockSocket*>& SocketList, int Timeout,
                    std::vector<TBlockSocket*>& CanReadList);
  void Purge();

  // Errors.
  void ResetLastError();
  void ExceptCheck();

  // Options.
  void SetLinger(bool Enable, int Linger);
  void EnableReuse(bool Value);
  void SetTimeout(int Timeout);
  void SetSendTimeout(int Timeout);
  void SetRecvTimeout(int Timeout);
  int SizeRecvBuffer();
  void SetSizeRecvBuffer(int Size);
  int SizeSendBuffer();
  void SetSizeSendBuffer(int Size);
  bool NonBlockMode() const { return FNonBlockMode; }
  void SetNonBlockMode(bool Value);
  int TTL();
  void SetTTL(int TTL);
  void SetMaxBandwidth(int Value) {
    FMaxSendBandwidth = Value;
    FMaxRecvBandwidth = Value;
  }

  // Properties.
  const TVarSin& LocalSin() const { return FLocalSin; }
  const TVarSin& RemoteSin() const { return FRemoteSin; }
  std::int32_t Tag() const { return FTag; }
  void SetTag(std::int32_t v) { FTag = v; }
  // The bytes received but not yet handed out.
  std::string_view LineBuffer() const { return std::string_view(FBuffer).substr(FBufferStart); }
  void SetLineBuffer(ByteString v) {
    FBuffer = std::move(v);
    FBufferStart = 0;
  }
  bool RaiseExcept() const { return FRaiseExcept; }
  void SetRaiseExcept(bool v) { FRaiseExcept = v; }
  std::int32_t MaxLineLength() const { return FMaxLineLength; }
  void SetMaxLineLength(std::int32_t v) { FMaxLineLength = v; }
  std::int32_t MaxSendBandwidth() const { return FMaxSendBandwidth; }
  void SetMaxSendBandwidth(std::int32_t v) { FMaxSendBandwidth = v; }
  std::int32_t MaxRecvBandwidth() const { return FMaxRecvBandwidth; }
  void SetMaxRecvBandwidth(std::int32_t v) { FMaxRecvBandwidth = v; }
  bool ConvertLineEnd() const { return FConvertLineEnd; }
  void SetConvertLineEnd(bool v) { FConvertLineEnd = v; }
  TSocketFamily Family() const { return FFamily; }
  bool IP6used() const { return FIP6used; }
  bool PreferIP4() const { return FPreferIP4; }
  void SetPreferIP4(bool v) { FPreferIP4 = v; }
  bool InterPacketTimeout() const { return FInterPacketTimeout; }
  void SetInterPacketTimeout(bool v) { FInterPacketTimeout = v; }
  const TFDSet& FDset() const { return FFDSet; }
  std::int64_t RecvCounter() const { return FRecvCounter; }
  std::int64_t SendCounter() const { return FSendCounter; }
  std::int32_t SendMaxChunk() const { return FSendMaxChunk; }
  void SetSendMaxChunk(std::int32_t v) { FSendMaxChunk = v; }
  bool StopFlag() const { return FStopFlag; }
  void SetStopFlag(bool v) { FStopFlag = v; }
  std::int32_t NonblockSendTimeout() const { return FNonblockSendTimeout; }
  void SetNonblockSendTimeout(std::int32_t v) { FNonblockSendTimeout = v; }
  std::int32_t HeartbeatRate() const { return FHeartbeatRate; }
  void SetHeartbeatRate(std::int32_t v) { FHeartbeatRate = v; }
  std::int32_t ConnectionTimeout() const { return FConnectionTimeout; }
  void SetConnectionTimeout(std::int32_t v) { FConnectionTimeout = v; }
  SocketHandle Socket() const { return FSocket; }
  std::int32_t LastError() const { return FLastError; }
  // The last receive ended at the peer's orderly close (FIN). Both that and a reset report
  // 10054; only this one means every byte the peer sent has arrived.
  bool ClosedByPeer() const { return FLastError == platform::kWSAECONNRESET && FPeerClosed; }
  const std::string& LastErrorDesc() const { return FLastErrorDesc; }
  void* Owner() const { return FOwner; }
  void SetOwner(void* v) { FOwner = v; }
  platform::TWSAData WSAData() const;

 protected:
  void DoStatus(THookSocketReason Reason, const std::string& Value);
  void DoMonitor(bool Writing, const void* Buffer, int Len);
  void DoCreateSocket();
  void DoHeartbeat();
  enum class WaitKind { Read, Write, Connect };
  bool WaitWithHeartbeats(int Timeout, WaitKind what);
  // One readiness wait on this socket; Connect watches the write and exception sets.
  bool WaitFor(WaitKind what, int Timeout);
  // One platform receive with the bookkeeping of RecvBuffer; `now` takes only what is already
  // waiting (0 when nothing is).
  int ReceiveInto(void* Buffer, int Length, bool now);
  // The next packet from the socket itself (LineBuffer not consulted).
  ByteString RecvPacketFromSocket(int Timeout);
  void DropSplitLineEnd(ByteString& packet);
  void ConsumeBuffer(std::size_t count);
  void AppendToBuffer(const ByteString& packet);
  // Reads what is still arriving, within kMaxDrainBytes and kMaxDrainMs; false when the bound
  // cut it short.
  bool DrainInput();
  // Records the result of a transport call: 0 and no error, or the call's error number.
  void TransferCheck(int Result, int Error);
  void ClearHooks();
  void DoReadFilter(void* Buffer, int& Len);
  bool CheckStopFlag();
  // When the next transfer in one direction may start: `Pause` ms after the tick `Since`. A
  // start and a length, not one deadline tick: the 32-bit tick wraps, and a deadline cannot
  // tell a pause still ahead from one long over.
  struct TThrottleGate {
    std::uint32_t Since = 0;
    std::uint32_t Pause = 0;
  };
  void ThrottleBandwidth(int Length, int MaxB, TThrottleGate& Next);
  void SetSin(TVarSin& Sin, const std::string& IP, const std::string& Port);  // BuildSin
  void InternalCreateSocket(const TVarSin& Sin);
  void QueueOption(const TSocketOption& Value);
  void ApplyQueuedOptions();
  void ApplyOption(const TSocketOption& Value);
  // The plain connect of this class, used by the proxy paths of descendants.
  void DirectConnect(const std::string& IP, const std::string& Port);
  void DirectListen();
  SocketHandle DirectAccept();

  TVarSin FLocalSin{};
  TVarSin FRemoteSin{};
  std::int32_t FTag = 0;
  ByteString FBuffer;
  std::size_t FBufferStart = 0;  // LineBuffer is FBuffer from here: no copy per line handed out
  bool FRaiseExcept = false;
  bool FNonBlockMode = false;
  std::int32_t FMaxLineLength = 0;
  std::int32_t FMaxSendBandwidth = 0;
  TThrottleGate FNextSend;
  std::int32_t FMaxRecvBandwidth = 0;
  TThrottleGate FNextRecv;
  bool FConvertLineEnd = false;
  bool FLastCR = false;
  bool FLastLF = false;
  bool FBinded = false;
  TSocketFamily FFamily = SF_Any;
  TSocketFamily FFamilySave = SF_Any;
  bool FIP6used = false;
  bool FPreferIP4 = true;
  std::deque<TSocketOption> FDelayedOptions;
  bool FInterPacketTimeout = true;
  TFDSet FFDSet{};
  std::int64_t FRecvCounter = 0;
  std::int64_t FSendCounter = 0;
  std::int32_t FSendMaxChunk = 65536;
  // Another thread may raise it while this one waits.
  std::atomic<bool> FStopFlag{false};
  std::int32_t FNonblockSendTimeout = 15000;
  std::int32_t FHeartbeatRate = 0;
  std::int32_t FConnectionTimeout = 0;
  SocketHandle FSocket = platform::kInvalidSocket;
  std::int32_t FLastError = 0;
  std::string FLastErrorDesc;
  bool FPeerClosed = false;  // FLastError 10054 came from an orderly end, not a reset
  void* FOwner = nullptr;
  // Set by a descendant's destructor that has already closed through its own CloseSocket.
  bool FClosedByDescendant = false;
  // A close in progress: a hook raised by it that closes again does nothing more.
  bool FClosing = false;
  bool FAborting = false;
  bool FCloseReported = false;
  std::shared_ptr<TSocketTransport> FTransport;
};

}  // namespace vlt::net
