// The system operations in the native build: a machine that names no desktop folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "installer/system_ops.h"
#include "platform/exception.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "tests/installer/scripted_view.h"
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
  test::ScriptedView view;
  PlatformSystemOps ops(view);
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

}  // namespace
}  // namespace vlt
