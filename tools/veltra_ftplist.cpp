// veltra-ftplist [--now "YYYY-MM-DD HH:MM:SS"]
//
// Reads an FTP directory listing (the reply to LIST: CR LF or LF lines in the system's 8-bit
// code page) on stdin, parses it as one listing with the FTP client's own parser and prints
// one tab-separated row per entry:
//   name, directory (0/1), readable (0/1), size, date and time, permission, mask, line
// then "UNPARSED", a tab and the line for each line nothing recognised. Output is UTF-8.
// --now pins the moment that dates printed without a year are read against (default: now).
// Exit status: 0, or 2 on bad usage.
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "net/ftp_list.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/numbers.h"

namespace {

namespace p = vlt::platform;

constexpr char kUsage[] = "usage: veltra-ftplist [--now \"YYYY-MM-DD HH:MM:SS\"] <LISTING\n";

// "2026-12-10 16:20:00", every field checked.
std::optional<p::LocalDateTime> ParseNow(std::string_view text) {
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':' ||
      text[16] != ':')
    return std::nullopt;
  const auto field = [&](std::size_t at, std::size_t len) {
    return p::ParseUnsigned<unsigned>(text.substr(at, len));
  };
  const auto y = field(0, 4), mo = field(5, 2), d = field(8, 2), h = field(11, 2),
             mi = field(14, 2), s = field(17, 2);
  if (!y || !mo || !d || !h || !mi || !s || *y < 1 || *mo < 1 || *mo > 12 || *d < 1 ||
      *d > static_cast<unsigned>(p::DaysInMonth(*y, *mo)) || *h > 23 || *mi > 59 || *s > 59)
    return std::nullopt;
  return p::LocalDateTime{static_cast<int>(*y),
                          static_cast<int>(*mo),
                          static_cast<int>(*d),
                          static_cast<int>(*h),
                          static_cast<int>(*mi),
                          static_cast<int>(*s),
                          0};
}

std::string ReadAll(std::FILE* in) {
  std::string data;
  char buf[65536];
  std::size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, in)) > 0) data.append(buf, got);
  return data;
}

void Print(const vlt::net::TFTPList& list) {
  for (int i = 0; i < list.Count(); ++i) {
    const vlt::net::TFTPListRec& e = *list.GetListItem(i);
    std::printf("%s\t%d\t%d\t%lld\t%s\t%s\t%s\t%s\n", e.FileName().c_str(), e.Directory() ? 1 : 0,
                e.Readable() ? 1 : 0, static_cast<long long>(e.FileSize()),
                vlt::net::FormatFileTime(e.FileTime()).c_str(), e.Permission().c_str(),
                e.Mask().c_str(), e.OriginalLine().c_str());
  }
  for (const auto& line : list.UnparsedLines())
    std::printf("UNPARSED\t%s\n", p::AnsiToText(line).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<p::LocalDateTime> now;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--now" && i + 1 < argc) {
      now = ParseNow(argv[++i]);
      if (!now) {
        std::fprintf(stderr, "veltra-ftplist: --now wants \"YYYY-MM-DD HH:MM:SS\"\n%s", kUsage);
        return 2;
      }
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }

  p::ManualClock pinned;
  std::optional<p::ScopedClock> scope;
  if (now) {
    pinned.SetLocalTime(*now);
    scope.emplace(pinned);
  }

  vlt::net::TFTPList list;
  list.LoadLines(ReadAll(stdin));
  list.ParseLines();
  Print(list);
  return 0;
}
