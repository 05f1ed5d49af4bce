#include "net/block_socket.h"

#include <algorithm>
#include <cstring>

#include "net/address_text.h"
#include "net/socket_layer.h"
#include "net/text_functions.h"
#include "platform/clock.h"

namespace vlt::net {

namespace p = vlt::platform;

namespace {

void SleepMs(int ms) {
  if (ms > 0) p::SleepMs(ms);
}

}  // namespace

std::string GetErrorDesc(int ErrorCode) {
  if (ErrorCode == 0) return {};
  for (const p::SocketErrorText& e : p::kSocketErrorTexts)
    if (e.number == ErrorCode) return e.text;
  return "Other Winsock error (" + std::to_string(ErrorCode) + ")";
}

int FamilyCode(TSocketFamily family) {
  switch (family) {
    case SF_IP4:
      return p::kAfInet;
    case SF_IP6:
      return p::kAfInet6;
    default:
      return p::kAfUnspec;
  }
}

TBlockSocket::TBlockSocket() = default;
TBlockSocket::TBlockSocket(const std::string&) {}

TBlockSocket::~TBlockSocket() {
  // The owner of the hooks may be half destroyed already: the last close reports to nobody.
  ClearHooks();
  if (!FClosedByDescendant) CloseSocket();
}

void TBlockSocket::ClearHooks() {
  OnStatus = nullptr;
  OnReadFilter = nullptr;
  OnCreateSocket = nullptr;
  OnMonitor = nullptr;
  OnHeartbeat = nullptr;
}

TSocketTransport& TBlockSocket::OwnTransport() {
  return PlainTransport();
}

void TBlockSocket::TransferCheck(int Result, int Error) {
  ResetLastError();
  if (Result < 0) {
    FLastError = Error != 0 ? Error : p::kWSAENOTSOCK;
    FLastErrorDesc = GetErrorDescEx();
  }
}

p::TWSAData TBlockSocket::WSAData() const {
  return SocketLayerWSAData();
}

// ---- hooks ----

void TBlockSocket::DoStatus(THookSocketReason Reason, const std::string& Value) {
  if (OnStatus) OnStatus(this, Reason, Value);
}

void TBlockSocket::DoMonitor(bool Writing, const void* Buffer, int Len) {
  if (OnMonitor) OnMonitor(this, Writing, Buffer, Len);
}

void TBlockSocket::DoCreateSocket() {
  if (OnCreateSocket) OnCreateSocket(this);
}

void TBlockSocket::DoHeartbeat() {
  if (OnHeartbeat && FHeartbeatRate != 0) OnHeartbeat(this);
}

void TBlockSocket::DoReadFilter(void* Buffer, int& Len) {
  if (!OnReadFilter) return;
  ByteString s(static_cast<const char*>(Buffer), static_cast<size_t>(Len));
  OnReadFilter(this, s);
  // A filter may shorten or rewrite what was received, never lengthen it.
  if (s.size() > static_cast<size_t>(Len)) s.resize(static_cast<size_t>(Len));
  Len = static_cast<int>(s.size());
  std::memcpy(Buffer, s.data(), s.size());
}

bool TBlockSocket::CheckStopFlag() {
  DoHeartbeat();
  if (!FStopFlag) return false;
  FStopFlag = false;
  FLastError = p::kWSAECONNABORTED;
  ExceptCheck();
  return true;
}

void TBlockSocket::ThrottleBandwidth(int Length, int MaxB, TThrottleGate& Next) {
  if (FStopFlag || MaxB <= 0) return;
  const std::uint32_t passed = TickDifference(Next.Since, TickMilliseconds());
  if (passed < Next.Pause) {
    const std::uint32_t wait = Next.Pause - passed;
    DoStatus(HR_Wait, std::to_string(wait));
    SleepMs(static_cast<int>(wait % 250));
    // Slices of 250 ms so that a cancel is noticed quickly.
    for (std::uint32_t i = 0; i < wait / 250; ++i) {
      if (FStopFlag) break;
      SleepMs(250);
    }
  }
  // A pause beyond the 32-bit range (gigabytes at a few bytes a second) is held at its largest.
  const double pause = static_cast<double>(Length) / MaxB * 1000.0;
  Next.Since = TickMilliseconds();
  Next.Pause = pause >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(pause);
}

// ---- errors ----

void TBlockSocket::ResetLastError() {
  FLastError = 0;
  FLastErrorDesc.clear();
  FPeerClosed = false;
}

int TBlockSocket::SockCheck(int SockResult) {
  ResetLastError();
  if (SockResult == p::kSocketError) {
    FLastError = p::LastSocketError();
    FLastErrorDesc = GetErrorDescEx();
  }
  return FLastError;
}

void TBlockSocket::ExceptCheck() {
  FLastErrorDesc = GetErrorDescEx();
  const int e = FLastError;
  if (e == 0 || e == p::kWSAEWOULDBLOCK || e == p::kWSAEINPROGRESS) return;
  DoStatus(HR_Error, std::to_string(e) + "," + FLastErrorDesc);
  if (FRaiseExcept) {
    throw ESocketError(e, FLastErrorDesc,
                       "TCP/IP Socket error " + std::to_string(e) + ": " + FLastErrorDesc);
  }
}

std::string TBlockSocket::GetErrorDescEx() {
  return GetErrorDesc(FLastError);
}

// ---- creation, addresses ----

void TBlockSocket::SetSin(TVarSin& Sin, const std::string& IP, const std::string& Port) {
  DoStatus(HR_ResolvingBegin, IP + ":" + Port);
  ResetLastError();
  TSocketFamily f = FFamily;
  if (FSocket == p::kInvalidSocket && FFamily == SF_Any) {
    if (IsIPv4Text(IP))
      f = SF_IP4;
    else if (IsIPv6Text(IP))
      f = SF_IP6;
  }
  FLastError =
      p::LookupSin(IP, Port, FamilyCode(f), GetSocketProtocol(), GetSocketType(), FPreferIP4, Sin);
  DoStatus(HR_ResolvingEnd, AddressOfSin(Sin) + ":" + std::to_string(PortOfSin(Sin)));
}

void TBlockSocket::InternalCreateSocket(const TVarSin& Sin) {
  FStopFlag = false;
  FRecvCounter = 0;
  FSendCounter = 0;
  ResetLastError();
  if (FSocket != p::kInvalidSocket) return;
  SetLineBuffer({});
  FBinded = false;
  FCloseReported = false;
  FIP6used = Sin.sin_family == p::kAfInet6;
  FSocket = p::CreateSocket(Sin.sin_family, GetSocketType(), GetSocketProtocol());
  if (FSocket == p::kInvalidSocket) FLastError = p::LastSocketError();
  p::FDZero(FFDSet);
  p::FDSet(FSocket, FFDSet);
  ExceptCheck();
  DoStatus(HR_SocketCreate, FIP6used ? "IPv6" : "IPv4");
  ApplyQueuedOptions();
  DoCreateSocket();
}

void TBlockSocket::CreateSocket() {
  if (FSocket != p::kInvalidSocket || FFamily == SF_Any) return;
  TVarSin sin;
  sin.sin_family = static_cast<std::uint16_t>(FFamily == SF_IP6 ? p::kAfInet6 : p::kAfInet);
  InternalCreateSocket(sin);
}

void TBlockSocket::CreateSocketByName(const std::string& Value) {
  if (FSocket != p::kInvalidSocket) return;
  TVarSin sin;
  SetSin(sin, Value, "0");
  if (FLastError == 0) InternalCreateSocket(sin);
}

void TBlockSocket::SetFamily(TSocketFamily Value) {
  FFamily = Value;
  FFamilySave = Value;
}

void TBlockSocket::SetSocket(SocketHandle Value) {
  FRecvCounter = 0;
  FSendCounter = 0;
  FSocket = Value;
  FCloseReported = false;
  p::FDZero(FFDSet);
  p::FDSet(FSocket, FFDSet);
  GetSins();
  FIP6used = FRemoteSin.sin_family == p::kAfInet6;
}

void TBlockSocket::GetSinLocal() {
  p::GetLocalAddress(FSocket, FLocalSin);
}
void TBlockSocket::GetSinRemote() {
  p::GetPeerAddress(FSocket, FRemoteSin);
}
void TBlockSocket::GetSins() {
  GetSinLocal();
  GetSinRemote();
}

void TBlockSocket::Bind(const std::string& IP, const std::string& Port) {
  ResetLastError();
  if (FSocket == p::kInvalidSocket && FFamily == SF_Any && IP == "0.0.0.0" && Port == "0") return;
  TVarSin sin;
  SetSin(sin, IP, Port);
  if (FLastError == 0) {
    if (FSocket == p::kInvalidSocket) InternalCreateSocket(sin);
    SockCheck(p::BindSocket(FSocket, sin));
    GetSinLocal();
    SetLineBuffer({});
    FBinded = true;
  }
  ExceptCheck();
  DoStatus(HR_Bind, IP + ":" + Port);
}

void TBlockSocket::Connect(const std::string& IP, const std::string& Port) {
  DirectConnect(IP, Port);
}

void TBlockSocket::DirectConnect(const std::string& IP, const std::string& Port) {
  TVarSin sin;
  SetSin(sin, IP, Port);
  if (FLastError == 0) {
    if (FSocket == p::kInvalidSocket) InternalCreateSocket(sin);
    if (FConnectionTimeout <= 0) {
      SockCheck(p::ConnectSocket(FSocket, sin));
    } else {
      const bool was = FNonBlockMode;
      SetNonBlockMode(true);
      SockCheck(p::ConnectSocket(FSocket, sin));
      if (FLastError == p::kWSAEINPROGRESS || FLastError == p::kWSAEWOULDBLOCK) {
        const bool done = WaitWithHeartbeats(FConnectionTimeout, WaitKind::Connect);
        if (done) DoStatus(HR_CanWrite, "");
        if (!done) {
          FLastError = p::kWSAETIMEDOUT;
        } else {
          // Writable also means "the attempt has ended"; a refused one must not pass as
          // connected.
          int pending = 0;
          if (p::GetSocketOption(FSocket, p::SockOpt::Error, pending) == 0 && pending != 0)
            FLastError = pending;
        }
      }
      SetNonBlockMode(was);
    }
    if (FLastError == 0) GetSins();
    SetLineBuffer({});
    FLastCR = false;
    FLastLF = false;
  }
  ExceptCheck();
  DoStatus(HR_Connect, IP + ":" + Port);
}

void TBlockSocket::Listen() {
  DirectListen();
}

void TBlockSocket::DirectListen() {
  SockCheck(p::ListenSocket(FSocket, 2147483647));
  GetSins();
  ExceptCheck();
  DoStatus(HR_Listen, "");
}

SocketHandle TBlockSocket::Accept() {
  return DirectAccept();
}

SocketHandle TBlockSocket::DirectAccept() {
  const SocketHandle s = p::AcceptSocket(FSocket, FRemoteSin);
  ExceptCheck();
  DoStatus(HR_Accept, "");
  return s;
}

void TBlockSocket::CloseSocket() {
  // A hook raised by the close that closes again must not start a second close.
  if (FClosing) return;
  FlagScope closing(FClosing);
  AbortSocket();
}

void TBlockSocket::AbortSocket() {
  if (FAborting) return;
  FlagScope aborting(FAborting);
  if (FSocket != p::kInvalidSocket) p::CloseSocketHandle(FSocket);
  FSocket = p::kInvalidSocket;
  // A stale handle in the set would make later waits watch a closed (or reused) number.
  p::FDZero(FFDSet);
  FDelayedOptions.clear();
  FFamily = FFamilySave;
  // Once per socket: closing a closed socket again (from a hook, or twice in a row) is silent.
  if (!FCloseReported) {
    FCloseReported = true;
    DoStatus(HR_SocketClose, "");
  }
}

void TBlockSocket::SetRemoteSin(const std::string& IP, const std::string& Port) {
  SetSin(FRemoteSin, IP, Port);
}

std::string TBlockSocket::GetLocalSinIP() {
  return AddressOfSin(FLocalSin);
}
std::string TBlockSocket::GetRemoteSinIP() {
  return AddressOfSin(FRemoteSin);
}
int TBlockSocket::GetLocalSinPort() {
  return PortOfSin(FLocalSin);
}
int TBlockSocket::GetRemoteSinPort() {
  return PortOfSin(FRemoteSin);
}

std::string TBlockSocket::LocalName() {
  std::string name = p::MachineHostName();
  return name.empty() ? "127.0.0.1" : name;
}

void TBlockSocket::ResolveNameToIP(const std::string& Name, std::vector<std::string>& IPList) {
  p::LookupHostAddresses(Name, FamilyCode(FFamily), GetSocketProtocol(), GetSocketType(), IPList);
  if (IPList.empty()) IPList.push_back("0.0.0.0");
}

std::string TBlockSocket::ResolveName(const std::string& Name) {
  std::vector<std::string> list;
  ResolveNameToIP(Name, list);
  return list.front();
}

std::uint16_t TBlockSocket::ResolvePort(const std::string& Port) {
  return p::LookupPortNumber(Port, FamilyCode(FFamily), GetSocketProtocol(), GetSocketType());
}

std::string TBlockSocket::ResolveIPToName(std::string IP) {
  if (!IsIPv4Text(IP) && !IsIPv6Text(IP)) IP = ResolveName(IP);
  return p::LookupHostName(IP, FamilyCode(FFamily), GetSocketProtocol(), GetSocketType());
}

int TBlockSocket::GetSocketType() {
  return 0;
}
int TBlockSocket::GetSocketProtocol() {
  return 0;
}

// ---- sending ----

int TBlockSocket::SendBuffer(const void* Buffer, int Length) {
  if (CheckStopFlag()) return 0;
  DoMonitor(true, Buffer, Length);
  const char* data = static_cast<const char*>(Buffer);
  int offset = 0;
  while (offset < Length) {
    const int piece = std::min(Length - offset, FSendMaxChunk);
    if (piece <= 0) break;
    ThrottleBandwidth(piece, FMaxSendBandwidth, FNextSend);
    int error = 0;
    int r = Transport().Send(FSocket, data + offset, piece, error);
    TransferCheck(r, error);
    if (FLastError == p::kWSAEWOULDBLOCK) {
      if (CanWrite(FNonblockSendTimeout)) {
        r = Transport().Send(FSocket, data + offset, piece, error);
        TransferCheck(r, error);
      } else {
        FLastError = p::kWSAETIMEDOUT;
      }
    }
    if (FLastError != 0 || r <= 0) break;
    offset += r;
    FSendCounter += r;
    if (OnStatus) DoStatus(HR_WriteCount, std::to_string(r));  // skip the formatting unwatched
  }
  ExceptCheck();
  return offset;
}

void TBlockSocket::SendByte(std::uint8_t Data) {
  SendBuffer(&Data, 1);
}

void TBlockSocket::SendString(const ByteString& Data) {
  SendBuffer(Data.data(), static_cast<int>(Data.size()));
}

namespace {
ByteString LowFirst(std::uint32_t v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
          static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
}
std::uint32_t FromLowFirst(std::string_view s) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[i]);
  return v;
}
}  // namespace

