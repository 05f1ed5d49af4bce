#include "tests/support/temp_dir.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include "platform/files.h"
#include "platform/process.h"

namespace fs = std::filesystem;

namespace vlt::test {
namespace {

std::string Unique() {
  static std::atomic<int> counter{0};
  std::random_device rd;
  return "vlt-" + std::to_string(rd() % 1000000) + "-" + std::to_string(counter++);
}

}  // namespace

TempDir::TempDir() {
  const fs::path base = fs::temp_directory_path() / Unique();
  fs::create_directories(base);
#ifdef _WIN32
  host_ = base.u8string().empty() ? "" : reinterpret_cast<const char*>(base.u8string().c_str());
  path_ = host_ + "\\";
#else
  host_ = base.string();
  fs::create_directories(base / "C");
  platform::SetNativeDriveRoot(host_);
  path_ = "C:\\";
#endif
}

TempDir::~TempDir() {
  std::error_code ec;
  // Read-only entries would stop remove_all on Windows.
  for (auto it = fs::recursive_directory_iterator(fs::u8path(host_), ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(fs::u8path(host_), ec);
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(fs::u8path(platform::HostPath(path)), std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(fs::u8path(platform::HostPath(path)), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string HelperProgram(const std::string& name) {
#ifdef _WIN32
  return HelperFile(name + ".exe");
#else
  return HelperFile(name);
#endif
}

std::string HelperFile(const std::string& file_name) {
#ifdef _WIN32
  return platform::ExecutableDirectory() + "\\" + file_name;
#else
  return platform::ExecutableDirectory() + "/" + file_name;
#endif
}

}  // namespace vlt::test
