#pragma once
// The transfer line the wizard shows under its gauge during a download:
//   "1.536 / 10.240 KB  -  256,00 KB/s  -  01:02:05"
// sizes in KB rounded and grouped by three, the average speed with two decimals, and the time
// from Sec (a total number of seconds) as hours, minutes and seconds.
#include <cstdint>
#include <string>

namespace vlt::download {

std::string TransferLine(std::int64_t BytesDownloaded, std::int64_t BytesToDownload,
                         double AverageSpeed, std::uint16_t Sec, char ThousandSeparator,
                         char DecimalSeparator);

}  // namespace vlt::download