void TBlockSocket::SendInteger(std::int32_t Data) {
  SendString(LowFirst(static_cast<std::uint32_t>(Data)));
}

void TBlockSocket::SendBlock(const ByteString& Data) {
  SendString(LowFirst(static_cast<std::uint32_t>(Data.size())) + Data);
}

void TBlockSocket::SendStreamData(std::istream& Stream, bool Sized, bool HighFirst) {
  std::uint32_t size = 0;
  if (Sized) {
    const auto pos = Stream.tellg();
    Stream.seekg(0, std::ios::end);
    const auto end = Stream.tellg();
    Stream.seekg(pos);
    size = static_cast<std::uint32_t>(end - pos);
  }
  bool first = true;
  for (;;) {
    ByteString piece = StreamReadBytes(Stream, static_cast<size_t>(FSendMaxChunk));
    if (piece.empty()) break;
    if (first && Sized) piece = (HighFirst ? LongToBytes(size) : LowFirst(size)) + piece;
    first = false;
    SendString(piece);
    if (FLastError != 0) break;
  }
}

void TBlockSocket::SendStreamRaw(std::istream& Stream) {
  SendStreamData(Stream, false, false);
}
void TBlockSocket::SendStream(std::istream& Stream) {
  SendStreamData(Stream, true, false);
}
void TBlockSocket::SendStreamIndy(std::istream& Stream) {
  SendStreamData(Stream, true, true);
}

