#pragma once
// TFTPList: turns the lines of an FTP directory listing (the reply to LIST) into entries.
// Servers print listings in many layouts, so recognition is data-driven: EPLF lines ("+facts,
// TAB name") are read directly, every other line is tried against an ordered list of masks in
// a small pattern language until one matches and yields plausible values. Lines nothing
// recognises are kept in UnparsedLines.
//
// Listing lines and masks are byte strings in the system's 8-bit code page, as the server sent
// them; the entries' names and lines are texts (UTF-8). The "current" moment for dates printed
// without a year comes from platform::CurrentClock().
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/exception.h"

namespace vlt::net {

// Days since 30 December 1899; the fraction is the time of day.
using TDateTime = double;

// One entry of a listing.
class TFTPListRec {
 public:
  virtual ~TFTPListRec() = default;

  // Copies everything but Permission.
  void Assign(const TFTPListRec& Value);

  // The name, without a symbolic link's " -> target" and without trailing blanks.
  const std::string& FileName() const { return FFileName; }
  void SetFileName(const std::string& v) { FFileName = v; }
  // Symbolic links count as directories.
  bool Directory() const { return FDirectory; }
  void SetDirectory(bool v) { FDirectory = v; }
  bool Readable() const { return FReadable; }
  void SetReadable(bool v) { FReadable = v; }
  // Bytes; 0 when the line gives none.
  std::int64_t FileSize() const { return FFileSize; }
  void SetFileSize(std::int64_t v) { FFileSize = v; }
  // As the server printed it, no time-zone conversion.
  TDateTime FileTime() const { return FFileTime; }
  void SetFileTime(TDateTime v) { FFileTime = v; }
  const std::string& OriginalLine() const { return FOriginalLine; }
  void SetOriginalLine(const std::string& v) { FOriginalLine = v; }
  // The mask that recognised the line (as text), or "EPLF".
  const std::string& Mask() const { return FMask; }
  void SetMask(const std::string& v) { FMask = v; }
  // The ten permission characters when the layout has them, else empty.
  const std::string& Permission() const { return FPermission; }
  void SetPermission(const std::string& v) { FPermission = v; }

 private:
  std::string FFileName;
  bool FDirectory = false;
  bool FReadable = false;
  std::int64_t FFileSize = 0;
  TDateTime FFileTime = 0;
  std::string FOriginalLine;
  std::string FMask;
  std::string FPermission;
};

class TFTPList {
 public:
  // Fills Masks with the default masks.
  TFTPList();
  virtual ~TFTPList();
  TFTPList(const TFTPList&) = delete;
  TFTPList& operator=(const TFTPList&) = delete;

  // The entry at Index, or nullptr when Index is not in 0 .. Count - 1.
  virtual TFTPListRec* GetListItem(int Index) const;
  TFTPListRec* Items(int Index) const { return GetListItem(Index); }
  // Appends an entry for an EPLF line; false for any other line and for an EPLF line without
  // a name (none after a TAB) or for the directories "." and "..".
  virtual bool ReadEplfLine(const ByteString& Value);
  // Empties the scratch fields below.
  virtual void ClearFields();
  // 0: no match; 1: a match within Value; 2: a match that continued on NextValue.
  virtual int MatchMask(const ByteString& Value, const ByteString& NextValue,
                        const ByteString& Mask);
  // Refuses matches whose gathered fields are not plausible values (trims some of them).
  virtual bool ValidateFields();
  // Builds an entry from the scratch fields. False when they form a date or time that does
  // not exist (31 April, 29 February of a common year, hour 24, 13 PM): validation checks
  // each field on its own, and such a line is better left unrecognised than dated wrongly.
  virtual bool FillEntry(TFTPListRec& Entry);
  // Frees the entries and empties List, Lines and UnparsedLines; Masks stay.
  virtual void Clear();
  virtual int Count() const;
  // Clear, then copies of Value's entries, Lines, Masks and UnparsedLines.
  virtual void Assign(const TFTPList& Value);
  // Parses Lines, appending to List (not cleared first) and UnparsedLines.
  virtual void ParseLines();

  // Splits a listing as received (CR LF or LF line ends; a last line without an end counts)
  // and appends its lines to Lines.
  void LoadLines(std::string_view Listing);

  const std::vector<std::unique_ptr<TFTPListRec>>& List() const { return FList; }
  std::vector<ByteString>& Lines() { return FLines; }
  const std::vector<ByteString>& Lines() const { return FLines; }
  // Tried in order; a caller may add, remove or reorder them.
  std::vector<ByteString>& Masks() { return FMasks; }
  const std::vector<ByteString>& Masks() const { return FMasks; }
  std::vector<ByteString>& UnparsedLines() { return FUnparsedLines; }
  const std::vector<ByteString>& UnparsedLines() const { return FUnparsedLines; }

  // Scratch fields of the line being matched: bytes gathered from it by the mask letters
  // (Monthnames, BlockSize and DirFlagValue come from "=" parameters of the mask).
  ByteString Monthnames;
  ByteString BlockSize;
  ByteString DirFlagValue;
  ByteString FileName;
  ByteString VMSFileName;
  ByteString Day;
  ByteString Month;
  ByteString ThreeMonth;
  ByteString YearTime;
  ByteString Year;
  ByteString Hours;
  ByteString HoursModif;
  ByteString Minutes;
  ByteString Seconds;
  ByteString Size;
  ByteString Permissions;
  ByteString DirFlag;

 private:
  std::vector<std::unique_ptr<TFTPListRec>> FList;
  std::vector<ByteString> FLines;
  std::vector<ByteString> FMasks;
  std::vector<ByteString> FUnparsedLines;
  // Length of FileName right after a "." mask step ("README  ." + "   "), so that an 8.3 name
  // without an extension does not keep the dot; npos when the mask had none.
  std::size_t FDotEnd = std::string::npos;
};

// The default masks, in the order they are tried.
const std::vector<ByteString>& DefaultFTPListMasks();

// Month abbreviations, January to December, as bytes in the system's 8-bit code page; the
// last row is Czech as Windows-1250 bytes read in Windows-1252.
extern const std::array<std::array<std::string_view, 12>, 7> BuiltInMonthNames;
// Process-wide, initially empty; set by a mask with a 36-byte "T=" parameter and kept.
std::array<ByteString, 12> CustomMonthNames();
void SetCustomMonthNames(const std::array<ByteString, 12>& Names);

// The month 1 to 12 whose name in any row or in CustomMonthNames equals Name regardless of
// case; 0 when none does.
int MonthFromName(std::string_view Name);
// A time of day ("h:mm" or "h:mm:ss") as a fraction of a day; -1 when Text is not one.
TDateTime TimeFromText(std::string_view Text);
// "YYYY-MM-DD HH:MM:SS" (to the nearest second).
std::string FormatFileTime(TDateTime Value);

}  // namespace vlt::net
