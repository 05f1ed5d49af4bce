#include "archive/zip_file.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <ctime>

#include "archive/zip_crc32.h"
#include "archive/zip_names.h"
#include "platform/dir_list.h"
#include "platform/file_attributes.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/archive/zip_builder.h"
#include "tests/support/temp_dir.h"

namespace vlt {
namespace {

using test::BuildZip;
using test::DosDateTime;
using test::ReadFile;
using test::TempDir;
using test::ZipEntry;

// Opens and extracts; the error text, or "" when all went well.
std::string Unpack(const std::string& archive, const std::string& directory) {
  try {
    TZipFile zip;
    zip.Open(archive, zmRead);
    zip.ExtractAll(directory);
    return "";
  } catch (const Exception& e) {
    return e.what();
  }
}

std::string UnpackBytes(const TempDir& tmp, const std::string& bytes, const std::string& dir) {
  test::WriteArchive(tmp / "pkg.zip", bytes);
  return Unpack(tmp / "pkg.zip", tmp / dir);
}

std::vector<std::string> Names(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : platform::ListDirectory(dir, "*.*")) {
    if (e.name != "." && e.name != "..") names.push_back(e.name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string Bytes(const char* text) {
  return text;
}

void Put(const std::string& path, const std::string& bytes) {
  ASSERT_TRUE(platform::ForceDirectories(platform::ExtractFileDir(path))) << path;
  test::WriteFile(path, bytes);
}

// id 0x7075, size, version 1, CRC-32 of the stored name, the UTF-8 name.
std::string UnicodePathField(const std::string& name, std::uint32_t crc) {
  std::string f = "\x75\x70";
  const auto size = static_cast<std::uint32_t>(name.size() + 5);
  f += static_cast<char>(size & 0xFF);
  f += static_cast<char>(size >> 8);
  f += '\x01';
  for (int i = 0; i < 4; ++i) f += static_cast<char>(crc >> (8 * i) & 0xFF);
  return f + name;
}

// Files in `dir` and its subdirectories.
size_t CountFiles(const std::string& dir) {
  size_t count = 0;
  for (const auto& e : platform::ListDirectory(dir, "*.*")) {
    if (e.name == "." || e.name == "..") continue;
    count += e.directory ? CountFiles(platform::IncludeTrailingPathDelimiter(dir) + e.name) : 1;
  }
  return count;
}

TEST(ZipCrc32Test, AgreesWithZlibForEveryLengthAndAlignment) {
  std::string data(4096 + 64, '\0');
  std::uint32_t x = 99;
  for (char& c : data) c = static_cast<char>((x = x * 1103515245 + 12345) >> 24);
  for (size_t offset = 0; offset < 16; ++offset) {
    for (size_t length : {0, 1, 15, 16, 63, 64, 65, 79, 80, 127, 128, 129, 1000, 4096}) {
      const auto* p = reinterpret_cast<const Bytef*>(data.data() + offset);
      const auto expected =
          static_cast<std::uint32_t>(crc32(0xA5A5A5A5u, p, static_cast<uInt>(length)));
      ASSERT_EQ(ZipCrc32(0xA5A5A5A5u, p, length), expected) << offset << "+" << length;
    }
  }
}

TEST(ZipFileTest, FindsTheEndRecordOnlyWithinTheLast65535Bytes) {
  TempDir tmp;
  const ZipEntry hello{.name = "hello.txt", .data = "hello"};
  const struct {
    const char* what;
    std::string bytes;
    const char* error;
  } cases[] = {
      {"only the end record", BuildZip({}).bytes, ""},
      {"65000-byte comment", BuildZip({hello}, std::string(65000, 'c')).bytes, ""},
      // A signature inside the comment would be taken first; this one has none.
      {"record beyond the last 65535 bytes", BuildZip({hello}, std::string(65530, 'c')).bytes,
       "Error reading zip file"},
      {"no record at all", std::string(5000, 'x'), "Error reading zip file"},
      {"record cut after its signature", "xxPK\x05\x06", "Error reading zip file"},
      {"three bytes", "PK\x05", "Error reading zip file"},
      {"empty file", "", "Stream read error"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UnpackBytes(tmp, c.bytes, "out"), c.error) << c.what;
  }

  TZipFile zip;
  test::WriteArchive(tmp / "c.zip", BuildZip({hello}, std::string(65000, 'c')).bytes);
  zip.Open(tmp / "c.zip", zmRead);
  EXPECT_EQ(zip.Mode(), zmRead);
  EXPECT_EQ(zip.Comment(), std::string(65000, 'c'));
  ASSERT_EQ(zip.FileCount(), 1u);
  EXPECT_EQ(zip.FileInfo(0).FileName, "hello.txt");
  EXPECT_EQ(zip.FileInfo(0).UncompressedSize, 5u);
  EXPECT_EQ(zip.FileInfo(0).MadeByVersion, 0x031E);
  EXPECT_EQ(zip.FileInfo(0).ModifiedDateTime, DosDateTime(2019, 7, 14, 13, 45, 30));
  zip.Close();
  EXPECT_EQ(zip.Mode(), zmClosed);
}

TEST(ZipFileTest, DirectoryFaultsAndMissingArchive) {
  TempDir tmp;
  const auto image = BuildZip({{.name = "a.txt", .data = "A"}, {.name = "b.txt", .data = "B"}});
  std::string bad_central = image.bytes;
  bad_central[image.central_offset + 1] = 'X';
  // The directory offset points at a header in the comment that stops after 10 bytes.
  auto cut = BuildZip({{.name = "a.txt", .data = "A"}}, "PK\x01\x02" + std::string(10, '-'));
  std::string short_central = cut.bytes;
  const std::uint32_t into_comment = static_cast<std::uint32_t>(cut.end_offset + 22);
  for (int i = 0; i < 4; ++i) {
    short_central[cut.end_offset + 16 + i] = static_cast<char>(into_comment >> (8 * i));
  }
  std::string bad_local = image.bytes;
  bad_local[image.local_offsets[1]] = 'Q';
  const struct {
    const char* what;
    std::string bytes;
    const char* error;
  } cases[] = {
      {"wrong central signature", bad_central, "Invalid Zip Central Header signature"},
      {"central directory cut short", short_central, "Error reading zip file"},
      {"wrong local signature", bad_local, "Invalid Zip Local Header signature"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UnpackBytes(tmp, c.bytes, "out"), c.error) << c.what;
  }
  // Entries before the fault stay.
  EXPECT_EQ(ReadFile(tmp / "out\\a.txt"), "A");

  const std::string missing = tmp / "missing.zip";
  const std::string error = Unpack(missing, tmp / "out");
  EXPECT_EQ(error.rfind("Cannot open file \"" + missing + "\". ", 0), 0u) << error;
  EXPECT_GT(error.size(), missing.size() + 20) << "the system's text is missing: " << error;

  TZipFile closed;
  try {
    closed.ExtractAll(tmp / "out");
    FAIL() << "extracted from a closed archive";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "File must be open for reading");
  }
}

TEST(ZipFileTest, MoreThan65535EntriesComeOutWholeOrNotAtAll) {
  TempDir tmp;
  // Directory entries cost the file system nothing after the first; the file at the end comes
  // out only if every entry before it was read.
  std::vector<ZipEntry> entries(69'999, {.name = "d/", .data = "", .method = 0});
  entries.push_back({.name = "d/last.txt", .data = "70000"});
  // With the ZIP64 end record, as zip and Python write it, every entry comes out.
  ASSERT_EQ(UnpackBytes(tmp, BuildZip(entries, "", {.zip64_end = true}).bytes, "out"), "");
  EXPECT_EQ(ReadFile(tmp / "out\\d\\last.txt"), "70000");
  {
    TZipFile zip;
    zip.Open(tmp / "pkg.zip", zmRead);
    EXPECT_EQ(zip.FileCount(), 70'000u);
  }

  // Without it the 16-bit count cannot be the whole directory: nothing is extracted.
  const struct {
    const char* what;
    test::ZipLayout layout;
  } cases[] = {
      {"count wrapped to 4,464", {}},
      {"count stuck at 65,535", {.end_count = 0xFFFF}},
      {"count above the directory's size", {.end_count = 3}},
  };
  for (const auto& c : cases) {
    const std::vector<ZipEntry> some(entries.begin(),
                                     c.layout.end_count == 3 ? entries.begin() + 2 : entries.end());
    EXPECT_EQ(UnpackBytes(tmp, BuildZip(some, "", c.layout).bytes, "cut"),
              "Zip central directory does not match its entry count")
        << c.what;
    EXPECT_FALSE(platform::DirectoryExists(tmp / "cut")) << c.what;
  }
}

TEST(ZipFileTest, Zip64ExtraFieldAndEndRecord) {
  const std::string text = "sizes and offsets in 64 bits\n";
  // Another field before the ZIP64 one: the fields are walked by their lengths.
  const std::string timestamp = std::string("\x55\x54\x05\x00\x01", 5) + "abcd";
  const std::vector<ZipEntry> entries = {
      {.name = "deflated.txt", .data = text, .zip64 = true},
      {.name = "stored.txt", .data = text + text, .method = 0, .zip64 = true},
      {.name = "after.txt", .data = "32-bit", .central_extra = timestamp, .zip64 = true},
      {.name = "plain.txt", .data = "no ZIP64"},
  };
  const auto good = BuildZip(entries, "", {.zip64_end = true});
  {
    TempDir tmp;
    ASSERT_EQ(UnpackBytes(tmp, good.bytes, "out"), "");
    EXPECT_EQ(ReadFile(tmp / "out\\deflated.txt"), text);
    EXPECT_EQ(ReadFile(tmp / "out\\stored.txt"), text + text);
    EXPECT_EQ(ReadFile(tmp / "out\\after.txt"), "32-bit");
    EXPECT_EQ(ReadFile(tmp / "out\\plain.txt"), "no ZIP64");
    TZipFile zip;
    zip.Open(tmp / "pkg.zip", zmRead);
    EXPECT_EQ(zip.FileInfo(1).UncompressedSize, 2 * text.size());
    EXPECT_EQ(zip.FileInfo(1).LocalHeaderOffset, good.local_offsets[1]);
  }
  const struct {
    const char* what;
    test::ZipLayout layout;
  } broken[] = {
      {"ZIP64 end record not where the locator says", {.zip64_end = true, .zip64_end_offset = 4}},
      {"ZIP64 end record after its locator",
       {.zip64_end = true, .zip64_end_offset = good.end_offset - 10}},
      {"ZIP64 end record beyond the file", {.zip64_end = true, .zip64_end_offset = ~0ull}},
  };
  for (const auto& c : broken) {
    TempDir tmp;
    EXPECT_EQ(UnpackBytes(tmp, BuildZip(entries, "", c.layout).bytes, "out"),
              "Error reading zip file")
        << c.what;
  }
}

TEST(ZipFileTest, RefusesEntriesWhoseDataOverlap) {
  // Ten entries over one deflated block: the shape of an archive that writes 2 GB from 204 KB.
  const std::string zeros(1 << 20, '\0');
  std::vector<ZipEntry> shared = {{.name = "kernel.bin", .data = zeros}};
  for (int i = 1; i < 10; ++i) {
    shared.push_back(
        {.name = "copy" + std::to_string(i) + ".bin", .data = zeros, .shares_previous = true});
  }
  // The compressed size reaches into the next local header only once the local name is counted,
  // which is known when the entry is extracted.
  const std::vector<ZipEntry> into_next = {
      {.name = "a.txt", .data = "AAAA", .method = 0, .compressed_size = 5},
      {.name = "b.txt", .data = "B", .method = 0},
  };
  const struct {
    const char* what;
    std::vector<ZipEntry> entries;
    const char* refused;
  } cases[] = {
      {"entries sharing one local header", shared, "copy1.bin"},
      {"data running into the next entry", into_next, "a.txt"},
  };
  for (const auto& c : cases) {
    TempDir tmp;
    EXPECT_EQ(UnpackBytes(tmp, BuildZip(c.entries).bytes, "out"),
              std::string("Zip entry \"") + c.refused +
                  "\" overlaps another entry's data (possible zip bomb)")
        << c.what;
    EXPECT_EQ(CountFiles(tmp / "out"), 0u) << c.what;
  }
}

TEST(ZipFileTest, ExtractsStoredAndDeflatedEntriesIntoSubdirectories) {
  TempDir tmp;
  std::string big;
  for (int i = 0; big.size() < 3'000'000; ++i)
    big += "linha " + std::to_string(i * 7919 % 100003) + "\n";
  std::string noise(300'000, '\0');
  std::uint32_t x = 12345;
  for (char& c : noise) c = static_cast<char>((x = x * 1103515245 + 12345) >> 24);
  Put(tmp / "out\\old.txt", "old contents that are longer");
  Put(tmp / "out\\keep.txt", "not in the archive");
  const auto image = BuildZip({
      {.name = "old.txt", .data = "new", .method = 0},
      {.name = "sub/dir/file.txt", .data = "deep"},
      {.name = "sub/", .data = "", .method = 0},
      {.name = "empty/", .data = "", .method = 0},
      {.name = "empty.txt", .data = "", .method = 0},
      {.name = "big.txt", .data = big},
      {.name = "noise.bin", .data = noise, .method = 0},
      {.name = "a/./b/../c.txt", .data = "inside"},
  });
  ASSERT_EQ(UnpackBytes(tmp, image.bytes, "out"), "");
  EXPECT_EQ(ReadFile(tmp / "out\\old.txt"), "new");
  EXPECT_EQ(ReadFile(tmp / "out\\keep.txt"), "not in the archive");
  EXPECT_EQ(ReadFile(tmp / "out\\sub\\dir\\file.txt"), "deep");
  EXPECT_TRUE(platform::DirectoryExists(tmp / "out\\empty"));
  EXPECT_EQ(Names(tmp / "out\\empty"), std::vector<std::string>{});
  EXPECT_EQ(ReadFile(tmp / "out\\empty.txt"), "");
  EXPECT_EQ(ReadFile(tmp / "out\\big.txt"), big);
  EXPECT_EQ(ReadFile(tmp / "out\\noise.bin"), noise);
  EXPECT_EQ(ReadFile(tmp / "out\\a\\c.txt"), "inside");
  EXPECT_EQ(Names(tmp / "out"),
            (std::vector<std::string>{"a", "big.txt", "empty", "empty.txt", "keep.txt", "noise.bin",
                                      "old.txt", "sub"}));
}

TEST(ZipFileTest, NamesFromCodePage437Utf8AndTheUnicodePathField) {
  TempDir tmp;
  const std::string cedilla_437 = "\x87";
  const std::string utf8 = "a\xC3\xA7\xC3\xA3o.txt";  // "ação.txt"
  const std::string stored = "ACAO.TXT";
  const struct {
    const char* what;
    ZipEntry entry;
    std::string expected;  // UTF-8 name in the directory
  } cases[] = {
      {"0x87, bit 11 clear", {.name = cedilla_437 + ".txt", .data = "1"}, "\xC3\xA7.txt"},
      {"box and sharp s from the upper half",
       {.name = "\xE1\xB0.txt", .data = "1"},
       "\xC3\x9F\xE2\x96\x91.txt"},
      {"UTF-8, bit 11 set", {.name = utf8, .data = "2", .flag = 0x0800}, utf8},
      {"Unicode path field with the name's CRC",
       {.name = stored, .data = "3", .local_extra = UnicodePathField(utf8, test::Crc32(stored))},
       utf8},
      // The field is found at any byte offset, not only at field boundaries.
      {"Unicode path field after one odd byte",
       {.name = stored,
        .data = "4",
        .local_extra = std::string(1, '\x01') + UnicodePathField(utf8, test::Crc32(stored))},
       utf8},
      {"Unicode path field with a wrong CRC",
       {.name = "B.TXT", .data = "5", .local_extra = UnicodePathField(utf8, 0x12345678)},
       "B.TXT"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    ASSERT_EQ(UnpackBytes(dir, BuildZip({c.entry}).bytes, "out"), "") << c.what;
    EXPECT_EQ(Names(dir / "out"), std::vector<std::string>{c.expected}) << c.what;
  }
  EXPECT_EQ(Cp437ToText("\x80\x9E\xA9\xFE\xFF"),
            "\xC3\x87\xE2\x82\xA7\xE2\x8C\x90\xE2\x96\xA0\xC2\xA0");
}

TEST(ZipFileTest, RefusesNamesOutsideTheTargetInvalidCharactersDevicesAndBadUtf8) {
  const std::string bad_utf8 = "Invalid UTF-8 in zip entry name";
  const struct {
    std::string name;
    std::string error;  // "outside" and "device X" stand for those refusals; "" extracts
    std::uint16_t flag = 0;
    std::string local_extra = "";
  } cases[] = {
      {"../evil.txt", "outside"},
      {"sub/../../evil.txt", "outside"},
      {".. /evil.txt", "outside"},  // Windows may drop the trailing blank
      {".../evil.txt", "outside"},  // and the trailing dots: "..." may act as ".."
      {"...", "outside"},
      {"/evil.txt", "outside"},
      {"\\evil.txt", "outside"},
      {"C:\\evil.txt", "outside"},
      {"c:evil.txt", "outside"},
      {"a<b.txt", "Invalid characters in path"},
      {"a|b.txt", "Invalid characters in path"},
      {"ab:c.txt", "Invalid characters in path"},
      {Bytes("tab\there"), "Invalid characters in path"},
      // Device names, whatever the case, extension or depth: the data would go to the device.
      {"NUL", "device NUL"},
      {"nul.txt", "device nul.txt"},
      {"sub/COM1", "device COM1"},
      {"sub/AUX .c/x.txt", "device AUX .c"},
      {"Lpt9.log", "device Lpt9.log"},
      {"CON.tar.gz", "device CON.tar.gz"},
      {"conout$", "device conout$"},
      {"COM\xC2\xB9.txt", "device COM\xC2\xB9.txt", 0x0800},
      {"NULL.txt", ""},
      {"console.txt", ""},
      {"COM10", ""},
      {"lpt", ""},
      {"sub.nul", ""},
      // Malformed UTF-8 is refused, not decoded: C0 AF is not "/".
      {"a\xC0\xAF..\xC0\xAF..\xC0\xAF"
       "evil.txt",
       bad_utf8, 0x0800},
      {"\xE0\x80\xAF.txt", bad_utf8, 0x0800},
      {"\xED\xA0\x80.txt", bad_utf8, 0x0800},      // a surrogate
      {"\xF4\x90\x80\x80.txt", bad_utf8, 0x0800},  // above U+10FFFF
      {"\xC3.txt", bad_utf8, 0x0800},
      {"\xFF.txt", bad_utf8, 0x0800},
      {"\xF0\x9F\x93\xA6.txt", "", 0x0800},
      {"PLAIN.TXT", bad_utf8, 0, UnicodePathField("a\xC0\xAF.txt", test::Crc32("PLAIN.TXT"))},
  };
  for (const auto& c : cases) {
    TempDir tmp;
    const auto image = BuildZip({{.name = "first.txt", .data = "ok"},
                                 {.name = c.name,
                                  .data = "bad",
                                  .method = 0,
                                  .flag = c.flag,
                                  .local_extra = c.local_extra}});
    const std::string error = UnpackBytes(tmp, image.bytes, "pkg\\out");
    std::string shown = c.name;
    for (char& ch : shown) ch = ch == '/' ? '\\' : ch;
    if (c.error == "outside") {
      EXPECT_EQ(error, "Zip entry \"" + shown + "\" would be written outside \"" +
                           (tmp / "pkg\\out") + "\"")
          << c.name;
    } else if (c.error.rfind("device ", 0) == 0) {
      EXPECT_EQ(error, "Invalid file name in zip entry \"" + shown + "\": \"" + c.error.substr(7) +
                           "\" is a device name")
          << c.name;
    } else {
      EXPECT_EQ(error, c.error) << c.name;
    }
    // Nothing written beside the target, the first entry extracted.
    EXPECT_EQ(Names(tmp / "pkg"), std::vector<std::string>{"out"}) << c.name;
    if (c.error.empty()) {
      EXPECT_EQ(ReadFile(tmp / ("pkg\\out\\" + shown)), "bad") << c.name;
    } else {
      EXPECT_EQ(Names(tmp / "pkg\\out"), std::vector<std::string>{"first.txt"}) << c.name;
    }
    EXPECT_FALSE(platform::FileExists(tmp / "evil.txt"));
  }
}

TEST(ZipFileTest, DeepNamesUpToThePathLimitAndNoFurther) {
  TempDir tmp;
  std::string fits, deep;
  for (int i = 0; i < 40; ++i) fits += "d/";
  for (int i = 0; i < 20000; ++i) deep += "d/";
  const auto image =
      BuildZip({{.name = fits + "ok.txt", .data = "ok"}, {.name = deep + "x.txt", .data = "x"}});
  const std::string error = UnpackBytes(tmp, image.bytes, "out");
  const std::string path = tmp / "out\\" + std::string(deep.size(), '\0') + "x.txt";
  EXPECT_EQ(error.rfind("Path of zip entry is too long (" + std::to_string(path.size()) +
                            " bytes): \"" + (tmp / "out\\d\\d\\"),
                        0),
            0u)
      << error.substr(0, 200);
  EXPECT_LT(error.size(), 300u);
  std::string level = tmp / "out\\";
  for (int i = 0; i < 40; ++i) level += "d\\";
  EXPECT_EQ(ReadFile(level + "ok.txt"), "ok");
  EXPECT_EQ(Names(level), std::vector<std::string>{"ok.txt"})
      << "a level beyond the entry that fits";
}

TEST(ZipFileTest, DamagedDataFailsAndLeavesNoFileBehind) {
  const std::string text = "a line that deflate compresses\n";
  std::string long_text;
  for (int i = 0; i < 2000; ++i) long_text += text;
  const std::string deflated = test::Deflate(long_text);
  std::string garbled = deflated;
  garbled[0] = '\xFF';  // block type 3 does not exist
  const struct {
    const char* what;
    ZipEntry entry;
    std::string error;
  } cases[] = {
      {"deflate data garbled",
       {.name = "x.txt", .data = long_text, .payload = garbled},
       "data error"},
      {"deflate data cut",
       {.name = "x.txt", .data = long_text, .payload = deflated.substr(0, 40)},
       "Stream read error"},
      {"deflate stream ends before the size",
       {.name = "x.txt", .data = long_text, .payload = test::Deflate(text)},
       "Stream read error"},
      {"stored data cut",
       {.name = "x.txt", .data = long_text, .method = 0, .payload = text},
       "Stream read error"},
      {"wrong CRC-32", {.name = "x.txt", .data = long_text, .crc = 0xDEADBEEF}, "CRC"},
      {"unknown method",
       {.name = "x.txt", .data = "x", .method = 12, .payload = "x"},
       "Item not found"},
  };
  for (const auto& c : cases) {
    TempDir tmp;
    Put(tmp / "out\\x.txt", "previous");
    // The faulty entry is the last thing in the file: its data runs into the directory or
    // the end of the file, never into another entry.
    const std::string error = UnpackBytes(tmp, BuildZip({c.entry}).bytes, "out");
    if (c.error == "CRC") {
      EXPECT_EQ(
          error, "CRC-32 error in zip entry \"" + (tmp / "out\\x.txt") +
                     "\": expected DEADBEEF, found " +
                     [&] {
                       char hex[9];
                       std::snprintf(hex, sizeof(hex), "%08X", test::Crc32(long_text));
                       return std::string(hex);
                     }())
          << c.what;
    } else {
      EXPECT_EQ(error, c.error) << c.what;
    }
    const bool untouched = c.error == "Item not found";
    EXPECT_EQ(platform::FileExists(tmp / "out\\x.txt"), untouched) << c.what;
  }
}

// What a window showing the extraction gets: every entry and byte counted, large entries
// reported while they are written, and a way to stop that leaves no half-written file.
TEST(ZipFileTest, ProgressCountsEveryEntryAndByteAndCanStopTheExtraction) {
  TempDir tmp;
  const std::string big(1'000'000, 'b');
  const auto image = BuildZip({
      {.name = "a.txt", .data = "aaaa"},
      {.name = "dir/", .data = "", .method = 0},
      {.name = "dir/big.bin", .data = big, .method = 0},
      {.name = "z.txt", .data = "zz"},
  });
  test::WriteArchive(tmp / "pkg.zip", image.bytes);
  TZipFile zip;
  zip.Open(tmp / "pkg.zip", zmRead);
  std::vector<TZipProgress> seen;
  zip.OnProgress = [&](const TZipProgress& p) { seen.push_back(p); };
  zip.ExtractAll(tmp / "out");
  ASSERT_FALSE(seen.empty());
  for (size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].entries_total, 4u);
    EXPECT_EQ(seen[i].bytes_total, big.size() + 6);
    if (i > 0) {
      EXPECT_GE(seen[i].bytes_done, seen[i - 1].bytes_done);
      EXPECT_GE(seen[i].entries_done, seen[i - 1].entries_done);
    }
  }
  EXPECT_EQ(seen.back().entries_done, 4u);
  EXPECT_EQ(seen.back().bytes_done, big.size() + 6);
  const auto midway = std::count_if(seen.begin(), seen.end(), [&](const TZipProgress& p) {
    return p.entries_done == 2 && p.bytes_done > 4 && p.bytes_done < big.size() + 4;
  });
  EXPECT_GE(midway, 5) << "the large entry is reported while it is written";

  // Stopped from the report in the middle of the large entry.
  TZipFile again;
  again.Open(tmp / "pkg.zip", zmRead);
  again.OnProgress = [&](const TZipProgress& p) {
    if (p.bytes_done > 500'000) throw Exception("stopped");
  };
  EXPECT_THROW(again.ExtractAll(tmp / "out2"), Exception);
  EXPECT_EQ(ReadFile(tmp / "out2\\a.txt"), "aaaa");
  EXPECT_FALSE(platform::FileExists(tmp / "out2\\dir\\big.bin"));
  EXPECT_FALSE(platform::FileExists(tmp / "out2\\z.txt"));
}

TEST(ZipFileTest, SetsModifiedTimeAndMsDosAttributes) {
  TempDir tmp;
  const auto before = std::chrono::system_clock::now() - std::chrono::seconds(5);
  const auto image = BuildZip({
      {.name = "stamped.txt", .data = "s", .modified = DosDateTime(2010, 2, 28, 23, 59, 58)},
      {.name = "month0.txt", .data = "m", .modified = DosDateTime(2010, 0, 10, 10, 0, 0)},
      {.name = "readonly.txt", .data = "r", .made_by = 0x0014, .external = 0x21},
      {.name = "unix-ro.txt", .data = "u", .made_by = 0x0314, .external = 0x01},
  });
  ASSERT_EQ(UnpackBytes(tmp, image.bytes, "out"), "");
  EXPECT_EQ(platform::FileLastWriteLocal(tmp / "out\\stamped.txt"),
            (platform::LocalDateTime{2010, 2, 28, 23, 59, 58}));

  // An impossible date leaves the time the file got when written.
  const auto month0 = platform::FileLastWriteLocal(tmp / "out\\month0.txt");
  ASSERT_TRUE(month0.has_value());
  std::tm tm{};
  tm.tm_year = month0->year - 1900, tm.tm_mon = month0->month - 1, tm.tm_mday = month0->day;
  tm.tm_hour = month0->hour, tm.tm_min = month0->minute, tm.tm_sec = month0->second;
  tm.tm_isdst = -1;
  EXPECT_GE(std::chrono::system_clock::from_time_t(std::mktime(&tm)), before);

  EXPECT_EQ(*platform::FileAttributesDos(tmp / "out\\readonly.txt") & platform::kAttrReadOnly,
            platform::kAttrReadOnly);
  EXPECT_EQ(*platform::FileAttributesDos(tmp / "out\\unix-ro.txt") & platform::kAttrReadOnly, 0u);

  // The same package again: the read-only file cannot be replaced.
  const std::string error = Unpack(tmp / "pkg.zip", tmp / "out");
  const std::string prefix = "Cannot create file \"" + (tmp / "out\\readonly.txt") + "\". ";
  EXPECT_EQ(error.rfind(prefix, 0), 0u) << error;
  EXPECT_GT(error.size(), prefix.size()) << "the system's text is missing";
  EXPECT_EQ(ReadFile(tmp / "out\\readonly.txt"), "r");
}

}  // namespace
}  // namespace vlt