int TBlockSocket::SendBufferTo(const void* Buffer, int Length) {
  if (CheckStopFlag()) return 0;
  DoMonitor(true, Buffer, Length);
  ThrottleBandwidth(Length, FMaxSendBandwidth, FNextSend);
  const int r = p::SendToSocket(FSocket, Buffer, Length, 0, FRemoteSin);
  SockCheck(r);
  ExceptCheck();
  if (r > 0) {
    FSendCounter += r;
    DoStatus(HR_WriteCount, std::to_string(r));
  }
  return r;
}

// ---- receiving ----

int TBlockSocket::ReceiveInto(void* Buffer, int Length, bool now) {
  int r;
  if (now) {
    // Only what is already there: nothing waiting is not an error, the caller waits next.
    int error = 0;
    r = Transport().RecvWaiting(FSocket, Buffer, Length, error);
    if (r < 0) {
      // An error the platform reports only once (a reset): taken here, it must not be lost.
      TransferCheck(r, error);
      ExceptCheck();
      return 0;
    }
    if (r == 0) return 0;
    ResetLastError();
  } else {
    int error = 0;
    r = Transport().Recv(FSocket, Buffer, Length, error);
    if (r == 0) {
      ResetLastError();
      FLastError = p::kWSAECONNRESET;  // the peer closed
      FPeerClosed = true;
    } else {
      TransferCheck(r, error);
    }
    ExceptCheck();
  }
  if (r > 0) {
    FRecvCounter += r;
    if (OnStatus) DoStatus(HR_ReadCount, std::to_string(r));  // skip the formatting unwatched
    DoMonitor(false, Buffer, r);
    DoReadFilter(Buffer, r);
  }
  return r;
}

