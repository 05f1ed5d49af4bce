// InstaladorVeltra: program start.
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <exception>

#include "app/main_window.h"
#include "controls/gdiplus_api.h"
#include "net/socket_layer.h"
#include "net/ssl_stream.h"
#include "platform/shell.h"
#include "platform/win_text.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // COM on the user-interface thread, for the desktop shortcut and the folder picker.
  vlt::platform::ComSession com;
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  try {
    // The socket library first: without it nothing can be downloaded, and the start stops
    // with its message.
    vlt::net::SocketLayer sockets;
    // https package hosts: every socket gets the system's TLS.
    vlt::net::DefaultSecurityPlugin = vlt::net::SystemSecurityPlugin;
    // The drawing library of the gauges and the button pictures; without it they leave out
    // what only it draws.
    vlt::controls::GdiplusSession gdiplus;
    vlt::app::MainWindow window;
    window.Create();
    window.Show();
    return window.Run();
  } catch (const std::exception& e) {
    MessageBoxW(nullptr, vlt::platform::Widen(e.what()).c_str(), vlt::app::kApplicationTitle,
                MB_OK | MB_ICONSTOP);
    return 1;
  }
}
