#include "download/transfer_line.h"

#include <cmath>
#include <cstdio>

namespace vlt::download {

namespace {

// "###,###,##0" of bytes / 1024: the nearest whole number, at least one digit, grouped by three.
std::string Kilobytes(std::int64_t bytes, char thousands) {
  const long long kb = std::llround(static_cast<double>(bytes) / 1024.0);
  std::string digits = std::to_string(kb < 0 ? -kb : kb);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += thousands;
    out += digits[i];
  }
  return kb < 0 ? "-" + out : out;
}

}  // namespace

std::string TransferLine(std::int64_t BytesDownloaded, std::int64_t BytesToDownload,
                         double AverageSpeed, std::uint16_t Sec, char ThousandSeparator,
                         char DecimalSeparator) {
  char speed[64];
  std::snprintf(speed, sizeof speed, "%.2f", AverageSpeed);
  for (char* c = speed; *c; ++c)
    if (*c == '.') *c = DecimalSeparator;
  char time[16];
  std::snprintf(time, sizeof time, "%.2d:%.2d:%.2d", Sec / 3600, Sec / 60 % 60, Sec % 60);
  return Kilobytes(BytesDownloaded, ThousandSeparator) + " / " +
         Kilobytes(BytesToDownload, ThousandSeparator) + " KB  -  " + speed + " KB/s  -  " + time;
}

}  // namespace vlt::download