int TBlockSocket::RecvBuffer(void* Buffer, int Length) {
  if (CheckStopFlag()) return 0;
  ThrottleBandwidth(Length, FMaxRecvBandwidth, FNextRecv);
  return ReceiveInto(Buffer, Length, false);
}

int TBlockSocket::RecvBufferFrom(void* Buffer, int Length) {
  if (CheckStopFlag()) return 0;
  ThrottleBandwidth(Length, FMaxRecvBandwidth, FNextRecv);
  const int r = p::RecvFromSocket(FSocket, Buffer, Length, 0, FRemoteSin);
  SockCheck(r);
  ExceptCheck();
  if (r > 0) {
    FRecvCounter += r;
    DoStatus(HR_ReadCount, std::to_string(r));
    DoMonitor(false, Buffer, r);
  }
  return r;
}

void TBlockSocket::DropSplitLineEnd(ByteString& packet) {
  if (!FConvertLineEnd || packet.empty()) return;
  // The second half of a CR LF / LF CR pair split between two packets.
  if (FLastCR && packet[0] == '\n') packet.erase(0, 1);
  if (FLastLF && !packet.empty() && packet[0] == '\r') packet.erase(0, 1);
  FLastCR = false;
  FLastLF = false;
}

ByteString TBlockSocket::RecvPacketFromSocket(int Timeout) {
  ByteString result;
  ResetLastError();
  enum class How { Waiting, AfterWait, Counted };
  auto read = [&](int n, How how) {
    // Received straight into the string: no zero-fill of a block that recv overwrites.
    result.resize_and_overwrite(static_cast<size_t>(n), [&](char* data, size_t size) {
      const int length = static_cast<int>(size);
      int r = 0;
      switch (how) {
        case How::Waiting:  // only what is there, without waiting
          r = ReceiveInto(data, length, true);
          break;
        case How::AfterWait:  // readable: one receive returns what is there, or the end
          r = ReceiveInto(data, length, false);
          break;
        case How::Counted:  // the long way, with its stop check and throttle
          r = RecvBuffer(data, length);
          break;
      }
      return r > 0 ? static_cast<size_t>(r) : 0;
    });
  };
  // One receive of whatever is waiting does the work of a count query and a read, and after a
  // wait one receive does it again (readable means data or the end is there: 0 bytes is the
  // peer's close, 10054, as the count query would have found). The packet stays what the
  // platform holds, at most 64 KiB. A throttled or cancelled read takes the long way, whose
  // stop check and throttle see the real size.
  const bool fast = FMaxRecvBandwidth <= 0 && !FStopFlag;
  if (fast) {
    DoHeartbeat();  // as the stop check of the long way would
    if (!FStopFlag) read(65536, How::Waiting);
  } else if (const int n = WaitingData(); n > 0) {
    read(n, How::Counted);
  }
  if (result.empty() && FLastError == 0) {
    if (CanRead(Timeout)) {
      if (fast) {
        if (!CheckStopFlag()) read(65536, How::AfterWait);
      } else if (const int n = WaitingData(); n == 0) {
        // Readable with nothing to read: the end, or a reset. One receive tells which.
        read(1, How::AfterWait);
      } else {
        read(n, How::Counted);
      }
    } else if (FLastError == 0) {
      FLastError = p::kWSAETIMEDOUT;
    }
  }
  // A trickle must not keep a 64 KiB block per byte alive in whoever holds the packets.
  if (result.capacity() - result.size() > 16384) result.shrink_to_fit();
  DropSplitLineEnd(result);
  ExceptCheck();
  return result;
}

