// The yardstick of bench/zip's Wine row: creates the files a manifest lists ("PATH<TAB>SIZE"
// lines, '/'-separated paths below DIR, parents listed before their files or made here) with
// nothing but CreateDirectoryW, CreateFileW, WriteFile and CloseHandle. What extraction costs
// beyond this loop is the reader's own.
//   bare_write.exe MANIFEST DIR
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

std::wstring Wide(const std::string& s) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: bare_write MANIFEST DIR\n");
    return 2;
  }
  std::ifstream manifest(argv[1]);
  const std::wstring root = Wide(argv[2]);
  std::set<std::wstring> made;
  std::vector<char> data(1 << 16, 'x');
  std::string line;
  while (std::getline(manifest, line)) {
    const size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    std::wstring path = root + L"\\" + Wide(line.substr(0, tab));
    for (wchar_t& c : path)
      if (c == L'/') c = L'\\';
    const unsigned long long size = std::stoull(line.substr(tab + 1));
    // Each parent once, from the top.
    for (size_t at = root.size() + 1; (at = path.find(L'\\', at)) != std::wstring::npos; ++at) {
      const std::wstring dir = path.substr(0, at);
      if (made.insert(dir).second) CreateDirectoryW(dir.c_str(), nullptr);
    }
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      std::fprintf(stderr, "bare_write: cannot create %s\n", line.c_str());
      return 1;
    }
    for (unsigned long long left = size; left > 0;) {
      const DWORD chunk = static_cast<DWORD>(left < data.size() ? left : data.size());
      DWORD put = 0;
      if (!WriteFile(h, data.data(), chunk, &put, nullptr) || put == 0) return 1;
      left -= put;
    }
    CloseHandle(h);
  }
  return 0;
}
