#include "installer/copia_atualizacao.h"

#include <gtest/gtest.h>

#include "platform/exception.h"
#include "platform/file_attributes.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/installer/copia_atualizacao_support.h"
#include "tests/support/temp_dir.h"

namespace vlt {
namespace {

using test::Atualiza;
using test::Put;
using test::ReadFile;
using test::TempDir;
using test::Tree;

TEST(CopiaAtualizacaoTest, ProtectedNamesAreSkippedAtAnyDepthAsSubstringsOfTheList) {
  TempDir tmp;
  const std::string src = tmp / "Atualiza";
  const struct {
    const char* path;
    bool copied;
  } cases[] = {
      {"GLOBAL.INI", false},
      {"Dados.gdb", false},
      {"sub\\DBECF.FDB", false},
      {"sub\\deep\\etiqueta.ini", false},
      {"sub\\Captura.ini", false},
      {"TERMINALNFEC-E.ZIP", false},
      {"dados", false},  // pieces of the list text are protected too
      {"ini", false},
      {"E.ZIP", false},
      {"dados.gdb.bak", true},
      {"global.ini.txt", true},
      {"sub\\deep\\leiame.txt", true},
      {"sub\\dados.gdb\\inside.txt", true},  // a directory is never protected
      {"estoque_2010.zip.part", false},      // an unfinished download is no update
      {"sub\\leiame.txt.PART", false},
      {"part.txt", true},
  };
  for (const auto& c : cases) Put(src + "\\" + c.path, c.path);
  ASSERT_TRUE(platform::CreateDir(tmp / "Berfon"));

  CopiaAtualizacao(src, tmp / "Berfon", "*.*");
  for (const auto& c : cases) {
    EXPECT_EQ(platform::FileExists(tmp / "Berfon\\" + c.path), c.copied) << c.path;
    if (c.copied) {
      EXPECT_EQ(ReadFile(tmp / "Berfon\\" + c.path), c.path);
    }
  }
  EXPECT_TRUE(platform::DirectoryExists(tmp / "Berfon\\sub\\dados.gdb"));
  EXPECT_TRUE(platform::DirectoryExists(tmp / "Berfon\\sub\\deep"));
}

TEST(CopiaAtualizacaoTest, KeepsThreeGenerationsOfEstoqueExe) {
  TempDir tmp;
  const std::string dst = tmp / "Berfon\\";
  Put(dst + "estoque.exe", "v0");
  Put(dst + "outro.dll", "old dll");
  for (const char* version : {"v1", "v2", "v3"}) {
    Put(tmp / "Atualiza\\estoque.exe", version);
    Put(tmp / "Atualiza\\outro.dll", std::string("dll ") + version);
    CopiaAtualizacao(tmp / "Atualiza\\", dst, "*.*");
  }
  EXPECT_EQ(ReadFile(dst + "estoque.exe"), "v3");
  EXPECT_EQ(ReadFile(dst + "estoque.exe_antes1"), "v2");
  EXPECT_EQ(ReadFile(dst + "estoque.exe_antes2"), "v1");
  EXPECT_EQ(ReadFile(dst + "estoque.exe_antes3"), "v0");
  // Other files are simply overwritten.
  EXPECT_EQ(ReadFile(dst + "outro.dll"), "dll v3");
  EXPECT_FALSE(platform::FileExists(dst + "outro.dll_antes1"));

  Put(tmp / "Atualiza\\estoque.exe", "v4");
  CopiaAtualizacao(tmp / "Atualiza", dst, "*.*");
  EXPECT_EQ(ReadFile(dst + "estoque.exe"), "v4");
  EXPECT_EQ(ReadFile(dst + "estoque.exe_antes1"), "v3");
  EXPECT_EQ(ReadFile(dst + "estoque.exe_antes2"), "v2");
  EXPECT_EQ(ReadFile(dst + "estoque.exe_antes3"), "v1");
}

TEST(CopiaAtualizacaoTest, RotationEdgeCases) {
  TempDir tmp;
  const std::string src = tmp / "Atualiza\\";
  Put(src + "Estoque.EXE", "new");
  Put(src + "modulos\\estoque.exe", "new sub");

  // First update: nothing to back up.
  Put(tmp / "first\\leiame.txt", "x");
  CopiaAtualizacao(src, tmp / "first", "*.*");
  EXPECT_EQ(ReadFile(tmp / "first\\Estoque.EXE"), "new");
  EXPECT_FALSE(platform::FileExists(tmp / "first\\Estoque.EXE_antes1"));

  // A lone third generation goes; the subdirectory's executable rotates in its own directory.
  const std::string dst = tmp / "second\\";
  Put(dst + "Estoque.EXE", "old");
  Put(dst + "Estoque.EXE_antes3", "ancient");
  Put(dst + "modulos\\estoque.exe", "old sub");
  CopiaAtualizacao(src, dst, "*.*");
  EXPECT_EQ(ReadFile(dst + "Estoque.EXE"), "new");
  EXPECT_EQ(ReadFile(dst + "Estoque.EXE_antes1"), "old");
  EXPECT_FALSE(platform::FileExists(dst + "Estoque.EXE_antes2"));
  EXPECT_FALSE(platform::FileExists(dst + "Estoque.EXE_antes3"));
  EXPECT_EQ(ReadFile(dst + "modulos\\estoque.exe"), "new sub");
  EXPECT_EQ(ReadFile(dst + "modulos\\estoque.exe_antes1"), "old sub");
}

TEST(CopiaAtualizacaoTest, PatternAppliesToTheTopLevelOnlyAndAMissingSourceChangesNothing) {
  TempDir tmp;
  const std::string src = tmp / "Atualiza\\";
  Put(src + "a.exe", "a");
  Put(src + "b.txt", "b");
  Put(src + "LEIAME", "no dot");
  Put(src + "bin.exe\\c.txt", "walked with *.*");
  Put(src + "docs\\d.txt", "not matched at the top");
  Put(tmp / "dst\\keep", "k");

  CopiaAtualizacao(src, tmp / "dst", "*.exe");
  EXPECT_EQ(ReadFile(tmp / "dst\\a.exe"), "a");
  EXPECT_EQ(ReadFile(tmp / "dst\\bin.exe\\c.txt"), "walked with *.*");
  EXPECT_FALSE(platform::FileExists(tmp / "dst\\b.txt"));
  EXPECT_FALSE(platform::FileExists(tmp / "dst\\LEIAME"));
  EXPECT_FALSE(platform::DirectoryExists(tmp / "dst\\docs"));

  // A name without a dot matches "*.*".
  CopiaAtualizacao(src, tmp / "dst", "*.*");
  EXPECT_EQ(ReadFile(tmp / "dst\\LEIAME"), "no dot");

  // A missing source leaves the destination alone; no error escapes.
  CopiaAtualizacao(tmp / "missing", tmp / "dst", "*.*");
  EXPECT_EQ(ReadFile(tmp / "dst\\keep"), "k");
}

TEST(CopiaAtualizacaoTest, AFailedRotationPutsEveryGenerationBack) {
  TempDir tmp;
  const std::string dst = tmp / "Berfon\\";
  Put(dst + "estoque.exe", "v2");
  Put(dst + "estoque.exe_antes2", "v0");
  Put(dst + "estoque.exe_antes3", "older");
  // Renaming the installed program to "_antes1" fails once two backups have moved.
  ASSERT_TRUE(platform::ForceDirectories(dst + "estoque.exe_antes1\\x"));
  Put(tmp / "Atualiza\\estoque.exe", "v3");
  const auto before = Tree(dst);
  Put(tmp / "Atualiza\\leiame.txt", "novo");
  // The second run must not shift the backups either.
  for (int run = 1; run <= 2; ++run) {
    const std::string error = Atualiza(tmp / "Atualiza", dst);
    const std::string prefix = "Não foi possível atualizar o arquivo: " + dst + "estoque.exe. ";
    EXPECT_EQ(error.rfind(prefix, 0), 0u) << error;
    EXPECT_GT(error.size(), prefix.size()) << "the system's reason is missing";
    auto after = Tree(dst);
    EXPECT_EQ(after["leiame.txt"], "novo") << "the walk goes on after a failure";
    after.erase("leiame.txt");
    EXPECT_EQ(after, before) << run;
  }
}

TEST(CopiaAtualizacaoTest, EveryFailedFileIsNamedAndTheOthersAreCopied) {
  TempDir tmp;
  const std::string dst = tmp / "Berfon\\";
  for (int i = 0; i < 12; ++i) {
    const std::string name = "modulo" + std::to_string(i) + ".dll";
    Put(dst + name, "old");
    ASSERT_TRUE(platform::SetFileAttributesDos(dst + name, platform::kAttrReadOnly));
    Put(tmp / "Atualiza\\" + name, "new");
  }
  Put(tmp / "Atualiza\\sub\\ok.txt", "copied");
  Put(tmp / "Atualiza\\estoque.exe", "v1");

  const std::string error = Atualiza(tmp / "Atualiza", dst);
  // One line per file, the first ten of them, then how many more.
  std::vector<std::string> lines;
  for (size_t at = 0; at <= error.size();) {
    const size_t end = std::min(error.find('\n', at), error.size());
    lines.push_back(error.substr(at, end - at));
    at = end + 1;
  }
  ASSERT_EQ(lines.size(), 11u) << error;
  for (size_t i = 0; i < 10; ++i) {
    EXPECT_EQ(lines[i].rfind("Não foi possível atualizar o arquivo: " + dst + "modulo", 0), 0u)
        << lines[i];
  }
  EXPECT_EQ(lines[10], "(e mais 2 arquivos)");
  const auto tree = Tree(dst);
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(tree.at("modulo" + std::to_string(i) + ".dll"), "old") << i;
  }
  EXPECT_EQ(tree.at("sub\\ok.txt"), "copied");
  EXPECT_EQ(tree.at("estoque.exe"), "v1");
  EXPECT_EQ(tree.size(), 14u) << "nothing of the copy is left behind";
}

}  // namespace
}  // namespace vlt
