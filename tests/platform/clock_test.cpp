#include "platform/clock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace vlt::platform {
namespace {

TEST(Calendar, DaysAndDatesRoundTrip) {
  const struct {
    std::int64_t y, m, d, days;
  } cases[] = {
      {1970, 1, 1, 0},       {1969, 12, 31, -1}, {2000, 2, 29, 11016},    {2000, 3, 1, 11017},
      {2026, 12, 10, 20797}, {1, 1, 1, -719162}, {9999, 12, 31, 2932896},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DaysFromCivil(c.y, c.m, c.d), c.days) << c.y << "-" << c.m << "-" << c.d;
    std::int64_t y = 0, m = 0, d = 0;
    CivilFromDays(c.days, y, m, d);
    EXPECT_EQ((std::vector<std::int64_t>{y, m, d}), (std::vector<std::int64_t>{c.y, c.m, c.d}));
  }
  const struct {
    std::int64_t y, m;
    int days;
  } months[] = {{2024, 2, 29},  {2100, 2, 28}, {2000, 2, 29}, {2026, 4, 30},
                {2026, 12, 31}, {2026, 0, 0},  {2026, 13, 0}};
  for (const auto& c : months) EXPECT_EQ(DaysInMonth(c.y, c.m), c.days) << c.y << "-" << c.m;
}

}  // namespace
}  // namespace vlt::platform
