// libFuzzer target: arbitrary bytes as a directory listing, parsed by the listing parser.
// Crashes, hangs (a mask match that is not linear in the line) and sanitizer reports are
// findings; so is an entry that breaks what the FTP client relies on. An input starting with
// byte 01 brings its own first mask in its first line, so the mask language is fuzzed too.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "net/ftp_list.h"
#include "platform/clock.h"
#include "platform/codepage.h"

namespace {

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "ftp list fuzz: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static vlt::platform::ManualClock clock;
  static vlt::platform::ScopedClock scope(clock);
  clock.SetLocalTime({2026, 12, 10, 16, 20, 0, 0});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  vlt::net::TFTPList list;
  if (!input.empty() && input[0] == '\x01') {
    const auto end = input.find('\n');
    list.Masks().insert(list.Masks().begin(), std::string(input.substr(1, end - 1)));
    input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
  }
  list.LoadLines(input);
  list.ParseLines();

  Check(static_cast<std::size_t>(list.Count()) + list.UnparsedLines().size() <= list.Lines().size(),
        "more results than lines");
  for (int i = 0; i < list.Count(); ++i) {
    const vlt::net::TFTPListRec& e = *list.GetListItem(i);
    Check(!e.FileName().empty() || e.Mask() != "EPLF", "EPLF entry without a name");
    Check(e.FileSize() >= 0, "negative size");
    Check(vlt::platform::IsValidUtf8(e.FileName()) && vlt::platform::IsValidUtf8(e.OriginalLine()),
          "name or line not UTF-8");
    Check(vlt::net::FormatFileTime(e.FileTime()).size() == 19, "time not printable");
  }
  return 0;
}
