#pragma once
// The program's time source and pauses behind one seam. The system clock serves by default;
// tests put a ManualClock in its place so that pauses, throttles and timing arithmetic run
// without real sleeping.
#include <atomic>
#include <cstdint>
#include <functional>

namespace vlt::platform {

struct LocalDateTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic milliseconds; wraps at 2^32 like the Windows tick count.
  virtual std::uint32_t TickMs() = 0;
  // Pauses the calling thread; 0 yields the processor.
  virtual void SleepMs(int ms) = 0;
  // Wall-clock local time, as GetLocalTime gives it.
  virtual LocalDateTime LocalTime() = 0;
  // Waits at most `ms` (-1: no limit) for something the system signals, such as a process
  // ending; `wait(n)` waits for it in the system for at most n ms and tells whether it came.
  // The system clock lets the system wait. Any other clock asks once, lets `ms` pass on itself
  // through SleepMs and asks again, so that waits add up without real time going by (an
  // unlimited wait is left to the system).
  virtual bool WaitFor(const std::function<bool(int)>& wait, int ms);
};

Clock& SystemClock();
Clock& CurrentClock();

// Puts a clock in place for the lifetime of the object (tests).
class ScopedClock {
 public:
  explicit ScopedClock(Clock& clock);
  ~ScopedClock();
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;

 private:
  Clock* previous_;
};

// A clock that moves only when slept on or advanced. Thread-safe counters, so a test thread
// may advance it while the code under test waits.
class ManualClock : public Clock {
 public:
  explicit ManualClock(std::uint32_t start_tick = 0) : tick_(start_tick) {}
  std::uint32_t TickMs() override { return tick_.load(); }
  void SleepMs(int ms) override;
  LocalDateTime LocalTime() override;
  void Advance(std::uint32_t ms) { tick_ += ms; }
  void SetLocalTime(const LocalDateTime& t) { base_ = t; }
  // Total of the pauses asked for, and how many there were (0 ms yields included).
  std::uint64_t SleptMs() const { return slept_.load(); }
  int Sleeps() const { return sleeps_.load(); }

 private:
  std::atomic<std::uint32_t> tick_;
  std::atomic<std::uint64_t> slept_{0};
  std::atomic<int> sleeps_{0};
  LocalDateTime base_{2026, 1, 1, 12, 0, 0, 0};
};

// The proleptic Gregorian calendar; days are counted from 1970-01-01 (day 0), earlier dates
// negative.
bool IsLeapYear(std::int64_t year);
// Month 1 to 12; 0 for any other month.
int DaysInMonth(std::int64_t year, std::int64_t month);
std::int64_t DaysFromCivil(std::int64_t year, std::int64_t month, std::int64_t day);
void CivilFromDays(std::int64_t days, std::int64_t& year, std::int64_t& month, std::int64_t& day);

inline std::uint32_t TickMs() {
  return CurrentClock().TickMs();
}
inline void SleepMs(int ms) {
  CurrentClock().SleepMs(ms);
}

}  // namespace vlt::platform
