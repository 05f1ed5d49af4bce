#pragma once
// The bytes exchanged with the Firebird client library: the attachment parameter block, the
// replies to database information requests and the text of a failed call's status vector.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "database/fb_api.h"
#include "platform/exception.h"

namespace vlt {

// The attachment parameter block for "name=value" lines, in their order. Names are matched
// without regard to case, with or without the "isc_dpb_" prefix; values go in the system's
// 8-bit code page. An unknown name or a value longer than a length byte can count raises.
ByteString BuildDatabaseParameterBlock(const std::vector<std::string>& params);

// The library's readers of little-endian integers inside an information reply.
struct TInfoIntegerReaders {
  fbapi::isc_vax_integer_t* vax;
  fbapi::isc_portable_integer_t* portable;
};
// The same readers computed here, for decoding without the library.
const TInfoIntegerReaders& LocalInfoIntegerReaders();

// The SQL dialect from a reply to isc_info_db_SQL_dialect:
//   62, 1, 0, 3   -> 3
// A reply that does not start with the item, or whose value does not lie within 1 to 8 bytes
// inside the reply, or does not fit an int, counts as dialect 1.
int DialectFromReply(std::string_view reply, const TInfoIntegerReaders& readers);

// The first version string of a reply to isc_info_version:
//   12, 39, 0, 2, 29, "WI-V2.5.9.27139 Firebird 2.5", 8, "WI-V2..."
// nullopt when the reply is of another item, holds no string, or the string's length byte
// points past the item or the reply.
std::optional<ByteString> FirstVersionString(std::string_view reply);

// The message of a database error from the interpreted messages of a status vector: joined
// with CR LF (none after a message that ends with LF), one final period removed.
std::string StatusMessageText(const std::vector<std::string>& messages);

}  // namespace vlt
