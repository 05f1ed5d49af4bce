#include "platform/paths.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"

namespace vlt::platform {
namespace {

TEST(PathsTest, NormalizeResolvesLikeWindows) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"C:\\Progs5\\Berfon\\", "C:\\Progs5\\Berfon\\"},
      {"c:/Progs5//Berfon", "C:\\Progs5\\Berfon"},
      {"C:\\Progs5\\Berfon/../Uteis/", "C:\\Progs5\\Uteis\\"},
      {"C:\\a\\.\\b\\..\\..\\..\\c", "C:\\c"},  // never above the root
      {"C:\\", "C:\\"},
      {"\\x\\y\\..", "\\x"},
      {"rel\\..\\..\\z", "..\\z"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(NormalizePath(c.in), c.out) << c.in;
}

TEST(PathsTest, SplittingAndDelimiters) {
  EXPECT_EQ(ExtractFileDir("C:\\a\\b.txt"), "C:\\a");
  EXPECT_EQ(ExtractFileDir("C:\\a"), "C:\\");
  EXPECT_EQ(ExtractFileDir("C:"), "C:");
  EXPECT_EQ(ExtractFileDir("name"), "");
  EXPECT_EQ(ExtractFileName("C:\\a/b.txt"), "b.txt");
  EXPECT_EQ(IncludeTrailingPathDelimiter("C:\\a"), "C:\\a\\");
  EXPECT_EQ(IncludeTrailingPathDelimiter("C:\\a/"), "C:\\a/");
  EXPECT_EQ(IncludeTrailingPathDelimiter(""), "");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("C:\\a\\"), "C:\\a");
  EXPECT_EQ(DriveLetter("d:\\x"), 'D');
  EXPECT_EQ(DriveLetter("\\x"), 0);
}

TEST(CodePageTest, AnsiRoundTripOfPortugueseText) {
  const std::string text = "Instalação Concluída — €";
  const ByteString ansi = TextToAnsi(text);
  EXPECT_EQ(ansi, "Instala\xE7\xE3o Conclu\xED\x64\x61 \x97 \x80");
  EXPECT_EQ(AnsiToText(ansi), text);
  EXPECT_EQ(TextToAnsi("\xE4\xB8\xAD"), "?");  // not in the code page
}

}  // namespace
}  // namespace vlt::platform
