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

TEST(CodePageTest, Utf8RefusesOverlongFormsSurrogatesAndValuesBeyondUnicode) {
  const struct {
    const char* bytes;
    char32_t first;  // U+FFFD after one byte for a malformed sequence
    bool valid;
  } cases[] = {
      {"a", 'a', true},
      {"\xC3\xA7", 0xE7, true},
      {"\xE2\x82\xAC", 0x20AC, true},
      {"\xF0\x9F\x93\xA6", 0x1F4E6, true},
      {"\xEF\xBF\xBD", 0xFFFD, true},  // the replacement character itself
      {"\xC0\xAF", 0xFFFD, false},     // "/" in two bytes
      {"\xC1\xBF", 0xFFFD, false},
      {"\xE0\x80\xAF", 0xFFFD, false},
      {"\xF0\x80\x80\xAF", 0xFFFD, false},
      {"\xED\xA0\x80", 0xFFFD, false},      // a surrogate
      {"\xF4\x90\x80\x80", 0xFFFD, false},  // above U+10FFFF
      {"\xC3", 0xFFFD, false},
      {"\x80", 0xFFFD, false},
      {"\xF8\x88\x80\x80\x80", 0xFFFD, false},
  };
  for (const auto& c : cases) {
    const std::string_view bytes = c.bytes;
    size_t pos = 0;
    EXPECT_EQ(NextUtf8(bytes, pos), c.first) << bytes;
    EXPECT_EQ(pos, c.valid ? bytes.size() : 1u) << bytes;
    EXPECT_EQ(IsValidUtf8(bytes), c.valid) << bytes;
  }
  EXPECT_FALSE(IsValidUtf8("ok\xC0\xAF"));
  EXPECT_TRUE(IsValidUtf8(""));
}

}  // namespace
}  // namespace vlt::platform
