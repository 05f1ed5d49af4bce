#include "installer/transfer_line.h"

#include <gtest/gtest.h>

namespace vlt {
namespace {

const NumberSeparators kBrazil{".", ","};
const NumberSeparators kUs{",", "."};

TEST(TransferLine, Pieces) {
  struct Case {
    double value;
    const char* grouped;
  };
  for (const Case& c : {Case{0, "0"}, Case{0.4, "0"}, Case{0.5, "1"}, Case{999, "999"},
                        Case{1000, "1.000"}, Case{1536, "1.536"}, Case{1234567.6, "1.234.568"},
                        Case{2.5 * 1024 * 1024 * 1024, "2.684.354.560"}})
    EXPECT_EQ(FormatGrouped(c.value, kBrazil), c.grouped) << c.value;
  EXPECT_EQ(FormatGrouped(1234567, kUs), "1,234,567");
  EXPECT_EQ(FormatGrouped(1234567, {"", "."}), "1234567");
  EXPECT_EQ(FormatGrouped(1234567, {"\u00a0", ","}), "1\u00a0234\u00a0567");

  EXPECT_EQ(FormatSpeed(256, kBrazil), "256,00 KB/s");
  EXPECT_EQ(FormatSpeed(0.125, kUs), "0.13 KB/s");
  EXPECT_EQ(FormatSpeed(0, kBrazil), "0,00 KB/s");

  EXPECT_EQ(FormatSeconds(0), "00:00:00");
  EXPECT_EQ(FormatSeconds(59), "00:00:59");
  EXPECT_EQ(FormatSeconds(3725), "01:02:05");
  EXPECT_EQ(FormatSeconds(65535), "18:12:15");
  EXPECT_EQ(FormatSeconds(400000), "111:06:40");
}

TEST(TransferLine, WholeLine) {
  EXPECT_EQ(TransferLine(1572864, 10485760, 256, 3725, kBrazil),
            "1.536 / 10.240 KB  -  256,00 KB/s  -  01:02:05");
  // Sizes above 2 GiB keep their value.
  EXPECT_EQ(TransferLine(std::int64_t{3} << 30, std::int64_t{4} << 30, 1024.5, 1, kUs),
            "3,145,728 / 4,194,304 KB  -  1024.50 KB/s  -  00:00:01");
}

}  // namespace
}  // namespace vlt
