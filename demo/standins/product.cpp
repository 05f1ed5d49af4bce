// Stand-in for the product programs (estoque.exe, terminal.exe): shows which build it is.
#include <windows.h>

#ifndef VLT_PRODUCT_TEXT
#define VLT_PRODUCT_TEXT L"Quenda"
#endif

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  MessageBoxW(nullptr, VLT_PRODUCT_TEXT, L"Veltra", MB_OK | MB_ICONINFORMATION);
  return 0;
}
