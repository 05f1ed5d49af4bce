#include "tests/installer/copia_atualizacao_support.h"

#include <gtest/gtest.h>

#include "installer/copia_atualizacao.h"
#include "platform/dir_list.h"
#include "platform/exception.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/support/temp_dir.h"

namespace vlt::test {
namespace {

void Collect(const std::string& dir, const std::string& prefix,
             std::map<std::string, std::string>& out) {
  for (const auto& e : platform::ListDirectory(dir, "*.*")) {
    if (e.name == "." || e.name == "..") continue;
    const std::string path = platform::IncludeTrailingPathDelimiter(dir) + e.name;
    if (e.directory) {
      Collect(path, prefix + e.name + "\\", out);
    } else {
      out[prefix + e.name] = ReadFile(path);
    }
  }
}

}  // namespace

void Put(const std::string& path, const std::string& bytes) {
  ASSERT_TRUE(platform::ForceDirectories(platform::ExtractFileDir(path))) << path;
  WriteFile(path, bytes);
}

std::map<std::string, std::string> Tree(const std::string& dir) {
  std::map<std::string, std::string> out;
  Collect(dir, "", out);
  return out;
}

std::string Atualiza(const std::string& source, const std::string& destination) {
  try {
    CopiaAtualizacao(source, destination, "*.*");
    return "";
  } catch (const Exception& e) {
    return e.what();
  }
}

}  // namespace vlt::test