ByteString TBlockSocket::RecvPacket(int Timeout) {
  if (FBufferStart >= FBuffer.size()) return RecvPacketFromSocket(Timeout);
  ResetLastError();
  ByteString result = FBufferStart == 0 ? std::move(FBuffer) : FBuffer.substr(FBufferStart);
  SetLineBuffer({});
  DropSplitLineEnd(result);
  ExceptCheck();
  return result;
}

void TBlockSocket::ConsumeBuffer(std::size_t count) {
  FBufferStart += count;
  if (FBufferStart >= FBuffer.size()) SetLineBuffer({});
}

void TBlockSocket::AppendToBuffer(const ByteString& packet) {
  // Handed-out bytes are dropped only here, once per packet, not once per line.
  if (FBufferStart > 0) {
    FBuffer.erase(0, FBufferStart);
    FBufferStart = 0;
  }
  FBuffer += packet;
}

int TBlockSocket::RecvBufferEx(void* Buffer, int Len, int Timeout) {
  ResetLastError();
  if (Len <= 0) return 0;
  char* out = static_cast<char*>(Buffer);
  int got = 0;
  ByteString packet;
  for (;;) {
    // The clock is read only when a whole-read budget is kept.
    const std::uint32_t t0 = FInterPacketTimeout ? 0 : TickMilliseconds();
    packet = RecvPacket(Timeout);
    const int take = std::min(static_cast<int>(packet.size()), Len - got);
    std::memcpy(out + got, packet.data(), static_cast<size_t>(take));
    got += take;
    packet.erase(0, static_cast<size_t>(take));
    if (FLastError != 0 || got >= Len) break;
    if (!FInterPacketTimeout) {
      Timeout -= static_cast<int>(TickDifference(t0, TickMilliseconds()));
      if (Timeout <= 0) {
        FLastError = p::kWSAETIMEDOUT;
        break;
      }
    }
  }
  SetLineBuffer(std::move(packet));
  return got;
}

ByteString TBlockSocket::RecvBufferStr(int Len, int Timeout) {
  if (Len < 1) return {};
  // Grows with what arrives: a length announced by the peer sizes nothing in advance.
  ByteString s;
  ResetLastError();
  for (;;) {
    // The clock is read only when a whole-read budget is kept.
    const std::uint32_t t0 = FInterPacketTimeout ? 0 : TickMilliseconds();
    ByteString packet = RecvPacket(Timeout);
    const size_t want = static_cast<size_t>(Len) - s.size();
    if (packet.size() > want) {
      s.append(packet, 0, want);
      SetLineBuffer(packet.substr(want));
    } else {
      s += packet;
    }
    if (FLastError != 0 || s.size() >= static_cast<size_t>(Len)) break;
    if (!FInterPacketTimeout) {
      Timeout -= static_cast<int>(TickDifference(t0, TickMilliseconds()));
      if (Timeout <= 0) {
        FLastError = p::kWSAETIMEDOUT;
        break;
      }
    }
  }
  if (FLastError != 0) return {};
  return s;
}

