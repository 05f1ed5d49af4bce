#include "database/version_probe.h"

namespace vlt {

std::unique_ptr<TFbDatabase> ConnectErpDatabase(const std::string& erp_dir,
                                                const TFbClientLibrary* library) {
  auto database = std::make_unique<TFbDatabase>();
  database->SetClientLibrary(library);
  database->DatabaseName = erp_dir + "\\DADOS.GDB";
  database->SQLDialect = 3;
  database->Params = {"user_name=sysdba", "password=vorplinth", "sql_role_name=3"};
  database->Connect();
  return database;
}

std::string ReadServerVersion(TFbDatabase& database) {
  TFbDatabaseInfo info(database);
  return info.Version();
}

std::string ProbeDatabaseVersion(const std::string& erp_dir, const TFbClientLibrary* library) {
  const std::unique_ptr<TFbDatabase> database = ConnectErpDatabase(erp_dir, library);
  return ReadServerVersion(*database);
}

}  // namespace vlt
