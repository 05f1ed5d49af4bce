#include "database/fb_database.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "database/fb_blocks.h"
#include "platform/codepage.h"
#include "platform/files.h"

namespace vlt {
namespace {

using fbapi::ISC_STATUS;

constexpr short kDialectBufferSize = 512;
constexpr short kVersionBufferSize = 1024;
// A status vector interprets into a few messages; the cap only stops a library that never
// reports the end.
constexpr int kMaxStatusMessages = 64;

struct TStatusVector {
  std::array<ISC_STATUS, fbapi::STATUS_LENGTH> words{};
  ISC_STATUS* data() { return words.data(); }
  bool Failed() const { return words[0] == fbapi::arg_gds && words[1] != 0; }
};

}  // namespace

void RaiseDatabaseError(const TFbClientLibrary& library, const ISC_STATUS* status) {
  const int sql_code = library.Api().isc_sqlcode(status);
  // isc_interprete advances its own pointer through a copy of the vector.
  std::array<ISC_STATUS, fbapi::STATUS_LENGTH> words{};
  std::copy_n(status, words.size(), words.begin());
  ISC_STATUS* cursor = words.data();
  // The library writes up to 1024 bytes without being told the size; twice that is kept so
  // that a longer message still ends inside the buffer.
  std::array<char, 2048> buffer{};
  std::vector<std::string> messages;
  for (int i = 0; i < kMaxStatusMessages; ++i) {
    buffer.fill('\0');
    if (library.Api().isc_interprete(buffer.data(), &cursor) <= 0) break;
    messages.push_back(platform::AnsiToText(
        std::string_view(buffer.data(), ::strnlen(buffer.data(), buffer.size()))));
  }
  const std::string text = StatusMessageText(messages);
  if (sql_code == fbapi::kSqlCodeNoPermission) throw EFbNoPermission(text, sql_code, status[1]);
  throw EFbDatabaseError(text, sql_code, status[1]);
}

TFbDatabase::~TFbDatabase() {
  try {
    Disconnect();
  } catch (const Exception&) {
    // Nothing to tell anyone at this point; the handle is forgotten either way.
  }
}

const TFbClientLibrary& TFbDatabase::Library() {
  if (library_ == nullptr) library_ = &TFbClientLibrary::Default();
  return *library_;
}

void TFbDatabase::Connect() {
  if (Connected()) return;
  const TFbClientLibrary& library = Library();
  const ByteString dpb = BuildDatabaseParameterBlock(Params);
  const ByteString name = platform::TextToAnsi(platform::HostPath(DatabaseName));
  if (name.size() > static_cast<size_t>(std::numeric_limits<short>::max())) {
    throw Exception("Database name too long: " + DatabaseName);
  }
  TStatusVector status;
  fbapi::FB_API_HANDLE handle = 0;
  library.Api().isc_attach_database(status.data(), static_cast<short>(name.size()), name.data(),
                                    &handle, static_cast<short>(dpb.size()), dpb.data());
  if (status.Failed()) RaiseDatabaseError(library, status.data());
  handle_ = handle;
  try {
    const ByteString reply = DatabaseInfo(fbapi::info_db_SQL_dialect, kDialectBufferSize);
    db_sql_dialect_ = DialectFromReply(
        reply, {library.Api().isc_vax_integer.Get(), library.Api().isc_portable_integer.Get()});
  } catch (const Exception&) {
    Disconnect();
    throw;
  }
  if (db_sql_dialect_ < SQLDialect) SQLDialect = db_sql_dialect_;
}

void TFbDatabase::Disconnect() {
  if (!Connected()) return;
  TStatusVector status;
  Library().Api().isc_detach_database(status.data(), &handle_);
  // A refused detach still leaves nothing this program could use.
  handle_ = 0;
  if (status.Failed()) RaiseDatabaseError(Library(), status.data());
}

ByteString TFbDatabase::DatabaseInfo(unsigned char item, short buffer_size) {
  if (!Connected()) throw Exception("Database not connected");
  ByteString reply(static_cast<size_t>(buffer_size), '\0');
  const char items[1] = {static_cast<char>(item)};
  TStatusVector status;
  Library().Api().isc_database_info(status.data(), &handle_, 1, items, buffer_size, reply.data());
  if (status.Failed()) RaiseDatabaseError(Library(), status.data());
  return reply;
}

std::string TFbDatabaseInfo::Version() {
  const ByteString reply = Database->DatabaseInfo(fbapi::info_version, kVersionBufferSize);
  const std::optional<ByteString> version = FirstVersionString(reply);
  if (!version) throw Exception("Invalid reply to the database version request");
  return platform::AnsiToText(*version);
}

}  // namespace vlt
