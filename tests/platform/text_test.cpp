#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>

namespace vlt::platform {
namespace {

TEST(Text, TrimTakesBlanksAndControlBytesOnly) {
  const struct {
    std::string in, both, right;
  } cases[] = {
      {"\t a b \r\n", "a b", "\t a b"},
      {std::string("\0x\x1F", 3), "x", std::string("\0x", 2)},
      // DEL, a no-break space in the 8-bit code page and UTF-8 bytes are text.
      {"\x7F!\xA0", "\x7F!\xA0", "\x7F!\xA0"},
      {"\xC3\xA9 ", "\xC3\xA9", "\xC3\xA9"},
      {" \r\n\t", "", ""},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Trim(c.in), c.both) << c.in;
    EXPECT_EQ(TrimRight(c.in), c.right) << c.in;
  }
}

TEST(Text, CaseIgnoresAllButAsciiLetters) {
  EXPECT_EQ(AsciiUpper("Content-type: a\xE9z\xC3\xA9"), "CONTENT-TYPE: A\xE9Z\xC3\xA9");
  EXPECT_EQ(AsciiLower("LC_CTYPE \xC9"), "lc_ctype \xC9");

  const struct {
    const char *a, *b;
    bool equal, starts;  // a equals b / a starts with b, ignoring case
  } cases[] = {
      {"Content-Length", "CONTENT-LENGTH", true, true},
      {"http/1.1 200", "HTTP/", false, true},
      {"HTT", "HTTP/", false, false},
      {"\xE9", "\xC9", false, false},  // é and É of the code page are different bytes
      {"a[", "A{", false, false},      // '[' and '{' are 32 apart but no letters
      {"", "", true, true},
      {"x", "", false, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EqualsNoCase(c.a, c.b), c.equal) << c.a << " | " << c.b;
    EXPECT_EQ(StartsWithNoCase(c.a, c.b), c.starts) << c.a << " | " << c.b;
  }
  static_assert(EqualsNoCase("nul", "NUL") && !EqualsNoCase("nul", "NUL."));
}

TEST(Text, LastComponentIsABareName) {
  const struct {
    const char *path, *name;
  } cases[] = {
      {"/dir/a.zip", "a.zip"},
      {"dir\\sub\\a.zip", "a.zip"},
      {"C:a.zip", "a.zip"},
      {"a.zip", "a.zip"},
      {"/dir/", ""},
      {"C:", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(LastComponent(c.path), c.name) << c.path;
}

}  // namespace
}  // namespace vlt::platform
