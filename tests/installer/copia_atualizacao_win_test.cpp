// The update copy against files that other programs hold open (run under Wine, where the
// sharing rules are Windows').
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/file_attributes.h"
#include "platform/files.h"
#include "platform/win_handle.h"
#include "platform/win_text.h"
#include "tests/installer/copia_atualizacao_support.h"
#include "tests/support/temp_dir.h"

namespace vlt {
namespace {

using platform::UniqueResource;
using test::Put;
using test::TempDir;
using test::Tree;

using FileHandle = UniqueResource<platform::FileHandleTraits>;

// Opens `path` as another program would; `share` is what it lets others do meanwhile.
FileHandle Hold(const std::string& path, DWORD share) {
  FileHandle h(CreateFileW(platform::Widen(path).c_str(), GENERIC_READ, share, nullptr,
                           OPEN_EXISTING, 0, nullptr));
  EXPECT_TRUE(h) << path;
  return h;
}

TEST(CopiaAtualizacaoWindowsTest, FilesInUseLeaveEveryGenerationAsItWas) {
  const struct {
    const char* what;
    const char* held;  // under the destination, or the source when "source"
    DWORD share;
  } cases[] = {
      // An antivirus scanning the new file.
      {"the source locked", "source", 0},
      // A program reading the installed executable, not letting it be renamed.
      {"the installed program in use", "estoque.exe", FILE_SHARE_READ | FILE_SHARE_WRITE},
      {"the newest backup in use", "estoque.exe_antes1", FILE_SHARE_READ},
  };
  for (const auto& c : cases) {
    TempDir tmp;
    const std::string src = tmp / "Atualiza\\estoque.exe";
    const std::string dst = tmp / "Berfon\\";
    Put(dst + "estoque.exe", "installed");
    Put(dst + "estoque.exe_antes1", "v2");
    Put(dst + "estoque.exe_antes2", "v1");
    Put(dst + "estoque.exe_antes3", "v0");
    Put(src, "new");
    const auto before = Tree(dst);
    const FileHandle held = Hold(std::string(c.held) == "source" ? src : dst + c.held, c.share);
    // Run after run nothing moves: the backups do not shift towards oblivion.
    for (int run = 1; run <= 2; ++run) {
      const std::string error = test::Atualiza(tmp / "Atualiza", dst);
      const std::string prefix = "Não foi possível atualizar o arquivo: " + dst + "estoque.exe. ";
      EXPECT_EQ(error.rfind(prefix, 0), 0u) << c.what << ": " << error;
      EXPECT_GT(error.size(), prefix.size()) << c.what;
      EXPECT_EQ(Tree(dst), before) << c.what << ", run " << run;
    }
  }
}

TEST(CopiaAtualizacaoWindowsTest, ReadOnlyGenerationsStillRotate) {
  TempDir tmp;
  const std::string dst = tmp / "Berfon\\";
  Put(dst + "estoque.exe", "installed");
  Put(dst + "estoque.exe_antes3", "v0");
  Put(tmp / "Atualiza\\estoque.exe", "new");
  // Windows renames a read-only file; the oldest backup, read-only too, is dropped.
  ASSERT_TRUE(platform::SetFileAttributesDos(dst + "estoque.exe", platform::kAttrReadOnly));
  ASSERT_TRUE(platform::SetFileAttributesDos(dst + "estoque.exe_antes3", platform::kAttrReadOnly));
  EXPECT_EQ(test::Atualiza(tmp / "Atualiza", dst), "");
  const std::map<std::string, std::string> expected = {{"estoque.exe", "new"},
                                                       {"estoque.exe_antes1", "installed"}};
  EXPECT_EQ(Tree(dst), expected);
}

}  // namespace
}  // namespace vlt
