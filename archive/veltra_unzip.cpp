// veltra-unzip ARCHIVE DIR: extracts every entry of ARCHIVE into DIR as the installer does.
// Paths are host paths or Windows path texts.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "archive/zip_file.h"
#include "platform/paths.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: veltra-unzip ARCHIVE DIR\n");
    return 2;
  }
  try {
    vlt::TZipFile zip;
    zip.Open(argv[1], vlt::zmRead);
    // Directories are created from their parents up, and a relative path has none to start
    // from: make a relative host path absolute.
    std::string dir = argv[2];
    if (!dir.empty() && dir[0] != '/' && dir[0] != '\\' && vlt::platform::DriveLetter(dir) == 0) {
      dir = std::filesystem::absolute(dir).string();
    }
    zip.ExtractAll(dir);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "veltra-unzip: %s: %s\n", argv[1], e.what());
    return 1;
  }
  return 0;
}
