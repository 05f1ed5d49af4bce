// Stand-in for the database comparison tool: records the two databases named in the
// CompDemo.Ini beside it.
#include <windows.h>

#include "demo/standins/record.h"

int wmain() {
  const std::wstring ini = vlt::demo::OwnDirectory() + L"CompDemo.Ini";
  wchar_t master[1024] = {}, target[1024] = {};
  GetPrivateProfileStringW(L"Databases", L"MasterDB", L"", master, 1024, ini.c_str());
  GetPrivateProfileStringW(L"Databases", L"TargetDB", L"", target, 1024, ini.c_str());
  vlt::demo::Record(L"databasecompare.log",
                    std::wstring(L"MasterDB=") + master + L"\r\nTargetDB=" + target);
  return 0;
}
