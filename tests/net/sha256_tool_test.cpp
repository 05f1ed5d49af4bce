// The SHA-256 against the system's sha256sum on random data (native build).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "net/sha256.h"

namespace vlt::net {
namespace {

std::string Sha256sumOf(const std::filesystem::path& file) {
  const std::string cmd = "sha256sum '" + file.string() + "'";
  FILE* out = popen(cmd.c_str(), "r");
  if (out == nullptr) return "popen failed";
  char line[256] = {};
  const bool read = std::fgets(line, sizeof line, out) != nullptr;
  pclose(out);
  return read ? std::string(line).substr(0, 64) : "no output from sha256sum";
}

TEST(Sha256, AgreesWithSha256sumOnRandomData) {
  std::mt19937_64 random(20);
  const auto dir = std::filesystem::temp_directory_path() /
                   ("vlt_sha256_" + std::to_string(random() % 1000000000));
  std::filesystem::create_directories(dir);
  const auto file = dir / "data";
  for (size_t size : {size_t{1}, size_t{119}, size_t{4096}, size_t{65537}, size_t{3000001}}) {
    SCOPED_TRACE(size);
    std::string data(size, '\0');
    for (char& c : data) c = static_cast<char>(random());
    std::ofstream(file, std::ios::binary).write(data.data(), static_cast<std::streamsize>(size));
    const std::string expected = Sha256sumOf(file);
    // The portable rounds, and the processor's SHA instructions where it has them; pieces of
    // random length, as reads from a socket or a file come.
    for (bool hardware : {false, true}) {
      if (hardware && !Sha256::HardwareAvailable()) continue;
      Sha256::UseHardware(hardware);
      Sha256 hash;
      for (size_t at = 0; at < size;) {
        const size_t piece = 1 + random() % 70000;
        hash.Update(std::string_view(data).substr(at, piece));
        at += piece;
      }
      EXPECT_EQ(hash.HexDigest(), expected) << (hardware ? "SHA instructions" : "portable");
    }
    Sha256::UseHardware(true);
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace vlt::net