std::uint8_t TBlockSocket::RecvByte(int Timeout) {
  ResetLastError();
  if (LineBuffer().empty()) SetLineBuffer(RecvPacket(Timeout));
  if (FLastError != 0 || LineBuffer().empty()) return 0;
  const auto b = static_cast<std::uint8_t>(FBuffer[FBufferStart]);
  ConsumeBuffer(1);
  return b;
}

std::int32_t TBlockSocket::RecvInteger(int Timeout) {
  const ByteString s = RecvBufferStr(4, Timeout);
  if (FLastError != 0 || s.size() < 4) return 0;
  return static_cast<std::int32_t>(FromLowFirst(s));
}

ByteString TBlockSocket::RecvTerminated(int Timeout, const ByteString& Terminator) {
  ResetLastError();
  if (Terminator.empty()) return {};
  const bool any_end = FConvertLineEnd && Terminator == CRLF;
  const size_t limit =
      static_cast<size_t>(FMaxLineLength > 0 ? FMaxLineLength : kDefaultMaxLineLength);
  // The pending bytes live in FBuffer from FBufferStart; what was scanned without finding a
  // line end is not scanned again (a line arriving byte by byte costs linear time).
  size_t scanned = 0;
  size_t line = ByteString::npos, end_len = 0;
  bool from_buffer = !LineBuffer().empty();
  for (;;) {
    // The clock is read only when a whole-read budget is kept.
    const std::uint32_t t0 = FInterPacketTimeout ? 0 : TickMilliseconds();
    if (from_buffer) {
      // The bytes kept from the last read count as the first packet.
      from_buffer = false;
      if (FConvertLineEnd && (FLastCR || FLastLF)) {
        ByteString pending(LineBuffer());
        DropSplitLineEnd(pending);
        SetLineBuffer(std::move(pending));
      }
    } else {
      const ByteString packet = RecvPacketFromSocket(Timeout);
      if (FLastError != 0) break;
      AppendToBuffer(packet);
    }
    const std::string_view pending = LineBuffer();
    if (scanned > pending.size()) scanned = 0;  // a hook emptied the buffer meanwhile
    if (any_end) {
      for (size_t i = scanned; i < pending.size(); ++i) {
        const char c = pending[i];
        if (c != '\r' && c != '\n') continue;
        line = i;
        const char pair = c == '\r' ? '\n' : '\r';
        if (i + 1 < pending.size() && pending[i + 1] == pair) {
          end_len = 2;
        } else {
          end_len = 1;
          // A single CR or LF at the end: its partner may open the next packet.
          if (c == '\r') FLastCR = true;
          if (c == '\n') FLastLF = true;
        }
        break;
      }
    } else {
      const size_t from = scanned >= Terminator.size() ? scanned - (Terminator.size() - 1) : 0;
      line = pending.find(Terminator, from);
      end_len = Terminator.size();
    }
    if (line != ByteString::npos) {
      // A complete line is returned unless the line itself is over the limit.
      if (line > limit) FLastError = p::kWSAENOBUFS;
      break;
    }
    scanned = pending.size();
    if (pending.size() > limit) {
      FLastError = p::kWSAENOBUFS;
      break;
    }
    if (!FInterPacketTimeout) {
      Timeout -= static_cast<int>(TickDifference(t0, TickMilliseconds()));
      if (Timeout <= 0) {
        FLastError = p::kWSAETIMEDOUT;
        break;
      }
    }
  }
  ByteString result;
  if (line != ByteString::npos && FLastError == 0) {
    result.assign(FBuffer, FBufferStart, line);
    ConsumeBuffer(line + end_len);
  }
  ExceptCheck();
  return result;
}

ByteString TBlockSocket::RecvString(int Timeout) {
  ByteString s = RecvTerminated(Timeout, CRLF);
  if (FLastError != 0) return {};
  return s;
}

ByteString TBlockSocket::RecvBlock(int Timeout) {
  const std::int32_t n = RecvInteger(Timeout);
  if (FLastError != 0) return {};
  if (n > kMaxBlockLength) {
    // A length no peer of ours sends: refused before any of it is awaited.
    FLastError = p::kWSAENOBUFS;
    ExceptCheck();
    return {};
  }
  return RecvBufferStr(n, Timeout);
}

void TBlockSocket::RecvStreamRaw(std::ostream& Stream, int Timeout) {
  for (;;) {
    const ByteString s = RecvPacket(Timeout);
    if (FLastError != 0) break;
    StreamWriteBytes(Stream, s);
  }
}

void TBlockSocket::RecvStreamSize(std::ostream& Stream, int Timeout, std::int32_t Size) {
  const int chunk = FSendMaxChunk;
  if (chunk <= 0 || Size < 0) return;
  for (int i = 0; i < Size / chunk; ++i) {
    const ByteString s = RecvBufferStr(chunk, Timeout);
    if (FLastError != 0) return;
    StreamWriteBytes(Stream, s);
  }
  const int rest = Size % chunk;
  if (rest > 0) {
    const ByteString s = RecvBufferStr(rest, Timeout);
    if (FLastError != 0) return;
    StreamWriteBytes(Stream, s);
  }
}

