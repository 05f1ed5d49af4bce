#include "tests/download/download_helpers.h"

#include "tests/support/temp_dir.h"

namespace vlt::test {

std::string Pattern(std::int64_t size, std::int64_t offset) {
  std::string out(static_cast<size_t>(size), '\0');
  for (std::int64_t i = 0; i < size; ++i)
    out[static_cast<size_t>(i)] = static_cast<char>((offset + i) * 131 % 251);
  return out;
}

::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  return ::testing::AssertionFailure() << actual.size() << " bytes where " << expected.size()
                                       << " were expected; first difference at offset " << at;
}

void WriteValidator(const std::string& part_path, const std::string& validator, std::int64_t size) {
  WriteFile(part_path + ".validador",
            "validador=" + validator + "\r\ntamanho=" + std::to_string(size) + "\r\n");
}

EventLog::EventLog(download::TVltDownload& d) {
  using download::TVltDownloadClass;
  d.SetOnBeforeDownload([this](TVltDownloadClass*) { events.push_back("before"); });
  d.SetOnAfterDownload([this](TVltDownloadClass*) { events.push_back("after"); });
  d.SetOnHookStatus([this](net::THookSocketReason r, std::int64_t to, std::int64_t down) {
    // Appended piece by piece: GCC 12 at -O3 warns falsely about " " + std::string.
    std::string counts(1, ' ');
    counts += std::to_string(to);
    counts += ' ';
    counts += std::to_string(down);
    if (r == net::HR_Connect) events.push_back("connect");
    if (r == net::HR_ReadCount) events.push_back("readcount" + counts);
    if (r == net::HR_SocketClose) events.push_back("close" + counts);
  });
  d.SetOnDownloadStatus([this](TVltDownloadClass*, download::TDownloadStatus s) {
    events.push_back("status " + std::to_string(s));
  });
  d.SetOnHookMonitor([this, &d](std::int64_t to, std::int64_t down, double, std::uint32_t) {
    ++monitors;
    last_to = to;
    last_down = down;
    if (on_monitor) on_monitor(d);
  });
}

std::string EventLog::Joined() const {
  std::string out;
  for (const std::string& e : events) out += (out.empty() ? "" : " | ") + e;
  return out;
}

}  // namespace vlt::test
