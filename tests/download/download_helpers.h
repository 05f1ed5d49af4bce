#pragma once
// What the download tests share: the bytes of the served files and a recorder of the
// component's events.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "download/vlt_download.h"

namespace vlt::test {

// `size` bytes of the reference file starting at `offset`; the nginx fixture serves the same.
std::string Pattern(std::int64_t size, std::int64_t offset = 0);

// Equal bytes; on a difference, the sizes and the first differing offset instead of a dump.
::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected);

// The validator a download keeps beside the partial file `part_path`, as a run that received
// a reply with it would have left it (`size` -1: not announced).
void WriteValidator(const std::string& part_path, const std::string& validator,
                    std::int64_t size = -1);

// Binds the four handlers (and the status one) and keeps what they saw, in order:
// "before", "after", "connect", "readcount TO DOWN", "close TO DOWN", "status N".
struct EventLog {
  explicit EventLog(download::TVltDownload& d);
  std::vector<std::string> events;
  int monitors = 0;
  std::int64_t last_to = 0, last_down = 0;
  // Runs inside OnHookMonitor, after it was counted.
  std::function<void(download::TVltDownload&)> on_monitor;
  // Events without the monitor calls, joined by " | ".
  std::string Joined() const;
};

}  // namespace vlt::test