void TBlockSocket::RecvStream(std::ostream& Stream, int Timeout) {
  const std::int32_t size = RecvInteger(Timeout);
  if (FLastError == 0) RecvStreamSize(Stream, Timeout, size);
}

void TBlockSocket::RecvStreamIndy(std::ostream& Stream, int Timeout) {
  const auto size =
      static_cast<std::int32_t>(SwapBytes32(static_cast<std::uint32_t>(RecvInteger(Timeout))));
  if (FLastError == 0) RecvStreamSize(Stream, Timeout, size);
}

int TBlockSocket::PeekBuffer(void* Buffer, int Length) {
  const int r = p::RecvSocket(FSocket, Buffer, Length, p::kMsgPeek);
  SockCheck(r);
  ExceptCheck();
  return r;
}

std::uint8_t TBlockSocket::PeekByte(int Timeout) {
  if (CanRead(Timeout)) {
    std::uint8_t b = 0;
    if (PeekBuffer(&b, 1) == 1) return b;
    return 0;
  }
  FLastError = p::kWSAETIMEDOUT;
  return 0;
}

// ---- waiting ----

int TBlockSocket::WaitingData() {
  return std::min(Transport().Waiting(FSocket), 65536);
}

int TBlockSocket::WaitingDataEx() {
  return LineBuffer().empty() ? WaitingData() : static_cast<int>(LineBuffer().size());
}

bool TBlockSocket::WaitFor(WaitKind what, int Timeout) {
  if (FSocket == p::kInvalidSocket) {
    // Closed (perhaps by a hook): fail now rather than wait on nothing for the whole time-out.
    ResetLastError();
    FLastError = p::kWSAENOTSOCK;
    return false;
  }
  TFDSet read = FFDSet, write = FFDSet, except = FFDSet;
  // Winsock reports a failed non-blocking connect in the exception set, not the write set.
  const int r = p::SelectSockets(what == WaitKind::Read ? &read : nullptr,
                                 what == WaitKind::Read ? nullptr : &write,
                                 what == WaitKind::Connect ? &except : nullptr, Timeout);
  SockCheck(r);
  return r > 0 && FLastError == 0;
}

bool TBlockSocket::WaitReadable(int Timeout) {
  return WaitFor(WaitKind::Read, Timeout);
}

bool TBlockSocket::WaitWritable(int Timeout) {
  return WaitFor(WaitKind::Write, Timeout);
}

// Waits in heartbeat-sized slices when a heartbeat rate is set, so that OnHeartbeat runs and
// StopFlag can end the wait.
bool TBlockSocket::WaitWithHeartbeats(int Timeout, WaitKind what) {
  auto wait = [&](int t) {
    switch (what) {
      case WaitKind::Read:
        return WaitReadable(t);
      case WaitKind::Write:
        return WaitWritable(t);
      case WaitKind::Connect:
        return WaitFor(what, t);
    }
    return false;
  };
  int first = Timeout, turns = 0;
  if (FHeartbeatRate != 0 && Timeout != -1) {
    first = Timeout % FHeartbeatRate;
    turns = Timeout / FHeartbeatRate;
  }
  bool ok = wait(first);
  if (!ok && FLastError != p::kWSAENOTSOCK) {
    for (int i = 0; i <= turns; ++i) {
      DoHeartbeat();
      if (FStopFlag) {
        FStopFlag = false;
        ok = false;
        break;
      }
      ok = wait(FHeartbeatRate);
      if (ok || FLastError == p::kWSAENOTSOCK) break;
    }
  }
  ExceptCheck();
  return ok;
}

bool TBlockSocket::CanRead(int Timeout) {
  const bool ok = WaitWithHeartbeats(Timeout, WaitKind::Read);
  if (ok) DoStatus(HR_CanRead, "");
  return ok;
}

bool TBlockSocket::CanWrite(int Timeout) {
  const bool ok = WaitWithHeartbeats(Timeout, WaitKind::Write);
  if (ok) DoStatus(HR_CanWrite, "");
  return ok;
}

bool TBlockSocket::CanReadEx(int Timeout) {
  return !LineBuffer().empty() || CanRead(Timeout);
}

bool TBlockSocket::GroupCanRead(const std::vector<TBlockSocket*>& SocketList, int Timeout,
                                std::vector<TBlockSocket*>& CanReadList) {
  TFDSet set;
  for (TBlockSocket* s : SocketList) p::FDSet(s->Socket(), set);
  const int r = p::SelectSockets(&set, nullptr, nullptr, Timeout);
  SockCheck(r);
  ExceptCheck();
  const bool any = r > 0 && FLastError == 0;
  if (any) {
    CanReadList.clear();
    for (TBlockSocket* s : SocketList)
      if (p::FDIsSet(s->Socket(), set)) CanReadList.push_back(s);
  }
  return any;
}

void TBlockSocket::Purge() {
  DrainInput();
}

