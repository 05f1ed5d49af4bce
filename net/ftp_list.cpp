#include "net/ftp_list.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <mutex>
#include <optional>

#include "net/text_functions.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/numbers.h"

namespace vlt::net {

namespace {

// The mask language, one character per step over the line:
//   p d S D M T Y U h H m s n v  gather the line character into the field of that letter
//   *   after n or v: the rest of the line when it ends the mask, else up to the next blank;
//       after any other letter: the digits that follow (kept after S, dropped otherwise)
//   !   skip the rest of the word and the blanks after it
//   $   skip blanks and TABs (none is fine)
//   .   a "." or a blank: ends the base of an 8.3 name
//   x   a blank
//   \   go on with the next listing line
//   =   parameter of the previous letter: S=digits (block size), T=36 month-name bytes,
//       d=one byte (the directory marker)
//   anything else skips one character.
// Blanks are significant: most masks line up with fixed columns.
const std::vector<ByteString> kDefaultMasks = {
    "pppppppppp $!!!S*$TTT$DD$hh mm ss$YYYY$n*",
    "pppppppppp $!!!S*$DD$TTT$hh mm ss$YYYY$n*",
    "pppppppppp $!!!S*$TTT$DD$UUUUU$n*",
    "pppppppppp $!!!S*$DD$TTT$UUUUU$n*",
    "pppppppppp $!!S*$TTT$DD$UUUUU$n*",
    "pppppppppp $!S*$TTT$DD$UUUUU$n*",
    "d            $!S*$TTT$DD$UUUUU$n*",
    "MM DD YY  hh mmH !S* n*",
    "MM DD YY  hh mmH $ d!n*",
    "MM DD YYYY  hh mmH !S* n*",
    "MM DD YYYY  hh mmH $ d!n*",
    "DD MM YYYY  hh mmH !S* n*",
    "DD MM YYYY  hh mmH $ d!n*",
    "v*$  DD TTT YYYY hh mm",
    "v*$!DD TTT YYYY hh mm",
    "n*$                 YYYY MM DD hh mm$S*",
    "!S*$MM DD YY hh mm ss !n*",
    "!S*$DD MM YY hh mm ss !n*",
    "n*!S*$MM DD YY hh mm ss d",
    "n*!S*$DD MM YY hh mm ss d",
    "$S*    TTT DD YYYY  hh mm ss $n* $ d",
    "$S*    TTT DD YYYY  hh mm ss $n*",
    "d    $S*$TTT DD YYYY  hh mm$n*",
    "d    $S*$TTT DD$hh mm$n*",
    "nnnnnnnn.nnn  dSSSSSSSSSSS MM DD YY  hh mmH",
    "-   SSSSS            YY MM DD hh mm ss  n*",
    "- d=  SSSSS  YY MM DD hh mm ss  n*",
    "nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn               SSSSSSSSS MM DD YYYY hh mm",
    "n*\\x                                               SSSSSSSSS MM DD YYYY hh mm",
    "-     SSSSSSSSSSSS           d   MM DD YYYY   hh mm  n*",
    "-         YY MM DD hhmm d                        SSSSSSSSS n*",
    "nnnnnnnn                   SSSSSSS DD TTT YY hh mm ss",
    "-             YYYY MM DD                     SSSSS   d=O n*",
    "             $S* MM DD YY hh mm ss  !n*",
    "d            $S* MM DD YY           !n*",
    "                                         TTT DD  YYYY n*",
    "  d                                                   n*",
};

std::mutex g_custom_mutex;
std::array<ByteString, 12> g_custom_month_names;

constexpr ByteString::size_type npos = ByteString::npos;

// Case folding for Windows-1252 bytes: ASCII and the accented letters of the month tables.
unsigned char FoldCase(char ch) {
  const auto c = static_cast<unsigned char>(ch);
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  if (c == 0x8A || c == 0x8C || c == 0x8E) return static_cast<unsigned char>(c + 0x10);
  if (c == 0x9F) return 0xFF;
  return c;
}

bool SameTextBytes(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  return true;
}

void TrimInPlace(ByteString& s) {
  s = TrimSpaces(s);
}

// A non-negative 64-bit signed number, or nothing (not a number, or too big).
std::optional<std::int64_t> Number(std::string_view s) {
  const auto v = platform::ParseUnsigned<std::uint64_t>(s);
  if (!v || *v > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
    return std::nullopt;
  return static_cast<std::int64_t>(*v);
}

bool InRange(std::string_view s, std::int64_t lo, std::int64_t hi) {
  const auto v = Number(s);
  return v && *v >= lo && *v <= hi;
}

// A trimmed field that must be a number from lo to hi; stored trimmed.
bool CheckRange(ByteString& field, std::int64_t lo, std::int64_t hi) {
  if (field.empty()) return true;
  TrimInPlace(field);
  return InRange(field, lo, hi);
}

// 1970-01-01 as a TDateTime.
constexpr std::int64_t kUnixEpochDays = 25569;

void SetCustomFromMonthnames(const ByteString& monthnames) {
  if (monthnames.size() != 36) return;
  std::array<ByteString, 12> names;
  for (std::size_t i = 0; i < 12; ++i) names[i] = monthnames.substr(i * 3, 3);
  SetCustomMonthNames(names);
}

}  // namespace

// clang-format off
const std::array<std::array<std::string_view, 12>, 7> BuiltInMonthNames = {{
    {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"},
    {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"},
    {"jan", "f\xE9v", "mar", "avr", "mai", "jun", "jul", "ao\xFB", "sep", "oct", "nov",
     "d\xE9" "c"},
    {"jan", "fev", "mar", "avr", "mai", "jun", "jul", "aou", "sep", "oct", "nov", "dec"},
    {"Jan", "Feb", "Mar", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"},
    {"Jan", "Feb", "M\xE4r", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"},
    // Czech, Windows-1250 bytes as Windows-1252 shows them.
    {"Led", "\xDAno", "B\xF8" "e", "Dub", "Kv\xEC", "\xC8" "en", "\xC8" "ec", "Srp", "Z\xE1\xF8",
     "\xD8\xEDj", "Lis", "Pro"},
}};
// clang-format on

std::array<ByteString, 12> CustomMonthNames() {
  std::lock_guard lock(g_custom_mutex);
  return g_custom_month_names;
}

void SetCustomMonthNames(const std::array<ByteString, 12>& Names) {
  std::lock_guard lock(g_custom_mutex);
  g_custom_month_names = Names;
}

int MonthFromName(std::string_view Name) {
  std::lock_guard lock(g_custom_mutex);
  for (int m = 0; m < 12; ++m) {
    for (const auto& row : BuiltInMonthNames)
      if (SameTextBytes(Name, row[m])) return m + 1;
    const ByteString& custom = g_custom_month_names[m];
    if (!custom.empty() && SameTextBytes(Name, custom)) return m + 1;
  }
  return 0;
}

TDateTime TimeFromText(std::string_view Value) {
  // "14:30" and "14:30:05"; a longer tail after the last colon is cut to two characters
  // ("12:305" reads as 12:30).
  const auto last = Value.rfind(':');
  if (last != npos && Value.size() - last - 1 > 2) Value = Value.substr(0, last + 3);
  const std::string trimmed = TrimSpaces(Value);
  std::string_view Text = trimmed;
  std::int64_t parts[3] = {0, 0, 0};
  int count = 0;
  while (true) {
    const auto colon = Text.find(':');
    const std::string_view part = Text.substr(0, colon);
    if (count == 3 || part.empty() || part.size() > 2) return -1;
    const auto v = Number(part);
    if (!v) return -1;
    parts[count++] = *v;
    if (colon == npos) break;
    Text.remove_prefix(colon + 1);
  }
  if (count < 2 || parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return -1;
  return static_cast<double>(parts[0] * 3600 + parts[1] * 60 + parts[2]) / 86400.0;
}

std::string FormatFileTime(TDateTime Value) {
  if (!std::isfinite(Value) || std::fabs(Value) > 1e8) return "0000-00-00 00:00:00";
  const auto total = static_cast<std::int64_t>(std::llround(Value * 86400.0));
  std::int64_t days = total / 86400, secs = total % 86400;
  if (secs < 0) secs += 86400, days -= 1;
  std::int64_t y = 0, m = 0, d = 0;
  platform::CivilFromDays(days - kUnixEpochDays, y, m, d);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld",
                static_cast<long long>(y), static_cast<long long>(m), static_cast<long long>(d),
                static_cast<long long>(secs / 3600), static_cast<long long>(secs / 60 % 60),
                static_cast<long long>(secs % 60));
  return buf;
}

const std::vector<ByteString>& DefaultFTPListMasks() {
  return kDefaultMasks;
}

void TFTPListRec::Assign(const TFTPListRec& Value) {
  FFileName = Value.FFileName;
  FDirectory = Value.FDirectory;
  FReadable = Value.FReadable;
  FFileSize = Value.FFileSize;
  FFileTime = Value.FFileTime;
  FOriginalLine = Value.FOriginalLine;
  FMask = Value.FMask;
}

TFTPList::TFTPList() : FMasks(kDefaultMasks) {}

TFTPList::~TFTPList() {
  // Clear is virtual; the destructor runs this class's own.
  TFTPList::Clear();
}

TFTPListRec* TFTPList::GetListItem(int Index) const {
  if (Index < 0 || static_cast<std::size_t>(Index) >= FList.size()) return nullptr;
  return FList[static_cast<std::size_t>(Index)].get();
}

int TFTPList::Count() const {
  return static_cast<int>(FList.size());
}

void TFTPList::Clear() {
  FList.clear();
  FLines.clear();
  FUnparsedLines.clear();
}

void TFTPList::Assign(const TFTPList& Value) {
  if (&Value == this) return;
  Clear();
  for (const auto& rec : Value.FList) {
    auto copy = std::make_unique<TFTPListRec>();
    copy->Assign(*rec);
    FList.push_back(std::move(copy));
  }
  FLines = Value.FLines;
  FMasks = Value.FMasks;
  FUnparsedLines = Value.FUnparsedLines;
}

void TFTPList::LoadLines(std::string_view Listing) {
  while (!Listing.empty()) {
    const auto lf = Listing.find('\n');
    std::string_view line = Listing.substr(0, lf);
    if (lf != npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    FLines.emplace_back(line);
    if (lf == npos) break;
    Listing.remove_prefix(lf + 1);
  }
}

void TFTPList::ClearFields() {
  // clear() keeps the capacity: matching 37 masks per line allocates only while the fields
  // first grow.
  for (ByteString* f :
       {&Monthnames, &BlockSize, &DirFlagValue, &FileName, &VMSFileName, &Day, &Month, &ThreeMonth,
        &YearTime, &Year, &Hours, &HoursModif, &Minutes, &Seconds, &Size, &Permissions, &DirFlag})
    f->clear();
  FDotEnd = npos;
}

bool TFTPList::ReadEplfLine(const ByteString& Value) {
  // "+i8388621.48594,m825718503,r,s280,\tdjb.html": facts up to the TAB, then the name.
  // Without a TAB there is no name: "+m1000000000,r,s1234,readme.txt" is not a file called
  // "m1000000000,r,s1234,readme.txt".
  if (Value.empty() || Value[0] != '+') return false;
  const std::string_view rest = std::string_view(Value).substr(1);
  const auto tab = rest.find('\t');
  if (tab == npos) return false;
  const std::string_view name = rest.substr(tab + 1);

  auto entry = std::make_unique<TFTPListRec>();
  std::string_view facts = rest;
  while (true) {
    const auto comma = facts.find(',');
    const std::string fact = TrimSpaces(facts.substr(0, comma));
    facts = comma == npos ? std::string_view() : facts.substr(comma + 1);
    if (fact.empty() || fact[0] == '\t') break;
    switch (fact[0]) {
      case '/':
        entry->SetDirectory(true);
        break;
      case 'r':
        entry->SetReadable(true);
        break;
      case 's':
        entry->SetFileSize(Number(fact.substr(1)).value_or(0));
        break;
      case 'm': {
        // A moment after 9999-12-31 23:59:59 is no date: the fact is ignored.
        constexpr std::int64_t kLastSecond = 253402300799;
        const auto seconds = Number(fact.substr(1)).value_or(0);
        if (seconds <= kLastSecond) {
          entry->SetFileTime(static_cast<double>(seconds) / 86400.0 + kUnixEpochDays);
        }
        break;
      }
      default:
        break;
    }
  }
  if (name.empty() || (entry->Directory() && (name == "." || name == ".."))) return false;
  entry->SetFileName(platform::AnsiToText(name));
  entry->SetOriginalLine(platform::AnsiToText(Value));
  entry->SetMask("EPLF");
  FList.push_back(std::move(entry));
  return true;
}

int TFTPList::MatchMask(const ByteString& Value, const ByteString& NextValue,
                        const ByteString& Mask) {
  ClearFields();
  if (Value.empty() || Mask.empty()) return 0;
  // One pass over mask and line: `n` only moves forward, so a mask costs at most the length
  // of the mask plus the length of the line, whatever the line holds.
  std::string_view line = Value;
  int result = 1;
  char previous = ' ';
  std::size_t n = 0;
  bool name_begun = false;
  for (std::size_t x = 0; x < Mask.size(); ++x) {
    const char c = Mask[x];
    if (n >= line.size()) {
      // A line that ends where the mask's last "*" would take what is left is a match (a
      // one-character name before a final "n*"). A "*" in the middle of the mask takes
      // nothing and the mask goes on: "total 3" must not become a file "total" of 3 bytes
      // by way of "n*!S*$MM DD YY..." while "total 12" is no match.
      if (c != '*') return 0;
      if (x + 1 == Mask.size()) break;
      previous = c;
      continue;
    }
    const char ch = line[n];
    switch (c) {
      case 'p':
        Permissions += ch, ++n;
        break;
      case 'd':
        DirFlag += ch, ++n;
        break;
      case 'S':
        Size += ch, ++n;
        break;
      case 'D':
        Day += ch, ++n;
        break;
      case 'M':
        Month += ch, ++n;
        break;
      case 'T':
        ThreeMonth += ch, ++n;
        break;
      case 'Y':
        Year += ch, ++n;
        break;
      case 'U':
        YearTime += ch, ++n;
        break;
      case 'h':
        Hours += ch, ++n;
        break;
      case 'H':
        HoursModif += ch, ++n;
        break;
      case 'm':
        Minutes += ch, ++n;
        break;
      case 's':
        Seconds += ch, ++n;
        break;
      case 'n':
        // A name starts a word. The catch-all masks read the name from a fixed column; on a
        // line of another layout that column falls inside a word ("...03:26 13-unix-domain
        // file" read from column 55 gives "x-domain file"), and the mask must fail instead.
        if (!name_begun) {
          if (n > 0 && line[n - 1] != ' ' && line[n - 1] != '\t') return 0;
          name_begun = true;
        }
        FileName += ch, ++n;
        break;
      case 'v':
        VMSFileName += ch, ++n;
        break;
      case '*':
        if (previous == 'n' || previous == 'v') {
          ByteString& target = previous == 'n' ? FileName : VMSFileName;
          std::size_t end = line.size();
          if (x + 1 < Mask.size()) {
            end = line.find(' ', n);
            if (end == npos) end = line.size();
          }
          target.append(line.substr(n, end - n));
          n = end;
        } else {
          const std::size_t start = n;
          while (n < line.size() && platform::IsAsciiDigit(line[n])) ++n;
          if (previous == 'S') Size.append(line.substr(start, n - start));
        }
        break;
      case '!':
        while (n < line.size() && line[n] != ' ') ++n;
        while (n < line.size() && line[n] == ' ') ++n;
        break;
      case '$':
        while (n < line.size() && (line[n] == ' ' || line[n] == '\t')) ++n;
        break;
      case '.':
        if (ch != '.' && ch != ' ') return 0;
        TrimInPlace(FileName);
        FileName += '.';
        FDotEnd = FileName.size();
        ++n;
        break;
      case 'x':
        if (ch != ' ') return 0;
        ++n;
        break;
      case '\\':
        line = NextValue;
        n = 0;
        result = 2;
        break;
      case '=':
        if (previous == 'S') {
          while (x + 1 < Mask.size() && platform::IsAsciiDigit(Mask[x + 1])) BlockSize += Mask[++x];
        } else if (previous == 'T') {
          const std::size_t take = std::min<std::size_t>(36, Mask.size() - (x + 1));
          Monthnames.assign(Mask, x + 1, take);
          x += take;
        } else if (previous == 'd') {
          if (x + 1 < Mask.size()) DirFlagValue.assign(1, Mask[++x]);
        }
        ++n;
        break;
      default:
        ++n;
        break;
    }
    previous = c;
  }
  return result;
}

bool TFTPList::ValidateFields() {
  if (!FileName.empty() && VMSFileName.find_first_of("?*") != npos) return false;
  if (!VMSFileName.empty() && VMSFileName.find(';') == npos) return false;
  if (FileName.empty() && VMSFileName.empty()) return false;

  if (!Permissions.empty()) {
    if (Permissions.size() != 10) return false;
    // S and T: set-id or sticky without the execute bit ("-rwSr--r--", "drwxrwx--T").
    for (char c : Permissions)
      if (std::string_view("-abcdhlprstwxyST").find(c) == npos) return false;
  }
  if (!CheckRange(Day, 1, 31) || !CheckRange(Month, 1, 12) || !CheckRange(Hours, 0, 24) ||
      !CheckRange(Minutes, 0, 59) || !CheckRange(Seconds, 0, 59))
    return false;
  if (!HoursModif.empty() && std::string_view("APap").find(HoursModif[0]) == npos) return false;
  if (!Size.empty()) {
    TrimInPlace(Size);
    for (char c : Size)
      if (!platform::IsAsciiDigit(c)) return false;
  }
  SetCustomFromMonthnames(Monthnames);
  if (!ThreeMonth.empty() && MonthFromName(ThreeMonth) == 0) return false;
  if (!YearTime.empty()) {
    for (char& c : YearTime)
      if (c == '-') c = ':';
    if (YearTime.find(':') != npos) {
      if (TimeFromText(YearTime) < 0) return false;
    } else {
      TrimInPlace(YearTime);
      if (!InRange(YearTime, 1900, 2100)) return false;
    }
  }
  if (!Year.empty()) {
    TrimInPlace(Year);
    switch (Year.size()) {
      case 4:
        if (!InRange(Year, 1901, 2099)) return false;
        break;
      case 2:
        if (!InRange(Year, 0, 99)) return false;
        break;
      case 3:
        if (!InRange(Year, 100, 110)) return false;
        break;
      default:
        return false;
    }
  }
  return true;
}

bool TFTPList::FillEntry(TFTPListRec& Entry) {
  const std::string_view marker = DirFlagValue.empty() ? std::string_view("D") : DirFlagValue;
  Entry.SetDirectory(SameTextBytes(marker, DirFlag));

  std::string_view name;
  if (!FileName.empty()) {
    // "bin -> usr/bin": the link's target is not part of the name.
    name = std::string_view(FileName).substr(0, FileName.find(" -> "));
  }
  if (!VMSFileName.empty()) {
    name = VMSFileName;
    Entry.SetDirectory(VMSFileName.find(".DIR;") != npos);
  }
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  // "README  .   " from an 8.3 column pair is README, not "README.".
  if (name.data() == FileName.data() && FDotEnd != npos && name.size() == FDotEnd)
    name.remove_suffix(1);
  Entry.SetFileName(platform::AnsiToText(name));
  Entry.SetReadable(!Entry.Directory());

  // Size times block size. A size that does not fit 63 bits reads as 0, as one that is not a
  // number does: refusing it would hand the line to a later mask that reads it wrongly.
  const std::int64_t size = Number(Size).value_or(0);
  const std::int64_t block = Number(BlockSize).value_or(1);
  const bool fits = block == 0 || size <= std::numeric_limits<std::int64_t>::max() / block;
  Entry.SetFileSize(fits ? size * block : 0);

  const platform::LocalDateTime now = platform::CurrentClock().LocalTime();
  std::int64_t year = now.year, month = now.month, day = now.day;
  std::int64_t hour = 0, minute = 0, second = 0;
  if (!Day.empty()) day = Number(Day).value_or(1);
  if (!Month.empty()) month = Number(Month).value_or(1);
  SetCustomFromMonthnames(Monthnames);
  if (!ThreeMonth.empty()) month = MonthFromName(ThreeMonth);
  if (!Year.empty()) {
    std::int64_t y = Number(Year).value_or(0);
    if (y >= 51 && y <= 99)
      y += 1900;
    else if (y <= 50)
      y += 2000;
    else if (y >= 100 && y <= 110)
      y += 1900;  // years counted from 1900: "103" is 2003
    year = y;
  }
  if (!YearTime.empty()) {
    const auto colon = YearTime.find(':');
    if (colon == npos) {
      year = Number(YearTime).value_or(0);
    } else {
      const std::string t = TrimSpaces(YearTime);
      const auto c = t.find(':');
      hour = Number(t.substr(0, c)).value_or(0);
      minute = Number(t.substr(c + 1)).value_or(0);
      // A listing prints the time instead of the year for the last months: a moment later
      // than now belongs to last year.
      const auto moment = [](std::int64_t y, std::int64_t mo, std::int64_t d, std::int64_t h,
                             std::int64_t mi) {
        return (((y * 100 + mo) * 100 + d) * 100 + h) * 100 + mi;
      };
      if (moment(year, month, day, hour, minute) >
          moment(now.year, now.month, now.day, now.hour, now.minute))
        --year;
    }
  }
  if (!Minutes.empty()) minute = Number(Minutes).value_or(0);
  if (!Seconds.empty()) second = Number(Seconds).value_or(0);
  if (!Hours.empty()) {
    hour = Number(Hours).value_or(0);
    if (!HoursModif.empty()) {
      const char am_pm = HoursModif[0];
      if ((am_pm == 'P' || am_pm == 'p') && hour != 12) hour += 12;
      // 12:30AM is half past midnight.
      if ((am_pm == 'A' || am_pm == 'a') && hour == 12) hour = 0;
    }
  }

  // Validation took each field on its own; a date or time that does not exist leaves the
  // line unrecognised rather than dated wrongly.
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > platform::DaysInMonth(year, month) || hour > 23 || minute > 59 || second > 59)
    return false;
  Entry.SetFileTime(
      static_cast<double>(platform::DaysFromCivil(year, month, day) + kUnixEpochDays) +
      static_cast<double>(hour * 3600 + minute * 60 + second) / 86400.0);

  if (!Permissions.empty()) {
    Entry.SetPermission(platform::AnsiToText(Permissions));
    Entry.SetReadable(Permissions.size() > 1 && (Permissions[1] == 'R' || Permissions[1] == 'r'));
    const char kind = Permissions[0];
    if (kind == 'D' || kind == 'd') {
      Entry.SetDirectory(true);
      Entry.SetReadable(false);
    } else if (kind == 'L' || kind == 'l') {
      Entry.SetDirectory(true);
    }
  }
  return true;
}

void TFTPList::ParseLines() {
  static const ByteString kNoLine;
  for (std::size_t i = 0; i < FLines.size();) {
    const ByteString& line = FLines[i];
    const ByteString& next = i + 1 < FLines.size() ? FLines[i + 1] : kNoLine;
    int step = 1;
    bool recognised = ReadEplfLine(line);
    for (std::size_t k = 0; !recognised && k < FMasks.size(); ++k) {
      step = MatchMask(line, next, FMasks[k]);
      if (step <= 0 || !ValidateFields()) continue;
      auto entry = std::make_unique<TFTPListRec>();
      if (!FillEntry(*entry)) continue;
      recognised = true;
      entry->SetOriginalLine(platform::AnsiToText(line));
      entry->SetMask(platform::AnsiToText(FMasks[k]));
      const std::string& name = entry->FileName();
      if (!(entry->Directory() && (name == "." || name == ".."))) FList.push_back(std::move(entry));
    }
    if (!recognised) {
      FUnparsedLines.push_back(line);
      // Only a recognising mask may take the next line along; otherwise it gets its own turn.
      step = 1;
    }
    i += step >= 2 ? static_cast<std::size_t>(step) : 1;
  }
}

}  // namespace vlt::net
