// Screenshots of the window program for reviews: builds the program exactly as shell/main.cpp does,
// opens the page given by its menu command, lets it poll the controller for a while and saves what
// the screen shows as a PNG. Run it under Xvfb with the screen size of the class wanted, in a
// working tree whose ports/COM1 leads to korvel-sim.
//   korvel_screenshot_driver MENU_COMMAND SECONDS OUTPUT.png [ACTION]
// ACTION, one second after the page opened: "scroll-middle" moves every visible scroll bar's thumb
// to the middle of its range; "press" clicks the page's push button (the factory reset), so the
// message box that follows is in the picture. A number as ACTION is a control id: that push button
// of the page is pressed halfway through the wait (the Options page's corrections button opens its
// dialog, which the screenshot then shows). "cursor SLOT" (the Oscilloscope page) switches the
// value cursor on after SECONDS, as a click on its check box does, and moves it to history slot
// SLOT; the shot follows 1.5 s later (the X server shows the frozen page only after a while).
// "file-menu" opens the File menu for the shot. With KORVEL_RECORD_DRIVE=FILE in the environment
// the drive is recorded into FILE from the start, as File > Record drive... does.
#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "link/serial_port.hpp"
#include "pages/oscilloscope/oscilloscope_controls.hpp"
#include "platform/qt/qt_host.hpp"
#include "platform/qt/qt_window.hpp"
#include "shell/application.hpp"

int main(int argc, char** argv) {
  const bool cursor = argc == 6 && std::string(argv[4]) == "cursor";
  if (argc != 4 && argc != 5 && !cursor) {
    std::fprintf(stderr, "usage: %s MENU_COMMAND SECONDS OUTPUT.png [scroll-middle|press|CONTROL_ID|cursor SLOT]\n",
                 argv[0]);
    return 2;
  }
  const int cursor_slot = cursor ? std::atoi(argv[5]) : 0;
  const int cursor_ms = cursor ? 1500 : 0;
  const int command = std::atoi(argv[1]);
  const int wait_ms = static_cast<int>(std::atof(argv[2]) * 1000);
  const QString output = QString::fromLocal8Bit(argv[3]);
  const QString action = argc == 5 ? QString::fromLocal8Bit(argv[4]) : QString();
  const int control = action.toInt();

  QApplication qt_application(argc, argv);
  korvel::QtHost host(qt_application);
  const auto port = korvel::CreateSystemSerialPort();
  korvel::Application application(*port, host);
  if (!application.Start()) return 1;
  host.ShowMainWindow();
  if (const char* record = std::getenv("KORVEL_RECORD_DRIVE"); record != nullptr && *record != '\0') {
    if (!application.safety.StartRecording(record)) return 1;
  }
  QTimer::singleShot(500, [&host, command] { host.TriggerMenuCommand(command); });
  QTimer::singleShot(1500, [&action] {
    for (QWidget* widget : QApplication::allWidgets()) {
      if (!widget->isVisible()) continue;
      if (auto* bar = qobject_cast<QScrollBar*>(widget); bar != nullptr && action == "scroll-middle") {
        bar->setSliderPosition((bar->minimum() + bar->maximum()) / 2);  // a thumb track
      } else if (auto* bar_of_menus = qobject_cast<QMenuBar*>(widget);
                 bar_of_menus != nullptr && action == "file-menu" && !bar_of_menus->actions().isEmpty()) {
        QAction* file = bar_of_menus->actions().first();
        if (file->menu() != nullptr) file->menu()->popup(bar_of_menus->mapToGlobal(bar_of_menus->actionGeometry(file).bottomLeft()));
        break;
      } else if (auto* button = qobject_cast<QAbstractButton*>(widget); button != nullptr && action == "press") {
        // Queued: the click runs the message box's own loop, which the screenshot timer fires in.
        QTimer::singleShot(0, button, [button] { button->click(); });
        break;
      }
    }
  });
  int result = 0;
  if (control != 0) {
    QTimer::singleShot(500 + wait_ms / 2, [&application, &result, control] {
      auto* page = dynamic_cast<korvel::QtWindow*>(application.main_window.state.page);
      auto* button = page != nullptr ? dynamic_cast<QAbstractButton*>(page->ControlWidget(control)) : nullptr;
      if (button == nullptr) {
        std::fprintf(stderr, "no push button %d on the page\n", control);
        result = 1;
        return;
      }
      button->click();  // a modal dialog runs its own loop inside; the screenshot is taken there
    });
  }
  if (cursor) {
    QTimer::singleShot(500 + wait_ms, [&application, cursor_slot] {
      korvel::Window* page = application.main_window.state.page;
      if (page == nullptr) return;
      page->SetCheck(korvel::kValueCursorCheck, true);
      application.oscilloscope_page.OnCommand(*page, korvel::kValueCursorCheck, korvel::kButtonClicked);
      application.oscilloscope_page.OnScroll(*page, korvel::kCursorScrollBar, false, korvel::kScrollThumbTrack,
                                             cursor_slot);
    });
  }
  QTimer::singleShot(500 + wait_ms + cursor_ms, [&] {
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    if (!shot.save(output)) result = 1;
    // A modal box (the program information) is closed by its close box before the program exits.
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    QTimer::singleShot(200, [&host] { host.TriggerMenuCommand(40002); });
  });
  const int loop = host.RunMessageLoop();
  return result != 0 ? result : loop;
}
