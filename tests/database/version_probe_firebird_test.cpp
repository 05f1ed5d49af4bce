// The probe against the real Firebird client library and its embedded engine (native build).
#include <gtest/gtest.h>
#include <ibase.h>

#include <cstdlib>
#include <filesystem>
#include <type_traits>

#include "database/fb_blocks.h"
#include "database/version_probe.h"
#include "platform/files.h"
#include "tests/support/temp_dir.h"

namespace vlt {
namespace {

// The entry points as the program declares them, against the library's own header.
static_assert(std::is_same_v<fbapi::ISC_STATUS, ::ISC_STATUS>);
static_assert(std::is_same_v<fbapi::FB_API_HANDLE, ::isc_db_handle>);
static_assert(std::is_same_v<fbapi::isc_attach_database_t, decltype(::isc_attach_database)>);
static_assert(std::is_same_v<fbapi::isc_detach_database_t, decltype(::isc_detach_database)>);
static_assert(std::is_same_v<fbapi::isc_database_info_t, decltype(::isc_database_info)>);
static_assert(std::is_same_v<fbapi::isc_vax_integer_t, decltype(::isc_vax_integer)>);
static_assert(std::is_same_v<fbapi::isc_portable_integer_t, decltype(::isc_portable_integer)>);
static_assert(std::is_same_v<fbapi::isc_sqlcode_t, decltype(::isc_sqlcode)>);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
static_assert(std::is_same_v<fbapi::isc_interprete_t, decltype(::isc_interprete)>);
#pragma GCC diagnostic pop
static_assert(std::is_same_v<fbapi::isc_get_client_version_t, decltype(::isc_get_client_version)>);
static_assert(std::is_same_v<fbapi::isc_get_client_major_version_t,
                             decltype(::isc_get_client_major_version)>);
static_assert(fbapi::STATUS_LENGTH == ISC_STATUS_LENGTH);
static_assert(fbapi::dpb_version1 == isc_dpb_version1);
static_assert(fbapi::dpb_user_name == isc_dpb_user_name);
static_assert(fbapi::dpb_password == isc_dpb_password);
static_assert(fbapi::dpb_lc_ctype == isc_dpb_lc_ctype);
static_assert(fbapi::dpb_sql_role_name == isc_dpb_sql_role_name);
static_assert(fbapi::info_end == isc_info_end);
static_assert(fbapi::info_version == isc_info_version);
static_assert(fbapi::info_db_SQL_dialect == isc_info_db_sql_dialect);

// The embedded engine's lock and temporary files go into a directory of this process.
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

// Creates a database of `dialect` as the probe's user, through the library's SQL interface.
void CreateDatabase(const std::string& path, unsigned short dialect) {
  ISC_STATUS_ARRAY status{};
  isc_db_handle db = 0;
  isc_tr_handle tr = 0;
  const std::string sql = "CREATE DATABASE '" + platform::HostPath(path) +
                          "' USER 'SYSDBA' PASSWORD 'vorplinth' PAGE_SIZE 4096";
  isc_dsql_execute_immediate(status, &db, &tr, 0, sql.c_str(), dialect, nullptr);
  ASSERT_EQ(status[1], 0) << "cannot create " << path;
  isc_detach_database(status, &db);
  ASSERT_EQ(status[1], 0);
}

class FirebirdProbeTest : public ::testing::Test {
 protected:
  test::TempDir tmp;
  const std::string dir = tmp.path() + "Berfon";
  void SetUp() override { ASSERT_TRUE(platform::ForceDirectories(dir)); }
};

TEST_F(FirebirdProbeTest, ServerVersionOfARealDatabase) {
  CreateDatabase(dir + "\\DADOS.GDB", 3);
  const std::string version = ProbeDatabaseVersion(dir);
  EXPECT_NE(version.find("Firebird 3"), std::string::npos) << version;
  // What the installation routine then warns about.
  EXPECT_EQ(version.find("Firebird 2.5"), std::string::npos) << version;
  EXPECT_GT(TFbClientLibrary::Default().ClientMajorVersion, 0);
}

TEST_F(FirebirdProbeTest, ConnectionFollowsADialect1Database) {
  CreateDatabase(dir + "\\DADOS.GDB", 1);
  const std::unique_ptr<TFbDatabase> db = ConnectErpDatabase(dir);
  EXPECT_EQ(db->DBSQLDialect(), 1);
  EXPECT_EQ(db->SQLDialect, 1);
  db->Disconnect();
  EXPECT_FALSE(db->Connected());
}

TEST_F(FirebirdProbeTest, MissingDatabaseGivesTheLibrarysText) {
  const std::string file = platform::HostPath(dir + "\\DADOS.GDB");
  try {
    ProbeDatabaseVersion(dir);
    FAIL() << "attached to " << file;
  } catch (const EFbDatabaseError& e) {
    const std::string message = e.what();
    EXPECT_EQ(message.rfind("I/O error during \"open\" operation for file \"" + file + "\"\r\n", 0),
              0u)
        << message;
    EXPECT_NE(message.find("\r\nError while trying to open file"), std::string::npos) << message;
    EXPECT_NE(message.back(), '.');
    EXPECT_EQ(e.SQLCode, -902);
  }
}

TEST(FirebirdLibraryTest, LocalIntegerReadersAgreeWithTheLibrary) {
  const TFbClientLibrary& lib = TFbClientLibrary::Default();
  const TInfoIntegerReaders& local = LocalInfoIntegerReaders();
  using namespace std::string_literals;
  const std::string inputs[] = {"\x03"s,
                                "\x34\x12"s,
                                "\xff"s,
                                "\x00\x80"s,
                                "\x01\x02\x03\x04"s,
                                "\xff\xff\xff\xff"s,
                                "\x01\x00\x00\x00\x00\x00\x00\x80"s};
  for (const std::string& s : inputs) {
    for (short n = 1; n <= static_cast<short>(s.size()); ++n) {
      EXPECT_EQ(local.vax(s.data(), n), lib.Api().isc_vax_integer(s.data(), n))
          << ::testing::PrintToString(s) << " " << n;
      const auto* u = reinterpret_cast<const unsigned char*>(s.data());
      EXPECT_EQ(local.portable(u, n), lib.Api().isc_portable_integer(u, n))
          << ::testing::PrintToString(s) << " " << n;
    }
  }
}

}  // namespace
}  // namespace vlt
