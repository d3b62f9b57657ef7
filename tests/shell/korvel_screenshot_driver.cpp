// Screenshots of the window program for reviews: builds the program exactly as shell/main.cpp does,
// opens the page given by its menu command, lets it poll the controller for a while and saves what
// the screen shows as a PNG. Run it under Xvfb with the screen size of the class wanted, in a
// working tree whose ports/COM1 leads to korvel-sim.
//   korvel_screenshot_driver MENU_COMMAND SECONDS OUTPUT.png
#include <QApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

#include "link/serial_port.hpp"
#include "platform/qt/qt_host.hpp"
#include "shell/application.hpp"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s MENU_COMMAND SECONDS OUTPUT.png\n", argv[0]);
    return 2;
  }
  const int command = std::atoi(argv[1]);
  const int wait_ms = static_cast<int>(std::atof(argv[2]) * 1000);
  const QString output = QString::fromLocal8Bit(argv[3]);

  QApplication qt_application(argc, argv);
  korvel::QtHost host(qt_application);
  const auto port = korvel::CreateSystemSerialPort();
  korvel::Application application(*port, host);
  if (!application.Start()) return 1;
  host.ShowMainWindow();
  QTimer::singleShot(500, [&host, command] { host.TriggerMenuCommand(command); });
  int result = 0;
  QTimer::singleShot(500 + wait_ms, [&] {
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    if (!shot.save(output)) result = 1;
    // A modal box (the program information) is closed by its close box before the program exits.
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    QTimer::singleShot(200, [&host] { host.TriggerMenuCommand(40002); });
  });
  const int loop = host.RunMessageLoop();
  return result != 0 ? result : loop;
}
