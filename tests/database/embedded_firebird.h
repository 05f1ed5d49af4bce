#pragma once
// The real Firebird client library with its embedded engine, for native tests: the engine's
// lock and temporary files in a directory of the test process (registered as a gtest
// environment by linking this file), and databases created as the probe's user.
#include <string>

namespace vlt::test {

// Creates a database of `dialect` at the Windows path text `path`; ADD_FAILUREs on failure.
void CreateFirebirdDatabase(const std::string& path, unsigned short dialect = 3);

}  // namespace vlt::test
