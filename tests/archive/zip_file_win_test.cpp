// What Windows itself reports about extracted files (run under Wine).
#include <gtest/gtest.h>
#include <windows.h>

#include "archive/zip_file.h"
#include "platform/files.h"
#include "platform/win_text.h"
#include "tests/archive/zip_builder.h"
#include "tests/support/temp_dir.h"

namespace vlt {
namespace {

using test::BuildZip;
using test::DosDateTime;
using test::TempDir;

SYSTEMTIME LocalTimeOf(const FILETIME& utc) {
  SYSTEMTIME u{}, local{};
  FileTimeToSystemTime(&utc, &u);
  SystemTimeToTzSpecificLocalTime(nullptr, &u, &local);
  return local;
}

TEST(ZipFileWindowsTest, CreationAndLastWriteTimesAndAttributesAsWindowsReportsThem) {
  TempDir tmp;
  test::WriteArchive(tmp / "pkg.zip", BuildZip({
                                                   {.name = "winter.txt",
                                                    .data = "w",
                                                    .made_by = 0x0014,
                                                    .external = 0x20,
                                                    .modified = DosDateTime(2011, 1, 5, 8, 30, 44)},
                                                   {.name = "summer.txt",
                                                    .data = "s",
                                                    .made_by = 0x0014,
                                                    .external = 0x07,
                                                    .modified = DosDateTime(2011, 7, 5, 8, 30, 44)},
                                               })
                                          .bytes);
  TZipFile zip;
  zip.Open(tmp / "pkg.zip", zmRead);
  zip.ExtractAll(tmp / "out");

  // Wine reports the archive bit on every file; Windows keeps what was set.
  constexpr DWORD kMask = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                          FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_NORMAL;
  const struct {
    const char* name;
    WORD month;
    DWORD attributes;
  } cases[] = {
      {"winter.txt", 1, 0},
      {"summer.txt", 7, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
  };
  for (const auto& c : cases) {
    const std::wstring path = platform::Widen(tmp / ("out\\" + std::string(c.name)));
    const DWORD attributes = GetFileAttributesW(path.c_str());
    EXPECT_EQ(attributes & kMask, c.attributes) << c.name;
    EXPECT_NE(attributes & FILE_ATTRIBUTE_ARCHIVE, 0u) << c.name;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << c.name;
    FILETIME created{}, accessed{}, written{};
    ASSERT_TRUE(GetFileTime(h, &created, &accessed, &written));
    CloseHandle(h);
    for (const FILETIME& ft : {created, written}) {
      const SYSTEMTIME t = LocalTimeOf(ft);
      EXPECT_EQ(t.wYear, 2011) << c.name;
      EXPECT_EQ(t.wMonth, c.month) << c.name;
      EXPECT_EQ(t.wDay, 5) << c.name;
      EXPECT_EQ(t.wHour, 8) << c.name;
      EXPECT_EQ(t.wMinute, 30) << c.name;
      EXPECT_EQ(t.wSecond, 44) << c.name;
    }
  }
}

TEST(ZipFileWindowsTest, EntryFileIsOpenedExclusively) {
  TempDir tmp;
  test::WriteArchive(tmp / "pkg.zip", BuildZip({{.name = "busy.txt", .data = "new"}}).bytes);
  ASSERT_TRUE(platform::CreateDir(tmp / "out"));
  test::WriteFile(tmp / "out\\busy.txt", "old");
  // Another reader that lets everybody in still keeps an exclusive opener out.
  const std::wstring path = platform::Widen(tmp / "out\\busy.txt");
  HANDLE other = CreateFileW(path.c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  TZipFile zip;
  zip.Open(tmp / "pkg.zip", zmRead);
  try {
    zip.ExtractAll(tmp / "out");
    ADD_FAILURE() << "extracted over a file in use";
  } catch (const Exception& e) {
    EXPECT_EQ(
        std::string(e.what()).rfind("Cannot create file \"" + (tmp / "out\\busy.txt") + "\". ", 0),
        0u)
        << e.what();
  }
  CloseHandle(other);

  // While the archive is open others may read it but not write it.
  const std::wstring archive = platform::Widen(tmp / "pkg.zip");
  HANDLE reader = CreateFileW(archive.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);
  if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
  HANDLE writer = CreateFileW(archive.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
}

}  // namespace
}  // namespace vlt
