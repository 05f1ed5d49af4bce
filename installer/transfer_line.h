#pragma once
// The transfer line shown under the gauge while a package downloads:
//   "1.536 / 10.240 KB  -  256,00 KB/s  -  01:02:05"
// downloaded / total in KB, average speed, and a time of day built from a count of seconds.
#include <cstdint>
#include <string>

#include "platform/locale.h"

namespace vlt {

using platform::NumberSeparators;

// "###,###,##0": the nearest whole number, digits grouped by three.
std::string FormatGrouped(double value, const NumberSeparators& separators);
// "0.00 KB/s"
std::string FormatSpeed(double kb_per_second, const NumberSeparators& separators);
// "%.2d:%.2d:%.2d" of seconds div 3600, (seconds div 60) mod 60, seconds mod 60.
std::string FormatSeconds(std::uint32_t seconds);
std::string TransferLine(std::int64_t bytes_downloaded, std::int64_t bytes_to_download,
                         double average_speed, std::uint32_t seconds,
                         const NumberSeparators& separators);

}  // namespace vlt
