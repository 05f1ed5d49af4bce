// libFuzzer target: arbitrary bytes as an archive, opened and extracted into a fresh
// directory. Crashes, hangs and sanitizer reports are findings; so is any file that appears
// outside the target directory.
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "archive/zip_file.h"
#include "platform/files.h"

namespace fs = std::filesystem;

namespace {

fs::path base;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/vlt-zip-fuzz-XXXXXX";
  if (mkdtemp(pattern) == nullptr) abort();
  base = pattern;
  // Drive C: of the Windows paths is base/C; the archive itself lies outside it.
  vlt::platform::SetNativeDriveRoot(base.string());
  // A small archive may announce gigabytes: cap every written file instead of the disk.
  const rlimit limit{64 << 20, 64 << 20};
  setrlimit(RLIMIT_FSIZE, &limit);
  signal(SIGXFSZ, SIG_IGN);
  std::atexit([] { fs::remove_all(base); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const fs::path drive = base / "C";
  fs::remove_all(drive);
  fs::create_directories(drive / "pacote" / "alvo");
  const fs::path archive = base / "entrada.zip";
  std::ofstream(archive, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  try {
    vlt::TZipFile zip;
    zip.Open(archive.string(), vlt::zmRead);
    zip.ExtractAll("C:\\pacote\\alvo\\");
  } catch (const vlt::Exception&) {
    // Refusing a damaged archive is the expected outcome for most inputs.
  }
  for (const fs::path& dir : {base, drive, drive / "pacote"}) {
    for (const auto& entry : fs::directory_iterator(dir)) {
      const std::string name = entry.path().filename().string();
      if (name != "C" && name != "entrada.zip" && name != "pacote" && name != "alvo") {
        std::fprintf(stderr, "file written outside the target: %s\n", entry.path().c_str());
        abort();
      }
    }
  }
  return 0;
}
