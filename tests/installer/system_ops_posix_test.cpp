// The system operations in the native build: a machine that names no desktop folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "installer/system_ops.h"
#include "platform/exception.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "tests/support/temp_dir.h"

namespace vlt {
namespace {

// Unsets an environment variable for the scope.
class Unset {
 public:
  explicit Unset(const char* name) : name_(name) {
    if (const char* v = std::getenv(name)) old_ = v;
    unsetenv(name);
  }
  ~Unset() {
    if (old_) setenv(name_, old_->c_str(), 1);
  }
  Unset(const Unset&) = delete;
  Unset& operator=(const Unset&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(SystemOpsPosixTest, WithoutADesktopFolderTheShortcutIsRefusedByName) {
  test::TempDir tmp;
  PlatformSystemOps ops;
  Unset xdg("XDG_DESKTOP_DIR"), home("HOME");
  ASSERT_EQ(platform::DesktopFolder(), "");
  try {
    ops.CriaAtalho(tmp / "Berfon\\estoque.exe", "", tmp / "Berfon", "Quenda Teste");
    ADD_FAILURE() << "no error";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(),
                 "Não foi possível encontrar a pasta da Área de Trabalho (Desktop) para criar o "
                 "atalho \"Quenda Teste\".");
  }
  EXPECT_FALSE(platform::FileExists("/Quenda Teste.desktop"));
}

// A shortcut that cannot be saved fails the step: no way to start the product is no success.
TEST(SystemOpsPosixTest, AShortcutThatCannotBeSavedIsAFailure) {
  test::TempDir tmp;
  PlatformSystemOps ops;
  test::WriteFile(tmp / "Desktop", "a file where the desktop folder should be");
  setenv("XDG_DESKTOP_DIR", platform::HostPath(tmp / "Desktop").c_str(), 1);
  try {
    ops.CriaAtalho(tmp / "Berfon\\estoque.exe", "", tmp / "Berfon", "Quenda Teste");
    ADD_FAILURE() << "no error";
  } catch (const Exception& e) {
    EXPECT_TRUE(std::string(e.what()).starts_with("Não foi possível gravar o atalho \""))
        << e.what();
  }
  unsetenv("XDG_DESKTOP_DIR");
}

}  // namespace
}  // namespace vlt
