// Archives made by Debian's zip, extracted by TZipFile (native build).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "archive/zip_file.h"
#include "platform/files.h"
#include "platform/process.h"
#include "tests/archive/zip_builder.h"
#include "tests/support/temp_dir.h"

namespace vlt {
namespace {

namespace fs = std::filesystem;

TEST(ZipInteropTest, TreeZippedByTheZipToolComesBackByteForByte) {
  if (std::system("zip -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "zip is not installed";
  test::TempDir tmp;
  const fs::path host = platform::HostPath(tmp / "");
  const fs::path src = host / "src";
  std::uint32_t x = 7;
  for (int i = 0; i < 60; ++i) {
    const fs::path dir = src / ("d" + std::to_string(i % 4)) / ("e" + std::to_string(i % 3));
    fs::create_directories(dir);
    std::string data;
    for (int k = 0; k < i * 997; ++k) {
      x = x * 1103515245 + 12345;
      data += static_cast<char>(i % 2 ? 'a' + (x >> 24) % 6 : (x >> 24));
    }
    std::ofstream(dir / ("f" + std::to_string(i) + ".bin"), std::ios::binary) << data;
  }
  fs::create_directories(src / "empty");
  for (const char* level : {"-0", "-6", "-9"}) {
    const std::string zip = (host / (std::string("t") + level + ".zip")).string();
    const std::string cmd = "cd '" + src.string() + "' && zip -q -r " + level + " '" + zip + "' .";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    std::ifstream in(zip, std::ios::binary);
    test::WriteArchive(tmp / "copy.zip", std::string(std::istreambuf_iterator<char>(in), {}));

    const fs::path out = host / (std::string("out") + level);
    TZipFile archive;
    archive.Open(zip, zmRead);
    archive.ExtractAll(out.string());
    const std::string diff = "diff -r '" + src.string() + "' '" + out.string() + "'";
    EXPECT_EQ(std::system(diff.c_str()), 0) << level;
  }
}

TEST(ZipInteropTest, SeventyThousandEntriesFromPythonsZipfile) {
  if (std::system("/usr/bin/python3 -c 'import zipfile' 2>/dev/null") != 0) {
    GTEST_SKIP() << "python3 is not installed";
  }
  test::TempDir tmp;
  const fs::path host = platform::HostPath(tmp / "");
  // Directory entries keep the extraction cheap; zipfile writes the ZIP64 end record past
  // 65,535 entries.
  const std::string script =
      "import sys, warnings, zipfile\n"
      "warnings.simplefilter('ignore')\n"
      "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
      "    for i in range(69999): z.writestr('d/', b'')\n"
      "    z.writestr('d/last.txt', b'70000')\n";
  std::ofstream(host / "make.py") << script;
  const std::string zip = (host / "py.zip").string();
  const std::string cmd = "/usr/bin/python3 '" + (host / "make.py").string() + "' '" + zip + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  std::ifstream in(zip, std::ios::binary);
  test::WriteArchive(tmp / "copy.zip", std::string(std::istreambuf_iterator<char>(in), {}));

  TZipFile archive;
  archive.Open(zip, zmRead);
  EXPECT_EQ(archive.FileCount(), 70'000u);
  archive.ExtractAll((host / "out").string());
  EXPECT_EQ(test::ReadFile(tmp / "out\\d\\last.txt"), "70000");
}

TEST(ZipInteropTest, VeltraUnzipExtractsAndReportsFailuresWithAnExitCode) {
  test::TempDir tmp;
  const std::string tool = platform::ExecutableDirectory() + "/../archive/veltra-unzip";
  const fs::path host = platform::HostPath(tmp / "");
  test::WriteArchive(tmp / "ok.zip", test::BuildZip({{.name = "a/b.txt", .data = "bee"}}).bytes);
  test::WriteFile(tmp / "bad.zip", "not an archive");
  const auto run = [&](const std::string& archive) {
    const std::string cmd = "'" + tool + "' '" + (host / archive).string() + "' '" +
                            (host / "out").string() + "' 2>'" + (host / "err.txt").string() + "'";
    const int rc = std::system(cmd.c_str());
    std::ifstream err(host / "err.txt");
    return std::make_pair(rc, std::string(std::istreambuf_iterator<char>(err), {}));
  };
  EXPECT_EQ(run("ok.zip").first, 0);
  EXPECT_EQ(test::ReadFile(tmp / "out\\a\\b.txt"), "bee");
  // A relative DIR is taken from the current directory.
  const std::string relative = "cd '" + host.string() + "' && '" + tool + "' ok.zip rel/x";
  EXPECT_EQ(std::system(relative.c_str()), 0);
  EXPECT_EQ(test::ReadFile(tmp / "rel\\x\\a\\b.txt"), "bee");
  const auto [rc, message] = run("bad.zip");
  EXPECT_NE(rc, 0);
  EXPECT_NE(message.find("Error reading zip file"), std::string::npos) << message;
}

}  // namespace
}  // namespace vlt
