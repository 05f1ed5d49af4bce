// libFuzzer target: arbitrary bytes as what a server says on the control connection. The lines
// (ended by CR, LF, CR LF or LF CR, as the control socket reads them, and cut off where the
// socket would refuse them) are assembled into replies one after the other, the way ReadResult
// does, and every line goes through the PASV and EPSV parsers. Crashes, sanitizer reports, a
// reply that ends where it should not, and a data address the client would connect to although
// it is not a valid one are findings.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "net/address_text.h"
#include "net/ftp_client.h"
#include "net/socket_layer.h"
#include "platform/numbers.h"

namespace {

using vlt::net::TFTPClient;

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "ftp reply fuzz: %s\n", what);
  std::abort();
}

TFTPClient* client = nullptr;

bool ValidPort(const std::string& port) {
  const auto v = vlt::platform::ParseUnsigned<std::uint32_t>(port);
  return v && *v >= 1 && *v <= 65535 && std::to_string(*v) == port;
}

void CheckDataAddress(const std::string& line) {
  client->ParseRemote(line);
  Check(client->DataIP().empty() == client->DataPort().empty(), "PASV: half an address");
  if (!client->DataPort().empty()) {
    Check(vlt::net::IsIPv4Text(client->DataIP()), "PASV: not an IPv4 address");
    Check(ValidPort(client->DataPort()), "PASV: port out of range");
  }
  client->ParseRemoteEPSV(line);
  Check(client->DataIP() == client->TargetHost, "EPSV: another host");
  Check(client->DataPort().empty() || ValidPort(client->DataPort()), "EPSV: port out of range");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static std::unique_ptr<vlt::net::SocketLayer> layer = std::make_unique<vlt::net::SocketLayer>();
  static TFTPClient c;
  c.TargetHost = "ftp.example";
  client = &c;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  vlt::net::TFTPReplyAssembler reply;
  vlt::ByteString code;  // the code text of the reply being read
  int lines = 0;
  while (!input.empty()) {
    const std::size_t end = input.find_first_of("\r\n");
    const vlt::ByteString line(input.substr(0, end));
    if (end == std::string_view::npos) {
      input = {};
    } else {
      // CR LF and LF CR end one line.
      const bool pair = end + 1 < input.size() && input[end] != input[end + 1] &&
                        (input[end + 1] == '\r' || input[end + 1] == '\n');
      input.remove_prefix(end + (pair ? 2 : 1));
    }
    if (line.size() > TFTPClient::kMaxReplyLine) break;  // the socket fails such a line

    CheckDataAddress(line);
    if (code.empty() && line.size() > 3 && (line[3] == ' ' || line[3] == '-'))
      code = line.substr(0, 3);
    const bool complete = reply.Add(line);
    Check(complete == reply.Complete(), "Add and Complete disagree");
    Check(
        complete == (!code.empty() && line.size() > 3 && line.starts_with(code) && line[3] == ' '),
        "the reply ended at the wrong line");
    if (complete) {
      const auto value = vlt::platform::ParseUnsigned<std::int32_t>(code);
      Check(reply.Code() == (value ? *value : 0), "wrong code");
      Check(reply.Code() >= 0 && reply.Code() <= 999, "code out of range");
      Check(reply.Add("999 more"), "a complete reply took another line");
    } else {
      Check(reply.Code() == 0, "a code before the reply ended");
    }
    if (complete || ++lines >= TFTPClient::kMaxReplyLines) {
      reply = {};
      code.clear();
      lines = 0;
    }
  }
  return 0;
}
