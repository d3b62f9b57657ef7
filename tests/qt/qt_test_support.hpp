#pragma once
#include <QApplication>
#include <QColor>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QImage>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/window.hpp"
#include "resources/dialog_templates.hpp"

namespace korvel::qt_test {

// One application for the whole test program (Qt allows only one); it stays reachable to the end.
inline QApplication& App() {
  static int argc = 1;
  static char name[] = "qt_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* application = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return new QApplication(argc, argv);
  }();
  return *application;
}

// Runs the event loop until `done` holds or `limit_ms` of real time have passed.
inline bool PumpUntil(const std::function<bool()>& done, int limit_ms = 2000) {
  QElapsedTimer elapsed;
  elapsed.start();
  while (!done()) {
    if (elapsed.elapsed() > limit_ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

inline void Pump(int ms) {
  QElapsedTimer elapsed;
  elapsed.start();
  while (elapsed.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Deletes the windows that were handed to deleteLater.
inline void FlushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

inline QColor PixelAt(const QImage& image, int x, int y) { return QColor(image.pixel(x, y)); }
inline QColor ToColour(Rgb rgb) { return QColor(rgb.r, rgb.g, rgb.b); }

// A page procedure that records what reaches it and can run test code on each message.
struct RecordingProc : WindowProc {
  struct Command {
    int id, code;
    friend bool operator==(const Command&, const Command&) = default;
  };
  struct ScrollRequest {
    int id;
    bool vertical;
    int request, position;
  };
  int inits = 0, paints = 0, destroys = 0;
  std::vector<Command> commands;
  std::vector<ScrollRequest> scrolls;
  std::vector<int> timers;
  std::function<void(Window&)> on_init, on_paint;
  std::function<void(Window&, int)> on_timer;
  std::function<void(Window&, int, int)> on_command;
  std::function<void(Window&, int, bool, int, int)> on_scroll;

  bool OnInitDialog(Window& window) override {
    ++inits;
    if (on_init) on_init(window);
    return true;
  }
  void OnPaint(Window& window) override {
    ++paints;
    if (on_paint) on_paint(window);
  }
  void OnTimer(Window& window, int timer_id) override {
    timers.push_back(timer_id);
    if (on_timer) on_timer(window, timer_id);
  }
  void OnCommand(Window& window, int control_id, int code) override {
    commands.push_back({control_id, code});
    if (on_command) on_command(window, control_id, code);
  }
  void OnScroll(Window& window, int control_id, bool vertical, int request, int position) override {
    scrolls.push_back({control_id, vertical, request, position});
    if (on_scroll) on_scroll(window, control_id, vertical, request, position);
  }
  void OnDestroy(Window& window) override {
    (void)window;
    ++destroys;
  }
  int TimerCount(int id) const {
    int count = 0;
    for (int t : timers) count += t == id ? 1 : 0;
    return count;
  }
};

// A main window procedure that records the order of what reaches it.
struct RecordingMain : MainWindowProcedure {
  std::vector<std::string> events;
  std::vector<int> commands;
  int paints = 0;
  std::function<void(int)> on_command;
  std::function<void()> on_create, on_close, on_destroy;

  void OnCreate() override {
    events.push_back("create");
    if (on_create) on_create();
  }
  void OnPaint() override {
    ++paints;
    events.push_back("paint");
  }
  void OnCommand(int id) override {
    commands.push_back(id);
    events.push_back("command " + std::to_string(id));
    if (on_command) on_command(id);
  }
  void OnClose() override {
    events.push_back("close");
    if (on_close) on_close();
  }
  void OnExitMenuLoop() override { events.push_back("exit menu loop"); }
  void OnDestroy() override {
    events.push_back("destroy");
    if (on_destroy) on_destroy();
  }
};

// A page template of the tests: font 12 (8 x 20 base units, 2 x 2.5 pixels per dialog unit).
// Control ids: 10 combo, 11 second combo (empty), 20 check box, 30 button, 40 sunken centred
// static, 41 hidden static, 50 horizontal scroll bar, 51 vertical scroll bar, 60 group box.
constexpr ControlTemplate kTestControls[] = {
    {60, ControlKind::kGroupBox, 200, 4, 190, 60, kStyleNone, "Grupa", 0},
    {10, ControlKind::kComboBox, 210, 16, 60, 60, kStyleNone, "", 0},
    {11, ControlKind::kComboBox, 280, 16, 60, 60, kStyleNone, "", 0},
    {20, ControlKind::kCheckBox, 210, 32, 80, 10, kStyleNone, "Kursor warto\x9C" "ci", 0},
    {30, ControlKind::kPushButton, 300, 32, 80, 14, kStyleNone, "\xA3\xF3" "d\x9F", 0},
    {40, ControlKind::kStatic, 210, 50, 100, 10, kSunken | kCentred | kVCentred, "\x8C" "ciana", 0},
    {41, ControlKind::kStatic, 320, 50, 60, 10, kHidden, "ukryty", 0},
    {50, ControlKind::kHScrollBar, 210, 70, 120, 8, kStyleNone, "", 0},
    {51, ControlKind::kVScrollBar, 380, 70, 8, 60, kStyleNone, "", 0},
};
inline DialogTemplate TestPageTemplate(int width_du = 400, int height_du = 228) {
  return DialogTemplate{9001, width_du, height_du, "MS Sans Serif", 12, false, "",
                        kTestControls, static_cast<int>(std::size(kTestControls))};
}

constexpr ControlTemplate kTestDialogControls[] = {
    {1125, ControlKind::kStatic, 10, 10, 100, 16, kSunken | kCentred | kVCentred, "", 0},
    {1, ControlKind::kPushButton, 40, 40, 50, 14, kStyleNone, "Zamknij", 0},
};
inline DialogTemplate TestDialogTemplate() {
  return DialogTemplate{9002, 140, 70, "MS Sans Serif", 10, true, "Informacje o programie",
                        kTestDialogControls, static_cast<int>(std::size(kTestDialogControls))};
}

}  // namespace korvel::qt_test
