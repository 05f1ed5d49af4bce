#include "tests/database/embedded_firebird.h"

#include <gtest/gtest.h>
#include <ibase.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/files.h"

namespace vlt::test {

namespace {

class EmbeddedEngineEnv : public ::testing::Environment {
 public:
  void SetUp() override {
    char pattern[] = "/tmp/vlt-fb-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    setenv("FIREBIRD_LOCK", dir_.c_str(), 1);
    setenv("FIREBIRD_TMP", dir_.c_str(), 1);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

 private:
  std::string dir_;
};
const auto* const kEngineEnv = ::testing::AddGlobalTestEnvironment(new EmbeddedEngineEnv);

}  // namespace

void CreateFirebirdDatabase(const std::string& path, unsigned short dialect) {
  ISC_STATUS_ARRAY status{};
  isc_db_handle db = 0;
  isc_tr_handle tr = 0;
  const std::string sql = "CREATE DATABASE '" + platform::HostPath(path) +
                          "' USER 'SYSDBA' PASSWORD 'vorplinth' PAGE_SIZE 4096";
  isc_dsql_execute_immediate(status, &db, &tr, 0, sql.c_str(), dialect, nullptr);
  if (status[1] != 0) {
    ADD_FAILURE() << "cannot create " << path;
    return;
  }
  isc_detach_database(status, &db);
  EXPECT_EQ(status[1], 0);
}

}  // namespace vlt::test

// The client library and its engine keep process-wide caches (ICU converters, big-number
// constants, iconv descriptors) until exit; not leaks of ours.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfbclient.so\nleak:libicuuc.so\nleak:libicui18n.so\nleak:libtommath.so\n";
}
