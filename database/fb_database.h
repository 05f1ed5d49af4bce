#pragma once
// A connection to a Firebird database through the client library's classic entry points, and
// database information requests over it: as much as the version probe needs.
#include <string>
#include <vector>

#include "database/fb_api.h"
#include "database/fb_client_library.h"
#include "platform/exception.h"

namespace vlt {

// A call refused by the client library; the message is the library's interpreted status text.
class EFbDatabaseError : public Exception {
 public:
  EFbDatabaseError(const std::string& message, int sql_code, fbapi::ISC_STATUS error_code)
      : Exception(message), SQLCode(sql_code), ErrorCode(error_code) {}
  int SQLCode;
  fbapi::ISC_STATUS ErrorCode;  // the first error code of the status vector
};
// SQLCODE -551: the user lacks a privilege.
class EFbNoPermission : public EFbDatabaseError {
 public:
  using EFbDatabaseError::EFbDatabaseError;
};

// Raises the error of a failed call from its status vector.
[[noreturn]] void RaiseDatabaseError(const TFbClientLibrary& library,
                                     const fbapi::ISC_STATUS* status);

class TFbDatabase {
 public:
  TFbDatabase() = default;
  ~TFbDatabase();
  TFbDatabase(const TFbDatabase&) = delete;
  TFbDatabase& operator=(const TFbDatabase&) = delete;

  std::string DatabaseName;         // a local file path
  std::vector<std::string> Params;  // "name=value" lines of the parameter block
  int SQLDialect = 3;               // client side; lowered to the database's dialect on Connect

  // The library to call instead of TFbClientLibrary::Default(); it must outlive the connection.
  void SetClientLibrary(const TFbClientLibrary* library) { library_ = library; }

  // Attaches and reads the database's SQL dialect. On any failure the connection is left
  // detached and the error raised (EFbClientLibraryError, EFbDatabaseError).
  void Connect();
  void Disconnect();
  bool Connected() const { return handle_ != 0; }
  int DBSQLDialect() const { return db_sql_dialect_; }

  // One information request for `item`: the reply buffer of `buffer_size` bytes as the library
  // filled it.
  ByteString DatabaseInfo(unsigned char item, short buffer_size);

 private:
  const TFbClientLibrary& Library();

  const TFbClientLibrary* library_ = nullptr;
  fbapi::FB_API_HANDLE handle_ = 0;
  int db_sql_dialect_ = 0;
};

// Information requests over a connection.
class TFbDatabaseInfo {
 public:
  explicit TFbDatabaseInfo(TFbDatabase& database) : Database(&database) {}
  TFbDatabase* Database;

  // The server's version text: the first string of the isc_info_version reply.
  std::string Version();
};

}  // namespace vlt
