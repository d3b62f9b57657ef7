// The window program exactly as shell/main.cpp builds it (Qt window system, the machine's serial
// port, the application), with a script that plays the fitter: it waits for the controller, opens
// every page, switches the language both ways, changes the size, reads the controller version in
// the program-information box and quits through the File menu. Run in a working tree whose
// ports/COM1 leads to korvel-sim. Exit code 0 when every check held.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "link/serial_port.hpp"
#include "platform/qt/qt_host.hpp"
#include "platform/qt/qt_window.hpp"
#include "shell/application.hpp"

namespace {

using korvel::Application;
using korvel::QtHost;

int failures = 0;

void Check(bool condition, const std::string& what) {
  std::fprintf(stderr, "%s %s\n", condition ? "ok  " : "FAIL", what.c_str());
  if (!condition) ++failures;
}

std::string ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Lets the event loop run until `ready` holds or `limit_ms` have passed (slow sanitizer builds
// need longer than a fitter's eye). Returns whether it holds.
bool WaitUntil(const std::function<bool()>& ready, int limit_ms) {
  QElapsedTimer clock;
  clock.start();
  while (!ready() && clock.elapsed() < limit_ms) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return ready();
}

QLabel* ControllerVersionLabel() {
  auto* dialog = dynamic_cast<korvel::QtDialogWidget*>(QApplication::activeModalWidget());
  if (dialog == nullptr || dialog->Window().TemplateId() != 103) return nullptr;
  return dynamic_cast<QLabel*>(dialog->Window().ControlWidget(1125));
}

int PageTemplate(Application& app) {
  auto* window = dynamic_cast<korvel::QtWindow*>(app.main_window.state.page);
  return window != nullptr ? window->TemplateId() : 0;
}

// Steps run one after another on the event loop, each a little after the previous one, so the
// pages paint and poll in between as they do for a fitter.
class Script {
 public:
  void Add(int delay_ms, std::function<void()> step) { steps_.push_back({delay_ms, std::move(step)}); }
  void Start() { Next(); }

 private:
  struct Step {
    int delay_ms;
    std::function<void()> run;
  };
  void Next() {
    if (index_ >= steps_.size()) return;
    const Step& step = steps_[index_++];
    QTimer::singleShot(step.delay_ms, [this, &step] {
      step.run();
      Next();
    });
  }
  std::vector<Step> steps_;
  size_t index_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication qt_application(argc, argv);
  QtHost host(qt_application);
  const auto port = korvel::CreateSystemSerialPort();
  Application app(*port, host);
  if (!app.Start()) {
    std::fprintf(stderr, "FAIL the main window could not be created\n");
    return 2;
  }
  host.ShowMainWindow();

  // Nothing may hang a test run: give up after a minute.
  QTimer::singleShot(60000, [] {
    std::fprintf(stderr, "FAIL the script did not finish in time\n");
    std::_Exit(3);
  });

  Script script;
  script.Add(500, [&] {
    Check(WaitUntil([&] { return app.link.Connected() && app.link.LiveDataRecord[0] == 0x65; }, 20000),
          "the controller answers on COM1");
    Check(ReadFile("Korvel.ini") == "[Ustawienia]\nCommPort= 1\nLanguage= pol\n", "Korvel.ini holds the defaults");
    Check(PageTemplate(app) == 101, "the Readings page is shown");
    Check(host.CurrentMenuId() == 148, "the Polish menu bar is set");
    Check(app.link.LiveDataRecord[0] == 0x65, "live data arrives");
  });
  const struct {
    int command;
    int view;
    int caption;
  } pages[] = {{40006, 2, 176}, {40007, 3, 177}, {40013, 4, 178}, {40008, 5, 179}, {40010, 6, 180}, {40005, 1, 175}};
  // Menu commands reach the window after the menu has closed, as a posted command: each check
  // runs a little after its command.
  for (const auto& p : pages) {
    script.Add(300, [&host, p] { host.TriggerMenuCommand(p.command); });
    script.Add(300, [&host, &app, p] {
      Check(app.shared.ViewId == p.view && app.main_window.state.page != nullptr,
            "page " + std::to_string(p.view) + " from command " + std::to_string(p.command));
      Check(host.MainWidget()->windowTitle().toStdString() == korvel::Cp1250ToUtf8(app.texts.Text(p.caption)),
            "caption of page " + std::to_string(p.view) + ": " + host.MainWidget()->windowTitle().toStdString());
    });
  }
  // The Options page writes a choice over the real port: 8000 rpm for LPG off goes out as its
  // period in two writes, and the next poll brings it back from the controller.
  script.Add(300, [&host] { host.TriggerMenuCommand(40007); });
  script.Add(300, [&] {
    auto* page = dynamic_cast<korvel::QtWindow*>(app.main_window.state.page);
    auto* list = page != nullptr ? dynamic_cast<QComboBox*>(page->ControlWidget(1050)) : nullptr;
    Check(list != nullptr && list->count() == 41, "the Options page holds the LPG-off list");
    if (list == nullptr || list->count() != 41) return;
    list->setCurrentIndex(40);
    Q_EMIT list->activated(40);  // as the list does when the fitter picks an entry
  });
  script.Add(300, [&] {
    Check(WaitUntil([&] { return app.link.OptionsRecord[11] == 0x53 && app.link.OptionsRecord[12] == 0x07; }, 20000),
          "the controller holds LPG off at 8000 rpm");
    host.TriggerMenuCommand(40005);
  });
  script.Add(300, [&] { host.TriggerMenuCommand(40034); });
  script.Add(300, [&] {
    Check(host.CurrentMenuId() == 177, "English menu bar");
    Check(ReadFile("Korvel.ini") == "[Ustawienia]\nCommPort= 1\nLanguage= ang\n", "English kept in Korvel.ini");
    Check(PageTemplate(app) == 101, "the Readings page rebuilt in English");
    Check(host.MenuItemState(40034).checked && !host.MenuItemState(40036).checked, "English item checked");
    host.TriggerMenuCommand(40006);
  });
  script.Add(300, [&] {
    Check(PageTemplate(app) == korvel::ConfigurationTemplateFor(app.shared.SizeClass), "Configuration in English");
    host.TriggerMenuCommand(40028);
  });
  script.Add(300, [&] {
    Check(app.shared.SizeClass == 1 && app.shared.page_width == 640, "size class 1 chosen");
    Check(PageTemplate(app) == 106, "Configuration rebuilt for size class 1");
    Check(host.MenuItemState(40028).checked, "640x480 checked");
    host.TriggerMenuCommand(40036);
  });
  script.Add(300, [&] {
    Check(host.CurrentMenuId() == 148, "Polish menu bar again");
    Check(host.MenuItemState(40028).checked, "640x480 still checked after the language change");
    Check(host.MenuItemState(40019).checked, "COM 1 still checked after the language change");
    host.TriggerMenuCommand(40005);
  });
  // The program-information box runs its own event loop; the next step runs inside it.
  script.Add(300, [&] { host.TriggerMenuCommand(40003); });
  script.Add(300, [&] {
    const bool shown = WaitUntil([] { return ControllerVersionLabel() != nullptr; }, 20000);
    Check(shown, "the program-information box is open");
    if (!shown) return;
    Check(app.shared.BusyFlag, "page timers stand still while the box is open");
    WaitUntil([] { return !ControllerVersionLabel()->text().isEmpty(); }, 20000);
    const std::string readout = ControllerVersionLabel()->text().toStdString();
    Check(readout == "2.05", "controller version read-out \"" + readout + "\"");
    QApplication::activeModalWidget()->close();  // the close box
  });
  script.Add(300, [&] {
    Check(QApplication::activeModalWidget() == nullptr, "the box is closed");
    Check(!app.shared.BusyFlag, "the box clears the busy flag when closed");
  });
  script.Add(400, [&] { host.TriggerMenuCommand(40002); });
  script.Start();

  const int code = host.RunMessageLoop();
  Check(code == 0, "the program ends with exit code 0");
  std::fprintf(stderr, "%d failure(s)\n", failures);
  return failures == 0 ? 0 : 1;
}
