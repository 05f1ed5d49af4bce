#include "net/ftp_list.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace vlt::net {
namespace {

// One entry as "name|directory|readable|size|time|permission|mask", the mask as its number
// in the default list (or EPLF).
std::string Describe(const TFTPListRec& e) {
  std::string mask = e.Mask();
  const auto& defaults = DefaultFTPListMasks();
  for (std::size_t i = 0; i < defaults.size(); ++i)
    if (defaults[i] == e.Mask()) mask = std::to_string(i + 1);
  return e.FileName() + "|" + (e.Directory() ? "1" : "0") + "|" + (e.Readable() ? "1" : "0") + "|" +
         std::to_string(e.FileSize()) + "|" + FormatFileTime(e.FileTime()) + "|" + e.Permission() +
         "|" + mask;
}

// Field k (from 0) of a described entry.
std::string Field(const std::string& described, int k) {
  std::size_t start = 0;
  for (int i = 0; i < k; ++i) start = described.find('|', start) + 1;
  return described.substr(start, described.find('|', start) - start);
}

struct Parsed {
  std::vector<std::string> entries;
  std::vector<ByteString> unparsed;
};

Parsed Parse(TFTPList& list, std::string_view listing) {
  list.Clear();
  list.LoadLines(listing);
  list.ParseLines();
  Parsed out;
  for (int i = 0; i < list.Count(); ++i) out.entries.push_back(Describe(*list.Items(i)));
  out.unparsed = list.UnparsedLines();
  return out;
}

// Listings are read against a pinned "now": 10 December 2026, 16:20:00.
class FtpListTest : public ::testing::Test {
 protected:
  FtpListTest() {
    clock_.SetLocalTime({2026, 12, 10, 16, 20, 0, 0});
    SetCustomMonthNames({});
  }
  ~FtpListTest() override { SetCustomMonthNames({}); }

  // The one entry a single line yields, "" when it yields none, "UNPARSED" when nothing
  // recognised it.
  std::string One(std::string_view line) {
    const Parsed p = Parse(list_, std::string(line) + "\n");
    if (!p.unparsed.empty()) return p.entries.empty() ? "UNPARSED" : "BOTH";
    return p.entries.empty() ? "" : p.entries.size() == 1 ? p.entries[0] : "MANY";
  }

