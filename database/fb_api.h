#pragma once
// The classic entry points of the Firebird client library that the probe calls, declared here
// so that the program builds without the library's headers. Types are those of the library's
// 64-bit builds: a status word as wide as a pointer, handles as 32-bit unsigned numbers. The
// Windows build of the library declares its entries __stdcall, which x86-64 ignores.
#include <cstdint>

namespace vlt::fbapi {

using ISC_STATUS = std::intptr_t;
using ISC_LONG = std::int32_t;
using ISC_INT64 = long long;
using FB_API_HANDLE = unsigned int;

// Constants of the library's header, without its "isc_" prefix so as not to meet its macros.
// Words of a status vector: {isc_arg_gds, error code, arguments..., isc_arg_end}.
constexpr ISC_STATUS arg_end = 0;
constexpr ISC_STATUS arg_gds = 1;
constexpr int STATUS_LENGTH = 20;

// Attachment parameter block.
constexpr unsigned char dpb_version1 = 1;
constexpr unsigned char dpb_user_name = 28;
constexpr unsigned char dpb_password = 29;
constexpr unsigned char dpb_lc_ctype = 48;
constexpr unsigned char dpb_sql_role_name = 60;

// Database information items.
constexpr unsigned char info_end = 1;
constexpr unsigned char info_version = 12;
constexpr unsigned char info_db_SQL_dialect = 62;

// isc_sqlcode of a missing privilege.
constexpr ISC_LONG kSqlCodeNoPermission = -551;

using isc_attach_database_t = ISC_STATUS(ISC_STATUS* status, short name_length, const char* name,
                                         FB_API_HANDLE* db, short dpb_length, const char* dpb);
using isc_detach_database_t = ISC_STATUS(ISC_STATUS* status, FB_API_HANDLE* db);
using isc_database_info_t = ISC_STATUS(ISC_STATUS* status, FB_API_HANDLE* db, short item_length,
                                       const char* items, short buffer_length, char* buffer);
using isc_vax_integer_t = ISC_LONG(const char* bytes, short length);
using isc_portable_integer_t = ISC_INT64(const unsigned char* bytes, short length);
using isc_sqlcode_t = ISC_LONG(const ISC_STATUS* status);
// Writes the next message of the vector into `buffer` (the library assumes 1024 bytes are
// there) and advances the vector; answers the message length, 0 when none is left.
using isc_interprete_t = ISC_LONG(char* buffer, ISC_STATUS** status);
using isc_get_client_version_t = void(char* buffer);
using isc_get_client_major_version_t = int();
using isc_get_client_minor_version_t = int();

}  // namespace vlt::fbapi
