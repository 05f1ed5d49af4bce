// The probe against the stand-in gds32 library: natively loaded by its path, on Windows by
// its name through the standard library search, as the installer loads it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "database/version_probe.h"
#include "platform/files.h"
#include "tests/support/temp_dir.h"

namespace vlt {
namespace {

using test::TempDir;

std::string StandInFile() {
  const std::string path = VLT_GDS32_STANDIN;
  return path.empty() ? TFbClientLibrary::DefaultFileName() : path;
}

const TFbClientLibrary* StandIn() {
  static const std::string path = VLT_GDS32_STANDIN;
  if (path.empty()) return nullptr;  // the default library, "gds32.dll"
  static const TFbClientLibrary library(path);
  return &library;
}

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) { Set(value); }
  ~ScopedEnv() { Set(""); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void Set(const std::string& value) {
#ifdef _WIN32
    _putenv_s(name_, value.c_str());
#else
    if (value.empty()) {
      unsetenv(name_);
    } else {
      setenv(name_, value.c_str(), 1);
    }
#endif
  }
  const char* name_;
};

// A directory holding a DADOS.GDB the stand-in accepts, and the log of the calls made.
class StandInProbeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (StandIn() == nullptr) TFbClientLibrary::Default();  // loaded before the log starts
    test::WriteFile(tmp / "DADOS.GDB", "stand-in database");
    std::remove(platform::HostPath(log_path).c_str());
  }
  std::vector<std::string> Calls() const {
    std::vector<std::string> calls;
    std::istringstream in(test::ReadFile(log_path));
    for (std::string line; std::getline(in, line);) calls.push_back(line);
    return calls;
  }

  TempDir tmp;
  const std::string dir = tmp.path().substr(0, tmp.path().size() - 1);
  const std::string log_path = tmp / "calls.log";
  ScopedEnv log{"VLT_GDS32_LOG", platform::HostPath(log_path)};
};

TEST_F(StandInProbeTest, VersionTextInCallOrder) {
  {
    const TFbClientLibrary library(StandInFile());
    EXPECT_EQ(library.ClientMajorVersion, 2);
    EXPECT_EQ(library.ClientMinorVersion, 5);
  }
  EXPECT_EQ(Calls(), (std::vector<std::string>{"isc_get_client_major_version",
                                               "isc_get_client_minor_version"}));
  const struct {
    std::string env;
    std::string version;
  } cases[] = {
      {"", "WI-V2.5.9.27139 Firebird 2.5"},
      {"LI-V3.0.11.33637 Firebird 3.0", "LI-V3.0.11.33637 Firebird 3.0"},
      {"X", "X"},
  };
  for (const auto& c : cases) {
    ScopedEnv version("VLT_GDS32_VERSION", c.env);
    std::remove(platform::HostPath(log_path).c_str());
    EXPECT_EQ(ProbeDatabaseVersion(dir, StandIn()), c.version);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"isc_attach_database", "isc_database_info",
                                                 "isc_vax_integer", "isc_portable_integer",
                                                 "isc_database_info", "isc_detach_database"}));
  }
}

TEST_F(StandInProbeTest, DialectOfTheDatabase) {
  const struct {
    const char* env;
    int db_dialect;
    int connection_dialect;
  } cases[] = {
      {"3", 3, 3},
      {"1", 1, 1},
      {"4", 4, 3},
      // Without the item in the reply: dialect 1, and the version is still read.
      {"none", 1, 1},
  };
  for (const auto& c : cases) {
    ScopedEnv dialect("VLT_GDS32_DIALECT", c.env);
    const std::unique_ptr<TFbDatabase> db = ConnectErpDatabase(dir, StandIn());
    EXPECT_EQ(db->DBSQLDialect(), c.db_dialect) << c.env;
    EXPECT_EQ(db->SQLDialect, c.connection_dialect) << c.env;
    EXPECT_EQ(ReadServerVersion(*db), "WI-V2.5.9.27139 Firebird 2.5");
  }
}

