#include "installer/transfer_line.h"

#include <cmath>
#include <cstdio>

namespace vlt {

std::string FormatGrouped(double value, const NumberSeparators& separators) {
  const double rounded = std::round(value);
  const bool negative = rounded < 0;
  // Whole numbers up to 2^63 print exactly; nothing the gauge shows comes near.
  char digits[32];
  std::snprintf(digits, sizeof digits, "%.0f", std::fabs(rounded));
  std::string plain = digits, out;
  for (size_t i = 0; i < plain.size(); ++i) {
    if (i > 0 && (plain.size() - i) % 3 == 0) out += separators.thousands;
    out += plain[i];
  }
  return negative ? "-" + out : out;
}

std::string FormatSpeed(double kb_per_second, const NumberSeparators& separators) {
  char text[64];
  // Halves round away from zero, as in the whole numbers.
  std::snprintf(text, sizeof text, "%.2f", std::round(kb_per_second * 100) / 100);
  std::string s = text;
  if (const size_t dot = s.find('.'); dot != std::string::npos)
    s.replace(dot, 1, separators.decimal);
  return s + " KB/s";
}

std::string FormatSeconds(std::uint32_t seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2u:%.2u:%.2u", seconds / 3600, (seconds / 60) % 60,
                seconds % 60);
  return text;
}

std::string TransferLine(std::int64_t bytes_downloaded, std::int64_t bytes_to_download,
                         double average_speed, std::uint32_t seconds,
                         const NumberSeparators& separators) {
  return FormatGrouped(static_cast<double>(bytes_downloaded) / 1024, separators) + " / " +
         FormatGrouped(static_cast<double>(bytes_to_download) / 1024, separators) + " KB  -  " +
         FormatSpeed(average_speed, separators) + "  -  " + FormatSeconds(seconds);
}

}  // namespace vlt
