// veltra-fetch [-o FILE] [-x HOST:PORT] [--cacert FILE] [--sha256 HEX] URL
//
// Fetches URL (http://, https:// or ftp://) into a file with the installer's own download
// component, used as the installer uses it. FILE gives the directory and the name; a FILE.part left
// by an earlier run is resumed. Without -o the name comes from the URL (or from the server) and the
// file goes into the current directory. -x sends an HTTP request through an HTTP proxy. An
// ftp:// URL logs in with the user and password it names (percent-decoded), else anonymously;
// its file keeps the URL's name, so -o may name only that. When stderr is a terminal it shows
// the installer's transfer line a few times per second. --sha256 checks the whole file before
// it takes its name: a file with another SHA-256 is deleted, partial file and all. An https://
// server's certificate must chain to a root of the system's store, or of the PEM file
// --cacert names, and name the URL's host.
// Exit status: 0 when the final file is there, 1 when the download failed, 2 on bad usage.
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "download/vlt_download.h"
#include "installer/transfer_line.h"
#include "net/sha256.h"
#include "net/socket_layer.h"
#include "net/ssl_stream.h"
#include "net/text_functions.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/locale.h"
#include "platform/sockets.h"
#include "platform/text.h"

namespace {

namespace dl = vlt::download;
namespace p = vlt::platform;

constexpr char kUsage[] =
    "usage: veltra-fetch [-o FILE] [-x HOST:PORT] [--cacert FILE] [--sha256 HEX] URL\n";
constexpr std::uint32_t kRedrawMs = 250;

// The transfer line on a terminal, rewritten in place at most every kRedrawMs.
class ProgressLine {
 public:
  explicit ProgressLine(bool terminal)
      : terminal_(terminal), separators_(p::UserNumberSeparators()) {}
  void Update(std::int64_t to, std::int64_t down, double speed, std::uint32_t sec) {
    if (!terminal_) return;
    to_ = to;
    down_ = down;
    speed_ = speed;
    sec_ = sec;
    seen_ = true;
    const std::uint32_t now = p::TickMs();
    if (shown_ && now - last_ < kRedrawMs) return;
    last_ = now;
    Draw();
  }
  // The last state once more, and the end of the line.
  void End() {
    if (!seen_) return;
    Draw();
    std::fputs("\n", stderr);
    seen_ = false;
  }

 private:
  void Draw() {
    const std::string line = vlt::TransferLine(down_, to_, speed_, sec_, separators_);
    std::string out = "\r" + line;
    if (line.size() < width_) out.append(width_ - line.size(), ' ');
    width_ = line.size();
    shown_ = true;
    std::fputs(out.c_str(), stderr);
    std::fflush(stderr);
  }

  bool terminal_;
  p::NumberSeparators separators_;
  bool seen_ = false;
  bool shown_ = false;
  std::uint32_t last_ = 0;
  size_t width_ = 0;
  std::int64_t to_ = 0, down_ = 0;
  double speed_ = 0;
  std::uint32_t sec_ = 0;
};

int Fail(const std::string& url, std::string why) {
  // A message box puts the reason on a line of its own; one line of error output keeps it.
  std::replace(why.begin(), why.end(), '\r', ' ');
  std::fprintf(stderr, "veltra-fetch: %s: %s\n", url.c_str(), why.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");  // the user's number separators, as the wizard uses them
  const std::vector<std::string> args = p::CommandLineArguments(argc, argv);
  std::string output, proxy, sha256, cacert, url;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string* value = args[i] == "-o"         ? &output
                         : args[i] == "-x"       ? &proxy
                         : args[i] == "--sha256" ? &sha256
                         : args[i] == "--cacert" ? &cacert
                                                 : nullptr;
    if (value != nullptr && i + 1 < args.size()) {
      *value = args[i + 1];
      ++i;
    } else if (!args[i].empty() && args[i][0] != '-' && url.empty()) {
      url = args[i];
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (url.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (!sha256.empty() && !vlt::net::IsSha256Hex(sha256)) {
    std::fputs("veltra-fetch: --sha256 takes the 64 hex digits of the file's SHA-256\n", stderr);
    return 2;
  }

  std::unique_ptr<vlt::net::SocketLayer> sockets;
  try {
    sockets = std::make_unique<vlt::net::SocketLayer>();
  } catch (const std::exception& e) {
    return Fail(url, e.what());
  }
  vlt::net::DefaultSecurityPlugin = vlt::net::SystemSecurityPlugin;
  dl::TVltDownload download;
  download.SetCertCAFile(cacert);
  vlt::net::UrlParts parts;
  vlt::net::SplitUrl(url, parts);
  const bool ftp = p::EqualsNoCase(parts.Prot, "ftp");
  download.SetProtocolo(ftp ? dl::protFTP : dl::protHTTP);
  download.SetDownloadUrl(url);
  download.SetExpectedSha256(sha256);
  if (ftp) {
    if (!proxy.empty()) {
      std::fputs("veltra-fetch: -x is for http:// URLs\n", stderr);
      return 2;
    }
    // The FTP engine takes the server and the account from its settings, not from the URL.
    download.FTP().FtpHost = parts.Host;
    download.FTP().FtpPort = parts.Port;
    download.FTP().FtpUser = vlt::net::PercentDecode(parts.User);
    download.FTP().FtpPass = vlt::net::PercentDecode(parts.Pass);
    if (download.FTP().FtpUser.empty()) {
      download.FTP().FtpUser = "anonymous";
      download.FTP().FtpPass = "guestuser@" + p::MachineHostName();
    }
  }
  if (!output.empty()) {
    const size_t cut = output.find_last_of("/\\");
    const std::string name = cut == std::string::npos ? output : output.substr(cut + 1);
    if (name.empty()) {
      std::fputs(kUsage, stderr);
      return 2;
    }
    if (ftp && name != p::LastComponent(parts.Path)) {
      std::fputs(
          "veltra-fetch: an ftp:// file keeps the URL's name; -o may change only the "
          "directory\n",
          stderr);
      return 2;
    }
    download.SetDownloadDest(cut == std::string::npos ? ""
                             : cut == 0               ? output.substr(0, 1)
                                                      : output.substr(0, cut));
    download.SetDownloadNomeArq(name);
  }
  if (!proxy.empty()) {
    // "host:port", "[::1]:8080"; the port defaults to the HTTP client's 8080.
    const size_t colon = proxy.rfind(':');
    std::string host = proxy, port = "8080";
    if (colon != std::string::npos && proxy.find(']', colon) == std::string::npos) {
      host = proxy.substr(0, colon);
      port = proxy.substr(colon + 1);
    }
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
      host = host.substr(1, host.size() - 2);
    download.Proxy().ProxyHost = host;
    download.Proxy().ProxyPort = port;
  }

  ProgressLine progress(p::StderrIsTerminal());
  download.SetOnHookMonitor([&](std::int64_t to, std::int64_t down, double speed,
                                std::uint32_t sec) { progress.Update(to, down, speed, sec); });

  try {
    download.StartDownload();
  } catch (const std::exception& e) {
    progress.End();
    return Fail(url, e.what());
  }
  progress.End();

  const dl::TVltDownloadClass& engine = download.Engine();
  if (!engine.Finished() || !p::FileExists(dl::PartFileTarget(engine.FilePart())))
    return Fail(url, download.FailureText());
  return 0;
}
