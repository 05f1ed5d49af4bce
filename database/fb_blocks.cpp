#include "database/fb_blocks.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "platform/codepage.h"
#include "platform/text.h"

namespace vlt {
namespace {

struct TDpbName {
  std::string_view name;
  unsigned char code;
};
// The string parameters this program sends; each is written as code, length, bytes.
constexpr std::array<TDpbName, 4> kStringParameters{{
    {"user_name", fbapi::dpb_user_name},
    {"password", fbapi::dpb_password},
    {"lc_ctype", fbapi::dpb_lc_ctype},
    {"sql_role_name", fbapi::dpb_sql_role_name},
}};

// Little-endian, the last byte carrying the sign, as the library reads them; 0 for a length
// out of range.
fbapi::ISC_LONG LocalVax(const char* bytes, short length) {
  if (bytes == nullptr || length <= 0 || length > 4) return 0;
  std::uint32_t value = 0;
  for (int i = 0; i < length - 1; ++i) {
    value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  }
  value |= static_cast<std::uint32_t>(static_cast<signed char>(bytes[length - 1]))
           << (8 * (length - 1));
  return static_cast<fbapi::ISC_LONG>(value);
}

fbapi::ISC_INT64 LocalPortable(const unsigned char* bytes, short length) {
  if (bytes == nullptr || length <= 0 || length > 8) return 0;
  std::uint64_t value = 0;
  for (int i = 0; i < length - 1; ++i) value |= static_cast<std::uint64_t>(bytes[i]) << (8 * i);
  value |= static_cast<std::uint64_t>(static_cast<signed char>(bytes[length - 1]))
           << (8 * (length - 1));
  return static_cast<fbapi::ISC_INT64>(value);
}

unsigned char Byte(std::string_view s, size_t i) {
  return static_cast<unsigned char>(s[i]);
}

}  // namespace

ByteString BuildDatabaseParameterBlock(const std::vector<std::string>& params) {
  ByteString dpb(1, static_cast<char>(fbapi::dpb_version1));
  for (const std::string& line : params) {
    const size_t eq = line.find('=');
    std::string name = platform::AsciiLower(line.substr(0, eq));
    const std::string value = eq == std::string::npos ? std::string() : line.substr(eq + 1);
    if (name.starts_with("isc_dpb_")) name.erase(0, 8);
    const TDpbName* known = nullptr;
    for (const TDpbName& p : kStringParameters) {
      if (p.name == name) known = &p;
    }
    if (known == nullptr) throw Exception("Unknown database parameter: " + line.substr(0, eq));
    const ByteString bytes = platform::TextToAnsi(value);
    // The length is one byte: a longer value would corrupt every parameter after it.
    if (bytes.size() > 255) throw Exception("Database parameter value too long: " + name);
    dpb += static_cast<char>(known->code);
    dpb += static_cast<char>(bytes.size());
    dpb += bytes;
  }
  return dpb;
}

const TInfoIntegerReaders& LocalInfoIntegerReaders() {
  static const TInfoIntegerReaders readers{&LocalVax, &LocalPortable};
  return readers;
}

int DialectFromReply(std::string_view reply, const TInfoIntegerReaders& readers) {
  if (reply.size() < 3 || Byte(reply, 0) != fbapi::info_db_SQL_dialect) return 1;
  const fbapi::ISC_LONG length = readers.vax(reply.data() + 1, 2);
  if (length < 1 || length > 8 || static_cast<size_t>(length) > reply.size() - 3) return 1;
  const fbapi::ISC_INT64 dialect = readers.portable(
      reinterpret_cast<const unsigned char*>(reply.data() + 3), static_cast<short>(length));
  if (dialect < std::numeric_limits<int>::min() || dialect > std::numeric_limits<int>::max()) {
    return 1;
  }
  return static_cast<int>(dialect);
}

std::optional<ByteString> FirstVersionString(std::string_view reply) {
  if (reply.size() < 5 || Byte(reply, 0) != fbapi::info_version) return std::nullopt;
  const size_t item_end = 3 + (Byte(reply, 1) | (static_cast<size_t>(Byte(reply, 2)) << 8));
  const size_t count = Byte(reply, 3);
  const size_t length = Byte(reply, 4);
  if (count == 0 || 5 + length > item_end || 5 + length > reply.size()) return std::nullopt;
  return ByteString(reply.substr(5, length));
}

std::string StatusMessageText(const std::vector<std::string>& messages) {
  std::string text;
  for (const std::string& m : messages) {
    if (!text.empty() && text.back() != '\n') text += "\r\n";
    text += m;
  }
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

}  // namespace vlt
