// korvel: the window program. It runs with its working directory holding "Korvel.ini" and with the
// language files in "../Lang/"; the port it opens is the one chosen in the Port menu.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "link/serial_port.hpp"
#include "platform/qt/qt_host.hpp"
#include "korvel_version.hpp"
#include "shell/application.hpp"

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("korvel %s (revision %s)\n", KORVEL_VERSION, KORVEL_REVISION);
    return 0;
  }
  QApplication qt_application(argc, argv);
  korvel::QtHost host(qt_application);
  const auto port = korvel::CreateSystemSerialPort();
  korvel::Application application(*port, host);
  const korvel::RestorePointFolder restore_points = korvel::RestorePointFolderFromEnvironment();
  application.safety.folder = restore_points.path;
  application.safety.folder_error = restore_points.reason;
  return application.Run();
}
