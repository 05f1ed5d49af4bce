#include "archive/zip_names.h"

#include <zlib.h>

#include "platform/codepage.h"
#include "platform/numbers.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace vlt {
namespace {

// 0x80..0xFF, eight to a row.
// clang-format off
constexpr char16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};
// clang-format on

std::uint32_t Le16(std::string_view s, size_t at) {
  return static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8;
}

std::uint32_t Le32(std::string_view s, size_t at) {
  return Le16(s, at) | Le16(s, at + 2) << 16;
}

// A name that is not well-formed UTF-8 is refused, not repaired: decoding the overlong C0 AF
// as "/" would open a path the checks below never saw.
std::string Utf8ToText(std::string_view bytes) {
  if (!platform::IsValidUtf8(bytes)) throw Exception("Invalid UTF-8 in zip entry name");
  return std::string(bytes);
}

// Characters no Windows path may hold. A colon only as a drive ("C:").
bool HasInvalidPathChars(std::string_view path) {
  for (size_t i = 0; i < path.size(); ++i) {
    const auto c = static_cast<unsigned char>(path[i]);
    if (c < 0x20 || c == '"' || c == '<' || c == '>' || c == '|' || c == '*' || c == '?') {
      return true;
    }
    if (c == ':' && !(i == 1 && platform::DriveLetter(path) != 0)) return true;
  }
  return false;
}

// Windows drops trailing dots and blanks of a component, so ".. " and "..." may act as "..";
// counting every all-dots-and-blanks component with two dots or more as a step up is safe.
bool ClimbsUp(std::string_view part) {
  size_t dots = 0;
  for (char c : part) {
    if (c == '.') {
      ++dots;
    } else if (c != ' ') {
      return false;
    }
  }
  return dots >= 2;
}

bool StaysInside(std::string_view name) {
  int depth = 0;
  size_t i = 0;
  while (i < name.size()) {
    const size_t start = i;
    while (i < name.size() && !platform::IsPathSeparator(name[i])) ++i;
    const std::string_view part = name.substr(start, i - start);
    if (ClimbsUp(part)) {
      if (--depth < 0) return false;
    } else if (!part.empty() && part != "." && part != " ") {
      ++depth;
    }
    ++i;
  }
  return true;
}

// The first component of `name` that is a device name, or "".
std::string_view DeviceComponent(std::string_view name) {
  size_t i = 0;
  while (i < name.size()) {
    const size_t start = i;
    while (i < name.size() && !platform::IsPathSeparator(name[i])) ++i;
    const std::string_view part = name.substr(start, i - start);
    if (platform::IsDeviceName(part)) return part;
    ++i;
  }
  return {};
}

}  // namespace

std::string Cp437ToText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    platform::AppendUtf8(out, b < 0x80 ? b : kCp437High[b - 0x80]);
  }
  return out;
}

std::optional<std::string> UnicodePathName(std::string_view extra, std::string_view stored_name) {
  if (extra.size() < 2) return std::nullopt;
  for (size_t p = 0; p + 2 <= extra.size(); ++p) {
    if (Le16(extra, p) != 0x7075) continue;
    // The first occurrence decides, even when it is not a well-formed field.
    if (p + 9 > extra.size()) return std::nullopt;
    const size_t data_size = Le16(extra, p + 2);
    if (data_size < 5 || p + 4 + data_size > extra.size()) return std::nullopt;
    const std::uint32_t name_crc = Le32(extra, p + 5);
    const auto* bytes = reinterpret_cast<const Bytef*>(stored_name.data());
    if (name_crc != crc32(0, bytes, static_cast<uInt>(stored_name.size()))) return std::nullopt;
    return Utf8ToText(extra.substr(p + 9, data_size - 5));
  }
  return std::nullopt;
}

std::string EntryName(std::uint16_t central_flag, std::string_view central_name,
                      std::string_view local_extra, std::string_view local_name) {
  std::string name;
  if (auto unicode = UnicodePathName(local_extra, local_name)) {
    name = std::move(*unicode);
  } else if (central_flag & 0x0800) {
    name = Utf8ToText(central_name);
  } else {
    name = Cp437ToText(central_name);
  }
  for (char& c : name) {
    if (c == '/') c = '\\';
  }
  return name;
}

std::string CombineEntryPath(std::string_view directory, std::string_view name) {
  if (HasInvalidPathChars(directory) || HasInvalidPathChars(name)) {
    throw Exception("Invalid characters in path");
  }
  const bool rooted =
      (!name.empty() && platform::IsPathSeparator(name[0])) || platform::DriveLetter(name) != 0;
  if (rooted || !StaysInside(name)) {
    throw Exception("Zip entry \"" + std::string(name) + "\" would be written outside \"" +
                    std::string(directory) + "\"");
  }
  // Its data would go to the device while the extraction reports success.
  if (const std::string_view device = DeviceComponent(name); !device.empty()) {
    throw Exception("Invalid file name in zip entry \"" + std::string(name) + "\": \"" +
                    std::string(device) + "\" is a device name");
  }
  if (directory.empty()) return std::string(name);
  return platform::IncludeTrailingPathDelimiter(directory) + std::string(name);
}

}  // namespace vlt
