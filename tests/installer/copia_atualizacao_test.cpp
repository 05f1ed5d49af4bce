#include "installer/copia_atualizacao.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/paths.h"
#include "tests/support/temp_dir.h"

namespace vlt {
namespace {

using test::ReadFile;
using test::TempDir;

void Put(const std::string& path, const std::string& bytes) {
  ASSERT_TRUE(platform::ForceDirectories(platform::ExtractFileDir(path))) << path;
  test::WriteFile(path, bytes);
}

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

TEST(CopiaAtualizacaoTest, PatternAppliesToTheTopLevelOnlyAndFailuresAreIgnored) {
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

}  // namespace
}  // namespace vlt