TEST_F(StandInProbeTest, RefusedAttachmentCarriesTheInterpretedText) {
  const std::string missing = tmp / "nada";
  const std::string file = platform::HostPath(missing + "\\DADOS.GDB");
  try {
    ProbeDatabaseVersion(missing, StandIn());
    FAIL() << "attached to a missing database";
  } catch (const EFbNoPermission&) {
    FAIL() << "wrong kind";
  } catch (const EFbDatabaseError& e) {
    EXPECT_EQ(std::string(e.what()),
              "I/O error during \"CreateFile (open)\" operation for file \"" + file +
                  "\"\r\nError while trying to open file\r\nThe system "
                  "cannot find the file specified");
    EXPECT_EQ(e.SQLCode, -902);
  }
  EXPECT_EQ(Calls(),
            (std::vector<std::string>{"isc_attach_database", "isc_sqlcode", "isc_interprete",
                                      "isc_interprete", "isc_interprete", "isc_interprete"}));

  ScopedEnv refuse("VLT_GDS32_REFUSE", "nopriv");
  try {
    ProbeDatabaseVersion(dir, StandIn());
    FAIL() << "attached without the privilege";
  } catch (const EFbNoPermission& e) {
    EXPECT_STREQ(e.what(), "no permission for connect access to database");
    EXPECT_EQ(e.SQLCode, -551);
  }
}

TEST_F(StandInProbeTest, RefusedInformationRequests) {
  {
    // Part of connecting: the attachment is let go again.
    ScopedEnv refuse("VLT_GDS32_REFUSE", "62");
    try {
      ConnectErpDatabase(dir, StandIn());
      FAIL() << "connected";
    } catch (const EFbDatabaseError& e) {
      EXPECT_STREQ(e.what(), "Error reading data from the connection");
    }
    EXPECT_EQ(Calls(), (std::vector<std::string>{"isc_attach_database", "isc_database_info",
                                                 "isc_sqlcode", "isc_interprete", "isc_interprete",
                                                 "isc_detach_database"}));
  }
  // After connecting: the error of reading the version, which the routine does not guard.
  ScopedEnv refuse("VLT_GDS32_REFUSE", "12");
  const std::unique_ptr<TFbDatabase> db = ConnectErpDatabase(dir, StandIn());
  EXPECT_THROW(ReadServerVersion(*db), EFbDatabaseError);
  EXPECT_TRUE(db->Connected());
}

TEST(FbClientLibraryTest, LoadingErrors) {
  try {
    TFbClientLibrary library("vlt-no-such-client-library");
    FAIL() << "loaded";
  } catch (const EFbClientLibraryError& e) {
    EXPECT_STREQ(e.what(),
                 "Firebird client library vlt-no-such-client-library not found in the path. "
                 "Please install Firebird to use this functionality");
    EXPECT_EQ(e.MissingEntry, "");
  }

  // A library that exists but is not the client: the first missing entry is reported.
  try {
    TFbClientLibrary library(VLT_LIBRARY_WITHOUT_ENTRIES);
    FAIL() << "loaded";
  } catch (const EFbClientLibraryError& e) {
    const std::string message = e.what();
    const std::string prefix = "System Error.  Code: 127.\r\n";
    ASSERT_EQ(message.substr(0, prefix.size()), prefix);
    const std::string description = message.substr(prefix.size());
    EXPECT_FALSE(description.empty());
    EXPECT_EQ(description.find_first_of("\r\n"), std::string::npos) << description;
    EXPECT_NE(description.back(), '.');
    EXPECT_EQ(e.MissingEntry, "isc_attach_database");
#ifndef _WIN32
    EXPECT_EQ(description, "Entry point \"isc_attach_database\" not found in " +
                               std::string(VLT_LIBRARY_WITHOUT_ENTRIES));
#endif
  }
}

}  // namespace
}  // namespace vlt
