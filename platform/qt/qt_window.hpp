#pragma once
#include <QComboBox>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QRegion>
#include <QWidget>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/qt/qt_canvas.hpp"
#include "platform/window.hpp"
#include "resources/dialog_templates.hpp"

class QTimer;

namespace korvel {

class QtFontSet;
class QtBitmapCache;

// What a window needs from its host: the canvas fonts, the bitmaps and the control font of a
// template's font size.
class QtWindowServices {
 public:
  virtual ~QtWindowServices() = default;
  virtual const QtFontSet& CanvasFonts() = 0;
  virtual QtBitmapCache& Bitmaps() = 0;
  virtual QFont ControlFont(int base_width, int base_height) = 0;
};

// A drop-down list that reports its list being dropped down (7) and closed up (8), also when the
// list closes by a click elsewhere or has nothing to show.
class QtComboBox : public QComboBox {
 public:
  explicit QtComboBox(QWidget* parent);
  std::function<void(int code)> notify;

  void showPopup() override;
  void hidePopup() override;
  bool Dropped() const { return dropped_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The wheel changes the selection only of the list that has the keyboard focus, so scrolling
  // over the page never sends a parameter by accident. The list takes the focus by a click or the
  // Tab key only, never by the wheel (see the constructor).
  void wheelEvent(QWheelEvent* event) override;

 private:
  void ClosedUp();
  bool dropped_ = false;
  QObject* watched_popup_ = nullptr;
};

// A static text that wraps like the system's word break: lines end only at spaces, and a word
// wider than the control is clipped, never split. A text that is vertically centred stays on one
// line.
class QtStaticText : public QLabel {
 public:
  QtStaticText(const QString& text, bool wrap, QWidget* parent);
  void SetSourceText(const QString& text);
  const QString& SourceText() const { return source_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Rewrap();
  QString source_;
  bool wrap_;
};

// Lines of `text` no wider than `width` where possible, broken only at spaces.
QString WrapAtSpaces(const QString& text, const QFontMetrics& metrics, int width);

// A page or a modal dialog built from a dialog template. It owns the persistent image that its
// canvases draw into and that its widget shows below the controls.
class QtWindow : public Window {
 public:
  QtWindow(QtWindowServices& services, QWidget& surface, QDialog* dialog);
  ~QtWindow() override;

  // Creates the controls of the template and sizes the window to it.
  void Build(const DialogTemplate& dialog);
  void Attach(WindowProc& procedure) { procedure_ = &procedure; }
  // OnInitDialog to the procedure.
  bool DeliverInitDialog();
  // Stops the timers, tells the procedure OnDestroy and lets go of it; nothing reaches it after.
  void Destroy();
  bool Destroyed() const { return destroyed_; }
  bool Ended() const { return ended_; }
  int EndResult() const { return end_result_; }
  void SetRunning(bool running) { running_ = running; }
  int TemplateId() const { return template_id_; }

  // The surface widget forwards its events here.
  void HandlePaint(const QRegion& region);
  void HandleResize();
  void HandleShow() { paint_due_ = true; }
  void HandleCancel();  // Escape key or close box of a modal dialog: command 2
  void RequestPaint();  // the whole window is invalid; the procedure's OnPaint follows

  // For the tests and the host.
  const QImage& Image() const { return image_; }
  QWidget& Surface() { return *surface_; }
  QWidget* ControlWidget(int id);
  QString ControlText(int id);  // the text a control shows
  int TimerPeriod(int timer_id) const;  // 0 when the timer does not run

  // Window.
  void AddListEntry(int id, const char* text) override;
  void ResetList(int id) override;
  void SelectListEntry(int id, int position) override;
  int GetListSelection(int id) override;
  int GetListCount(int id) override;
  void SetCheck(int id, bool checked) override;
  bool GetCheck(int id) override;
  void ShowControl(int id, bool visible) override;
  void EnableControl(int id, bool enabled) override;
  void SetControlText(int id, const char* text) override;
  void MoveControl(int id, int x, int y, int width, int height) override;
  void SetScrollRange(int id, int minimum, int maximum) override;
  void SetScrollPosition(int id, int position) override;
  int GetScrollPosition(int id) override;
  void SetTimer(int timer_id, uint32_t period_ms) override;
  void KillTimer(int timer_id) override;
  void MoveWindow(int x, int y, int width, int height) override;
  Size GetWindowSize() override;
  void SetTitle(const char* text) override;
  void EndDialog(int result) override;
  Canvas& GetContext() override;
  void ReleaseContext(Canvas& canvas) override;

 private:
  struct Control {
    int id;
    ControlKind kind;
    QWidget* widget;
    QtStaticText* text_label;  // the wrapping label inside a multi-line push button
  };

  Control* Find(int id);
  void CreateControl(const ControlTemplate& control, const DialogTemplate& dialog);
  // A control made from its template: the widget, the label inside a multi-line button, and
  // whether the maker already placed it (a combo box, a picture) or the template's rectangle does.
  struct MadeControl {
    QWidget* widget = nullptr;
    QtStaticText* text_label = nullptr;
    bool placed = false;
  };
  MadeControl MakePushButton(const ControlTemplate& control, const QString& text);
  QWidget* MakeStaticText(uint32_t style, const QString& text);
  QWidget* MakeFrame(ControlKind kind, const QString& text);
  MadeControl MakePicture(int resource, const PixelRect& r);
  void PlaceCombo(QtComboBox& combo, int x, int y, int width, int height);
  void CanvasChanged(const QRect& rect);
  void ResizeImage(const QSize& size);
  void KillAllTimers();
  void Command(int id, int code);
  void Scroll(int id, bool vertical, int action);

  QtWindowServices& services_;
  QWidget* surface_;
  QDialog* dialog_;  // set for a modal dialog
  WindowProc* procedure_ = nullptr;
  int template_id_ = 0;
  int base_width_ = 0, base_height_ = 0;  // dialog base units of the template's font, in pixels
  std::vector<Control> controls_;
  std::map<int, QTimer*> timers_;
  QImage image_;
  std::array<std::unique_ptr<QtCanvas>, 4> canvases_;
  std::array<bool, 4> canvas_taken_{};
  bool in_paint_ = false;
  bool paint_due_ = true;   // the next paint is delivered to the procedure
  QRegion drawn_in_paint_;  // drawn by the procedure while it handled a paint
  QRegion display_only_;    // repaints that only show what was drawn
  bool destroyed_ = false;
  bool ended_ = false;
  bool running_ = false;
  int end_result_ = 0;
};

// A page: a frameless child of the main window's client area.
class QtPageWidget : public QWidget {
 public:
  QtPageWidget(QtWindowServices& services, QWidget* parent);
  ~QtPageWidget() override;
  QtWindow& Window() { return *window_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  std::unique_ptr<QtWindow> window_;
};

// A modal dialog with caption and close box.
class QtDialogWidget : public QDialog {
 public:
  QtDialogWidget(QtWindowServices& services, QWidget* parent);
  ~QtDialogWidget() override;
  QtWindow& Window() { return *window_; }

  void reject() override;  // Escape: command 2 to the procedure, which decides

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  std::unique_ptr<QtWindow> window_;
};

// Code page 1250 bytes as a QString.
QString FromCp1250(const char* text);

}  // namespace korvel
