// veltra-unzip ARCHIVE DIR: extracts every entry of ARCHIVE into DIR as the installer does.
// Paths are host paths or Windows path texts.
#include <cstdio>
#include <exception>

#include "archive/zip_file.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: veltra-unzip ARCHIVE DIR\n");
    return 2;
  }
  try {
    vlt::TZipFile zip;
    zip.Open(argv[1], vlt::zmRead);
    zip.ExtractAll(argv[2]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "veltra-unzip: %s: %s\n", argv[1], e.what());
    return 1;
  }
  return 0;
}