  platform::ManualClock clock_;
  platform::ScopedClock scope_{clock_};
  TFTPList list_;
};

struct LineCase {
  const char* line;
  const char* expected;
};

TEST_F(FtpListTest, RecognisesTheCommonLayouts) {
  const LineCase cases[] = {
      // Unix with owner and group: time within the last months, year, symbolic link.
      {"drwxr-xr-x   2 user group     4096 Jan 12 14:30 docs",
       "docs|1|0|4096|2026-01-12 14:30:00|drwxr-xr-x|3"},
      {"-rw-r--r--   1 user group      280 Mar  5  2003 notes.txt",
       "notes.txt|0|1|280|2003-03-05 00:00:00|-rw-r--r--|3"},
      {"lrwxrwxrwx   1 user group        7 Jan 12  2003 bin -> usr/bin",
       "bin|1|1|7|2003-01-12 00:00:00|lrwxrwxrwx|3"},
      {"-rw-r--r--   1 user group      280 Mar  5 14:30:12 2003 notes.txt",
       "notes.txt|0|1|280|2003-03-05 14:30:12|-rw-r--r--|1"},
      {"-rw-r--r--   1 user group      280  5 Mar  2003 notes.txt",
       "notes.txt|0|1|280|2003-03-05 00:00:00|-rw-r--r--|4"},
      {"-rw-------   1 user group        0 Feb  1 09:05 a name with blanks ",
       "a name with blanks|0|1|0|2026-02-01 09:05:00|-rw-------|3"},
      // Unix without group; a name and a month in the system's 8-bit code page (German).
      {"-rw-r--r-- 1 user 280 Mar  5  2003 notes.txt",
       "notes.txt|0|1|280|2003-03-05 00:00:00|-rw-r--r--|5"},
      {"-rw-r--r--   1 user group  1234567 M\xE4r 31  2003 caf\xE9.txt",
       "caf\xC3\xA9.txt|0|1|1234567|2003-03-31 00:00:00|-rw-r--r--|3"},
      // Czech names as Windows-1250 bytes: "Øíj" is October.
      {"-rw-r--r--   1 user group       10 \xD8\xEDj  1  2003 cz",
       "cz|0|1|10|2003-10-01 00:00:00|-rw-r--r--|3"},
      {"-rw-r--r--   1 user group       10 jAN  1  2003 case",
       "case|0|1|10|2003-01-01 00:00:00|-rw-r--r--|3"},
      // DOS / IIS: numeric date, 12-hour clock, a size or <DIR>.
      {"01-12-03  02:30PM              1234 file.txt", "file.txt|0|1|1234|2003-01-12 14:30:00||8"},
      {"01-12-03  02:30PM       <DIR>          docs", "docs|1|0|0|2003-01-12 14:30:00||9"},
      {"01-12-2003  11:59AM    1234 a b.txt", "a b.txt|0|1|1234|2003-01-12 11:59:00||10"},
      {"01-12-2003  02:30PM       <DIR>          docs", "docs|1|0|0|2003-01-12 14:30:00||11"},
      // DOS 8.3 columns: the base and the extension are joined, a missing extension adds no
      // dot.
      {"AUTOEXEC BAT          1234 01-12-03  02:30p",
       "AUTOEXEC.BAT|0|1|1234|2003-01-12 14:30:00||25"},
      {"README                  12 01-12-03  02:30a", "README|0|1|12|2003-01-12 02:30:00||25"},
      // VMS: name with version; ".DIR;" makes a directory.
      {"A.TXT;2      1 12-JAN-2003 14:30", "A.TXT;2|0|1|0|2003-01-12 14:30:00||14"},
      {"FILE.TXT;1            2  12-JAN-2003 14:30:00 [USER] (RWED,RWED,RE,)",
       "FILE.TXT;1|0|1|0|2003-01-12 14:30:00||15"},
      {"SUBDIR.DIR;1         1  12-JAN-2003 14:30:00 [USER] (RWE,RWE,RE,E)",
       "SUBDIR.DIR;1|1|0|0|2003-01-12 14:30:00||15"},
      // EPLF.
      {"+m1000000000,r,s1234,\treadme.txt", "readme.txt|0|1|1234|2001-09-09 01:46:40||EPLF"},
      {"+/,m1000000000,\tpub", "pub|1|0|0|2001-09-09 01:46:40||EPLF"},
      {"+i8388621.48594,m825718503,r,s99999999999999999999,\tbig",
       "big|0|1|0|1996-03-01 22:15:03||EPLF"},
      // The last second that is a date, and one after it: ignored.
      {"+m253402300799,\tlast", "last|0|0|0|9999-12-31 23:59:59||EPLF"},
      {"+m253402300800,\tlater", "later|0|0|0|1899-12-30 00:00:00||EPLF"},
      // The directories "." and ".." give no entry but are recognised; so is nothing else.
      {"drwxr-xr-x   2 user group     4096 Jan 12 14:30 .", ""},
      {"drwxr-xr-x   2 user group     4096 Jan 12  2003 ..", ""},
      {"+/,\t.", "UNPARSED"},
      {"+r,s1,\t", "UNPARSED"},
      {"total 12", "UNPARSED"},
      {"total 3", "UNPARSED"},
      {"", "UNPARSED"},
  };
  for (const auto& c : cases) EXPECT_EQ(One(c.line), c.expected) << c.line;
}

TEST_F(FtpListTest, ANameBeginsTheLineOrFollowsABlank) {
  // The catch-all masks take the name from a fixed column; on a line of another layout that
  // column falls inside a word, and the mask must not cut a name out of it.
  const std::string aligned = "  D" + std::string(51, ' ') + "stuff";
  const std::string shifted = "  D" + std::string(50, ' ') + "xstuff";
  const LineCase cases[] = {
      {"-rw-r--r-- 1 group domain user 531 Jan 29 03:26 13-unix-domain file", "UNPARSED"},
      {"-rw-r--r-- 1 user group 1234 2024-03-05 14:30 quarterly-report-final.xlsx", "UNPARSED"},
      {shifted.c_str(), "UNPARSED"},
      {aligned.c_str(), "stuff|1|0|0|2026-12-10 00:00:00||37"},
      // A TAB separates like a blank does ("$" skips both).
      {"drwxr-xr-x   2 user group     4096 Jan 12 14:30\tdocs",
       "docs|1|0|4096|2026-01-12 14:30:00|drwxr-xr-x|3"},
  };
  for (const auto& c : cases) EXPECT_EQ(One(c.line), c.expected) << c.line;

  struct Case {
    const char* mask;
    const char* line;
    int answer;
  };
  const Case masks[] = {
      {" n*", "ab", 0},    {" n*", " b", 1},    {"nnn", "abc", 1},
      {"!n*", "ab cd", 1}, {"SSn*", "12ab", 0}, {"n*\\n*", "ab ", 2},
  };
  for (const auto& c : masks)
    EXPECT_EQ(list_.MatchMask(c.line, "cd", c.mask), c.answer) << c.mask << " on " << c.line;
}

TEST_F(FtpListTest, UpperCaseSAndTArePermissionCharacters) {
  // Set-id without execute, and the sticky bit without execute for others.
  const LineCase cases[] = {
      {"-rw-r--r-T   1 user group      280 Mar  5  2003 sticky",
       "sticky|0|1|280|2003-03-05 00:00:00|-rw-r--r-T|3"},
      {"drwxrwx--T   2 user group     4096 Jan 12 14:30 shared",
       "shared|1|0|4096|2026-01-12 14:30:00|drwxrwx--T|3"},
      {"-rwSr-Sr--   1 user group      280 Mar  5  2003 setid",
       "setid|0|1|280|2003-03-05 00:00:00|-rwSr-Sr--|3"},
      // Other upper-case letters are still foreign.
      {"-rwXr--r--   1 user group      280 Mar  5  2003 x", "UNPARSED"},
  };
  for (const auto& c : cases) EXPECT_EQ(One(c.line), c.expected) << c.line;
}

TEST_F(FtpListTest, AnEplfLineWithoutATabHasNoName) {
  const LineCase cases[] = {
      {"+m1000000000,r,s1234,readme.txt", "UNPARSED"},
      {"+/,readme", "UNPARSED"},
      {"+", "UNPARSED"},
      {"+\treadme.txt", "readme.txt|0|0|0|1899-12-30 00:00:00||EPLF"},
  };
  for (const auto& c : cases) EXPECT_EQ(One(c.line), c.expected) << c.line;
}

TEST_F(FtpListTest, ASizeBeyond63BitsReadsAsZero) {
  const LineCase cases[] = {
      {"-rw-r--r--   1 user group 99999999999999999999 Mar  5 14:30 notes.txt",
       "notes.txt|0|1|0|2026-03-05 14:30:00|-rw-r--r--|3"},
      {"-rw-r--r--   1 user group 9223372036854775808 Mar  5 14:30 notes.txt",
       "notes.txt|0|1|0|2026-03-05 14:30:00|-rw-r--r--|3"},
      {"-rw-r--r--   1 user group 9223372036854775807 Mar  5 14:30 notes.txt",
       "notes.txt|0|1|9223372036854775807|2026-03-05 14:30:00|-rw-r--r--|3"},
      {"01-12-03  02:30PM  00000000000000000000000000001234 x",
       "x|0|1|1234|2003-01-12 14:30:00||8"},
  };
  for (const auto& c : cases) EXPECT_EQ(One(c.line), c.expected) << c.line;
}

TEST_F(FtpListTest, TwoDigitYearsAndTheTwelveHourClock) {
  const LineCase cases[] = {
      {"01-12-51  02:30PM  1 x", "x|0|1|1|1951-01-12 14:30:00||8"},
      {"01-12-99  02:30PM  1 x", "x|0|1|1|1999-01-12 14:30:00||8"},
      {"01-12-00  02:30PM  1 x", "x|0|1|1|2000-01-12 14:30:00||8"},
      {"01-12-50  02:30PM  1 x", "x|0|1|1|2050-01-12 14:30:00||8"},
      {"01-12-03  12:30PM  1 x", "x|0|1|1|2003-01-12 12:30:00||8"},
      {"01-12-03  01:30PM  1 x", "x|0|1|1|2003-01-12 13:30:00||8"},
      {"01-12-03  01:30AM  1 x", "x|0|1|1|2003-01-12 01:30:00||8"},
      // Half past midnight, not half past noon.
      {"01-12-03  12:30AM  1 x", "x|0|1|1|2003-01-12 00:30:00||8"},
      {"01-12-03  12:30am  1 x", "x|0|1|1|2003-01-12 00:30:00||8"},
  };
  for (const auto& c : cases) EXPECT_EQ(One(c.line), c.expected) << c.line;
}

TEST_F(FtpListTest, DatesThatDoNotExistLeaveTheLineUnrecognised) {
  const LineCase cases[] = {
      {"04-31-03  02:30PM  1 x", "UNPARSED"},
      {"02-29-03  02:30PM  1 x", "UNPARSED"},
      {"02-29-04  02:30PM  1 x", "x|0|1|1|2004-02-29 14:30:00||8"},
      {"01-12-03  24:30AM  1 x", "UNPARSED"},
      {"01-12-03  13:30PM  1 x", "UNPARSED"},
      {"-rw-r--r--   1 user group      280 Jun 31  2003 x", "UNPARSED"},
      {"-rw-r--r-- 1 u g 280 Mar  5 24:00:00 2003 x", "UNPARSED"},
  };
  for (const auto& c : cases) EXPECT_EQ(One(c.line), c.expected) << c.line;
}

TEST_F(FtpListTest, ADateWithoutYearIsTheLastOneNotLaterThanNow) {
  struct Case {
    platform::LocalDateTime now;
    const char* when;
    const char* expected;
  };
  const Case cases[] = {
      {{2026, 12, 10, 16, 20, 0, 0}, "Dec 10 16:20", "2026-12-10 16:20:00"},
      {{2026, 12, 10, 16, 20, 59, 0}, "Dec 10 16:21", "2025-12-10 16:21:00"},
      {{2026, 12, 10, 16, 20, 0, 0}, "Dec 11 00:00", "2025-12-11 00:00:00"},
      {{2026, 12, 10, 16, 20, 0, 0}, "Jan  1 00:00", "2026-01-01 00:00:00"},
      {{2027, 1, 2, 8, 0, 0, 0}, "Dec 31 23:59", "2026-12-31 23:59:00"},
      // The leap day of last year, read in January, and read in a common year.
      {{2025, 1, 10, 12, 0, 0, 0}, "Feb 29 12:00", "2024-02-29 12:00:00"},
      {{2026, 3, 1, 12, 0, 0, 0}, "Feb 29 12:00", ""},
  };
  for (const auto& c : cases) {
    clock_.SetLocalTime(c.now);
    const std::string line = std::string("-rw-r--r--   1 u g 5 ") + c.when + " f";
    const Parsed p = Parse(list_, line);
    const std::string got = p.entries.empty() ? "" : Field(p.entries[0], 4);
    EXPECT_EQ(got, c.expected) << c.when << " at " << c.now.year;
  }
}

TEST_F(FtpListTest, ListingsOfSeveralLines) {
  // CR LF and LF line ends; a mask that continues a long name on the next line takes both.
  const std::string continued = std::string(48, ' ') + "     1234 01 12 2003 14 30";
  const std::string listing =
      "total 3\r\n"
      "-rw-r--r--   1 user group      280 Mar  5  2003 a.txt\r\n"
      "A_VERY_LONG_NAME_THAT_WRAPS.TXT \n" +
      continued + "\n" + "drwxr-xr-x   2 user group     4096 Jan 12 14:30 b";
  const Parsed p = Parse(list_, listing);
  EXPECT_EQ(p.entries, (std::vector<std::string>{
                           "a.txt|0|1|280|2003-03-05 00:00:00|-rw-r--r--|3",
                           "A_VERY_LONG_NAME_THAT_WRAPS.TXT|0|1|1234|2003-01-12 14:30:00||29",
                           "b|1|0|4096|2026-01-12 14:30:00|drwxr-xr-x|3",
                       }));
  EXPECT_EQ(p.unparsed, std::vector<ByteString>{"total 3"});
  EXPECT_EQ(list_.Items(1)->OriginalLine(), "A_VERY_LONG_NAME_THAT_WRAPS.TXT ");

  // ParseLines appends; Clear empties entries and lines but keeps the masks.
  list_.ParseLines();
  EXPECT_EQ(list_.Count(), 6);
  list_.Masks().erase(list_.Masks().begin());
  list_.Clear();
  EXPECT_EQ(list_.Count(), 0);
  EXPECT_TRUE(list_.Lines().empty());
  EXPECT_TRUE(list_.UnparsedLines().empty());
  EXPECT_EQ(list_.Masks().size(), DefaultFTPListMasks().size() - 1);
}

TEST_F(FtpListTest, ALineNoMaskRecognisedDoesNotSwallowTheNext) {
  // The last mask continues on the next line and matches, but its day is no number.
  list_.Masks() = {"n*\\xDD"};
  list_.LoadLines("abc def\n zz\n");
  list_.ParseLines();
  EXPECT_EQ(list_.Count(), 0);
  EXPECT_EQ(list_.UnparsedLines(), (std::vector<ByteString>{"abc def", " zz"}));
}

TEST_F(FtpListTest, MaskParameters) {
  // A block size multiplies the size; a product that does not fit 63 bits reads as 0.
  list_.Masks() = {"SSS=8 n*"};
  EXPECT_EQ(One("123  file"), "file|0|1|984|2026-12-10 00:00:00||SSS=8 n*");
  list_.Masks() = {"SSSSSSSSSSSSSSSSSSS=8 n*"};
  EXPECT_EQ(One("1152921504606846975  big"),
            "big|0|1|9223372036854775800|2026-12-10 00:00:00||" + list_.Masks()[0]);
  EXPECT_EQ(One("1152921504606846976  huge"),  // 2^60 blocks of 8
            "huge|0|1|0|2026-12-10 00:00:00||" + list_.Masks()[0]);
  // A directory marker of the mask's own.
  list_.Masks() = {"d=O n*"};
  EXPECT_EQ(One("O  x"), "x|1|0|0|2026-12-10 00:00:00||d=O n*");
  EXPECT_EQ(One("D  x"), "x|0|1|0|2026-12-10 00:00:00||d=O n*");

  // Month names of the mask's own, kept for all later listings.
  list_.Masks() = DefaultFTPListMasks();
  const char* out_line = "-rw-r--r--   1 user group       10 Out  1  2003 pt";
  EXPECT_EQ(One(out_line), "UNPARSED");
  list_.Masks().insert(list_.Masks().begin(),
                       "pppppppppp $!!!S*$TTT=JANFEVMARABRMAIJUNJULAGOSETOUTNOVDEZ$DD$UUUUU$n*");
  EXPECT_EQ(Field(One("-rw-r--r--   1 user group       10 Abr  1  2003 pt"), 4),
            "2003-04-01 00:00:00");
  EXPECT_EQ(CustomMonthNames()[9], "OUT");
  list_.Masks() = DefaultFTPListMasks();
  EXPECT_EQ(One(out_line), "pt|0|1|10|2003-10-01 00:00:00|-rw-r--r--|3");
}

TEST_F(FtpListTest, MatchMaskAnswers) {
  struct Case {
    const char* mask;
    const char* line;
    const char* next;
    int answer;
    const char* file_name;
  };
  const Case cases[] = {
      {"n*", "", "", 0, ""},
      {"", "abc", "", 0, ""},
      {"nn*", "ab", "", 1, "ab"},  // "*" at the end of the line ends the match
      {"nnn", "ab", "", 0, "ab"},  // a line shorter than the fixed part
      {"n*x", "ab", "", 0, "ab"},  // so is a line that ends before "x"
      {"n!n*", "ab  cd e", "", 1, "acd e"},
      {"n* n", "ab\tcd e", "", 1, "ab\tcde"},  // only the blank ends a word
      {"n$n", "a \t b", "", 1, "ab"},
      {"n.nn", "a.bc", "", 1, "a.bc"},
      {"n.nn", "a-bc", "", 0, "a"},
      {"nxn", "a-b", "", 0, "a"},
      {"n*\\n*", "ab ", "cd", 2, "abcd"},
      {"n*\\n*", "ab", "cd", 0, "ab"},  // the continuation needs a character left on the line
  };
  for (const auto& c : cases) {
    EXPECT_EQ(list_.MatchMask(c.line, c.next, c.mask), c.answer) << c.mask << " on " << c.line;
    EXPECT_EQ(list_.FileName, c.file_name) << c.mask << " on " << c.line;
  }
}

TEST_F(FtpListTest, ValidateFieldsRefusesImplausibleValues) {
  struct Case {
    ByteString TFTPList::*field;
    const char* value;
    bool valid;
  };
  const Case cases[] = {
      {&TFTPList::Permissions, "drwxr-xr-x", true},
      {&TFTPList::Permissions, "-rwsr-Sr-T", true},
      {&TFTPList::Permissions, "-rwsr-Xr-x", false},
      {&TFTPList::Permissions, "drwxr-xr-", false},
      {&TFTPList::Day, " 1", true},
      {&TFTPList::Day, "31", true},
      {&TFTPList::Day, "0", false},
      {&TFTPList::Day, "32", false},
      {&TFTPList::Day, "-1", false},
      {&TFTPList::Month, "12", true},
      {&TFTPList::Month, "13", false},
      {&TFTPList::Hours, "24", true},  // refused later, when the entry is built
      {&TFTPList::Hours, "25", false},
      {&TFTPList::Minutes, "60", false},
      {&TFTPList::Seconds, "5x", false},
      {&TFTPList::HoursModif, "p", true},
      {&TFTPList::HoursModif, "M", false},
      {&TFTPList::Size, " 123 ", true},
      {&TFTPList::Size, "12,3", false},
      {&TFTPList::ThreeMonth, "DEC", true},
      {&TFTPList::ThreeMonth, "Dez", true},
      {&TFTPList::ThreeMonth, "Xyz", false},
      {&TFTPList::YearTime, "14-30", true},
      {&TFTPList::YearTime, "24:00", false},
      {&TFTPList::YearTime, " 1900", true},
      {&TFTPList::YearTime, " 1899", false},
      {&TFTPList::YearTime, " 2101", false},
      {&TFTPList::Year, "1900", false},
      {&TFTPList::Year, "1901", true},
      {&TFTPList::Year, "2099", true},
      {&TFTPList::Year, "2100", false},
      {&TFTPList::Year, "99", true},
      {&TFTPList::Year, "105", true},
      {&TFTPList::Year, "111", false},
      {&TFTPList::Year, "20031", false},
      {&TFTPList::Year, "y2k", false},
      {&TFTPList::VMSFileName, "A.TXT", false},
  };
  for (const auto& c : cases) {
    list_.ClearFields();
    list_.FileName = "f";
    list_.*c.field = c.value;
    EXPECT_EQ(list_.ValidateFields(), c.valid) << c.value;
  }
  list_.ClearFields();
  EXPECT_FALSE(list_.ValidateFields());  // no name at all
  list_.VMSFileName = "A.TXT;1";
  EXPECT_TRUE(list_.ValidateFields());
  list_.FileName = "f";
  list_.VMSFileName = "A*.TXT;1";
  EXPECT_FALSE(list_.ValidateFields());
  list_.ClearFields();
  list_.FileName = "f";
  list_.YearTime = "9-05";
  list_.Day = " 7 ";
  EXPECT_TRUE(list_.ValidateFields());
  EXPECT_EQ(list_.YearTime, "9:05");
  EXPECT_EQ(list_.Day, "7");
}

TEST(FtpListFunctions, TimeFromTextAndMonthFromName) {
  const std::pair<const char*, int> times[] = {
      {"14:30", 14 * 3600 + 30 * 60},
      {" 9:05", 9 * 3600 + 5 * 60},
      {"0:00:07", 7},
      {"12:305", 12 * 3600 + 30 * 60},
      {"24:00", -1},
      {"14:60", -1},
      {"1430", -1},
      {"", -1},
      {"a:bc", -1},
      {"1:2:3:4", -1},
      {"-1:30", -1},
  };
  for (const auto& [text, seconds] : times) {
    const TDateTime t = TimeFromText(text);
    if (seconds < 0)
      EXPECT_EQ(t, -1) << text;
    else
      EXPECT_NEAR(t * 86400, seconds, 1e-6) << text;
  }

  SetCustomMonthNames({});
  const std::pair<const char*, int> months[] = {
      {"jan", 1},  {"F\xC9V", 2}, {"m\xC4R", 3}, {"Okt", 10}, {"\xD8\xEDj", 10},
      {"DEC", 12}, {"xyz", 0},    {"", 0},       {"Ja", 0},
  };
  for (const auto& [name, month] : months) EXPECT_EQ(MonthFromName(name), month) << name;
}

TEST(FtpListFunctions, DefaultMasksKeepTheirColumns) {
  // Most masks line up with fixed columns: a blank lost or added in an edit shifts them.
  const std::size_t lengths[] = {41, 41, 33, 33, 32, 31, 33, 23, 23, 25, 25, 25, 25,
                                 22, 21, 39, 25, 25, 25, 25, 36, 32, 30, 24, 43, 42,
                                 34, 74, 77, 55, 61, 53, 59, 39, 39, 56, 56};
  const auto& masks = DefaultFTPListMasks();
  ASSERT_EQ(masks.size(), std::size(lengths));
  for (std::size_t i = 0; i < masks.size(); ++i) EXPECT_EQ(masks[i].size(), lengths[i]) << i + 1;
  EXPECT_EQ(masks[28].substr(0, 4), "n*\\x");
  EXPECT_EQ(TFTPList().Masks(), masks);
}

TEST(FtpListFunctions, FileTimesAreDaysSince30December1899) {
  EXPECT_EQ(FormatFileTime(0), "1899-12-30 00:00:00");
  EXPECT_EQ(FormatFileTime(25569), "1970-01-01 00:00:00");
  EXPECT_EQ(FormatFileTime(37685.5), "2003-03-05 12:00:00");
}

TEST_F(FtpListTest, AssignCopiesEverythingButPermissions) {
  Parse(list_, "-rw-r--r--   1 u g 280 Mar  5  2003 a\ntotal 1");
  TFTPList copy;
  copy.Masks().clear();
  copy.Assign(list_);
  ASSERT_EQ(copy.Count(), 1);
  EXPECT_EQ(Describe(*copy.Items(0)), "a|0|1|280|2003-03-05 00:00:00||3");
  EXPECT_EQ(copy.Items(0)->OriginalLine(), "-rw-r--r--   1 u g 280 Mar  5  2003 a");
  EXPECT_EQ(copy.Items(1), nullptr);
  EXPECT_EQ(copy.Items(-1), nullptr);
  EXPECT_EQ(copy.Lines(), list_.Lines());
  EXPECT_EQ(copy.UnparsedLines(), std::vector<ByteString>{"total 1"});
  EXPECT_EQ(copy.Masks(), DefaultFTPListMasks());
}

TEST_F(FtpListTest, HostileLinesTakeLinearTime) {
  // Every mask makes one pass over a line; 37 masks over a few long lines of the shapes that
  // make naive matchers backtrack stay far below a second.
  const std::size_t kLen = 1 << 18;
  const std::vector<std::string> lines = {
      std::string(kLen, ' '),
      std::string(kLen, '9'),
      std::string(kLen, 'a'),
      "+" + std::string(kLen, ','),
      [&] {
        std::string s = "+";
        while (s.size() < kLen) s += "s1,";
        return s;
      }(),
      [&] {
        std::string s = "drwxr-xr-x ";
        while (s.size() < kLen) s += "1 ";
        return s;
      }(),
      [&] {
        std::string s;
        while (s.size() < kLen) s += "01-12-03  ";
        return s;
      }(),
  };
  std::string listing;
  for (const auto& l : lines) listing += l + "\n";
  const auto start = std::chrono::steady_clock::now();
  const Parsed p = Parse(list_, listing);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(p.unparsed.size() + p.entries.size(), lines.size());
  EXPECT_LT(elapsed, std::chrono::seconds(5));
}

}  // namespace
}  // namespace vlt::net
