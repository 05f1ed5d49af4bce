#include "platform/ini.h"

#include <gtest/gtest.h>

#include "platform/exception.h"
#include "tests/support/temp_dir.h"

namespace vlt::platform {
namespace {

using test::TempDir;

TEST(IniFile, NewFileInTheEightBitCodePage) {
  TempDir tmp;
  const std::string ini = tmp / "GLOBAL.INI";
  WriteIniString(ini, "DADOS", "CAMINHO", "C:\\Progs5\\Berfon\\");
  WriteIniString(ini, "DADOS", "TIPO", "0");
  WriteIniString(ini, "DADOS", "IP", "");
  WriteIniString(ini, "Outra", "x", "ção");
  WriteIniString(ini, "dados", "tipo", "1");  // section and key found whatever their case
  EXPECT_EQ(test::ReadFile(ini),
            "[DADOS]\r\nCAMINHO=C:\\Progs5\\Berfon\\\r\nTIPO=1\r\nIP=\r\n"
            "[Outra]\r\nx=\xE7\xE3o\r\n");
}

TEST(IniFile, ExistingFileKeepsItsOtherLines) {
  TempDir tmp;
  const std::string ini = tmp / "GLOBAL.INI";
  test::WriteFile(ini, "; comment\r\n[OUTRA]\r\nk=v\r\n\r\n[DADOS]\r\nIP = 1.2.3.4\r\nZ=9\r\n");
  WriteIniString(ini, "DADOS", "CAMINHO", "D:\\x\\");
  WriteIniString(ini, "DADOS", "IP", "srv");
  const std::string out = test::ReadFile(ini);
  for (const char* kept : {"; comment\r\n", "[OUTRA]\r\nk=v\r\n", "Z=9\r\n"})
    EXPECT_NE(out.find(kept), std::string::npos) << kept;
  const size_t section = out.find("[DADOS]\r\n");
  ASSERT_NE(section, std::string::npos);
  EXPECT_NE(out.find("IP=srv\r\n", section), std::string::npos) << out;
  EXPECT_NE(out.find("CAMINHO=D:\\x\\\r\n", section), std::string::npos) << out;
  EXPECT_EQ(out.find("1.2.3.4"), std::string::npos);
}

TEST(IniFile, UnwritableFileNamesItself) {
  TempDir tmp;
  const std::string ini = tmp / "sem-pasta\\GLOBAL.INI";
  try {
    WriteIniString(ini, "DADOS", "TIPO", "0");
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + ini);
  }
}

TEST(IniFile, EntryRule) {
  struct Case {
    const char* before;
    const char* section;
    const char* key;
    const char* value;
    const char* after;
  };
  const Case cases[] = {
      {"", "S", "k", "v", "[S]\r\nk=v\r\n"},
      {"[S]\r\nA=1", "S", "B", "2", "[S]\r\nA=1\r\nB=2\r\n"},  // no final line end
      {"[S]\r\nA=1\r\n\r\n[T]\r\n", "s", "B", "2", "[S]\r\nA=1\r\nB=2\r\n\r\n[T]\r\n"},
      {"[S]\r\n  a = 1 \r\n", "S", "A", "x", "[S]\r\na=x\r\n"},  // the file's spelling stays
      {"[T]\nq=1\n", "S", "k", "v", "[T]\nq=1\n[S]\r\nk=v\r\n"},
      {"[S]\r\nk=1\r\n[S2]\r\nk=2\r\n", "S2", "k", "3", "[S]\r\nk=1\r\n[S2]\r\nk=3\r\n"},
      {"[S]\r\n", "S", "k", "", "[S]\r\nk=\r\n"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SetIniEntry(c.before, c.section, c.key, c.value), c.after) << c.before;
}

}  // namespace
}  // namespace vlt::platform
