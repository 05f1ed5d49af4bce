#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace vlt::platform {

LocalDateTime SystemLocalTime();  // clock_win.cpp / clock_posix.cpp

namespace {

class RealClock : public Clock {
 public:
  std::uint32_t TickMs() override {
    // steady_clock is the performance counter on Windows and CLOCK_MONOTONIC natively.
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms.count()));
  }
  void SleepMs(int ms) override {
    if (ms > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    else
      std::this_thread::yield();
  }
  LocalDateTime LocalTime() override { return SystemLocalTime(); }
  bool WaitFor(const std::function<bool(int)>& wait, int ms) override { return wait(ms); }
};

RealClock g_system;
std::atomic<Clock*> g_current{&g_system};

}  // namespace

Clock& SystemClock() {
  return g_system;
}

Clock& CurrentClock() {
  return *g_current.load(std::memory_order_acquire);
}

ScopedClock::ScopedClock(Clock& clock) : previous_(g_current.exchange(&clock)) {}

ScopedClock::~ScopedClock() {
  g_current.store(previous_);
}

bool Clock::WaitFor(const std::function<bool(int)>& wait, int ms) {
  if (wait(0)) return true;
  if (ms == 0) return false;
  if (ms < 0) return wait(-1);
  SleepMs(ms);
  return wait(0);
}

void ManualClock::SleepMs(int ms) {
  ++sleeps_;
  if (ms <= 0) return;
  slept_ += static_cast<std::uint64_t>(ms);
  tick_ += static_cast<std::uint32_t>(ms);
}

LocalDateTime ManualClock::LocalTime() {
  // The local time moves with the tick, from the base set by the test.
  LocalDateTime t = base_;
  std::uint64_t ms = t.millisecond + static_cast<std::uint64_t>(t.second) * 1000 +
                     static_cast<std::uint64_t>(t.minute) * 60000 +
                     static_cast<std::uint64_t>(t.hour) * 3600000 + tick_.load();
  t.millisecond = static_cast<int>(ms % 1000);
  t.second = static_cast<int>(ms / 1000 % 60);
  t.minute = static_cast<int>(ms / 60000 % 60);
  t.hour = static_cast<int>(ms / 3600000 % 24);
  t.day += static_cast<int>(ms / 86400000);  // tests stay within a month
  return t;
}

bool IsLeapYear(std::int64_t y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(std::int64_t y, std::int64_t m) {
  if (m < 1 || m > 12) return 0;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

std::int64_t DaysFromCivil(std::int64_t y, std::int64_t m, std::int64_t d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, std::int64_t& m, std::int64_t& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = yoe + era * 400 + (m <= 2);
}

}  // namespace vlt::platform
