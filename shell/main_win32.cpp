// korvel.exe: the window program on the Windows API. Like the program on Linux it runs with its
// working directory holding "Korvel.ini" and with the language files in "..\Lang\"; the port it
// opens is the one chosen in the Port menu.
#include "link/serial_port.hpp"
#include "platform/win32/win32_host.hpp"
#include "shell/application.hpp"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  korvel::Win32Host host(instance);
  const auto port = korvel::CreateSystemSerialPort();
  korvel::Application application(*port, host);
  const korvel::RestorePointFolder restore_points = korvel::RestorePointFolderFromEnvironment();
  application.safety.folder = restore_points.path;
  application.safety.folder_error = restore_points.reason;
  return application.Run();
}