bool TBlockSocket::DrainInput() {
  SleepMs(1);
  SetLineBuffer({});
  bool complete = true;
  std::int64_t drained = 0;
  const std::uint32_t t0 = TickMilliseconds();
  ByteString scratch;
  try {
    for (int n = WaitingData(); n > 0; n = WaitingData()) {
      if (drained >= kMaxDrainBytes || TickDifference(t0, TickMilliseconds()) >= kMaxDrainMs) {
        complete = false;  // still arriving: the caller closes hard
        break;
      }
      scratch.resize(static_cast<size_t>(n));
      const int r = RecvBuffer(scratch.data(), n);
      if (FLastError != 0 || r <= 0) break;
      drained += r;
    }
  } catch (...) {
    // Draining before a close must not fail the close.
  }
  ResetLastError();
  return complete;
}

// ---- options ----

void TBlockSocket::QueueOption(const TSocketOption& Value) {
  if (FSocket == p::kInvalidSocket)
    FDelayedOptions.push_front(Value);
  else
    ApplyOption(Value);
}

void TBlockSocket::ApplyQueuedOptions() {
  while (!FDelayedOptions.empty()) {
    const TSocketOption o = FDelayedOptions.back();
    FDelayedOptions.pop_back();
    ApplyOption(o);
  }
}

void TBlockSocket::ApplyOption(const TSocketOption& o) {
  // The platform's answers are deliberately ignored: an option is a wish.
  switch (o.Option) {
    case SOT_Linger:
      p::SetSocketLinger(FSocket, o.Enabled, o.Value / 1000);
      break;
    case SOT_RecvBuff:
      p::SetSocketOption(FSocket, p::SockOpt::RecvBuffer, o.Value);
      break;
    case SOT_SendBuff:
      p::SetSocketOption(FSocket, p::SockOpt::SendBuffer, o.Value);
      break;
    case SOT_NonBlock:
      FNonBlockMode = o.Enabled;
      p::SetNonBlocking(FSocket, o.Enabled);
      break;
    case SOT_RecvTimeout:
      p::SetSocketOption(FSocket, p::SockOpt::RecvTimeout, o.Value);
      break;
    case SOT_SendTimeout:
      p::SetSocketOption(FSocket, p::SockOpt::SendTimeout, o.Value);
      break;
    case SOT_Reuse:
      p::SetSocketOption(FSocket, p::SockOpt::ReuseAddress, o.Enabled);
      break;
    case SOT_TTL:
      p::SetSocketOption(FSocket, FIP6used ? p::SockOpt::UnicastHops : p::SockOpt::Ttl, o.Value);
      break;
    case SOT_Broadcast:
      p::SetSocketOption(FSocket, p::SockOpt::Broadcast, o.Enabled);
      break;
    case SOT_MulticastTTL:
      p::SetSocketOption(FSocket, FIP6used ? p::SockOpt::MulticastHops : p::SockOpt::MulticastTtl,
                         o.Value);
      break;
    case SOT_MulticastLoop:
      p::SetSocketOption(FSocket, FIP6used ? p::SockOpt::MulticastLoop6 : p::SockOpt::MulticastLoop,
                         o.Enabled);
      break;
  }
}

void TBlockSocket::SetLinger(bool Enable, int Linger) {
  QueueOption({SOT_Linger, Enable, Linger});
}
void TBlockSocket::EnableReuse(bool Value) {
  QueueOption({SOT_Reuse, Value, 0});
}
void TBlockSocket::SetTimeout(int Timeout) {
  SetSendTimeout(Timeout);
  SetRecvTimeout(Timeout);
}
void TBlockSocket::SetSendTimeout(int Timeout) {
  QueueOption({SOT_SendTimeout, false, Timeout});
}
void TBlockSocket::SetRecvTimeout(int Timeout) {
  QueueOption({SOT_RecvTimeout, false, Timeout});
}
void TBlockSocket::SetSizeRecvBuffer(int Size) {
  QueueOption({SOT_RecvBuff, false, Size});
}
void TBlockSocket::SetSizeSendBuffer(int Size) {
  QueueOption({SOT_SendBuff, false, Size});
}
void TBlockSocket::SetNonBlockMode(bool Value) {
  QueueOption({SOT_NonBlock, Value, 0});
}
void TBlockSocket::SetTTL(int TTL) {
  QueueOption({SOT_TTL, false, TTL});
}

int TBlockSocket::SizeRecvBuffer() {
  int v = 0;
  if (SockCheck(p::GetSocketOption(FSocket, p::SockOpt::RecvBuffer, v)) != 0) v = 1024;
  ExceptCheck();
  return v;
}

int TBlockSocket::SizeSendBuffer() {
  int v = 0;
  if (SockCheck(p::GetSocketOption(FSocket, p::SockOpt::SendBuffer, v)) != 0) v = 1024;
  ExceptCheck();
  return v;
}

int TBlockSocket::TTL() {
  int v = -1;
  if (p::GetSocketOption(FSocket, FIP6used ? p::SockOpt::UnicastHops : p::SockOpt::Ttl, v) != 0)
    return -1;
  return v;
}

}  // namespace vlt::net
