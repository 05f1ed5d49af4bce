#pragma once
// The store ERP installation's check of the database server: attach to the ERP's database
// and read the server's version text. Errors carry the message the operator is shown
// (vlt::Exception: EFbClientLibraryError, EFbDatabaseError, EFbNoPermission).
//
// The routine guards only the attachment, so the two steps are separate:
//   auto db = ConnectErpDatabase(dir);        // failure: "Não foi possivel conectar ..."
//   std::string version = ReadServerVersion(*db);
#include <memory>
#include <string>

#include "database/fb_database.h"

namespace vlt {

// Attaches to `erp_dir` + "\DADOS.GDB" as the ERP's administrator, without a login prompt.
// `library` replaces the default client library (tests).
std::unique_ptr<TFbDatabase> ConnectErpDatabase(const std::string& erp_dir,
                                                const TFbClientLibrary* library = nullptr);
std::string ReadServerVersion(TFbDatabase& database);

// Both steps, detaching at the end.
std::string ProbeDatabaseVersion(const std::string& erp_dir,
                                 const TFbClientLibrary* library = nullptr);

}  // namespace vlt
